#pragma once
// A scripted HTTP server on the loopback address for the transport tests. It
// accepts connections one after another and hands each to the test's script;
// it records every request it reads.
#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace testserver {

#ifdef _WIN32
using Socket = SOCKET;
inline void CloseSocket(Socket s) {
    closesocket(s);
}
inline int PollOne(Socket s, int timeoutMs) {
    WSAPOLLFD p{s, POLLIN, 0};
    return WSAPoll(&p, 1, timeoutMs);
}
constexpr int kSendFlags = 0;
#else
using Socket = int;
inline void CloseSocket(Socket s) {
    close(s);
}
inline int PollOne(Socket s, int timeoutMs) {
    pollfd p{s, POLLIN, 0};
    return poll(&p, 1, timeoutMs);
}
constexpr int kSendFlags = MSG_NOSIGNAL;
#endif
constexpr Socket kNoSocket = static_cast<Socket>(-1);

// Bounds every wait of the server, so a failing test cannot hang.
constexpr int kServerWaitMs = 5000;

class CLoopbackServer;

// One accepted connection, seen from the server.
class CConnection {
public:
    CConnection(Socket s, CLoopbackServer& server) : m_s(s), m_server(server) {}
    CConnection(const CConnection&) = delete;
    CConnection& operator=(const CConnection&) = delete;
    ~CConnection() { Close(); }

    // Reads one request: head and a Content-Length body. Empty once the client
    // has closed or nothing came in time.
    std::string ReadRequest();

    // False once the client has gone.
    bool Send(const std::string& bytes) {
        for (int n = 0, at = 0; at < static_cast<int>(bytes.size()); at += n) {
            if (m_s == kNoSocket ||
                (n = ::send(m_s, bytes.data() + at, static_cast<int>(bytes.size()) - at, kSendFlags)) <= 0) {
                return false;
            }
        }
        return true;
    }

    void Close() {
        if (m_s != kNoSocket) {
            CloseSocket(m_s);
        }
        m_s = kNoSocket;
    }

private:
    // Waits for more bytes in short steps, so that stopping the server ends the wait.
    bool Fill();

    Socket m_s;
    CLoopbackServer& m_server;
    std::string m_pending;
};

// Runs the script for each connection accepted, on its own thread.
class CLoopbackServer {
public:
    using Script = std::function<void(CConnection& connection)>;

    explicit CLoopbackServer(Script script) : m_script(std::move(script)) {
#ifdef _WIN32
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
#endif
        m_listener = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof(address));
        listen(m_listener, 8);
        socklen_t size = sizeof(address);
        getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &size);
        m_port = ntohs(address.sin_port);
        m_worker = std::thread([this] {
            for (Socket s; !m_stop;) {
                if (PollOne(m_listener, 20) > 0 && (s = accept(m_listener, nullptr, nullptr)) != kNoSocket) {
                    CConnection connection(s, *this);
                    ++m_accepted;
                    this->m_script(connection);
                }
            }
        });
    }
    CLoopbackServer(const CLoopbackServer&) = delete;
    CLoopbackServer& operator=(const CLoopbackServer&) = delete;
    ~CLoopbackServer() {
        m_stop = true;
        m_worker.join();
        CloseSocket(m_listener);
    }

    unsigned short Port() const { return m_port; }
    std::wstring Url(const std::wstring& path = L"/serv/clientservice.asmx") const {
        return L"http://127.0.0.1:" + std::to_wstring(m_port) + path;
    }
    int Accepted() const { return m_accepted; }
    std::vector<std::string> Requests() const {
        std::lock_guard<std::mutex> guard(m_lock);
        return m_requests;
    }

private:
    friend class CConnection;

    Script m_script;
    Socket m_listener = kNoSocket;
    unsigned short m_port = 0;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_accepted{0};
    mutable std::mutex m_lock;
    std::vector<std::string> m_requests;
    std::thread m_worker;
};

inline std::string CConnection::ReadRequest() {
    std::size_t headEnd, length = 0;
    while ((headEnd = m_pending.find("\r\n\r\n")) == std::string::npos) {
        if (!Fill()) {
            return {};
        }
    }
    // Our client writes the header name in this case.
    if (std::size_t at = m_pending.find("\r\nContent-Length: "); at < headEnd) {
        length = std::stoul(m_pending.substr(at + 18));
    }
    while (m_pending.size() < headEnd + 4 + length) {
        if (!Fill()) {
            return {};
        }
    }
    std::string request = m_pending.substr(0, headEnd + 4 + length);
    m_pending.erase(0, request.size());
    std::lock_guard<std::mutex> guard(m_server.m_lock);
    m_server.m_requests.push_back(request);
    return request;
}

inline bool CConnection::Fill() {
    constexpr int kStepMs = 10;
    int ready = 0;
    for (int waited = 0; m_s != kNoSocket && !m_server.m_stop && ready == 0 && waited < kServerWaitMs;
         waited += kStepMs) {
        ready = PollOne(m_s, kStepMs);
    }
    char buffer[4096];
    const int n = ready > 0 ? ::recv(m_s, buffer, sizeof(buffer), 0) : 0;
    if (n <= 0) {
        return false;
    }
    m_pending.append(buffer, static_cast<std::size_t>(n));
    return true;
}

// A port on the loopback address where a connect is never answered: its
// listener accepts nothing and its queue is already full.
class CUnansweredPort {
public:
    CUnansweredPort() {
#ifdef _WIN32
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
#endif
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        m_listener = socket(AF_INET, SOCK_STREAM, 0);
        bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof(address));
        listen(m_listener, 0);
        socklen_t size = sizeof(address);
        getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &size);
        m_port = ntohs(address.sin_port);
        m_filler = socket(AF_INET, SOCK_STREAM, 0);
        connect(m_filler, reinterpret_cast<sockaddr*>(&address), sizeof(address));
    }
    CUnansweredPort(const CUnansweredPort&) = delete;
    CUnansweredPort& operator=(const CUnansweredPort&) = delete;
    ~CUnansweredPort() {
        CloseSocket(m_filler);
        CloseSocket(m_listener);
    }
    unsigned short Port() const { return m_port; }

private:
    Socket m_listener = kNoSocket;
    Socket m_filler = kNoSocket;
    unsigned short m_port = 0;
};

// A whole reply with a Content-Length body.
inline std::string Reply(const std::string& statusLine, const std::string& headers, const std::string& body) {
    return statusLine + "\r\n" + headers + "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" +
           body;
}

// Answers each request on the connection with the same reply until the client closes.
inline CLoopbackServer::Script AnswerEvery(std::string reply) {
    return [reply](CConnection& c) {
        while (!c.ReadRequest().empty()) {
            c.Send(reply);
        }
    };
}

} // namespace testserver
