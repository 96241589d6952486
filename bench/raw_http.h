#pragma once
// The floor for the service-call figures: a plain blocking HTTP/1.1 client
// over the platform's sockets, no time-outs, no parsing beyond what it takes
// to find the end of a reply. Header-only so each bench program takes it whole.
#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <cstdlib>
#include <cstring>
#include <string>

class CRawHttp {
public:
#ifdef _WIN32
    using Handle = SOCKET;
    static constexpr Handle kNone = INVALID_SOCKET;
#else
    using Handle = int;
    static constexpr Handle kNone = -1;
#endif

    CRawHttp(std::string host, unsigned short port) : m_host(std::move(host)), m_port(port) {
#ifdef _WIN32
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
#endif
    }
    ~CRawHttp() { Close(); }
    CRawHttp(const CRawHttp&) = delete;
    CRawHttp& operator=(const CRawHttp&) = delete;

    // Sends the bytes as they are and reads one reply; reconnects when the
    // last reply closed the connection. The status, or -1.
    int Exchange(const std::string& request, std::string* body = nullptr) {
        if (m_socket == kNone && !Connect()) {
            return -1;
        }
        if (!SendAll(request)) {
            Close();
            return -1;
        }
        std::string reply;
        std::size_t headEnd;
        while ((headEnd = reply.find("\r\n\r\n")) == std::string::npos) {
            if (!ReceiveSome(reply)) {
                return Close(), -1;
            }
        }
        const std::string head = Lower(reply.substr(0, headEnd));
        const std::size_t lengthAt = head.find("\r\ncontent-length:");
        const std::size_t length =
            lengthAt == std::string::npos ? 0 : std::strtoul(head.c_str() + lengthAt + 17, nullptr, 10);
        while (reply.size() < headEnd + 4 + length) {
            if (!ReceiveSome(reply)) {
                return Close(), -1;
            }
        }
        if (head.find("\r\nconnection: close") != std::string::npos) {
            Close();
        }
        if (body) {
            *body = reply.substr(headEnd + 4, length);
        }
        return std::atoi(reply.c_str() + reply.find(' ') + 1);
    }

    void Close() {
        if (m_socket == kNone) {
            return;
        }
#ifdef _WIN32
        closesocket(m_socket);
#else
        close(m_socket);
#endif
        m_socket = kNone;
    }

private:
    bool Connect() {
        addrinfo hints{};
        hints.ai_family = AF_UNSPEC;
        hints.ai_socktype = SOCK_STREAM;
        addrinfo* found = nullptr;
        if (getaddrinfo(m_host.c_str(), std::to_string(m_port).c_str(), &hints, &found) != 0 || !found) {
            return false;
        }
        m_socket = socket(found->ai_family, found->ai_socktype, found->ai_protocol);
        const bool ok =
            m_socket != kNone && connect(m_socket, found->ai_addr, static_cast<int>(found->ai_addrlen)) == 0;
        freeaddrinfo(found);
        if (!ok) {
            Close();
            return false;
        }
        // Head and body go out as two sends, as the client's do; without this
        // Nagle would hold the body back for the head's acknowledgement.
        int one = 1;
        setsockopt(m_socket, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&one), sizeof one);
        return true;
    }

    bool SendAll(const std::string& bytes) {
        for (std::size_t at = 0; at < bytes.size();) {
            const auto sent = send(m_socket, bytes.data() + at, static_cast<int>(bytes.size() - at), 0);
            if (sent <= 0) {
                return false;
            }
            at += static_cast<std::size_t>(sent);
        }
        return true;
    }

    bool ReceiveSome(std::string& into) {
        char buffer[4096];
        const auto got = recv(m_socket, buffer, sizeof buffer, 0);
        if (got <= 0) {
            return false;
        }
        into.append(buffer, static_cast<std::size_t>(got));
        return true;
    }

    static std::string Lower(std::string text) {
        for (char& c : text) {
            if (c >= 'A' && c <= 'Z') {
                c = static_cast<char>(c - 'A' + 'a');
            }
        }
        return text;
    }

    std::string m_host;
    unsigned short m_port;
    Handle m_socket = kNone;
};
