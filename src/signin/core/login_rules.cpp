#include "signin/core/login_rules.h"

#include "settings/sms_setting.h"

#include <algorithm>

namespace {

constexpr std::size_t kNumberLength = 11;
constexpr wchar_t kLoginInputCaption[] = L"用户登录";
constexpr wchar_t kPasswordInputCaption[] = L"参数输入";

} // namespace

LoginInputFault CheckLoginInput(const std::wstring& number, const std::wstring& password) {
    if (number.empty() || number == kNumberHint) {
        return LoginInputFault::NoNumber;
    }
    if (number.size() != kNumberLength) {
        return LoginInputFault::NumberLength;
    }
    if (number.front() != L'0') {
        return LoginInputFault::NoAreaCode;
    }
    if (password.empty() || password == kPasswordHint) {
        return LoginInputFault::NoPassword;
    }
    return LoginInputFault::None;
}

CLoginInputMessage LoginInputMessage(LoginInputFault fault) {
    switch (fault) {
    case LoginInputFault::NoNumber:
        return {L"请输入用户账号！", kLoginInputCaption, true};
    case LoginInputFault::NumberLength:
        return {L"请输入带区号的11位号码！", kLoginInputCaption, true};
    case LoginInputFault::NoAreaCode:
        return {L"需输入带0的区号！", kLoginInputCaption, true};
    case LoginInputFault::NoPassword:
        return {L"请输入用户密码！", kPasswordInputCaption, false};
    case LoginInputFault::None:
        break;
    }
    return {L"", L"", true};
}

void RememberUser(CSMSSetting& settings, bool autoLogin, const std::wstring& number,
                  const std::wstring& password) {
    settings.autoLogin = autoLogin ? 1 : 0;
    settings.userInfo.defaultUser = number;
    settings.userInfo.defaultPassword = autoLogin ? password : kPasswordPlaceholder;
    auto& users = settings.userInfo.userList;
    if (std::find(users.begin(), users.end(), number) == users.end()) {
        users.push_back(number);
    }
}
