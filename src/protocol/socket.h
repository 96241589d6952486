#pragma once
// One outgoing TCP connection whose connect, each send and each receive wait at
// most the time-out, and none past the deadline of the call they serve. The
// platform's sockets (Winsock 2 or POSIX) stay behind it.
#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class ZEvtSyncSocket {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr int kDefaultTimeoutMs = 10000;

    ZEvtSyncSocket();
    ~ZEvtSyncSocket();
    ZEvtSyncSocket(const ZEvtSyncSocket&) = delete;
    ZEvtSyncSocket& operator=(const ZEvtSyncSocket&) = delete;

    void SetTimeout(int milliseconds) { m_timeoutMs = milliseconds; }
    // No wait goes past it: a peer that trickles bytes, each within the
    // time-out, cannot hold a call for ever. Clock::time_point::max() for none.
    void SetDeadline(Clock::time_point when) {
        m_deadline = when;
        m_deadlinePassed = false;
    }
    // Whether a wait since SetDeadline failed because the deadline had come.
    bool DeadlinePassed() const { return m_deadlinePassed; }
    // Resolves the host and connects to the first of its addresses that answers,
    // all of them together within one time-out; closes any earlier connection first.
    bool Connect(const std::string& host, unsigned short port);
    // The same over the addresses of several names in turn, still within one
    // time-out (a test's stand-in for a host with several addresses).
    bool Connect(const std::vector<std::string>& hosts, unsigned short port);
    bool IsConnected() const { return m_handle != kNoSocket; }
    // False when the peer has closed or sent something unasked: such a
    // connection cannot carry a new request.
    bool IsReusable() const;
    // IsReusable, and the receive of the request's answer started before the
    // request goes: the next Receive ends it. Winsock: the started receive is
    // the check, where IsReusable costs a round trip to Wine's server of its own.
    bool StartReceive(); // Sends every byte or fails; a failure keeps its error code.
    bool Send(const char* data, std::size_t length);
    // Receives up to capacity bytes; received is 0 once the peer has closed.
    bool Receive(char* buffer, std::size_t capacity, std::size_t& received);
    void Close();
    int LastError() const { return m_lastError; }

private:
    static constexpr std::intptr_t kNoSocket = -1;

    // The end of one wait that starts now: the time-out, cut short by the deadline.
    Clock::time_point WaitEnd() const {
        return std::min(Clock::now() + std::chrono::milliseconds(m_timeoutMs), m_deadline);
    }
    // After a failed wait: was it the deadline?
    void NoteDeadline() { m_deadlinePassed = m_deadlinePassed || Clock::now() >= m_deadline; }
    // Nothing starts once the deadline has come, even with bytes ready to read.
    bool PastDeadline() {
        NoteDeadline();
        if (m_deadlinePassed) {
            m_lastError = kTimedOut;
        }
        return m_deadlinePassed;
    }
    static const int kTimedOut; // the platform's time-out error code
    // Winsock: one send or receive, bounded by the wait that starts now.
    bool Transfer(bool sending, char* data, std::size_t length, std::size_t& transferred);
    // Winsock: after a failed send or receive, was it the deadline?
    void NoteTimeout();
    // Winsock: hands out what the receive that StartReceive began brought,
    // waiting for it first; false when there is nothing of it left.
    bool ReceiveStarted(char* buffer, std::size_t capacity, std::size_t& received, bool& failed);
    // Winsock: ends a started receive still running (before the socket closes).
    void AbandonStartedReceive();

    std::intptr_t m_handle = kNoSocket; // owned socket (SOCKET or file descriptor)
    int m_timeoutMs = kDefaultTimeoutMs;
    Clock::time_point m_deadline = Clock::time_point::max();
    bool m_deadlinePassed = false;
    // Winsock: whether the last send or receive waited up to the deadline.
    bool m_appliedUpToDeadline = false;
    // Winsock: the event every overlapped connect, send and receive waits on,
    // made on first use (owned HANDLE, 0 for none).
    std::intptr_t m_ioEvent = 0;
    int m_lastError = 0;
    // Winsock: the receive StartReceive began, with its buffer; made on first use.
    struct StartedReceive;
    std::unique_ptr<StartedReceive> m_started;
};
