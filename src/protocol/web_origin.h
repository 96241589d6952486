#pragma once
// The origin of a web URL (scheme, host, port), as the browser host compares
// it to decide which pages get the program's trust.
#include <string>

struct CWebOrigin {
    std::wstring scheme;     // "http" or "https"
    std::wstring host;       // lower case; an IPv6 literal keeps its brackets
    unsigned short port = 0; // the scheme's default when the URL names none

    bool operator==(const CWebOrigin&) const = default;
};

// Parses an http or https URL; path, when given, receives the path without
// query or fragment ("/" when empty). Anything a browser might read another
// way fails: user info, control characters or spaces, a "%" or non-ASCII
// character in the host, a bad port.
bool ParseWebOrigin(const std::wstring& url, CWebOrigin& origin, std::wstring* path = nullptr);

// True only when url parses and has exactly origin's scheme, host and port.
bool IsSameOrigin(const std::wstring& url, const CWebOrigin& origin);
