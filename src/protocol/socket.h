#pragma once
// One outgoing TCP connection whose connect, each send and each receive wait at
// most the time-out. The platform's sockets (Winsock 2 or POSIX) stay behind it.
#include <cstddef>
#include <cstdint>
#include <string>

class ZEvtSyncSocket {
public:
    static constexpr int kDefaultTimeoutMs = 10000;

    ZEvtSyncSocket() = default;
    ~ZEvtSyncSocket();
    ZEvtSyncSocket(const ZEvtSyncSocket&) = delete;
    ZEvtSyncSocket& operator=(const ZEvtSyncSocket&) = delete;

    void SetTimeout(int milliseconds) { timeoutMs = milliseconds; }
    // Resolves the host and connects to the first of its addresses that answers;
    // closes any earlier connection first.
    bool Connect(const std::string& host, unsigned short port);
    bool IsConnected() const { return handle != kNoSocket; }
    // False when the peer has closed or sent something unasked: such a
    // connection cannot carry a new request.
    bool IsReusable() const;
    // Sends every byte or fails; a failure keeps its error code.
    bool Send(const char* data, std::size_t length);
    // Receives up to capacity bytes; received is 0 once the peer has closed.
    bool Receive(char* buffer, std::size_t capacity, std::size_t& received);
    void Close();
    int LastError() const { return lastError; }

private:
    static constexpr std::intptr_t kNoSocket = -1;

    // Winsock: puts timeoutMs into the socket's own time-outs when it changed.
    bool ApplyTimeout();

    std::intptr_t handle = kNoSocket; // owned socket (SOCKET or file descriptor)
    int timeoutMs = kDefaultTimeoutMs;
    int appliedTimeoutMs = -1; // Winsock: the time-out the socket's options carry
    int lastError = 0;
};
