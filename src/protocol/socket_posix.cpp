#include "protocol/socket.h"

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using Clock = ZEvtSyncSocket::Clock;

int MillisecondsLeft(Clock::time_point deadline) {
    // Rounded up: a wait must not end before its deadline.
    auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

// Waits until fd is ready for the events or the deadline passes; false with
// lastError set on a time-out or a failed wait.
bool WaitFor(int fd, short events, Clock::time_point deadline, int& lastError) {
    for (;;) {
        pollfd p{fd, events, 0};
        int n = poll(&p, 1, MillisecondsLeft(deadline));
        if (n > 0) {
            return true;
        }
        if (n == 0) {
            lastError = ETIMEDOUT;
            return false;
        }
        if (errno != EINTR) {
            lastError = errno;
            return false;
        }
    }
}

// Non-blocking, and without the small-packet delay: the request head and its
// body go out as separate sends and must not wait for each other's ACK.
bool SetSocketOptions(int fd) {
    int flags = fcntl(fd, F_GETFL, 0);
    int noDelay = 1;
    return flags != -1 && fcntl(fd, F_SETFL, flags | O_NONBLOCK) != -1 &&
           setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &noDelay, sizeof(noDelay)) == 0;
}

// Connects the non-blocking socket, waiting no later than end.
bool ConnectOne(int fd, const addrinfo& address, Clock::time_point end, int& lastError) {
    if (!SetSocketOptions(fd)) {
        lastError = errno;
        return false;
    }
    if (connect(fd, address.ai_addr, address.ai_addrlen) == 0) {
        return true;
    }
    if (errno != EINPROGRESS) {
        lastError = errno;
        return false;
    }
    if (!WaitFor(fd, POLLOUT, end, lastError)) {
        return false;
    }
    int error = 0;
    socklen_t size = sizeof(error);
    if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) != 0) {
        error = errno;
    }
    if (error != 0) {
        lastError = error;
        return false;
    }
    return true;
}

} // namespace

const int ZEvtSyncSocket::kTimedOut = ETIMEDOUT;

// Only Winsock starts a receive early: here the check is all there is to it.
struct ZEvtSyncSocket::StartedReceive {};

ZEvtSyncSocket::ZEvtSyncSocket() = default;

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
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    for (const std::string& host : hosts) {
        addrinfo* found = nullptr;
        if (int rc = getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found); rc != 0) {
            m_lastError = rc;
            continue;
        }
        for (addrinfo* a = found; a && !IsConnected(); a = a->ai_next) {
            int fd = socket(a->ai_family, a->ai_socktype, a->ai_protocol);
            if (fd == -1) {
                m_lastError = errno;
            } else if (ConnectOne(fd, *a, end, m_lastError)) {
                m_handle = fd;
            } else {
                ::close(fd);
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
    pollfd p{static_cast<int>(m_handle), POLLIN, 0};
    return poll(&p, 1, 0) == 0;
}

bool ZEvtSyncSocket::StartReceive() {
    return IsReusable();
}

bool ZEvtSyncSocket::Send(const char* data, std::size_t length) {
    if (!IsConnected()) {
        m_lastError = ENOTCONN;
        return false;
    }
    if (PastDeadline()) {
        return false;
    }
    const Clock::time_point end = WaitEnd();
    int fd = static_cast<int>(m_handle);
    while (length > 0) {
        if (!WaitFor(fd, POLLOUT, end, m_lastError)) {
            NoteDeadline();
            return false;
        }
        ssize_t n = ::send(fd, data, length, MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) {
                continue;
            }
            m_lastError = errno;
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
        m_lastError = ENOTCONN;
        return false;
    }
    if (PastDeadline()) {
        return false;
    }
    const Clock::time_point end = WaitEnd();
    int fd = static_cast<int>(m_handle);
    for (;;) {
        if (!WaitFor(fd, POLLIN, end, m_lastError)) {
            NoteDeadline();
            return false;
        }
        ssize_t n = ::recv(fd, buffer, capacity, 0);
        if (n >= 0) {
            received = static_cast<std::size_t>(n);
            return true;
        }
        if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
            m_lastError = errno;
            return false;
        }
    }
}

void ZEvtSyncSocket::Close() {
    if (IsConnected()) {
        ::close(static_cast<int>(m_handle));
    }
    m_handle = kNoSocket;
}
