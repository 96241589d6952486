#include "protocol/socket.h"

#include <mswsock.h>
#include <winsock2.h>
#include <ws2tcpip.h>

#include <array>
#include <chrono>
#include <climits>
#include <cstring>

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

bool SetNoDelay(SOCKET s, int& lastError) {
    // Without the small-packet delay: a long body's blocks go out as separate
    // sends and must not wait for each other's ACK.
    BOOL noDelay = TRUE;
    if (setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&noDelay), sizeof(noDelay)) !=
        0) {
        lastError = WSAGetLastError();
        return false;
    }
    return true;
}

// Connects the socket in non-blocking mode, waiting no later than end. select,
// not WSAPoll: older WSAPoll never reports a refused connect. A connect that
// fails shows in the exception set, so only a failure pays for asking its
// error code: each socket call is a round trip to the server under Wine.
bool ConnectNonBlocking(SOCKET s, const addrinfo& address, Clock::time_point end, int& lastError) {
    u_long nonBlocking = 1;
    if (ioctlsocket(s, FIONBIO, &nonBlocking) != 0) {
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

// Waits for an overlapped call on the socket to end, no later than end; one
// still running then is cancelled and fails with a time-out.
bool AwaitOverlapped(SOCKET s, OVERLAPPED& overlapped, Clock::time_point end, int& lastError) {
    // The event resets itself, and a call that ended at once may have left it
    // set: the call's own status says when it has ended.
    DWORD waited = WAIT_OBJECT_0;
    while (!HasOverlappedIoCompleted(&overlapped) && waited == WAIT_OBJECT_0) {
        waited = WaitForSingleObject(overlapped.hEvent, static_cast<DWORD>(MillisecondsLeft(end)));
    }
    if (HasOverlappedIoCompleted(&overlapped)) {
        return true;
    }
    lastError = waited == WAIT_TIMEOUT ? WSAETIMEDOUT : static_cast<int>(GetLastError());
    // The system writes into overlapped until the cancelled call has ended.
    CancelIoEx(reinterpret_cast<HANDLE>(s), &overlapped);
    while (!HasOverlappedIoCompleted(&overlapped)) {
        WaitForSingleObject(overlapped.hEvent, INFINITE);
    }
    return false;
}

// One overlapped send or receive on the blocking socket, waited for no later
// than end: the wait bounds it without setting the socket's time-out options,
// and costs what the wait inside a blocking call does.
bool TransferOnce(SOCKET s, HANDLE event, bool sending, char* data, std::size_t length, Clock::time_point end,
                  std::size_t& transferred, int& lastError) {
    WSABUF buffer{static_cast<ULONG>(std::min<std::size_t>(length, INT_MAX)), data};
    OVERLAPPED overlapped{};
    overlapped.hEvent = event;
    DWORD flags = 0;
    const int started = sending ? WSASend(s, &buffer, 1, nullptr, 0, &overlapped, nullptr)
                                : WSARecv(s, &buffer, 1, nullptr, &flags, &overlapped, nullptr);
    if (started != 0 && WSAGetLastError() != WSA_IO_PENDING) {
        lastError = WSAGetLastError();
        return false;
    }
    DWORD count = 0;
    if (!AwaitOverlapped(s, overlapped, end, lastError)) {
        return false;
    }
    if (!WSAGetOverlappedResult(s, &overlapped, &count, FALSE, &flags)) {
        lastError = WSAGetLastError();
        return false;
    }
    transferred = count;
    return true;
}

// ConnectEx, looked up once for the process; null when the provider has none.
LPFN_CONNECTEX ConnectExFunction(SOCKET s) {
    static const LPFN_CONNECTEX function = [s] {
        GUID id = WSAID_CONNECTEX;
        LPFN_CONNECTEX found = nullptr;
        DWORD size = 0;
        return WSAIoctl(s, SIO_GET_EXTENSION_FUNCTION_POINTER, &id, sizeof(id), &found, sizeof(found), &size,
                        nullptr, nullptr) == 0
                   ? found
                   : nullptr;
    }();
    return function;
}

// ConnectEx takes only a bound socket: any local address of the family, any port.
bool BindAnyLocal(SOCKET s, int family, int& lastError) {
    sockaddr_storage local{};
    local.ss_family = static_cast<ADDRESS_FAMILY>(family);
    const int size = family == AF_INET ? sizeof(sockaddr_in) : family == AF_INET6 ? sizeof(sockaddr_in6) : 0;
    if (size == 0) {
        lastError = WSAEAFNOSUPPORT;
        return false;
    }
    if (bind(s, reinterpret_cast<const sockaddr*>(&local), size) != 0) {
        lastError = WSAGetLastError();
        return false;
    }
    return true;
}

// Connects the blocking socket with an overlapped ConnectEx whose end the
// event tells, waiting no later than end. Under Wine this spares the two mode
// switches and the select of a non-blocking connect, each a round trip to its
// server and the mode switches the dearest.
bool ConnectOverlapped(SOCKET s, const addrinfo& address, LPFN_CONNECTEX connectEx, HANDLE event,
                       Clock::time_point end, int& lastError) {
    if (!BindAnyLocal(s, address.ai_family, lastError)) {
        return false;
    }
    OVERLAPPED overlapped{};
    overlapped.hEvent = event;
    if (!connectEx(s, address.ai_addr, static_cast<int>(address.ai_addrlen), nullptr, 0, nullptr,
                   &overlapped) &&
        WSAGetLastError() != ERROR_IO_PENDING) {
        lastError = WSAGetLastError();
        return false;
    }
    if (!AwaitOverlapped(s, overlapped, end, lastError)) {
        return false;
    }
    DWORD transferred = 0;
    DWORD flags = 0;
    // Until the context is updated, the socket lacks the options and state of
    // a connected one.
    if (!WSAGetOverlappedResult(s, &overlapped, &transferred, FALSE, &flags) ||
        setsockopt(s, SOL_SOCKET, SO_UPDATE_CONNECT_CONTEXT, nullptr, 0) != 0) {
        lastError = WSAGetLastError();
        return false;
    }
    return true;
}

// Connected sockets block, their sends and receives overlapped calls: on a
// non-blocking socket those would fail at once instead of pending.
bool MakeBlocking(SOCKET s, int& lastError) {
    u_long nonBlocking = 0;
    if (ioctlsocket(s, FIONBIO, &nonBlocking) != 0) {
        lastError = WSAGetLastError();
        return false;
    }
    return true;
}

} // namespace

const int ZEvtSyncSocket::kTimedOut = WSAETIMEDOUT;

struct ZEvtSyncSocket::StartedReceive {
    OVERLAPPED overlapped{};
    DWORD flags = 0;
    bool running = false;
    // What it brought and Receive has not yet handed out: buffer[at, length).
    std::size_t at = 0;
    std::size_t length = 0;
    std::array<char, 8192> buffer;
};

ZEvtSyncSocket::ZEvtSyncSocket() = default;

ZEvtSyncSocket::~ZEvtSyncSocket() {
    Close();
    if (m_ioEvent != 0) {
        CloseHandle(reinterpret_cast<HANDLE>(m_ioEvent));
    }
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
        m_lastError = WSANOTINITIALISED;
        return false;
    }
    if (m_ioEvent == 0) {
        m_ioEvent = reinterpret_cast<std::intptr_t>(CreateEventW(nullptr, FALSE, FALSE, nullptr));
        if (m_ioEvent == 0) {
            m_lastError = static_cast<int>(GetLastError());
            return false;
        }
    }
    const HANDLE event = reinterpret_cast<HANDLE>(m_ioEvent);
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    for (const std::string& host : hosts) {
        addrinfo* found = nullptr;
        if (getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0) {
            m_lastError = WSAGetLastError();
            continue;
        }
        for (addrinfo* a = found; a && !IsConnected(); a = a->ai_next) {
            SOCKET s = socket(a->ai_family, a->ai_socktype, a->ai_protocol);
            if (s == INVALID_SOCKET) {
                m_lastError = WSAGetLastError();
                continue;
            }
            LPFN_CONNECTEX connectEx = ConnectExFunction(s);
            const bool connected =
                connectEx ? ConnectOverlapped(s, *a, connectEx, event, end, m_lastError)
                          : ConnectNonBlocking(s, *a, end, m_lastError) && MakeBlocking(s, m_lastError);
            if (connected && SetNoDelay(s, m_lastError)) {
                m_handle = static_cast<std::intptr_t>(s);
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
    WSAPOLLFD p{static_cast<SOCKET>(m_handle), POLLIN, 0};
    return WSAPoll(&p, 1, 0) == 0;
}

// A receive that ends at once, before anything was asked, found the peer
// closed or talking out of turn; one that pends finds the connection open.
bool ZEvtSyncSocket::StartReceive() {
    if (!IsConnected()) {
        return false;
    }
    if (!m_started) {
        m_started = std::make_unique<StartedReceive>();
    }
    StartedReceive& r = *m_started;
    if (r.running || r.at < r.length) {
        return false;
    }
    r.overlapped = {};
    r.overlapped.hEvent = reinterpret_cast<HANDLE>(m_ioEvent);
    r.flags = 0;
    r.at = r.length = 0;
    WSABUF buffer{static_cast<ULONG>(r.buffer.size()), r.buffer.data()};
    if (WSARecv(static_cast<SOCKET>(m_handle), &buffer, 1, nullptr, &r.flags, &r.overlapped, nullptr) == 0) {
        return false;
    }
    if (WSAGetLastError() != WSA_IO_PENDING) {
        m_lastError = WSAGetLastError();
        return false;
    }
    r.running = true;
    return true;
}

bool ZEvtSyncSocket::ReceiveStarted(char* buffer, std::size_t capacity, std::size_t& received, bool& failed) {
    failed = false;
    if (!m_started || (!m_started->running && m_started->at >= m_started->length)) {
        return false;
    }
    StartedReceive& r = *m_started;
    if (r.running) {
        if (PastDeadline()) {
            failed = true;
            return true;
        }
        const Clock::time_point end = WaitEnd();
        m_appliedUpToDeadline = end == m_deadline;
        const SOCKET s = static_cast<SOCKET>(m_handle);
        // A failed wait has cancelled the receive and waited for its end.
        r.running = false;
        DWORD count = 0;
        if (!AwaitOverlapped(s, r.overlapped, end, m_lastError)) {
            NoteTimeout();
            failed = true;
            return true;
        }
        if (!WSAGetOverlappedResult(s, &r.overlapped, &count, FALSE, &r.flags)) {
            m_lastError = WSAGetLastError();
            failed = true;
            return true;
        }
        r.at = 0;
        r.length = count;
    }
    received = std::min(capacity, r.length - r.at);
    std::memcpy(buffer, r.buffer.data() + r.at, received);
    r.at += received;
    return true;
}

void ZEvtSyncSocket::AbandonStartedReceive() {
    if (!m_started) {
        return;
    }
    StartedReceive& r = *m_started;
    if (r.running && IsConnected()) {
        // The system writes into the record until the cancelled receive has ended.
        CancelIoEx(reinterpret_cast<HANDLE>(m_handle), &r.overlapped);
        while (!HasOverlappedIoCompleted(&r.overlapped)) {
            WaitForSingleObject(r.overlapped.hEvent, INFINITE);
        }
    }
    r.running = false;
    r.at = r.length = 0;
}

// A send or receive that timed out: when its wait ended at the deadline, the
// deadline ended it, even if the system's timer woke a little early.
void ZEvtSyncSocket::NoteTimeout() {
    if (m_lastError == WSAETIMEDOUT && m_appliedUpToDeadline) {
        m_deadlinePassed = true;
    }
    NoteDeadline();
}

bool ZEvtSyncSocket::Send(const char* data, std::size_t length) {
    std::size_t sent = 0;
    do {
        // WSABUF has no const form; a send only reads it.
        if (!Transfer(true, const_cast<char*>(data), length, sent)) {
            return false;
        }
        data += sent;
        length -= sent;
    } while (length > 0);
    return true;
}

bool ZEvtSyncSocket::Receive(char* buffer, std::size_t capacity, std::size_t& received) {
    received = 0;
    bool failed = false;
    if (ReceiveStarted(buffer, capacity, received, failed)) {
        return !failed;
    }
    return Transfer(false, buffer, capacity, received);
}

// One send or receive, bounded by the wait that starts now: the time-out, or
// less when the call's deadline comes first.
bool ZEvtSyncSocket::Transfer(bool sending, char* data, std::size_t length, std::size_t& transferred) {
    if (!IsConnected()) {
        m_lastError = WSAENOTCONN;
        return false;
    }
    if (PastDeadline()) {
        return false;
    }
    const Clock::time_point end = WaitEnd();
    m_appliedUpToDeadline = end == m_deadline;
    if (!TransferOnce(static_cast<SOCKET>(m_handle), reinterpret_cast<HANDLE>(m_ioEvent), sending, data,
                      length, end, transferred, m_lastError)) {
        NoteTimeout();
        return false;
    }
    return true;
}

void ZEvtSyncSocket::Close() {
    AbandonStartedReceive();
    if (IsConnected()) {
        closesocket(static_cast<SOCKET>(m_handle));
    }
    m_handle = kNoSocket;
}
