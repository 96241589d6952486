// The version query against the stand-in service.
#include "devservice_fixture.h"
#include "release/core/update_check.h"

#include <gtest/gtest.h>

namespace {

class UpdateCheck : public DevServiceTest {
protected:
    void Check() {
        CheckForUpdate(m_session, m_lastVersion,
                       [this](int type, const std::wstring& text, const std::wstring& link) {
                           EXPECT_EQ(type, NOTICE_UPGRADE);
                           EXPECT_EQ(text, L"Velmarin客户端已升级，请重新登录进行更新！");
                           EXPECT_TRUE(link.empty());
                           ++m_notices;
                       });
    }

    const CUserSession m_session{L"05512345678", L"abc123", L"", L""};
    std::wstring m_lastVersion = L"1.0.0.1";
    int m_notices = 0;
};

TEST_F(UpdateCheck, ANewerVersionIsAnnouncedOnce) {
    ASSERT_TRUE(Control(L"version", R"({"version": "1.0.0.2"})"));
    Check();
    EXPECT_EQ(m_notices, 1);
    EXPECT_EQ(m_lastVersion, L"1.0.0.2");
    Check();
    EXPECT_EQ(m_notices, 1);
    EXPECT_EQ(Log().back().code, "1005");
}

TEST_F(UpdateCheck, NoNewerVersionChangesNothing) {
    struct Case {
        const char* version;
        const wchar_t* lastVersion;
    };
    const Case cases[] = {
        {"1.0.0.1", L"1.0.0.1"}, // equal
        {"2.0", L"1.0.0.1"},     // too few numbers
        {"1.0.0.2", L""},        // nothing known yet never counts as older
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(Control(L"version", std::string(R"({"version": ")") + c.version + "\"}"));
        m_lastVersion = c.lastVersion;
        Check();
        EXPECT_EQ(m_notices, 0) << c.version;
        EXPECT_EQ(m_lastVersion, c.lastVersion) << c.version;
    }
}

TEST_F(UpdateCheck, AFailedCallDoesNothing) {
    ASSERT_TRUE(Control(L"version", R"({"version": "1.0.0.2"})"));
    for (const char* fault : {"status_500", "wrong_key"}) {
        ASSERT_TRUE(Control(L"fault", std::string(R"({"fault": ")") + fault + R"(", "count": 1})"));
        Check();
        EXPECT_EQ(m_notices, 0) << fault;
        EXPECT_EQ(m_lastVersion, L"1.0.0.1") << fault;
    }
    SetServiceEndpoint(L"http://127.0.0.1:9/serv/clientservice.asmx");
    Check();
    EXPECT_EQ(m_notices, 0);
}

} // namespace
