// The TLS channel on Windows: Schannel through SSPI. Schannel is told to leave
// the certificate to us, and we check it ourselves with the system's chain
// engine and SSL policy: some Schannels accept a self-signed or wrong-name
// certificate even when asked to check it.
#define SECURITY_WIN32
#include "protocol/tls_channel.h"

#include <windows.h>

#include <schannel.h>
#include <security.h>
#include <wincrypt.h>

#include <algorithm>
#include <cstring>
#include <utility>

namespace {

// A TLS record is at most 16 KiB of payload plus its overhead; the handshake's
// flights (certificate chains) may be larger, but not without bound.
constexpr std::size_t kReadPiece = 17 * 1024;
constexpr std::size_t kMaxPendingRecord = 64 * 1024;
constexpr std::size_t kMaxHandshakeBytes = 256 * 1024;

constexpr DWORD kContextRequest = ISC_REQ_SEQUENCE_DETECT | ISC_REQ_REPLAY_DETECT | ISC_REQ_CONFIDENTIALITY |
                                  ISC_REQ_ALLOCATE_MEMORY | ISC_REQ_STREAM | ISC_REQ_EXTENDED_ERROR;

// A buffer SSPI allocated for us.
struct CContextBuffer {
    SecBuffer buffer{0, SECBUFFER_TOKEN, nullptr};
    CContextBuffer() = default;
    CContextBuffer(const CContextBuffer&) = delete;
    CContextBuffer& operator=(const CContextBuffer&) = delete;
    ~CContextBuffer() {
        if (buffer.pvBuffer) {
            FreeContextBuffer(buffer.pvBuffer);
        }
    }
};

// A certificate object of the system's, freed with Free.
template <typename T, auto Free> struct COwnedCert {
    T handle = nullptr; // owned
    COwnedCert() = default;
    COwnedCert(const COwnedCert&) = delete;
    COwnedCert& operator=(const COwnedCert&) = delete;
    ~COwnedCert() {
        if (handle) {
            Free(handle);
        }
    }
};
using CCertContext = COwnedCert<PCCERT_CONTEXT, CertFreeCertificateContext>;
using CCertChain = COwnedCert<PCCERT_CHAIN_CONTEXT, CertFreeCertificateChain>;

// The chain of the server's certificate must end at a trusted root and pass
// the SSL policy for host: names, validity, usage.
bool CertificatePasses(const CtxtHandle& context, const std::wstring& host) {
    CCertContext certificate;
    if (QueryContextAttributesW(const_cast<CtxtHandle*>(&context), SECPKG_ATTR_REMOTE_CERT_CONTEXT,
                                &certificate.handle) != SEC_E_OK ||
        !certificate.handle) {
        return false;
    }
    LPSTR serverAuth[] = {const_cast<LPSTR>(szOID_PKIX_KP_SERVER_AUTH)};
    CERT_CHAIN_PARA chainPara{};
    chainPara.cbSize = sizeof(chainPara);
    chainPara.RequestedUsage.dwType = USAGE_MATCH_TYPE_AND;
    chainPara.RequestedUsage.Usage.cUsageIdentifier = 1;
    chainPara.RequestedUsage.Usage.rgpszUsageIdentifier = serverAuth;
    CCertChain chain;
    if (!CertGetCertificateChain(nullptr, certificate.handle, nullptr, certificate.handle->hCertStore,
                                 &chainPara, 0, nullptr, &chain.handle)) {
        return false;
    }
    // The chain's own verdict too: some policy engines pass a certificate
    // signed by itself that no trusted root stands behind.
    constexpr DWORD kRevocationUnknown =
        CERT_TRUST_REVOCATION_STATUS_UNKNOWN | CERT_TRUST_IS_OFFLINE_REVOCATION;
    if ((chain.handle->TrustStatus.dwErrorStatus & ~kRevocationUnknown) != CERT_TRUST_NO_ERROR) {
        return false;
    }
    std::wstring name = host;
    SSL_EXTRA_CERT_CHAIN_POLICY_PARA ssl{};
    ssl.cbSize = sizeof(ssl);
    ssl.dwAuthType = AUTHTYPE_SERVER;
    ssl.pwszServerName = name.data();
    CERT_CHAIN_POLICY_PARA policy{};
    policy.cbSize = sizeof(policy);
    policy.pvExtraPolicyPara = &ssl;
    CERT_CHAIN_POLICY_STATUS status{};
    status.cbSize = sizeof(status);
    return CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, chain.handle, &policy, &status) &&
           status.dwError == 0;
}

bool IsTls12OrNewer(const CtxtHandle& context) {
    SecPkgContext_ConnectionInfo info{};
    if (QueryContextAttributesW(const_cast<CtxtHandle*>(&context), SECPKG_ATTR_CONNECTION_INFO, &info) !=
        SEC_E_OK) {
        return false;
    }
    return (info.dwProtocol & (SP_PROT_TLS1_2_CLIENT | SP_PROT_TLS1_3_CLIENT)) != 0;
}

} // namespace

struct CTlsChannel::CState {
    ZEvtSyncSocket* socket = nullptr; // borrowed from the owner while open
    CredHandle credentials{};         // owned when haveCredentials; kept for resumed sessions
    bool haveCredentials = false;
    CtxtHandle context{}; // owned when haveContext
    bool haveContext = false;
    SecPkgContext_StreamSizes sizes{};
    std::string incoming; // received, not yet deciphered
    std::string plain;    // deciphered, not yet handed out from plainAt on
    std::size_t plainAt = 0;
    bool peerEnded = false;
    std::wstring host; // the name the certificate was checked for

    CState() = default;
    CState(const CState&) = delete;
    CState& operator=(const CState&) = delete;
    ~CState() {
        DropContext();
        if (haveCredentials) {
            FreeCredentialsHandle(&credentials);
        }
    }
    void DropContext() {
        if (haveContext) {
            DeleteSecurityContext(&context);
        }
        haveContext = false;
        socket = nullptr;
        incoming.clear();
        plain.clear();
        plainAt = 0;
        peerEnded = false;
        host.clear();
    }

    bool AcquireCredentials() {
        if (haveCredentials) {
            return true;
        }
        // Protocol versions are the system's (0); the floor is checked after
        // the handshake. Certificates are checked by us, after the handshake.
        SCHANNEL_CRED cred{};
        cred.dwVersion = SCHANNEL_CRED_VERSION;
        cred.dwFlags = SCH_CRED_MANUAL_CRED_VALIDATION | SCH_CRED_NO_DEFAULT_CREDS | SCH_USE_STRONG_CRYPTO;
        TimeStamp expiry;
        haveCredentials =
            AcquireCredentialsHandleW(nullptr, const_cast<LPWSTR>(UNISP_NAME_W), SECPKG_CRED_OUTBOUND,
                                      nullptr, &cred, nullptr, nullptr, &credentials, &expiry) == SEC_E_OK;
        return haveCredentials;
    }

    // Appends what the socket has; false on a failed read or a closed peer.
    bool ReadMore(std::size_t limit) {
        if (incoming.size() >= limit) {
            return false;
        }
        char piece[kReadPiece];
        std::size_t received = 0;
        if (!socket->Receive(piece, sizeof(piece), received) || received == 0) {
            return false;
        }
        incoming.append(piece, received);
        return true;
    }

    bool SendToken(const SecBuffer& token) {
        return token.cbBuffer == 0 || socket->Send(static_cast<const char*>(token.pvBuffer), token.cbBuffer);
    }

    // Keeps what the last call left unread: the extra bytes at the end of incoming.
    void KeepExtra(const SecBuffer& extra) {
        if (extra.BufferType == SECBUFFER_EXTRA && extra.cbBuffer > 0 && extra.cbBuffer <= incoming.size()) {
            incoming.erase(0, incoming.size() - extra.cbBuffer);
        } else {
            incoming.clear();
        }
    }

    // Runs the handshake, or a post-handshake exchange, until the context is
    // complete. Incoming bytes already received are used first.
    bool Handshake() {
        std::wstring target = host;
        bool first = !haveContext;
        bool needInput = false;
        for (;;) {
            if (needInput && !ReadMore(kMaxHandshakeBytes)) {
                return false;
            }
            needInput = false;
            SecBuffer in[2] = {
                {static_cast<unsigned long>(incoming.size()), SECBUFFER_TOKEN, incoming.data()},
                {0, SECBUFFER_EMPTY, nullptr}};
            SecBufferDesc inDesc{SECBUFFER_VERSION, 2, in};
            CContextBuffer out;
            SecBufferDesc outDesc{SECBUFFER_VERSION, 1, &out.buffer};
            unsigned long attributes = 0;
            SECURITY_STATUS status = InitializeSecurityContextW(
                &credentials, first ? nullptr : &context, target.data(), kContextRequest, 0, 0,
                first ? nullptr : &inDesc, 0, first ? &context : nullptr, &outDesc, &attributes, nullptr);
            const bool hadInput = !first;
            if (first && (status == SEC_E_OK || status == SEC_I_CONTINUE_NEEDED)) {
                haveContext = true;
            }
            first = false;
            if (status == SEC_E_INCOMPLETE_MESSAGE) {
                needInput = true;
                continue;
            }
            // Asked for a client certificate: we have none, and go on without.
            if (status == SEC_I_INCOMPLETE_CREDENTIALS) {
                continue;
            }
            if (status != SEC_E_OK && status != SEC_I_CONTINUE_NEEDED) {
                return false;
            }
            if (!SendToken(out.buffer)) {
                return false;
            }
            if (hadInput) {
                KeepExtra(in[1]);
            }
            if (status == SEC_E_OK) {
                return true;
            }
            needInput = incoming.empty();
        }
    }

    // Deciphers the next record in incoming into plain. Returns false on a
    // record that does not decipher; sets needInput when it is not whole yet.
    bool DecipherRecord(bool& needInput, TlsFailure& failure) {
        needInput = false;
        SecBuffer buffers[4] = {
            {static_cast<unsigned long>(incoming.size()), SECBUFFER_DATA, incoming.data()},
            {0, SECBUFFER_EMPTY, nullptr},
            {0, SECBUFFER_EMPTY, nullptr},
            {0, SECBUFFER_EMPTY, nullptr}};
        SecBufferDesc desc{SECBUFFER_VERSION, 4, buffers};
        SECURITY_STATUS status = DecryptMessage(&context, &desc, 0, nullptr);
        if (status == SEC_E_INCOMPLETE_MESSAGE) {
            needInput = true;
            return true;
        }
        if (status != SEC_E_OK && status != SEC_I_RENEGOTIATE && status != SEC_I_CONTEXT_EXPIRED) {
            failure = TlsFailure::Protocol;
            return false;
        }
        // The buffers point into incoming: copy out before it changes.
        std::string extra;
        plain.clear();
        for (const SecBuffer& b : buffers) {
            if (b.BufferType == SECBUFFER_DATA && b.cbBuffer > 0) {
                plain.assign(static_cast<const char*>(b.pvBuffer), b.cbBuffer);
            } else if (b.BufferType == SECBUFFER_EXTRA && b.cbBuffer > 0) {
                extra.assign(static_cast<const char*>(b.pvBuffer), b.cbBuffer);
            }
        }
        plainAt = 0;
        incoming = std::move(extra);
        if (status == SEC_I_CONTEXT_EXPIRED) {
            peerEnded = true;
        }
        // A post-handshake message (a new session ticket, a key update): the
        // context takes it before deciphering goes on.
        if (status == SEC_I_RENEGOTIATE && !Handshake()) {
            failure = TlsFailure::Handshake;
            return false;
        }
        return true;
    }
};

CTlsChannel::CTlsChannel() : m_state(std::make_unique<CState>()) {}

CTlsChannel::~CTlsChannel() = default;

bool CTlsChannel::Open(ZEvtSyncSocket& socket, const std::wstring& host) {
    Close();
    m_lastFailure = TlsFailure::None;
    CState& s = *m_state;
    s.socket = &socket;
    s.host = host;
    if (!s.AcquireCredentials() || !s.Handshake()) {
        m_lastFailure = TlsFailure::Handshake;
    } else if (!IsTls12OrNewer(s.context)) {
        m_lastFailure = TlsFailure::Protocol;
    } else if (!CertificatePasses(s.context, host)) {
        m_lastFailure = TlsFailure::Certificate;
    } else if (QueryContextAttributesW(&s.context, SECPKG_ATTR_STREAM_SIZES, &s.sizes) != SEC_E_OK ||
               s.sizes.cbMaximumMessage == 0) {
        m_lastFailure = TlsFailure::Handshake;
    }
    if (m_lastFailure != TlsFailure::None) {
        Close();
        return false;
    }
    return true;
}

bool CTlsChannel::IsOpen() const {
    return m_state->socket != nullptr;
}

bool CTlsChannel::IsReusable() const {
    const CState& s = *m_state;
    return IsOpen() && !s.peerEnded && s.incoming.empty() && s.plainAt >= s.plain.size();
}

bool CTlsChannel::Send(const char* data, std::size_t length) {
    if (!IsOpen()) {
        return false;
    }
    CState& s = *m_state;
    std::string record;
    while (length > 0) {
        const std::size_t piece = std::min<std::size_t>(length, s.sizes.cbMaximumMessage);
        record.assign(s.sizes.cbHeader + piece + s.sizes.cbTrailer, '\0');
        std::memcpy(record.data() + s.sizes.cbHeader, data, piece);
        SecBuffer buffers[4] = {
            {s.sizes.cbHeader, SECBUFFER_STREAM_HEADER, record.data()},
            {static_cast<unsigned long>(piece), SECBUFFER_DATA, record.data() + s.sizes.cbHeader},
            {s.sizes.cbTrailer, SECBUFFER_STREAM_TRAILER, record.data() + s.sizes.cbHeader + piece},
            {0, SECBUFFER_EMPTY, nullptr}};
        SecBufferDesc desc{SECBUFFER_VERSION, 4, buffers};
        if (EncryptMessage(&s.context, 0, &desc, 0) != SEC_E_OK) {
            m_lastFailure = TlsFailure::Protocol;
            return false;
        }
        const std::size_t total = buffers[0].cbBuffer + buffers[1].cbBuffer + buffers[2].cbBuffer;
        if (!s.socket->Send(record.data(), total)) {
            return false;
        }
        data += piece;
        length -= piece;
    }
    return true;
}

bool CTlsChannel::Receive(char* buffer, std::size_t capacity, std::size_t& received) {
    received = 0;
    if (!IsOpen()) {
        return false;
    }
    CState& s = *m_state;
    for (;;) {
        if (s.plainAt < s.plain.size()) {
            received = std::min(capacity, s.plain.size() - s.plainAt);
            std::memcpy(buffer, s.plain.data() + s.plainAt, received);
            s.plainAt += received;
            return true;
        }
        if (s.peerEnded) {
            return true;
        }
        bool needInput = s.incoming.empty();
        if (!needInput && !s.DecipherRecord(needInput, m_lastFailure)) {
            return false;
        }
        if (!needInput) {
            continue;
        }
        char piece[kReadPiece];
        std::size_t got = 0;
        if (!s.socket->Receive(piece, sizeof(piece), got)) {
            return false;
        }
        if (got == 0) {
            // Closed without ending the session: the end of the data unless a
            // record was cut short.
            s.peerEnded = true;
            if (!s.incoming.empty()) {
                m_lastFailure = TlsFailure::Protocol;
                return false;
            }
            return true;
        }
        if (s.incoming.size() + got > kMaxPendingRecord) {
            m_lastFailure = TlsFailure::Protocol;
            return false;
        }
        s.incoming.append(piece, got);
    }
}

void CTlsChannel::Close() {
    m_state->DropContext();
}
