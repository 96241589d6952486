#include "protocol/socket.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <chrono>
#include <climits>

namespace {

using Clock = ZEvtSyncSocket::Clock;

// Winsock is started once for the process and left running until it ends.
bool StartWinsock() {
    static const bool started = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return started;
}

int MillisecondsLeft(Clock::time_point deadline) {
    // Rounded up: a wait must not end before its deadline.
    auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

// Connects the non-blocking socket, waiting no later than end. select, not
// WSAPoll: older WSAPoll never reports a refused connect. A connect that fails
// shows in the exception set, so only a failure pays for asking its error
// code: each socket call is a round trip to the server under Wine.
bool ConnectOne(SOCKET s, const addrinfo& address, Clock::time_point end, int& lastError) {
    // Non-blocking for the connect's time-out, and without the small-packet
    // delay: a long body's blocks go out as separate sends and must not wait
    // for each other's ACK.
    u_long nonBlocking = 1;
    BOOL noDelay = TRUE;
    if (ioctlsocket(s, FIONBIO, &nonBlocking) != 0 ||
        setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&noDelay), sizeof(noDelay)) !=
            0) {
        lastError = WSAGetLastError();
        return false;
    }
    if (connect(s, address.ai_addr, static_cast<int>(address.ai_addrlen)) == 0) {
        return true;
    }
    if (WSAGetLastError() != WSAEWOULDBLOCK) {
        lastError = WSAGetLastError();
        return false;
    }
    fd_set writable, failed;
    FD_ZERO(&writable);
    FD_ZERO(&failed);
    FD_SET(s, &writable);
    FD_SET(s, &failed);
    const int waitMs = MillisecondsLeft(end);
    timeval wait{waitMs / 1000, (waitMs % 1000) * 1000};
    int n = select(0, nullptr, &writable, &failed, &wait);
    if (n == 0) {
        lastError = WSAETIMEDOUT;
        return false;
    }
    if (n < 0) {
        lastError = WSAGetLastError();
        return false;
    }
    if (FD_ISSET(s, &writable) && !FD_ISSET(s, &failed)) {
        return true;
    }
    int error = 0;
    int size = sizeof(error);
    if (getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &size) != 0) {
        error = WSAGetLastError();
    }
    lastError = error != 0 ? error : WSAECONNREFUSED;
    return false;
}

// Connected sockets block, their sends and receives bounded by the socket's
// own time-outs: under Wine a wait for readiness before each receive costs a
// millisecond or more of its server's time, a blocking receive does not.
bool MakeBlocking(SOCKET s, int& lastError) {
    u_long nonBlocking = 0;
    if (ioctlsocket(s, FIONBIO, &nonBlocking) != 0) {
        lastError = WSAGetLastError();
        return false;
    }
    return true;
}

bool SetTimeouts(SOCKET s, int timeoutMs, int& lastError) {
    // 0 would mean no limit.
    const DWORD limit = timeoutMs > 0 ? static_cast<DWORD>(timeoutMs) : 1;
    if (setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&limit), sizeof(limit)) != 0 ||
        setsockopt(s, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&limit), sizeof(limit)) != 0) {
        lastError = WSAGetLastError();
        return false;
    }
    return true;
}

} // namespace

const int ZEvtSyncSocket::kTimedOut = WSAETIMEDOUT;

ZEvtSyncSocket::~ZEvtSyncSocket() {
    Close();
}

bool ZEvtSyncSocket::Connect(const std::string& host, unsigned short port) {
    return Connect(std::vector<std::string>{host}, port);
}

bool ZEvtSyncSocket::Connect(const std::vector<std::string>& hosts, unsigned short port) {
    Close();
    // One time-out for every address together: a host with several that do
    // not answer must not hold the caller for each in turn.
    const Clock::time_point end = WaitEnd();
    if (!StartWinsock()) {
        lastError = WSANOTINITIALISED;
        return false;
    }
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    for (const std::string& host : hosts) {
        addrinfo* found = nullptr;
        if (getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0) {
            lastError = WSAGetLastError();
            continue;
        }
        for (addrinfo* a = found; a && !IsConnected(); a = a->ai_next) {
            SOCKET s = socket(a->ai_family, a->ai_socktype, a->ai_protocol);
            if (s == INVALID_SOCKET) {
                lastError = WSAGetLastError();
            } else if (ConnectOne(s, *a, end, lastError) && MakeBlocking(s, lastError)) {
                handle = static_cast<std::intptr_t>(s);
            } else {
                closesocket(s);
            }
        }
        freeaddrinfo(found);
        if (IsConnected()) {
            return true;
        }
    }
    NoteDeadline();
    return false;
}

bool ZEvtSyncSocket::IsReusable() const {
    if (!IsConnected()) {
        return false;
    }
    WSAPOLLFD p{static_cast<SOCKET>(handle), POLLIN, 0};
    return WSAPoll(&p, 1, 0) == 0;
}

// The socket's own time-outs carry the wait that starts now: the time-out, or
// less when the call's deadline comes first. Set again only when it changed.
bool ZEvtSyncSocket::ApplyTimeout() {
    const Clock::time_point end = WaitEnd();
    const int waitMs = MillisecondsLeft(end);
    appliedUpToDeadline = end == deadline;
    if (appliedTimeoutMs == waitMs) {
        return true;
    }
    if (!SetTimeouts(static_cast<SOCKET>(handle), waitMs, lastError)) {
        return false;
    }
    appliedTimeoutMs = waitMs;
    return true;
}

// A send or receive that timed out: when its wait ended at the deadline, the
// deadline ended it, even if the system's timer woke a little early.
void ZEvtSyncSocket::NoteTimeout() {
    if (lastError == WSAETIMEDOUT && appliedUpToDeadline) {
        deadlinePassed = true;
    }
    NoteDeadline();
}

bool ZEvtSyncSocket::Send(const char* data, std::size_t length) {
    if (!IsConnected()) {
        lastError = WSAENOTCONN;
        return false;
    }
    if (PastDeadline() || !ApplyTimeout()) {
        return false;
    }
    SOCKET s = static_cast<SOCKET>(handle);
    while (length > 0) {
        int piece = length > INT_MAX ? INT_MAX : static_cast<int>(length);
        int n = ::send(s, data, piece, 0);
        if (n == SOCKET_ERROR) {
            lastError = WSAGetLastError();
            NoteTimeout();
            return false;
        }
        data += n;
        length -= static_cast<std::size_t>(n);
    }
    return true;
}

bool ZEvtSyncSocket::Receive(char* buffer, std::size_t capacity, std::size_t& received) {
    received = 0;
    if (!IsConnected()) {
        lastError = WSAENOTCONN;
        return false;
    }
    if (PastDeadline() || !ApplyTimeout()) {
        return false;
    }
    int piece = capacity > INT_MAX ? INT_MAX : static_cast<int>(capacity);
    int n = ::recv(static_cast<SOCKET>(handle), buffer, piece, 0);
    if (n == SOCKET_ERROR) {
        lastError = WSAGetLastError();
        NoteTimeout();
        return false;
    }
    received = static_cast<std::size_t>(n);
    return true;
}

void ZEvtSyncSocket::Close() {
    if (IsConnected()) {
        closesocket(static_cast<SOCKET>(handle));
    }
    handle = kNoSocket;
    appliedTimeoutMs = -1;
}
