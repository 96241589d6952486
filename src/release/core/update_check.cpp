#include "release/core/update_check.h"

#include "protocol/command_strings.h"
#include "protocol/reply_fields.h"
#include "protocol/service_client.h"
#include "release/core/version_rules.h"

namespace {

constexpr wchar_t kVersionField[] = L"version";

} // namespace

void CheckForUpdate(const CUserSession& session, std::wstring& lastVersion, const NoticeSink& addNotice) {
    const CCommandContext context(session.userNumber, session.password);
    std::wstring reply;
    if (!CallEntry(BuildVersionRequest(context), reply)) {
        return;
    }
    // The result code is not looked at: the version field alone decides.
    CReplyFields fields;
    ReadReply(reply, context.SessionKey(), L"", fields);
    const std::wstring version = fields.Field(kVersionField);
    if (version.empty() || !IsNewerVersion(version, lastVersion)) {
        return;
    }
    lastVersion = version;
    if (addNotice) {
        addNotice(NOTICE_UPGRADE, kUpgradeNotice, L"");
    }
}
