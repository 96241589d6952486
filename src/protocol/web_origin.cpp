#include "protocol/web_origin.h"

#include <algorithm>

namespace {

constexpr unsigned short kHttpPort = 80;
constexpr unsigned short kHttpsPort = 443;

wchar_t LowerAscii(wchar_t c) {
    return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}

bool IsHostCharacter(wchar_t c) {
    return (c >= L'a' && c <= L'z') || (c >= L'0' && c <= L'9') || c == L'-' || c == L'.' || c == L'_';
}

bool ParsePort(const std::wstring& text, unsigned short& port) {
    // An empty port after ":" is the default, as browsers read it.
    if (text.empty()) {
        return true;
    }
    if (text.size() > 5) {
        return false;
    }
    unsigned long value = 0;
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9') {
            return false;
        }
        value = value * 10 + static_cast<unsigned long>(c - L'0');
    }
    if (value == 0 || value > 65535) {
        return false;
    }
    port = static_cast<unsigned short>(value);
    return true;
}

bool ParseHost(const std::wstring& authority, std::wstring& host, unsigned short& port) {
    std::size_t hostEnd = 0;
    if (!authority.empty() && authority[0] == L'[') {
        const std::size_t close = authority.find(L']');
        if (close == std::wstring::npos) {
            return false;
        }
        hostEnd = close + 1;
        const bool literal = std::all_of(authority.begin() + 1, authority.begin() + close, [](wchar_t c) {
            return (c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'f') || c == L':' || c == L'.';
        });
        if (!literal || close == 1) {
            return false;
        }
    } else {
        hostEnd = std::min(authority.find(L':'), authority.size());
        if (hostEnd == 0 || !std::all_of(authority.begin(), authority.begin() + hostEnd, IsHostCharacter)) {
            return false;
        }
    }
    host = authority.substr(0, hostEnd);
    if (hostEnd == authority.size()) {
        return true;
    }
    if (authority[hostEnd] != L':') {
        return false;
    }
    return ParsePort(authority.substr(hostEnd + 1), port);
}

} // namespace

bool ParseWebOrigin(const std::wstring& url, CWebOrigin& origin, std::wstring* path) {
    if (std::any_of(url.begin(), url.end(), [](wchar_t c) { return c <= L' ' || c == 0x7F; })) {
        return false;
    }
    const std::size_t colon = url.find(L':');
    if (colon == std::wstring::npos || url.compare(colon, 3, L"://") != 0) {
        return false;
    }
    CWebOrigin result;
    for (std::size_t i = 0; i < colon; ++i) {
        result.scheme += LowerAscii(url[i]);
    }
    if (result.scheme == L"http") {
        result.port = kHttpPort;
    } else if (result.scheme == L"https") {
        result.port = kHttpsPort;
    } else {
        return false;
    }
    // A browser ends the authority at a backslash too.
    const std::size_t start = colon + 3;
    const std::size_t end = std::min(url.find_first_of(L"/\\?#", start), url.size());
    std::wstring authority;
    for (std::size_t i = start; i < end; ++i) {
        authority += LowerAscii(url[i]);
    }
    if (!ParseHost(authority, result.host, result.port)) {
        return false;
    }
    if (path) {
        const std::size_t pathEnd = std::min(url.find_first_of(L"?#", end), url.size());
        *path = url.substr(end, pathEnd - end);
        if (path->empty()) {
            *path = L"/";
        }
    }
    origin = result;
    return true;
}

bool IsSameOrigin(const std::wstring& url, const CWebOrigin& origin) {
    CWebOrigin parsed;
    return !origin.host.empty() && ParseWebOrigin(url, parsed) && parsed == origin;
}
