#pragma once
// The version query: asks the service for the newest client version and
// tells the user once per newly announced version.
#include "model/notice.h"
#include "model/user_session.h"

#include <functional>
#include <string>

inline constexpr wchar_t kUpgradeNotice[] = L"Velmarin客户端已升级，请重新登录进行更新！";

// Queues a notice (type, text, link) with the popup.
using NoticeSink = std::function<void(int type, const std::wstring& text, const std::wstring& link)>;

// One query with a context of its own. When the reply's version is newer
// than lastVersion, lastVersion takes it (in memory only) and one upgrade
// notice is queued. A failed call or a reply without a version does nothing.
void CheckForUpdate(const CUserSession& session, std::wstring& lastVersion, const NoticeSink& addNotice);
