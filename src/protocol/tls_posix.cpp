// The native build speaks plain http only: its tests of the portable core
// need no TLS, and https is the Windows build's, through the system's TLS.
#include "protocol/tls_channel.h"

struct CTlsChannel::CState {};

CTlsChannel::CTlsChannel() = default;
CTlsChannel::~CTlsChannel() = default;

bool CTlsChannel::Open(ZEvtSyncSocket&, const std::wstring&) {
    m_lastFailure = TlsFailure::Unsupported;
    return false;
}

bool CTlsChannel::IsOpen() const {
    return false;
}

bool CTlsChannel::IsReusable() const {
    return false;
}

bool CTlsChannel::Send(const char*, std::size_t) {
    return false;
}

bool CTlsChannel::Receive(char*, std::size_t, std::size_t& received) {
    received = 0;
    return false;
}

void CTlsChannel::Close() {}
