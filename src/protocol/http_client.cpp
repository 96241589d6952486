#include "protocol/http_client.h"

#include "text/ansi_text.h"

#include <algorithm>
#include <chrono>

namespace {

constexpr unsigned short kHttpPort = 80;
constexpr unsigned short kHttpsPort = 443;

unsigned short DefaultPort(bool secure) {
    return secure ? kHttpsPort : kHttpPort;
}
constexpr wchar_t kUserAgent[] = L"Microsoft-ATL-Native/8.00";

bool IsAccepted(int status) {
    return (status >= 200 && status <= 206) || status == 304 || status == 305;
}
bool IsRedirect(int status) {
    return status == 301 || status == 302 || status == 303;
}

bool ParsePort(const std::wstring& text, bool secure, unsigned short& port) {
    if (text.empty()) {
        port = DefaultPort(secure);
        return true;
    }
    unsigned long value = 0;
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9') {
            return false;
        }
        value = value * 10 + static_cast<unsigned long>(c - L'0');
        if (value > 65535) {
            return false;
        }
    }
    if (value == 0) {
        return false;
    }
    port = static_cast<unsigned short>(value);
    return true;
}

// Splits "host[:port]" or "[v6]:port".
bool ParseAuthority(const std::wstring& authority, CHttpUrl& url) {
    std::size_t hostEnd = 0;
    if (!authority.empty() && authority[0] == L'[') {
        std::size_t close = authority.find(L']');
        if (close == std::wstring::npos) {
            return false;
        }
        hostEnd = close + 1;
        if (hostEnd < authority.size() && authority[hostEnd] != L':') {
            return false;
        }
    } else {
        hostEnd = std::min(authority.find(L':'), authority.size());
    }
    url.host = authority.substr(0, hostEnd);
    if (url.host.empty()) {
        return false;
    }
    if (hostEnd == authority.size()) {
        url.port = DefaultPort(url.secure);
        return true;
    }
    return ParsePort(authority.substr(hostEnd + 1), url.secure, url.port);
}

// The host name for the resolver and the certificate: an IPv6 literal without its brackets.
std::wstring BareHost(const std::wstring& host) {
    if (host.size() >= 2 && host.front() == L'[' && host.back() == L']') {
        return host.substr(1, host.size() - 2);
    }
    return host;
}

wchar_t Lower(wchar_t c) {
    return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}

// The same scheme, host (as written, without regard to case) and port: a
// redirect elsewhere would hand the call and its cookie to another server,
// or from https to the clear.
bool IsSameOrigin(const CHttpUrl& a, const CHttpUrl& b) {
    return a.secure == b.secure && a.port == b.port && a.host.size() == b.host.size() &&
           std::equal(a.host.begin(), a.host.end(), b.host.begin(),
                      [](wchar_t x, wchar_t y) { return Lower(x) == Lower(y); });
}

bool IsUnsafeInRequestLine(wchar_t c) {
    return c <= L' ' || c == 0x7F;
}

// A Location value: an absolute URL, or a path on the same scheme, host and port.
bool ResolveLocation(const CHttpUrl& current, const std::wstring& location, CHttpUrl& next) {
    // A header value keeps inner spaces and tabs: none may reach the request line.
    if (std::any_of(location.begin(), location.end(), IsUnsafeInRequestLine)) {
        return false;
    }
    if (location.size() >= 2 && location[0] == L'/' && location[1] == L'/') {
        return ParseHttpUrl((current.secure ? L"https:" : L"http:") + location, next);
    }
    if (!location.empty() && location[0] == L'/') {
        next = current;
        next.path = location.substr(0, location.find(L'#'));
        return true;
    }
    return ParseHttpUrl(location, next);
}

// Feeds the reply reader from the connection, through TLS when it is open.
class CSocketReplySource : public IHttpReplySource {
public:
    CSocketReplySource(ZEvtSyncSocket& socket, CTlsChannel& tls) : m_socket(socket), m_tls(tls) {}
    bool Receive(char* buffer, std::size_t capacity, std::size_t& received) override {
        return m_tls.IsOpen() ? m_tls.Receive(buffer, capacity, received)
                              : m_socket.Receive(buffer, capacity, received);
    }

private:
    ZEvtSyncSocket& m_socket; // borrowed from the client
    CTlsChannel& m_tls;       // borrowed from the client
};

// The scheme's length when url starts with "http://" or "https://" (any case), else 0.
std::size_t SchemeLength(const std::wstring& url, bool& secure) {
    for (const std::wstring scheme : {L"http", L"https"}) {
        if (url.size() > scheme.size() + 3 && url.compare(scheme.size(), 3, L"://") == 0 &&
            std::equal(scheme.begin(), scheme.end(), url.begin(),
                       [](wchar_t s, wchar_t u) { return s == Lower(u); })) {
            secure = scheme.size() == 5;
            return scheme.size();
        }
    }
    return 0;
}

} // namespace

bool ParseHttpUrl(const std::wstring& url, CHttpUrl& parsed) {
    // A Location comes from the server: nothing in it may break the request line.
    if (std::any_of(url.begin(), url.end(), IsUnsafeInRequestLine)) {
        return false;
    }
    CHttpUrl result;
    const std::size_t schemeEnd = SchemeLength(url, result.secure);
    if (schemeEnd == 0) {
        return false;
    }
    std::wstring rest = url.substr(schemeEnd + 3);
    rest = rest.substr(0, rest.find(L'#'));
    std::size_t pathStart = std::min(rest.find_first_of(L"/?"), rest.size());
    if (!ParseAuthority(rest.substr(0, pathStart), result)) {
        return false;
    }
    std::wstring path = rest.substr(pathStart);
    if (path.empty() || path[0] != L'/') {
        path.insert(0, L"/");
    }
    result.path = path;
    parsed = result;
    return true;
}

bool ResolveRedirect(const CHttpUrl& current, const std::wstring& location, CHttpUrl& next) {
    CHttpUrl resolved;
    if (!ResolveLocation(current, location, resolved) || !IsSameOrigin(resolved, current)) {
        return false;
    }
    next = resolved;
    return true;
}

std::wstring BuildRequestText(const CHttpUrl& url, const CHttpRequest& request) {
    std::wstring text = request.method + L" " + url.path + L" HTTP/1.1\r\n";
    if (!request.body.empty()) {
        text += L"Content-Length: " + std::to_wstring(request.body.size()) + L"\r\n";
    }
    if (!request.contentType.empty()) {
        text += L"Content-Type: " + request.contentType + L"\r\n";
    }
    text += request.extraHeaders;
    text += L"Host: " + url.host;
    if (url.port != DefaultPort(url.secure)) {
        text += L":" + std::to_wstring(url.port);
    }
    text += L"\r\nUser-Agent: ";
    text += kUserAgent;
    text += L"\r\n\r\n";
    return text;
}

bool CAtlHttpClientT::Exchange(const std::wstring& url, const CHttpRequest& request) {
    m_reply.Reset();
    CHttpUrl target;
    if (!ParseHttpUrl(url, target)) {
        return false;
    }
    m_socket.SetDeadline(ZEvtSyncSocket::Clock::now() + std::chrono::milliseconds(request.callDeadlineMs));
    for (int redirects = 0;; ++redirects) {
        if (!SendAndRead(target, request)) {
            return false;
        }
        if (IsAccepted(m_reply.Status())) {
            return true;
        }
        std::wstring location;
        CHttpUrl next;
        if (!IsRedirect(m_reply.Status()) || redirects == kMaxRedirects ||
            !m_reply.HeaderValue(L"Location", location) || !ResolveRedirect(target, location, next)) {
            return false;
        }
        target = next;
    }
}

bool CAtlHttpClientT::SendAndRead(const CHttpUrl& url, const CHttpRequest& request) {
    m_reply.Reset();
    m_socket.SetTimeout(request.timeoutMs);
    std::string head = ToAnsi(BuildRequestText(url, request));
    if (!Connect(url)) {
        return false;
    }
    // The head goes out with the body's first block: one send fewer per call,
    // and a send costs a round trip to Wine's server. Later blocks follow alone.
    std::size_t block = std::max<std::size_t>(request.sendBlockSize, 1);
    std::size_t at = std::min(block, request.body.size());
    head.append(request.body, 0, at);
    bool sent = Send(head.data(), head.size());
    for (; sent && at < request.body.size(); at += block) {
        sent = Send(request.body.data() + at, std::min(block, request.body.size() - at));
    }
    CSocketReplySource source(m_socket, m_tls);
    // A body read up to the end of the connection also ends at a failed read;
    // when that was the deadline, the body is not whole.
    if (!sent || !m_reply.Read(source, request.readBlockSize) || m_socket.DeadlinePassed()) {
        Disconnect();
        return false;
    }
    if (m_reply.EndsConnection()) {
        Disconnect();
    }
    return true;
}

bool CAtlHttpClientT::Send(const char* data, std::size_t length) {
    return m_tls.IsOpen() ? m_tls.Send(data, length) : m_socket.Send(data, length);
}

void CAtlHttpClientT::Disconnect() {
    m_tls.Close();
    m_socket.Close();
}

// Reuses the open connection when it leads to the same place and the server
// has not closed it meanwhile; otherwise connects afresh. An https connection
// carries nothing before its certificate has passed. A plain one starts the
// answer's receive as its check (the TLS channel does its own receives).
bool CAtlHttpClientT::Connect(const CHttpUrl& url) {
    if (m_socket.IsConnected() && m_connectedTo.secure == url.secure && m_connectedTo.host == url.host &&
        m_connectedTo.port == url.port &&
        (url.secure ? m_socket.IsReusable() && m_tls.IsReusable() : m_socket.StartReceive())) {
        return true;
    }
    Disconnect();
    if (!m_socket.Connect(ToAnsi(BareHost(url.host)), url.port)) {
        return false;
    }
    if (url.secure && !m_tls.Open(m_socket, BareHost(url.host))) {
        Disconnect();
        return false;
    }
    m_connectedTo = url;
    return true;
}
