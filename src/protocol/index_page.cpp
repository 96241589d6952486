#include "protocol/index_page.h"

#include "protocol/web_origin.h"

namespace {

constexpr wchar_t kIndexPage[] = L"/chat/clientindex.aspx?kptsessionid=";

} // namespace

std::wstring IndexPageUrl(const std::wstring& appServer, const std::wstring& sessionId) {
    return appServer + kIndexPage + sessionId;
}

bool IsIndexPageUrl(const std::wstring& url, const std::wstring& appServer) {
    CWebOrigin expected, actual;
    std::wstring expectedPath, actualPath;
    return ParseWebOrigin(IndexPageUrl(appServer, L""), expected, &expectedPath) &&
           ParseWebOrigin(url, actual, &actualPath) && actual == expected && actualPath == expectedPath;
}
