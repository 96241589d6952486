#include "protocol/service_client.h"

#include "protocol/soap_client.h"
#include "protocol/soap_request.h"

#include "http_test_server.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
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

// The requestData text of a recorded request.
std::string RequestData(const std::string& request) {
    std::size_t start = request.find("<requestData>") + 13;
    return request.substr(start, request.find("</requestData>") - start);
}

class ServiceClient : public ::testing::Test {
protected:
    void TearDown() override { DeleteServiceClient(); }
};

// The document itself is checked byte by byte with the SOAP request; here its HTTP framing.
TEST_F(ServiceClient, SendsTheEntryRequestByteExact) {
    CLoopbackServer server(AnswerEvery(EntryReply("R")));
    SetServiceEndpoint(server.Url());
    std::wstring reply;
    ASSERT_TRUE(CallEntry(L"1000Key<&>\u4E2D", reply));
    EXPECT_EQ(reply, L"R");
    const std::string document = BuildEntryRequest(L"1000Key<&>\u4E2D");
    ASSERT_NE(document.find("<requestData>1000Key&lt;&amp;&gt;&#x4E2D;</requestData>"), std::string::npos);
    ASSERT_EQ(server.Requests().size(), 1u);
    EXPECT_EQ(server.Requests()[0],
              "POST /serv/clientservice.asmx HTTP/1.1\r\nContent-Length: " + std::to_string(document.size()) +
                  "\r\nContent-Type: text/xml; charset=utf-8\r\nSOAPAction: \"" + kServiceNamespace +
                  "Entry\"\r\nAccept: text/xml\r\nHost: 127.0.0.1:" + std::to_string(server.Port()) +
                  "\r\nUser-Agent: Microsoft-ATL-Native/8.00\r\n\r\n" + document);
}

TEST_F(ServiceClient, JudgesEachReply) {
    // A 500 reply fails even with a well-formed fault; the reply rules themselves are the SOAP reply's.
    const std::string fault =
        "<soap:Envelope xmlns:soap=\"http://schemas.xmlsoap.org/soap/envelope/\"><soap:Body>"
        "<soap:Fault><faultcode>soap:Server</faultcode></soap:Fault></soap:Body></soap:Envelope>";
    const struct {
        const char* name;
        std::string reply;
        bool ok;
        const wchar_t* appended;
    } cases[] = {
        {"result", EntryReply("a&amp;b&#x4E2D;"), true, L"a&b\u4E2D"},
        {"no EntryResult", Reply("HTTP/1.1 200 OK", "", EntryDocument("")), true, L""},
        {"fault with 500", Reply("HTTP/1.1 500 Internal Server Error", "", fault), false, L""},
        {"empty body", Reply("HTTP/1.1 200 OK", "", ""), false, L""},
        {"accepted without document", Reply("HTTP/1.1 202 Accepted", "", ""), false, L""},
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
    // One reply per request, in order.
    const std::string plain = EntryReply("");
    const std::string replies[] = {
        EntryReply("", "Set-Cookie: ASP.NET_SessionId=abc123; path=/; HttpOnly\r\n"), plain,
        EntryReply("", "Set-Cookie: first=1; path=/\r\nSet-Cookie: second=2\r\n"), plain, plain};
    CLoopbackServer server([&](CConnection& c) {
        for (std::size_t n = 0; !c.ReadRequest().empty(); ++n) {
            c.Send(replies[std::min(n, std::size(replies) - 1)]);
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

    // The relogin's way: the value comes back with its own reply, so a call that
    // slips in before the capture changes nothing. Two headers are joined before the cut.
    std::optional<std::wstring> setCookie;
    ASSERT_TRUE(CallEntry(L"1002", reply, setCookie));
    ASSERT_TRUE(CallEntry(L"1003", reply));
    EXPECT_TRUE(CaptureSessionCookie(setCookie));
    EXPECT_EQ(SessionCookie(), L"first=1");
    ASSERT_TRUE(CallEntry(L"9999", reply, setCookie));
    EXPECT_FALSE(setCookie.has_value());
    EXPECT_TRUE(CaptureSessionCookie(setCookie));
    EXPECT_EQ(SessionCookie(), L"first=1");

    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 5u);
    EXPECT_EQ(requests[0].find("Cookie:"), std::string::npos);
    EXPECT_NE(requests[1].find("\r\nCookie: ASP.NET_SessionId=abc123\r\nSOAPAction: "), std::string::npos);
    SetServiceEndpoint(server.Url());
    EXPECT_EQ(SessionCookie(), L"");
}

TEST_F(ServiceClient, RefusesCookieValuesHoldingControlCharacters) {
    CLoopbackServer server(AnswerEvery(EntryReply("")));
    SetServiceEndpoint(server.Url());
    ASSERT_TRUE(CaptureSessionCookie(std::optional<std::wstring>(L"id=good; path=/")));
    for (const wchar_t* value : {L"id=a\r\nX-Injected: 1", L"id=a\nb", L"id=\tb", L"id=a\x7f", L"id=\x01"}) {
        EXPECT_FALSE(CaptureSessionCookie(std::optional<std::wstring>(value))) << value;
        EXPECT_EQ(SessionCookie(), L"id=good") << value;
    }
    // What follows the first ";" never reaches the Cookie line, so it does not matter.
    EXPECT_TRUE(CaptureSessionCookie(std::optional<std::wstring>(L"id=next; path=/\t")));
    EXPECT_EQ(SessionCookie(), L"id=next");
    std::wstring reply;
    ASSERT_TRUE(CallEntry(L"9999", reply));
    ASSERT_EQ(server.Requests().size(), 1u);
    EXPECT_NE(server.Requests()[0].find("\r\nCookie: id=next\r\nSOAPAction: "), std::string::npos);
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
    CLoopbackServer server([&](CConnection& c) {
        for (std::string request; !(request = c.ReadRequest()).empty();) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            c.Send(EntryReply("echo:" + RequestData(request)));
        }
    });
    SetServiceEndpoint(server.Url());
    std::wstring replies[2];
    std::atomic<int> failures{0};
    auto run = [&](int i, const wchar_t* command) {
        for (int n = 0; n < 3; ++n) {
            replies[i].clear();
            failures += CallEntry(command, replies[i]) ? 0 : 1;
        }
    };
    std::thread a(run, 0, L"first"), b(run, 1, L"second");
    a.join();
    b.join();
    EXPECT_EQ(failures, 0);
    EXPECT_EQ(replies[0], L"echo:first");
    EXPECT_EQ(replies[1], L"echo:second");
    EXPECT_EQ(server.Requests().size(), 6u);
    EXPECT_EQ(server.Accepted(), 1);
}

// The program's waits: 10 s for the connect and for each send and receive,
// 60 s for the whole call. Shortened here, they are shown to reach the wire.
TEST_F(ServiceClient, WaitsTenSecondsEachAndOneMinuteInAll) {
    using ClientService::CEntryTimings;
    const CHttpRequest request = ClientService::EntryHttpRequest(L"9999x", L"", CEntryTimings{});
    EXPECT_EQ(request.timeoutMs, 10000);
    EXPECT_EQ(request.callDeadlineMs, 60000);
    EXPECT_EQ(request.sendBlockSize, 4096u);
    EXPECT_EQ(request.readBlockSize, 4096u);

    const struct {
        const char* name;
        bool trickles;
        int atLeastMs;
    } cases[] = {{"silent", false, 200}, {"trickling", true, 800}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CLoopbackServer server([&](CConnection& connection) {
            connection.ReadRequest();
            if (!c.trickles) {
                connection.ReadRequest(); // returns when the client gives up
            } else if (connection.Send("HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n")) {
                for (int i = 0; i < 100 && connection.Send("<"); ++i) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(50));
                }
            }
        });
        ClientService::CClientServiceT client(server.Url(), CEntryTimings{200, 800});
        std::optional<std::wstring> result;
        auto start = std::chrono::steady_clock::now();
        EXPECT_FALSE(client.Entry(L"9999x", L"", result));
        auto elapsed = std::chrono::steady_clock::now() - start;
        EXPECT_GE(elapsed, std::chrono::milliseconds(c.atLeastMs - 50));
        EXPECT_LT(elapsed, std::chrono::milliseconds(c.atLeastMs + 1500));
    }
}

} // namespace
