#pragma once
// A test against the stand-in service that the test runner starts and names
// in VELMARIN_DEVSERVICE (host:port); skipped when there is none. Each test
// starts from a reset service and a client bound to its Entry endpoint.
#include "protocol/http_client.h"
#include "protocol/reply_fields.h"
#include "protocol/service_client.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

// One Entry call that must go through, its reply read under key (or fallback).
inline CReplyFields SendEntry(const std::wstring& command, const std::wstring& key,
                              const std::wstring& fallback = L"") {
    std::wstring reply;
    EXPECT_TRUE(CallEntry(command, reply));
    CReplyFields fields;
    ReadReply(reply, key, fallback, fields);
    return fields;
}

struct LoggedCommand {
    std::string code;
    bool withCookie = false;
};

class DevServiceTest : public ::testing::Test {
protected:
    void SetUp() override {
        const char* address = std::getenv("VELMARIN_DEVSERVICE");
        if (!address || !*address) {
            GTEST_SKIP()
                << "VELMARIN_DEVSERVICE is not set (scripts/run-tests.sh starts the stand-in service)";
        }
        m_base = L"http://" + std::wstring(address, address + std::strlen(address));
        ASSERT_TRUE(Control(L"reset", "{}"));
        SetServiceEndpoint(m_base + L"/serv/clientservice.asmx");
    }
    void TearDown() override { DeleteServiceClient(); }

    bool Control(const std::wstring& name, const std::string& json) {
        CHttpRequest request;
        request.method = L"POST";
        request.contentType = L"application/json";
        request.body = json;
        return m_control.Exchange(m_base + L"/control/" + name, request) && m_control.Status() == 200;
    }

    // The codes of the logged Entry commands, in order, and whether each carried the session cookie.
    std::vector<LoggedCommand> Log() {
        CHttpRequest request;
        EXPECT_TRUE(m_control.Exchange(m_base + L"/control/log", request));
        const std::string& body = m_control.Body();
        std::vector<LoggedCommand> log;
        const std::string entryStart = "{\"time\": ";
        for (size_t at = body.find(entryStart); at != std::string::npos;) {
            const size_t next = body.find(entryStart, at + 1);
            const std::string entry =
                body.substr(at, next == std::string::npos ? std::string::npos : next - at);
            LoggedCommand command;
            const size_t code = entry.find("\"code\": \"");
            if (code != std::string::npos) {
                command.code = entry.substr(code + 9, 4);
            }
            const size_t cookie = entry.find("\"cookie\": ");
            command.withCookie = cookie != std::string::npos && entry.compare(cookie + 10, 4, "null") != 0;
            log.push_back(command);
            at = next;
        }
        return log;
    }

    // Downloads of the advertisement whose answer has ended, or -1.
    int AdsEnded() {
        CHttpRequest request;
        if (!m_control.Exchange(m_base + L"/control/log", request)) {
            return -1;
        }
        const std::string& body = m_control.Body();
        const std::string key = "\"ended\": ";
        int ended = 0;
        for (size_t at = body.find(key); at != std::string::npos; at = body.find(key, at + 1)) {
            ended += body.compare(at + key.size(), 4, "null") != 0;
        }
        return ended;
    }

    std::wstring m_base;
    CAtlHttpClientT m_control;
};
