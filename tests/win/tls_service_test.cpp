// Service calls over TLS against the stand-in's HTTPS port, named in
// VELMARIN_DEVSERVICE_TLS; its plain port (VELMARIN_DEVSERVICE) is the control
// side, which chooses the certificate the HTTPS port presents. The test
// prefix trusts the tests' certificate authority, and nothing else of it.
#include "../core/devservice_fixture.h"
#include "protocol/command_strings.h"
#include "protocol/http_client.h"
#include "protocol/reply_fields.h"
#include "protocol/service_client.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

// One handshake as the stand-in logged it.
struct CHandshake {
    std::string certificate;
    std::string version; // empty when it failed
    bool failed = false;
    int requests = 0;
};

std::string JsonText(const std::string& object, const std::string& key) {
    const std::string marker = "\"" + key + "\": \"";
    const size_t at = object.find(marker);
    if (at == std::string::npos) {
        return "";
    }
    const size_t start = at + marker.size();
    return object.substr(start, object.find('"', start) - start);
}

class ServiceOverTls : public DevServiceTest {
protected:
    void SetUp() override {
        DevServiceTest::SetUp();
        if (IsSkipped()) {
            return;
        }
        const char* address = std::getenv("VELMARIN_DEVSERVICE_TLS");
        if (!address || !*address) {
            GTEST_SKIP()
                << "VELMARIN_DEVSERVICE_TLS is not set (the stand-in serves HTTPS with the tests' CA)";
        }
        m_port = std::strchr(address, ':') + 1;
        m_secureBase = L"https://127.0.0.1:" + std::wstring(m_port.begin(), m_port.end());
        SetServiceEndpoint(m_secureBase + L"/serv/clientservice.asmx");
    }

    // The stand-in's handshakes so far, oldest first.
    std::vector<CHandshake> Handshakes() {
        std::vector<CHandshake> found;
        EXPECT_TRUE(m_control.Exchange(m_base + L"/control/log", CHttpRequest()));
        const std::string& body = m_control.Body();
        const size_t list = body.find("\"tls\": [");
        for (size_t at = body.find("{\"certificate\": ", list);
             list != std::string::npos && at != std::string::npos;) {
            const size_t next = body.find("{\"certificate\": ", at + 1);
            const std::string object =
                body.substr(at, next == std::string::npos ? std::string::npos : next - at);
            CHandshake h;
            h.certificate = JsonText(object, "certificate");
            h.version = JsonText(object, "version");
            h.failed = object.find("\"error\": null") == std::string::npos;
            const size_t requests = object.find("\"requests\": ");
            h.requests = requests == std::string::npos ? -1 : std::atoi(object.c_str() + requests + 12);
            found.push_back(h);
            at = next;
        }
        return found;
    }

    // The stand-in counts a connection's requests as it reads them: wait until the last is in.
    std::vector<CHandshake> HandshakesOnceCounted(int requests) {
        std::vector<CHandshake> found;
        for (int i = 0; i < 100; ++i) {
            found = Handshakes();
            int counted = 0;
            for (const CHandshake& h : found) {
                counted += h.requests;
            }
            if (counted >= requests) {
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return found;
    }

    std::string m_port;
    std::wstring m_secureBase;
};

// Sign-in, heartbeat, a page command and logout: one handshake, one
// connection kept open for all of them, TLS 1.2 or newer.
TEST_F(ServiceOverTls, WholeSessionOnOneKeptOpenConnection) {
    ASSERT_TRUE(Control(
        L"messages", R"({"user": "05512345678", "messages": [["7", "13900000000", "10:00", "hi", "1"]]})"));
    CCommandContext login(L"05512345678", L"abc123");
    CReplyFields token = SendEntry(BuildTokenRequest(login), login.SessionKey());
    ASSERT_EQ(token.ResultCode(), L"0");
    CReplyFields signedIn = SendEntry(BuildLoginRequest(login, token.Field(L"ltoken")), login.SessionKey());
    ASSERT_EQ(signedIn.ResultCode(), L"0");
    ASSERT_TRUE(CaptureSessionCookie());
    const std::wstring sessionId = signedIn.Field(L"sessionid");
    CCommandContext heartbeat(L"05512345678", L"abc123");
    CReplyFields beat = SendEntry(BuildHeartbeatRequest(sessionId, heartbeat), signedIn.Field(L"skey"),
                                  heartbeat.SessionKey());
    EXPECT_EQ(beat.ResultCode(), L"0");
    EXPECT_NE(beat.Field(L"data").find(L"hi"), std::wstring::npos);
    std::wstring reply;
    EXPECT_TRUE(CallEntry(BuildPageCommand(heartbeat, L"cmd=send&text=x"), reply));
    EXPECT_TRUE(CallEntry(BuildLogoutRequest(sessionId), reply));

    const std::vector<LoggedCommand> log = Log();
    std::vector<std::string> codes;
    for (const LoggedCommand& c : log) {
        codes.push_back(c.code);
    }
    EXPECT_EQ(codes, (std::vector<std::string>{"1000", "1002", "9999", "1003", "1004"}));
    const std::vector<CHandshake> handshakes = HandshakesOnceCounted(5);
    ASSERT_EQ(handshakes.size(), 1u);
    EXPECT_EQ(handshakes[0].requests, 5);
    EXPECT_TRUE(handshakes[0].version == "TLSv1.2" || handshakes[0].version == "TLSv1.3")
        << handshakes[0].version;
}

// The server ends a kept-open connection: after a reply that says so, in the
// middle of a reply, or silently while it is idle (a short outage). The call
// after it connects and shakes hands afresh and goes through.
TEST_F(ServiceOverTls, ConnectsAfreshAfterTheServerClosed) {
    const struct {
        const char* name;
        const char* control;
        const char* body;
        bool callThrough; // the call that meets the close
    } cases[] = {
        {"Connection: close", "fault", R"({"fault": "connection_close", "count": 1})", true},
        {"closed mid-reply", "fault", R"({"fault": "close_mid_body", "count": 1})", false},
        {"closed while idle", "outage", R"({"seconds": 1})", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CCommandContext context(L"05512345678", L"abc123");
        std::wstring reply;
        ASSERT_TRUE(CallEntry(BuildTokenRequest(context), reply));
        ASSERT_TRUE(Control(L"reset", "{}"));
        ASSERT_TRUE(Control(std::wstring(c.control, c.control + std::strlen(c.control)), c.body));
        if (std::string(c.control) == "outage") {
            // Cut, then back: each port takes the outage in its own time, and
            // both have begun it by now.
            std::this_thread::sleep_for(std::chrono::milliseconds(1200));
            ZEvtSyncSocket probe;
            for (int i = 0;
                 i < 100 && !probe.Connect("127.0.0.1", static_cast<unsigned short>(std::stoi(m_port)));
                 ++i) {
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            }
        }
        EXPECT_EQ(CallEntry(BuildTokenRequest(context), reply), c.callThrough);
        EXPECT_TRUE(CallEntry(BuildTokenRequest(context), reply));
        // One new connection, after the close (the probe's is no handshake).
        int made = 0;
        for (const CHandshake& h : Handshakes()) {
            made += !h.failed;
        }
        EXPECT_EQ(made, 1);
    }
}

// A certificate for another name, an expired one, one from an authority the
// system does not trust and one signed by itself: the handshake itself may
// complete, but the call fails and not one request reaches the server. Then
// the good one again.
TEST_F(ServiceOverTls, RefusesEveryCertificateThatDoesNotPass) {
    for (const char* name : {"wrong-name", "expired", "untrusted", "self-signed"}) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(Control(L"reset", "{}"));
        ASSERT_TRUE(Control(L"tls", std::string("{\"certificate\": \"") + name + "\"}"));
        CAtlHttpClientT client;
        CHttpRequest request;
        request.method = L"POST";
        request.body = "secret";
        EXPECT_FALSE(client.Exchange(m_secureBase + L"/serv/clientservice.asmx", request));
        EXPECT_EQ(client.LastTlsFailure(), TlsFailure::Certificate);
        EXPECT_EQ(client.Status(), -1);
        EXPECT_FALSE(client.IsConnected());
        EXPECT_TRUE(Log().empty());
        const std::vector<CHandshake> handshakes = HandshakesOnceCounted(0);
        ASSERT_EQ(handshakes.size(), 1u);
        EXPECT_EQ(handshakes[0].certificate, name);
        EXPECT_EQ(handshakes[0].requests, 0);
        // Nothing but TLS records came after the handshake.
        EXPECT_FALSE(handshakes[0].failed);
    }
    ASSERT_TRUE(Control(L"tls", R"({"certificate": "server"})"));
    for (const std::wstring host : {L"127.0.0.1", L"localhost"}) {
        CAtlHttpClientT client;
        EXPECT_TRUE(client.Exchange(L"https://" + host + L":" + std::wstring(m_port.begin(), m_port.end()) +
                                        L"/control/state",
                                    CHttpRequest()))
            << host.c_str();
        EXPECT_EQ(client.LastTlsFailure(), TlsFailure::None);
    }
}

} // namespace
