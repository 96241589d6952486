#include "protocol/http_client.h"

#include "http_test_server.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

using testserver::AnswerEvery;
using testserver::CConnection;
using testserver::CLoopbackServer;
using testserver::Reply;

namespace {

const std::string kOk = Reply("HTTP/1.1 200 OK", "", "fine");

CHttpRequest Post(const std::string& body) {
    CHttpRequest request;
    request.method = L"POST";
    request.contentType = L"text/plain";
    request.extraHeaders = L"X-Extra: 1\r\n";
    request.body = body;
    return request;
}

TEST(HttpUrl, ParsesWhatTheClientAccepts) {
    const struct {
        const wchar_t *url, *host;
        unsigned short port;
        const wchar_t* path;
    } cases[] = {
        {L"http://example.test/serv/clientservice.asmx", L"example.test", 80, L"/serv/clientservice.asmx"},
        {L"HTTP://Host:8080", L"Host", 8080, L"/"},
        {L"http://host?a=1", L"host", 80, L"/?a=1"},
        {L"http://host:81/p?q=2#frag", L"host", 81, L"/p?q=2"},
        {L"http://[::1]:8080/x", L"[::1]", 8080, L"/x"},
        {L"https://example.test/serv", L"example.test", 443, L"/serv"},
        {L"HTTPS://Host:8443?a", L"Host", 8443, L"/?a"},
    };
    CHttpUrl url;
    for (const auto& c : cases) {
        ASSERT_TRUE(ParseHttpUrl(c.url, url)) << c.url;
        EXPECT_EQ(url.secure, std::wstring(c.url).size() > 4 && (c.url[4] == L's' || c.url[4] == L'S'))
            << c.url;
        EXPECT_EQ(url.host, c.host) << c.url;
        EXPECT_EQ(url.port, c.port) << c.url;
        EXPECT_EQ(url.path, c.path) << c.url;
    }
    // Nothing that could end up as a broken or injected request line.
    for (const wchar_t* bad :
         {L"httpx://host/", L"http://", L"https://", L"host/path", L"http:///path", L"http://host:65536/",
          L"http://host:8a/", L"http://host/a b", L"http://host/a\nX-Injected: 1"}) {
        EXPECT_FALSE(ParseHttpUrl(bad, url)) << bad;
    }
}

TEST(HttpRequestText, NoBodyNoPort) {
    CHttpUrl url;
    ASSERT_TRUE(ParseHttpUrl(L"http://example.test/a?b", url));
    EXPECT_EQ(BuildRequestText(url, CHttpRequest{}),
              L"GET /a?b HTTP/1.1\r\nHost: example.test\r\nUser-Agent: Microsoft-ATL-Native/8.00\r\n\r\n");
}

// The port is written out when it is not the scheme's own.
TEST(HttpRequestText, HostPortFollowsTheScheme) {
    const struct {
        const wchar_t *url, *host;
    } cases[] = {{L"https://h/", L"Host: h\r\n"},
                 {L"https://h:80/", L"Host: h:80\r\n"},
                 {L"http://h:443/", L"Host: h:443\r\n"}};
    for (const auto& c : cases) {
        CHttpUrl url;
        ASSERT_TRUE(ParseHttpUrl(c.url, url));
        EXPECT_NE(BuildRequestText(url, CHttpRequest{}).find(c.host), std::wstring::npos) << c.url;
    }
}

// An https call stays https: a redirect keeps the scheme or is refused.
TEST(HttpUrl, RedirectsKeepTheScheme) {
    CHttpUrl secure;
    ASSERT_TRUE(ParseHttpUrl(L"https://h:8443/a", secure));
    CHttpUrl next;
    for (const wchar_t* same : {L"/b", L"//h:8443/b", L"https://H:8443/b"}) {
        ASSERT_TRUE(ResolveRedirect(secure, same, next)) << same;
        EXPECT_TRUE(next.secure) << same;
        EXPECT_EQ(next.path, L"/b") << same;
    }
    for (const wchar_t* downgrade : {L"http://h:8443/b", L"http://h/b", L"http://h:443/b"}) {
        EXPECT_FALSE(ResolveRedirect(secure, downgrade, next)) << downgrade;
    }
    CHttpUrl plain;
    ASSERT_TRUE(ParseHttpUrl(L"http://h:8443/a", plain));
    EXPECT_FALSE(ResolveRedirect(plain, L"https://h:8443/b", next));
}

// The body is larger than one send block, and no two blocks alike.
TEST(HttpClient, WritesTheRequestInOrder) {
    CLoopbackServer server(AnswerEvery(kOk));
    CAtlHttpClientT client;
    std::string body;
    for (int i = 0; i < 10000; ++i) {
        body += static_cast<char>('a' + i / 1000);
    }
    ASSERT_TRUE(client.Exchange(server.Url(L"/path?q=1"), Post(body)));
    EXPECT_EQ(client.Status(), 200);
    EXPECT_EQ(client.Body(), "fine");
    ASSERT_EQ(server.Requests().size(), 1u);
    EXPECT_EQ(server.Requests()[0],
              "POST /path?q=1 HTTP/1.1\r\nContent-Length: 10000\r\nContent-Type: text/plain\r\n"
              "X-Extra: 1\r\nHost: 127.0.0.1:" +
                  std::to_string(server.Port()) + "\r\nUser-Agent: Microsoft-ATL-Native/8.00\r\n\r\n" + body);
}

// One connection serves every call while the server allows it; once it has
// ended, however that came about, the next call connects afresh. So does one
// where the server spoke out of turn: those bytes are no answer to anything.
TEST(HttpClient, ReusesTheConnectionWhileItLasts) {
    const struct {
        const char* name;
        std::string reply;
        bool serverCloses;
        int connections;
        const char* unasked = nullptr; // sent once the client has its answer
    } cases[] = {
        {"content length", kOk, false, 1},
        {"HTTP/1.0 keep-alive", Reply("HTTP/1.0 200 OK", "Connection: Keep-Alive\r\n", "fine"), false, 1},
        {"chunked", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n4\r\nfine\r\n0\r\n\r\n", false, 1},
        {"connection close", Reply("HTTP/1.1 200 OK", "Connection: close\r\n", "fine"), true, 3},
        {"connection close, but the server keeps it",
         Reply("HTTP/1.1 200 OK", "Connection: close\r\n", "fine"), false, 3},
        {"closed without saying", kOk, true, 3},
        {"bytes nobody asked for", kOk, false, 3, "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nstale"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::atomic<int> closed{0};   // connections closed, or spoken on out of turn
        std::atomic<int> answered{0}; // calls the client has ended
        CLoopbackServer server([&](CConnection& connection) {
            while (!connection.ReadRequest().empty()) {
                connection.Send(c.reply);
                if (c.unasked) {
                    while (answered <= closed) {
                        std::this_thread::yield();
                    }
                    connection.Send(c.unasked);
                    ++closed;
                }
                if (c.serverCloses) {
                    connection.Close();
                    ++closed;
                }
            }
        });
        CAtlHttpClientT client;
        for (int i = 1; i <= 3; ++i) {
            ASSERT_TRUE(client.Exchange(server.Url(), Post("x")));
            EXPECT_EQ(client.Body(), "fine");
            ++answered;
            while ((c.serverCloses || c.unasked) && closed < i) {
                std::this_thread::yield();
            }
        }
        EXPECT_EQ(server.Accepted(), c.connections);
        EXPECT_EQ(server.Requests().size(), 3u);
    }
}

// 301, 302 and 303 are followed with the same method, headers and body, on the same host and port.
TEST(HttpClient, FollowsRedirectsWithinTheOrigin) {
    CLoopbackServer origin([&](CConnection& c) {
        const std::string self = "127.0.0.1:" + std::to_string(origin.Port());
        for (std::string request; !(request = c.ReadRequest()).empty();) {
            if (request.starts_with("POST /old ")) {
                c.Send(Reply("HTTP/1.1 301 Moved", "Location: /mid\r\n", ""));
            } else if (request.starts_with("POST /mid ")) {
                c.Send(Reply("HTTP/1.1 302 Found", "Location: http://" + self + "/end\r\n", ""));
            } else if (request.starts_with("POST /end ")) {
                c.Send(Reply("HTTP/1.1 303 See Other", "Location: //" + self + "/last\r\n", ""));
            } else {
                c.Send(kOk);
            }
        }
    });
    CAtlHttpClientT client;
    ASSERT_TRUE(client.Exchange(origin.Url(L"/old"), Post("body")));
    EXPECT_EQ(client.Body(), "fine");
    EXPECT_EQ(origin.Accepted(), 1);
    const std::vector<std::string> requests = origin.Requests();
    ASSERT_EQ(requests.size(), 4u);
    EXPECT_TRUE(requests[3].starts_with("POST /last HTTP/1.1\r\n"));
    for (const std::string& request : requests) {
        EXPECT_NE(request.find("\r\nX-Extra: 1\r\n"), std::string::npos);
        EXPECT_TRUE(request.ends_with("\r\n\r\nbody"));
    }
}

// A redirect to another port or host fails the call; nothing reaches the other
// place. So does one whose path would break the request line.
TEST(HttpClient, RefusesRedirectsElsewhere) {
    CLoopbackServer elsewhere(AnswerEvery(kOk));
    const std::string port = std::to_string(elsewhere.Port());
    for (const std::string& location :
         {"http://127.0.0.1:" + port + "/x", "//127.0.0.1:" + port + "/x", "http://localhost:" + port + "/x",
          std::string("https://127.0.0.1/x"), std::string("ftp://127.0.0.1/x"), std::string("x.asmx"),
          // Same place, but the request line would break.
          std::string("/a b"), std::string("/a\tb HTTP/1.0\tX:")}) {
        SCOPED_TRACE(location);
        CLoopbackServer origin(
            AnswerEvery(Reply("HTTP/1.1 302 Found", "Location: " + location + "\r\n", "")));
        CAtlHttpClientT client;
        EXPECT_FALSE(client.Exchange(origin.Url(), Post("secret")));
        EXPECT_EQ(client.Status(), 302);
        EXPECT_EQ(origin.Requests().size(), 1u);
    }
    EXPECT_TRUE(elsewhere.Requests().empty());
}

// An https URL never falls back to the clear: against a server that speaks
// no TLS (and in a build without TLS) the call fails and no request arrives.
TEST(HttpClient, HttpsNeverGoesOutInTheClear) {
    CLoopbackServer server(AnswerEvery(kOk));
    CAtlHttpClientT client;
    CHttpRequest request = Post("secret");
    request.timeoutMs = 1000;
    const std::wstring plain = server.Url();
    EXPECT_FALSE(client.Exchange(L"https" + plain.substr(4), request));
    EXPECT_NE(client.LastTlsFailure(), TlsFailure::None);
    EXPECT_FALSE(client.IsConnected());
    EXPECT_TRUE(server.Requests().empty());
}

// Statuses that are not followed, and replies cut short by a server that went
// away: the call fails, and the next one goes through.
TEST(HttpClient, FailsAndRecovers) {
    using enum HttpReadOutcome;
    const struct {
        const char* name;
        std::string reply;
        int status;
        HttpReadOutcome outcome;
        std::size_t requests = 1;
    } cases[] = {
        {"307", Reply("HTTP/1.1 307 Temporary", "Location: /new\r\n", ""), 307, Ok},
        {"301 without Location", Reply("HTTP/1.1 301 Moved", "", ""), 301, Ok},
        {"401", Reply("HTTP/1.1 401 Unauthorized", "WWW-Authenticate: Basic realm=\"x\"\r\n", ""), 401, Ok},
        {"500", Reply("HTTP/1.1 500 Internal Server Error", "", "<fault/>"), 500, Ok},
        {"redirects for ever", Reply("HTTP/1.1 302 Found", "Location: /again\r\n", ""), 302, Ok,
         CAtlHttpClientT::kMaxRedirects + 1},
        {"cut in the header", "HTTP/1.1 200 OK\r\nContent-Len", -1, SocketReadFailed},
        {"cut in the body", "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nonly this", 200, BodyReadFailed},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::atomic<std::size_t> served{0};
        CLoopbackServer server([&](CConnection& connection) {
            while (!connection.ReadRequest().empty()) {
                const bool failing = served++ < c.requests;
                connection.Send(failing ? c.reply : kOk);
                if (failing && c.outcome != Ok) {
                    return;
                }
            }
        });
        CAtlHttpClientT client;
        EXPECT_FALSE(client.Exchange(server.Url(), Post("x")));
        EXPECT_EQ(client.Status(), c.status);
        EXPECT_EQ(client.Outcome(), c.outcome);
        EXPECT_EQ(server.Requests().size(), c.requests);
        EXPECT_EQ(client.IsConnected(), c.outcome == Ok);
        EXPECT_TRUE(client.Exchange(server.Url(), Post("x")));
    }
}

TEST(HttpClient, FailsOnASilentServerAndWhereNoneListens) {
    CAtlHttpClientT client;
    CHttpRequest request = Post("x");
    request.timeoutMs = 300;
    std::wstring url;
    {
        CLoopbackServer server([](CConnection& c) {
            c.ReadRequest();
            c.ReadRequest(); // returns when the client gives up
        });
        url = server.Url();
        auto start = std::chrono::steady_clock::now();
        EXPECT_FALSE(client.Exchange(url, request));
        auto elapsed = std::chrono::steady_clock::now() - start;
        EXPECT_GE(elapsed, std::chrono::milliseconds(250));
        EXPECT_LT(elapsed, std::chrono::milliseconds(3000));
        EXPECT_EQ(client.Outcome(), HttpReadOutcome::SocketReadFailed);
        EXPECT_EQ(client.Status(), -1);
        EXPECT_FALSE(client.IsConnected());
    }
    EXPECT_FALSE(client.Exchange(url, request));
    EXPECT_EQ(client.Status(), -1);
}

// A server that stops taking the request holds the call no longer than the
// time-out, whether the first send is large or the connection has carried
// sends before.
TEST(HttpClient, FailsASendTheServerNeverTakes) {
    const struct {
        const char* name;
        bool earlierCall;
        std::size_t sendBlockSize;
    } cases[] = {
        {"one large send on a new connection", false, 8 << 20},
        {"small sends on a kept-open connection", true, 1000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::atomic<bool> done{false};
        CLoopbackServer server([&](CConnection& connection) {
            if (c.earlierCall) {
                connection.ReadRequest();
                connection.Send(kOk);
            }
            // Reads nothing more; lets go once the client has, or when it never does.
            for (auto start = std::chrono::steady_clock::now();
                 !done && std::chrono::steady_clock::now() - start < std::chrono::seconds(8);) {
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
        });
        CAtlHttpClientT client;
        if (c.earlierCall) {
            ASSERT_TRUE(client.Exchange(server.Url(), Post("x")));
        }
        CHttpRequest request = Post(std::string(8 << 20, 'x'));
        request.timeoutMs = 300;
        request.sendBlockSize = c.sendBlockSize;
        auto start = std::chrono::steady_clock::now();
        EXPECT_FALSE(client.Exchange(server.Url(), request));
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(5000));
        EXPECT_FALSE(client.IsConnected());
        done = true;
    }
}

// A server that keeps the call alive, each byte within the receive time-out,
// meets the call's one deadline however the reply is framed; so does a connect
// that is never answered.
TEST(HttpClient, EndsEveryCallAtItsDeadline) {
    const struct {
        const char* name;
        std::string head; // sent at once, then one byte at a time
    } cases[] = {
        {"in the header", "HTTP/1.1 200 OK\r\n"},
        {"in a body of known length", "HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n"},
        {"in a body read up to the close", "HTTP/1.1 200 OK\r\n\r\n"},
        {"in a chunked body", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n100000\r\n"},
    };
    CHttpRequest request = Post("x");
    request.timeoutMs = 300;
    request.callDeadlineMs = 700;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CLoopbackServer server([&](CConnection& connection) {
            connection.ReadRequest();
            if (!connection.Send(c.head)) {
                return;
            }
            for (auto start = std::chrono::steady_clock::now();
                 std::chrono::steady_clock::now() - start < std::chrono::seconds(5) &&
                 connection.Send("X");) {
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            }
        });
        CAtlHttpClientT client;
        auto start = std::chrono::steady_clock::now();
        EXPECT_FALSE(client.Exchange(server.Url(), request));
        auto elapsed = std::chrono::steady_clock::now() - start;
        EXPECT_GE(elapsed, std::chrono::milliseconds(650));
        EXPECT_LT(elapsed, std::chrono::milliseconds(2500));
        EXPECT_FALSE(client.IsConnected());
    }

    testserver::CUnansweredPort unanswered;
    request.timeoutMs = 5000;
    CAtlHttpClientT client;
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(client.Exchange(L"http://127.0.0.1:" + std::to_wstring(unanswered.Port()) + L"/", request));
    auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_GE(elapsed, std::chrono::milliseconds(650));
    EXPECT_LT(elapsed, std::chrono::milliseconds(2500));
}

// Addresses that never answer share one time-out, not one each.
TEST(Socket, ConnectsWithinOneTimeOutOverEveryAddress) {
    testserver::CUnansweredPort unanswered;
    CLoopbackServer answering(AnswerEvery(kOk));
    ZEvtSyncSocket socket;
    socket.SetTimeout(400);
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(socket.Connect({"127.0.0.1", "127.0.0.1", "127.0.0.1"}, unanswered.Port()));
    auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_GE(elapsed, std::chrono::milliseconds(350));
    EXPECT_LT(elapsed, std::chrono::milliseconds(1000));
    EXPECT_FALSE(socket.DeadlinePassed());
    EXPECT_TRUE(socket.Connect("127.0.0.1", answering.Port()));
}

// One address: an unanswered connect ends with its time-out, a refused one at
// once and with an error, and the same socket connects afterwards.
TEST(Socket, OneAddressEndsAtItsTimeOutOrAtOnceWhenRefused) {
    testserver::CUnansweredPort unanswered;
    unsigned short closedPort = 0;
    {
        CLoopbackServer gone(AnswerEvery(kOk));
        closedPort = gone.Port();
    }
    CLoopbackServer answering(AnswerEvery(kOk));
    ZEvtSyncSocket socket;
    socket.SetTimeout(400);
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(socket.Connect("127.0.0.1", unanswered.Port()));
    auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_GE(elapsed, std::chrono::milliseconds(350));
    EXPECT_LT(elapsed, std::chrono::milliseconds(1000));
    EXPECT_NE(socket.LastError(), 0);
    EXPECT_FALSE(socket.DeadlinePassed());

    socket.SetTimeout(5000);
    start = std::chrono::steady_clock::now();
    EXPECT_FALSE(socket.Connect("127.0.0.1", closedPort));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(2500));
    EXPECT_NE(socket.LastError(), 0);
    EXPECT_FALSE(socket.IsConnected());

    EXPECT_TRUE(socket.Connect("127.0.0.1", answering.Port()));
    const char request[] = "POST / HTTP/1.1\r\nHost: x\r\nContent-Length: 0\r\n\r\n";
    EXPECT_TRUE(socket.Send(request, sizeof(request) - 1));
    char reply[16] = {};
    std::size_t received = 0;
    EXPECT_TRUE(socket.Receive(reply, sizeof(reply), received));
    EXPECT_GT(received, 0u);
}

} // namespace
