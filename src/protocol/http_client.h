#pragma once
// The HTTP/1.1 client under the SOAP call: http or https, with one connection
// kept open between exchanges while the server allows it.
#include "protocol/http_reply.h"
#include "protocol/socket.h"
#include "protocol/tls_channel.h"

#include <cstddef>
#include <string>

// The parts of an http or https URL that an exchange uses.
struct CHttpUrl {
    bool secure = false; // https: TLS under the HTTP
    std::wstring host;   // as written, with the brackets of an IPv6 literal
    unsigned short port = 80;
    std::wstring path = L"/"; // path and query part
};

// Only "http" and "https" URLs parse; no port means 80 or 443, no path means "/".
bool ParseHttpUrl(const std::wstring& url, CHttpUrl& parsed);

// Where a redirect from current to location leads; false when location is
// no http(s) URL or path, or names another scheme, host or port (a redirect
// the client refuses: https never falls back to http).
bool ResolveRedirect(const CHttpUrl& current, const std::wstring& location, CHttpUrl& next);

// What one exchange sends.
struct CHttpRequest {
    // Far above any real reply; only a server that keeps the call alive
    // without ever finishing it meets it.
    static constexpr int kDefaultCallDeadlineMs = 60000;

    std::wstring method = L"GET";
    std::wstring contentType;
    std::wstring extraHeaders; // whole header lines, each ending in "\r\n"
    std::string body;
    int timeoutMs = ZEvtSyncSocket::kDefaultTimeoutMs; // connect, each send, each receive
    int callDeadlineMs = kDefaultCallDeadlineMs;       // the whole exchange, redirects included
    std::size_t sendBlockSize = 4096;
    std::size_t readBlockSize = 4096;
};

// The request line and headers, up to and including the empty line.
std::wstring BuildRequestText(const CHttpUrl& url, const CHttpRequest& request);

class CAtlHttpClientT {
public:
    // A server that redirects for ever must not keep us busy for ever.
    static constexpr int kMaxRedirects = 10;

    // Sends the request, follows redirects on the same host and port (any other
    // fails the call) and reads the reply; true when a reply
    // was read and its status accepted, all before the call's deadline. The
    // reply stays readable until the next call.
    bool Exchange(const std::wstring& url, const CHttpRequest& request);

    // The number from the last status line read, or -1.
    int Status() const { return m_reply.Status(); }
    bool HeaderValue(const std::wstring& name, std::wstring& value) const {
        return m_reply.HeaderValue(name, value);
    }
    const std::string& Body() const { return m_reply.Body(); }
    HttpReadOutcome Outcome() const { return m_reply.Outcome(); }
    bool IsConnected() const { return m_socket.IsConnected(); }
    // The TLS failure of the last https connect (TlsFailure::None otherwise).
    TlsFailure LastTlsFailure() const { return m_tls.LastFailure(); }

private:
    bool SendAndRead(const CHttpUrl& url, const CHttpRequest& request);
    bool Connect(const CHttpUrl& url);
    bool Send(const char* data, std::size_t length);
    void Disconnect();

    ZEvtSyncSocket m_socket;
    CTlsChannel m_tls;      // open over the socket while connected to an https URL
    CHttpUrl m_connectedTo; // the scheme, host and port the socket is connected to
    CHttpReply m_reply;
};
