#include "settings/sms_setting.h"
#include "signin/core/login_rules.h"

#include <gtest/gtest.h>

namespace {

TEST(LoginRules, InputChecksStopAtTheFirstFaultInOrder) {
    struct Case {
        const wchar_t* number;
        const wchar_t* password;
        LoginInputFault fault;
    };
    const Case cases[] = {
        {L"", L"", LoginInputFault::NoNumber},
        {kNumberHint, L"pw", LoginInputFault::NoNumber},
        {L"0551234567", L"", LoginInputFault::NumberLength},
        {L"055123456789", L"pw", LoginInputFault::NumberLength},
        {L"15512345678", L"", LoginInputFault::NoAreaCode},
        {L"05512345678", L"", LoginInputFault::NoPassword},
        {L"05512345678", kPasswordHint, LoginInputFault::NoPassword},
        // Letters pass: the service decides.
        {L"0551234abcd", L"pw", LoginInputFault::None},
        {L"05512345678", L"请输入密码 ", LoginInputFault::None},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CheckLoginInput(c.number, c.password), c.fault) << c.number << " / " << c.password;
    }
}

TEST(LoginRules, EachFaultHasItsTextCaptionAndFocus) {
    const CLoginInputMessage number = LoginInputMessage(LoginInputFault::NoNumber);
    EXPECT_STREQ(number.text, L"请输入用户账号！");
    EXPECT_STREQ(number.caption, L"用户登录");
    EXPECT_TRUE(number.focusNumber);
    EXPECT_STREQ(LoginInputMessage(LoginInputFault::NumberLength).text, L"请输入带区号的11位号码！");
    EXPECT_STREQ(LoginInputMessage(LoginInputFault::NoAreaCode).text, L"需输入带0的区号！");
    const CLoginInputMessage password = LoginInputMessage(LoginInputFault::NoPassword);
    EXPECT_STREQ(password.text, L"请输入用户密码！");
    EXPECT_STREQ(password.caption, L"参数输入");
    EXPECT_FALSE(password.focusNumber);
}

TEST(LoginRules, RememberUserKeepsTheListOrderAndThePasswordOnlyWithAutoLogin) {
    CSMSSetting settings(L"unused.dat");
    settings.userInfo.userList = {L"05511111111", L"05522222222"};

    RememberUser(settings, false, L"05522222222", L"secret");
    EXPECT_EQ(settings.autoLogin, 0);
    EXPECT_EQ(settings.userInfo.defaultUser, L"05522222222");
    EXPECT_EQ(settings.userInfo.defaultPassword, L"737373");
    EXPECT_EQ(settings.userInfo.userList, (std::vector<std::wstring>{L"05511111111", L"05522222222"}));

    RememberUser(settings, true, L"05533333333", L"secret");
    EXPECT_EQ(settings.autoLogin, 1);
    EXPECT_EQ(settings.userInfo.defaultPassword, L"secret");
    EXPECT_EQ(settings.userInfo.userList,
              (std::vector<std::wstring>{L"05511111111", L"05522222222", L"05533333333"}));

    // The comparison is exact: another text is another entry.
    RememberUser(settings, true, L"05511111111 ", L"secret");
    EXPECT_EQ(settings.userInfo.userList.size(), 4u);
}

} // namespace
