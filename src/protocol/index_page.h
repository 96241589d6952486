#pragma once
// The service's index page: the address the main window opens, and the test
// that a completed page is that one.
#include <string>

// "%s/chat/clientindex.aspx?kptsessionid=%s".
std::wstring IndexPageUrl(const std::wstring& appServer, const std::wstring& sessionId);

// True when url is appServer's index page: the same origin and the same path,
// whatever its query. A URL that merely contains the page's name is not.
bool IsIndexPageUrl(const std::wstring& url, const std::wstring& appServer);
