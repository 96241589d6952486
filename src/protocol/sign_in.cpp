#include "protocol/sign_in.h"

#include "protocol/command_strings.h"
#include "protocol/reply_fields.h"
#include "protocol/service_client.h"

namespace {

constexpr wchar_t kSuccessCode[] = L"0";
constexpr wchar_t kTokenField[] = L"ltoken";
constexpr wchar_t kSessionIdField[] = L"sessionid";
constexpr wchar_t kSkeyField[] = L"skey";

} // namespace

CSignInResult ExchangeSignIn(const std::wstring& number, const std::wstring& password) {
    CSignInResult result;
    const CCommandContext context(number, password);
    CReplyFields fields;

    std::wstring reply;
    if (!CallEntry(BuildTokenRequest(context), reply)) {
        return result;
    }
    ReadReply(reply, context.SessionKey(), L"", fields);
    if (fields.ResultCode() != kSuccessCode) {
        result.outcome = SignInOutcome::TokenRefused;
        result.resultCode = fields.ResultCode();
        // The service may explain a refusal in a field named after its code;
        // without one the user still gets the code's meaning, never a blank box.
        result.message = result.resultCode.empty() ? L"" : fields.Field(result.resultCode);
        if (result.message.empty()) {
            result.message = ResultMessage(result.resultCode);
        }
        return result;
    }

    const std::wstring token = fields.Field(kTokenField);
    reply.clear();
    if (!CallEntry(BuildLoginRequest(context, token), reply, result.setCookie)) {
        return result;
    }
    ReadReply(reply, context.SessionKey(), context.PasswordDigest(), fields);
    if (fields.ResultCode() != kSuccessCode) {
        result.outcome = SignInOutcome::LoginRefused;
        result.resultCode = fields.ResultCode();
        result.message = ResultMessage(result.resultCode);
        return result;
    }
    result.outcome = SignInOutcome::SignedIn;
    result.sessionId = fields.Field(kSessionIdField);
    result.skey = fields.Field(kSkeyField);
    return result;
}
