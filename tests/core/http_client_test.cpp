#include "protocol/http_client.h"

#include "http_test_server.h"

#include <gtest/gtest.h>

#include <chrono>

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
        const wchar_t* url;
        bool ok;
        const wchar_t* host = nullptr;
        unsigned short port = 0;
        const wchar_t* path = nullptr;
    } cases[] = {
        {L"http://example.test/serv/clientservice.asmx", true, L"example.test", 80,
         L"/serv/clientservice.asmx"},
        {L"HTTP://Host:8080", true, L"Host", 8080, L"/"},
        {L"http://host?a=1", true, L"host", 80, L"/?a=1"},
        {L"http://host:81/p?q=2#frag", true, L"host", 81, L"/p?q=2"},
        {L"http://[::1]:8080/x", true, L"[::1]", 8080, L"/x"},
        {L"http://host:/x", true, L"host", 80, L"/x"},
        {L"https://host/", false},
        {L"ftp://host/", false},
        {L"host/path", false},
        {L"http:///path", false},
        {L"http://host:0/", false},
        {L"http://host:65536/", false},
        {L"http://host:8a/", false},
        {L"http://[::1/", false},
        {L"http://host/a b", false},
        {L"http://host/a\nX-Injected: 1", false},
    };
    for (const auto& c : cases) {
        CHttpUrl url;
        ASSERT_EQ(ParseHttpUrl(c.url, url), c.ok) << c.url;
        if (!c.ok)
            continue;
        EXPECT_EQ(url.host, c.host) << c.url;
        EXPECT_EQ(url.port, c.port) << c.url;
        EXPECT_EQ(url.path, c.path) << c.url;
    }
}

TEST(HttpRequestText, PortAppearsInHostOnlyWhenNot80) {
    CHttpUrl url;
    ASSERT_TRUE(ParseHttpUrl(L"http://example.test/a?b", url));
    EXPECT_EQ(BuildRequestText(url, CHttpRequest{}),
              L"GET /a?b HTTP/1.1\r\nHost: example.test\r\nUser-Agent: Microsoft-ATL-Native/8.00\r\n\r\n");
    url.port = 8080;
    EXPECT_NE(BuildRequestText(url, CHttpRequest{}).find(L"\r\nHost: example.test:8080\r\n"),
              std::wstring::npos);
}

TEST(HttpClient, WritesTheRequestInOrder) {
    CLoopbackServer server(AnswerEvery(kOk));
    CAtlHttpClientT client;
    ASSERT_TRUE(client.Exchange(server.Url(L"/path?q=1"), Post("body")));
    EXPECT_EQ(client.Status(), 200);
    EXPECT_EQ(client.Body(), "fine");
    ASSERT_EQ(server.Requests().size(), 1u);
    EXPECT_EQ(server.Requests()[0],
              "POST /path?q=1 HTTP/1.1\r\nContent-Length: 4\r\nContent-Type: text/plain\r\n"
              "X-Extra: 1\r\nHost: 127.0.0.1:" +
                  std::to_string(server.Port()) + "\r\nUser-Agent: Microsoft-ATL-Native/8.00\r\n\r\nbody");
}

TEST(HttpClient, SendsABodyLargerThanOneBlock) {
    CLoopbackServer server(AnswerEvery(kOk));
    CAtlHttpClientT client;
    std::string body(10000, 'x');
    ASSERT_TRUE(client.Exchange(server.Url(), Post(body)));
    ASSERT_EQ(server.Requests().size(), 1u);
    EXPECT_EQ(server.Requests()[0].substr(server.Requests()[0].size() - body.size()), body);
}

TEST(HttpClient, KeepsOneConnectionOpenForSeveralCalls) {
    for (const std::string& reply :
         {kOk, Reply("HTTP/1.0 200 OK", "Connection: Keep-Alive\r\n", "fine"),
          std::string("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n4\r\nfine\r\n0\r\n\r\n")}) {
        CLoopbackServer server(AnswerEvery(reply));
        CAtlHttpClientT client;
        for (int i = 0; i < 3; ++i) {
            ASSERT_TRUE(client.Exchange(server.Url(), Post("x"))) << reply;
            EXPECT_EQ(client.Body(), "fine");
        }
        EXPECT_TRUE(client.IsConnected());
        EXPECT_EQ(server.Accepted(), 1) << reply;
        EXPECT_EQ(server.Requests().size(), 3u);
    }
}

TEST(HttpClient, ConnectsAfreshAfterTheConnectionEnded) {
    // "Connection: close", a body read to the end of the connection, and a server
    // that simply closed a kept-open connection: the next call still goes through.
    const struct {
        const char* name;
        std::string reply;
    } cases[] = {
        {"connection close", Reply("HTTP/1.1 200 OK", "Connection: close\r\n", "fine")},
        {"read to close", "HTTP/1.1 200 OK\r\n\r\nfine"},
        {"closed without saying", kOk},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::atomic<int> closed{0};
        CLoopbackServer server([&](CConnection& connection, int) {
            if (connection.ReadRequest().empty())
                return;
            connection.Send(c.reply);
            connection.Close();
            ++closed;
        });
        CAtlHttpClientT client;
        for (int i = 1; i <= 3; ++i) {
            ASSERT_TRUE(client.Exchange(server.Url(), Post("x")));
            EXPECT_EQ(client.Body(), "fine");
            while (closed < i)
                std::this_thread::yield();
        }
        EXPECT_EQ(server.Accepted(), 3);
    }
}

TEST(HttpClient, FollowsRedirectsOnTheSameServer) {
    for (int status : {301, 302, 303}) {
        CLoopbackServer server([&](CConnection& c, int) {
            for (std::string request; !(request = c.ReadRequest()).empty();) {
                if (request.rfind("POST /old ", 0) == 0)
                    c.Send(Reply("HTTP/1.1 " + std::to_string(status) + " Moved", "Location: /new\r\n", ""));
                else
                    c.Send(kOk);
            }
        });
        CAtlHttpClientT client;
        ASSERT_TRUE(client.Exchange(server.Url(L"/old"), Post("body"))) << status;
        EXPECT_EQ(client.Status(), 200);
        auto requests = server.Requests();
        ASSERT_EQ(requests.size(), 2u);
        EXPECT_EQ(requests[1].rfind("POST /new HTTP/1.1\r\n", 0), 0u) << requests[1];
        EXPECT_NE(requests[1].find("X-Extra: 1\r\n"), std::string::npos);
        EXPECT_EQ(requests[1].substr(requests[1].size() - 4), "body");
        EXPECT_EQ(server.Accepted(), 1);
    }
}

TEST(HttpClient, FollowsARedirectToAnotherPort) {
    CLoopbackServer target(AnswerEvery(kOk));
    std::string location = "http://127.0.0.1:" + std::to_string(target.Port()) + "/elsewhere";
    CLoopbackServer origin(AnswerEvery(Reply("HTTP/1.1 302 Found", "Location: " + location + "\r\n", "")));
    CAtlHttpClientT client;
    ASSERT_TRUE(client.Exchange(origin.Url(), Post("body")));
    EXPECT_EQ(client.Body(), "fine");
    ASSERT_EQ(target.Requests().size(), 1u);
    EXPECT_NE(target.Requests()[0].find("\r\nHost: 127.0.0.1:" + std::to_string(target.Port()) + "\r\n"),
              std::string::npos);
}

TEST(HttpClient, RefusesStatusesItDoesNotFollow) {
    const struct {
        std::string reply;
        int status;
    } cases[] = {
        {Reply("HTTP/1.1 307 Temporary", "Location: /new\r\n", ""), 307},
        {Reply("HTTP/1.1 301 Moved", "", ""), 301}, // no Location
        {Reply("HTTP/1.1 401 Unauthorized", "WWW-Authenticate: Basic realm=\"x\"\r\n", ""), 401},
        {Reply("HTTP/1.1 500 Internal Server Error", "", "<fault/>"), 500},
    };
    for (const auto& c : cases) {
        CLoopbackServer server(AnswerEvery(c.reply));
        CAtlHttpClientT client;
        EXPECT_FALSE(client.Exchange(server.Url(), Post("x"))) << c.status;
        EXPECT_EQ(client.Status(), c.status);
        EXPECT_EQ(server.Requests().size(), 1u) << c.status;
    }
}

TEST(HttpClient, GivesUpOnEndlessRedirects) {
    CLoopbackServer server(AnswerEvery(Reply("HTTP/1.1 302 Found", "Location: /again\r\n", "")));
    CAtlHttpClientT client;
    EXPECT_FALSE(client.Exchange(server.Url(), Post("x")));
    EXPECT_EQ(server.Requests().size(), static_cast<std::size_t>(CAtlHttpClientT::kMaxRedirects + 1));
}

TEST(HttpClient, ReadsRepliesThatArriveInPieces) {
    const std::string reply = "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 200 OK\r\nX-Folded: a\r\n b\r\n"
                              "Transfer-Encoding: chunked\r\n\r\n3;x=y\r\nfin\r\n1\r\ne\r\n0\r\nT: 1\r\n\r\n";
    CLoopbackServer server([&](CConnection& c, int) {
        while (!c.ReadRequest().empty())
            c.SendInPieces(reply, 9);
    });
    CAtlHttpClientT client;
    ASSERT_TRUE(client.Exchange(server.Url(), Post("x")));
    EXPECT_EQ(client.Body(), "fine");
    std::wstring folded;
    ASSERT_TRUE(client.HeaderValue(L"x-folded", folded));
    EXPECT_EQ(folded, L"a b");
}

TEST(HttpClient, FailsAndClosesWhenTheServerStopsMidReply) {
    const struct {
        const char* partial;
        HttpReadOutcome outcome;
    } cases[] = {
        {"HTTP/1.1 200 OK\r\nContent-Len", HttpReadOutcome::SocketReadFailed},
        {"HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nonly this", HttpReadOutcome::BodyReadFailed},
        {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n10\r\nhalf",
         HttpReadOutcome::ChunkedBodyReadFailed},
    };
    for (const auto& c : cases) {
        CLoopbackServer server([&](CConnection& connection, int index) {
            if (connection.ReadRequest().empty())
                return;
            connection.Send(index == 0 ? c.partial : kOk);
        });
        CAtlHttpClientT client;
        EXPECT_FALSE(client.Exchange(server.Url(), Post("x"))) << c.partial;
        EXPECT_EQ(client.Outcome(), c.outcome) << c.partial;
        EXPECT_FALSE(client.IsConnected());
        EXPECT_TRUE(client.Exchange(server.Url(), Post("x"))) << c.partial;
    }
}

TEST(HttpClient, TimesOutOnAServerThatDoesNotAnswer) {
    CLoopbackServer server([](CConnection& c, int) {
        c.ReadRequest();
        c.WaitForClientClose();
    });
    CAtlHttpClientT client;
    CHttpRequest request = Post("x");
    request.timeoutMs = 300;
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(client.Exchange(server.Url(), request));
    auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_GE(elapsed, std::chrono::milliseconds(250));
    EXPECT_LT(elapsed, std::chrono::milliseconds(3000));
    EXPECT_EQ(client.Outcome(), HttpReadOutcome::SocketReadFailed);
    EXPECT_EQ(client.Status(), -1);
    EXPECT_FALSE(client.IsConnected());
}

TEST(HttpClient, ProductTimeoutIsTenSeconds) {
    EXPECT_EQ(CHttpRequest{}.timeoutMs, 10000);
}

TEST(HttpClient, FailsWithoutAServer) {
    unsigned short port;
    {
        CLoopbackServer gone(AnswerEvery(kOk));
        port = gone.Port();
    }
    CAtlHttpClientT client;
    EXPECT_FALSE(client.Exchange(L"http://127.0.0.1:" + std::to_wstring(port) + L"/", Post("x")));
    EXPECT_EQ(client.Status(), -1);
    EXPECT_FALSE(client.Exchange(L"https://127.0.0.1/", Post("x")));
}

} // namespace
