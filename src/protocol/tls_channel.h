#pragma once
// TLS 1.2 or newer over a connected ZEvtSyncSocket, with the system's own TLS
// and trusted roots. Nothing is sent through it before the server's
// certificate chain has passed for the host asked for; there is no way to
// skip that check. Every wait is the socket's, bounded by its time-out and deadline.
#include "protocol/socket.h"

#include <cstddef>
#include <memory>
#include <string>

enum class TlsFailure {
    None,
    Unsupported, // this build has no TLS
    Handshake,   // the handshake failed or the peer left during it
    Protocol,    // older than TLS 1.2, or a record that does not decrypt
    Certificate, // no trusted chain for the host
};

class CTlsChannel {
public:
    CTlsChannel();
    ~CTlsChannel();
    CTlsChannel(const CTlsChannel&) = delete;
    CTlsChannel& operator=(const CTlsChannel&) = delete;

    // Handshakes over the connected socket, which it borrows until Close, and
    // checks the server's certificate for host (a name or an address, no
    // brackets). On failure the channel is closed; the socket is the caller's.
    bool Open(ZEvtSyncSocket& socket, const std::wstring& host);
    bool IsOpen() const;
    // Nothing received and held back unread, and the peer has not ended the
    // session: a new request may follow.
    bool IsReusable() const;
    // Enciphers and sends every byte or fails.
    bool Send(const char* data, std::size_t length);
    // Up to capacity bytes of plaintext; received is 0 once the peer has ended the session.
    bool Receive(char* buffer, std::size_t capacity, std::size_t& received);
    // Forgets the session; the socket stays as it is.
    void Close();
    TlsFailure LastFailure() const { return m_lastFailure; }

private:
    struct CState; // the platform's session
    std::unique_ptr<CState> m_state;
    TlsFailure m_lastFailure = TlsFailure::None;
};
