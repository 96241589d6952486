#include "protocol/service_client.h"

#include "http_test_server.h"

#include <gtest/gtest.h>

#include <chrono>
#include <sstream>
#include <thread>

using testserver::AnswerEvery;
using testserver::CConnection;
using testserver::CLoopbackServer;
using testserver::Reply;

namespace {

const std::string kServiceNamespace = VELMARIN_SERVICE_NAMESPACE;

// A reply body as an ASP.NET service writes it.
std::string EntryDocument(const std::string& result) {
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?><soap:Envelope "
           "xmlns:soap=\"http://schemas.xmlsoap.org/soap/envelope/\" "
           "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
           "xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\">"
           "<soap:Body><EntryResponse xmlns=\"" +
           kServiceNamespace + "\">" + result + "</EntryResponse></soap:Body></soap:Envelope>";
}

std::string EntryReply(const std::string& result, const std::string& headers = "") {
    return Reply("HTTP/1.1 200 OK", "Content-Type: text/xml; charset=utf-8\r\n" + headers,
                 EntryDocument("<EntryResult>" + result + "</EntryResult>"));
}

std::string Chunked(const std::string& body) {
    std::ostringstream reply;
    reply << "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"
          << std::hex << body.size() << "\r\n"
          << body << "\r\n0\r\n\r\n";
    return reply.str();
}

// The requestData text of a recorded request.
std::string RequestData(const std::string& request) {
    std::size_t start = request.find("<requestData>") + 13;
    return request.substr(start, request.find("</requestData>") - start);
}

class ServiceClient : public ::testing::Test {
protected:
    void TearDown() override { DeleteServiceClient(); }
};

TEST_F(ServiceClient, SendsTheEntryRequestByteExact) {
    CLoopbackServer server(AnswerEvery(EntryReply("R")));
    SetServiceEndpoint(server.Url());
    std::wstring reply;
    ASSERT_TRUE(CallEntry(L"1000Key<&>\u4E2D", reply));
    EXPECT_EQ(reply, L"R");
    std::string document =
        "<soap:Envelope xmlns:soap=\"http://schemas.xmlsoap.org/soap/envelope/\" "
        "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
        "xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\" "
        "xmlns:soapenc=\"http://schemas.xmlsoap.org/soap/encoding/\"><soap:Body><Entry xmlns=\"" +
        kServiceNamespace +
        "\"><requestData>1000Key&lt;&amp;&gt;&#x4E2D;</requestData></Entry></soap:Body></soap:Envelope>";
    ASSERT_EQ(server.Requests().size(), 1u);
    EXPECT_EQ(server.Requests()[0],
              "POST /serv/clientservice.asmx HTTP/1.1\r\nContent-Length: " + std::to_string(document.size()) +
                  "\r\nContent-Type: text/xml; charset=utf-8\r\nSOAPAction: \"" + kServiceNamespace +
                  "Entry\"\r\nAccept: text/xml\r\nHost: 127.0.0.1:" + std::to_string(server.Port()) +
                  "\r\nUser-Agent: Microsoft-ATL-Native/8.00\r\n\r\n" + document);
}

TEST_F(ServiceClient, JudgesEachReply) {
    const std::string fault =
        "<soap:Envelope xmlns:soap=\"http://schemas.xmlsoap.org/soap/envelope/\"><soap:Body>"
        "<soap:Fault><faultcode>soap:Server</faultcode><faultstring>x</faultstring>"
        "</soap:Fault></soap:Body></soap:Envelope>";
    const struct {
        const char* name;
        std::string reply;
        bool ok;
        const wchar_t* appended;
    } cases[] = {
        {"result", EntryReply("a&amp;b&#x4E2D;"), true, L"a&b\u4E2D"},
        {"HTTP/1.0 keep-alive",
         Reply("HTTP/1.0 200 OK", "Connection: Keep-Alive\r\n",
               EntryDocument("<EntryResult>k</EntryResult>")),
         true, L"k"},
        {"chunked", Chunked(EntryDocument("<EntryResult>c</EntryResult>")), true, L"c"},
        {"no EntryResult", Reply("HTTP/1.1 200 OK", "", EntryDocument("")), true, L""},
        {"nil EntryResult", Reply("HTTP/1.1 200 OK", "", EntryDocument("<EntryResult xsi:nil=\"true\"/>")),
         true, L""},
        {"fault with 200", Reply("HTTP/1.1 200 OK", "", fault), false, L""},
        {"fault with 500", Reply("HTTP/1.1 500 Internal Server Error", "", fault), false, L""},
        {"empty body", Reply("HTTP/1.1 200 OK", "", ""), false, L""},
        {"accepted without document", Reply("HTTP/1.1 202 Accepted", "", ""), false, L""},
        {"not found", Reply("HTTP/1.1 404 Not Found", "", "<html/>"), false, L""},
        {"malformed", Reply("HTTP/1.1 200 OK", "", EntryDocument("<EntryResult>x")), false, L""},
        {"garbage", "\x01\x02\r\n\r\n", false, L""},
    };
    for (const auto& c : cases) {
        CLoopbackServer server(AnswerEvery(c.reply));
        SetServiceEndpoint(server.Url());
        std::wstring reply = L"kept|";
        EXPECT_EQ(CallEntry(L"9999x", reply), c.ok) << c.name;
        EXPECT_EQ(reply, std::wstring(L"kept|") + c.appended) << c.name;
    }
}

TEST_F(ServiceClient, CarriesTheCapturedSessionCookie) {
    CLoopbackServer server([](CConnection& c, int) {
        for (int n = 0; !c.ReadRequest().empty(); ++n) {
            if (n == 0)
                c.Send(EntryReply("login", "Set-Cookie: ASP.NET_SessionId=abc123; path=/; HttpOnly\r\n"));
            else if (n == 2)
                c.Send(EntryReply("again", "Set-Cookie: first=1; path=/\r\nSet-Cookie: second=2\r\n"));
            else
                c.Send(EntryReply("plain"));
        }
    });
    SetServiceEndpoint(server.Url());
    std::wstring reply;
    ASSERT_TRUE(CallEntry(L"1002", reply));
    EXPECT_EQ(SessionCookie(), L"");
    EXPECT_TRUE(CaptureSessionCookie());
    EXPECT_EQ(SessionCookie(), L"ASP.NET_SessionId=abc123");

    ASSERT_TRUE(CallEntry(L"9999", reply));
    EXPECT_TRUE(CaptureSessionCookie()); // no Set-Cookie: the cookie stays
    EXPECT_EQ(SessionCookie(), L"ASP.NET_SessionId=abc123");
    auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].find("Cookie:"), std::string::npos);
    EXPECT_NE(requests[1].find("\r\nCookie: ASP.NET_SessionId=abc123\r\nSOAPAction: "), std::string::npos);

    ASSERT_TRUE(CallEntry(L"1002", reply));
    EXPECT_TRUE(CaptureSessionCookie()); // two headers are joined before the cut
    EXPECT_EQ(SessionCookie(), L"first=1");

    SetServiceEndpoint(server.Url());
    EXPECT_EQ(SessionCookie(), L"");
}

TEST_F(ServiceClient, HandsBackTheCookieOfItsOwnReply) {
    CLoopbackServer server([](CConnection& c, int) {
        for (int n = 0; !c.ReadRequest().empty(); ++n)
            c.Send(n == 0 ? EntryReply("login", "Set-Cookie: s=relogin; path=/\r\n") : EntryReply("other"));
    });
    SetServiceEndpoint(server.Url());
    std::wstring reply;
    std::optional<std::wstring> setCookie;
    ASSERT_TRUE(CallEntry(L"1002", reply, setCookie));
    // A call that slips in before the capture does not change what is captured.
    ASSERT_TRUE(CallEntry(L"1003", reply));
    ASSERT_TRUE(setCookie.has_value());
    EXPECT_TRUE(CaptureSessionCookie(setCookie));
    EXPECT_EQ(SessionCookie(), L"s=relogin");

    ASSERT_TRUE(CallEntry(L"9999", reply, setCookie));
    EXPECT_FALSE(setCookie.has_value());
    EXPECT_TRUE(CaptureSessionCookie(setCookie));
    EXPECT_EQ(SessionCookie(), L"s=relogin");
}

TEST_F(ServiceClient, FailsWithoutAClient) {
    DeleteServiceClient();
    std::wstring reply;
    EXPECT_FALSE(CallEntry(L"1000", reply));
    EXPECT_TRUE(CaptureSessionCookie());
    EXPECT_TRUE(reply.empty());
}

TEST_F(ServiceClient, SerialisesCallsFromTwoThreads) {
    // Slow answers, so one thread's call waits on the lock while the other is on the wire.
    CLoopbackServer server([&](CConnection& c, int) {
        for (std::string request; !(request = c.ReadRequest()).empty();) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            c.Send(EntryReply("echo:" + RequestData(request)));
        }
    });
    SetServiceEndpoint(server.Url());
    std::wstring first, second;
    bool firstOk = false, secondOk = false;
    std::thread a([&] {
        for (int i = 0; i < 3; ++i) {
            first.clear();
            firstOk = CallEntry(L"first", first);
        }
    });
    std::thread b([&] {
        for (int i = 0; i < 3; ++i) {
            second.clear();
            secondOk = CallEntry(L"second", second);
        }
    });
    a.join();
    b.join();
    EXPECT_TRUE(firstOk);
    EXPECT_TRUE(secondOk);
    EXPECT_EQ(first, L"echo:first");
    EXPECT_EQ(second, L"echo:second");
    EXPECT_EQ(server.Requests().size(), 6u);
    EXPECT_EQ(server.Accepted(), 1);
}

} // namespace
