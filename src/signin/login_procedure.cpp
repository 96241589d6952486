#include "signin/login_procedure.h"

#include "signin/account_lock.h"

#include <cwchar>
#include <vector>

namespace {

constexpr wchar_t kDuplicateFormat[] = L"你已经登录一个相同Velmarin账号：%ls，不能重复登录！";
constexpr wchar_t kDuplicateCaption[] = L"Velmarin";
constexpr wchar_t kSendFailed[] = L"发送失败，请检查网络!";
constexpr wchar_t kLoginCaption[] = L"登录";
constexpr UINT kMessageBox = MB_OK | MB_ICONEXCLAMATION;

std::wstring DuplicateMessage(const std::wstring& number) {
    std::vector<wchar_t> text(std::wcslen(kDuplicateFormat) + number.size() + 1);
    std::swprintf(text.data(), text.size(), kDuplicateFormat, number.c_str());
    return text.data();
}

} // namespace

bool Login(HWND owner, const std::wstring& number, const std::wstring& password, CUserSession& session) {
    if (AccountLockHeldElsewhere(number)) {
        MessageBoxW(owner, DuplicateMessage(number).c_str(), kDuplicateCaption, kMessageBox);
        return false;
    }
    const CSignInResult result = SignIn(number, password, session);
    switch (result.outcome) {
    case SignInOutcome::SignedIn:
        return true;
    case SignInOutcome::SendFailed:
        MessageBoxW(owner, kSendFailed, kLoginCaption, kMessageBox);
        return false;
    case SignInOutcome::TokenRefused:
    case SignInOutcome::LoginRefused:
        MessageBoxW(owner, result.message.c_str(), kLoginCaption, kMessageBox);
        return false;
    }
    return false;
}
