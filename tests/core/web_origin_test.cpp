#include "protocol/index_page.h"
#include "protocol/web_origin.h"

#include <gtest/gtest.h>

namespace {

TEST(WebOrigin, ParsesSchemeHostAndPortWithTheDefaultFilledIn) {
    struct Case {
        const wchar_t* url;
        CWebOrigin origin;
        const wchar_t* path;
    };
    const Case cases[] = {
        {L"http://127.0.0.1:8080/chat/a.aspx?x=1#y", {L"http", L"127.0.0.1", 8080}, L"/chat/a.aspx"},
        {L"HTTP://App.Example.COM", {L"http", L"app.example.com", 80}, L"/"},
        {L"https://app.example.com/", {L"https", L"app.example.com", 443}, L"/"},
        {L"http://h:/p", {L"http", L"h", 80}, L"/p"},
        {L"http://h?q", {L"http", L"h", 80}, L"/"},
        {L"http://[::1]:81/x", {L"http", L"[::1]", 81}, L"/x"},
        // A browser ends the host at a backslash: this is h's, not evil's.
        {L"http://h\\@evil.com/", {L"http", L"h", 80}, L"\\@evil.com/"},
    };
    for (const Case& c : cases) {
        CWebOrigin origin;
        std::wstring path;
        ASSERT_TRUE(ParseWebOrigin(c.url, origin, &path)) << c.url;
        EXPECT_EQ(origin, c.origin) << c.url;
        EXPECT_EQ(path, c.path) << c.url;
    }
}

TEST(WebOrigin, RefusesWhatABrowserMightReadAnotherWay) {
    for (const wchar_t* url : {
             L"",
             L"h/path",
             L"//h/path",
             L"ftp://h/",
             L"javascript://h/%0aalert(1)",
             L"about:blank",
             L"file://h/c$/x",
             L"http:/h/",
             L"http://",
             L"http:///path",
             L"http://:80/",
             L"http://user@h/",       // user info hides the real host
             L"http://h@evil.com/",   //
             L"http://h%2eevil.com/", // an encoded host
             L"http://h\u0430.com/",  // a look-alike letter
             L"http://h .com/",
             L"http://h/\r\nX: y",
             L"http://h/\x7f",
             L"http://h:0/",
             L"http://h:65536/",
             L"http://h:8o/",
             L"http://h:000080/",
             L"http://[::1/",
             L"http://[]/",
             L"http://[::g]/",
             L"http://[::1]x/",
         }) {
        CWebOrigin origin{L"kept", L"kept", 1};
        EXPECT_FALSE(ParseWebOrigin(url, origin)) << url;
        EXPECT_EQ(origin, (CWebOrigin{L"kept", L"kept", 1})) << url;
    }
}

TEST(WebOrigin, SameOriginNeedsSchemeHostAndPortAlike) {
    const CWebOrigin app{L"http", L"app.example.com", 80};
    struct Case {
        const wchar_t* url;
        bool same;
    };
    const Case cases[] = {
        {L"http://app.example.com/chat/x.aspx", true},
        {L"http://APP.example.com:80/", true},
        {L"https://app.example.com/", false},
        {L"http://app.example.com:8080/", false},
        {L"http://app.example.com.evil.com/", false},
        {L"http://evil.com/app.example.com/", false},
        {L"http://evil.com/?http://app.example.com/", false},
        {L"http://app.example.com@evil.com/", false},
        {L"http://app.example.com./", false},
        {L"about:blank", false},
        {L"", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsSameOrigin(c.url, app), c.same) << c.url;
    }
    // Nothing is of an origin that was never set.
    EXPECT_FALSE(IsSameOrigin(L"http://app.example.com/", CWebOrigin{}));
}

TEST(IndexPage, MatchesByOriginAndPathNotBySubstring) {
    const std::wstring server = L"http://127.0.0.1:8080";
    EXPECT_EQ(IndexPageUrl(server, L"S1"), L"http://127.0.0.1:8080/chat/clientindex.aspx?kptsessionid=S1");
    struct Case {
        const wchar_t* url;
        bool index;
    };
    const Case cases[] = {
        {L"http://127.0.0.1:8080/chat/clientindex.aspx?kptsessionid=S1", true},
        {L"http://127.0.0.1:8080/chat/clientindex.aspx", true},
        {L"http://127.0.0.1:8080/chat/clientindex.aspx#top", true},
        {L"http://127.0.0.1:8080/chat/inbox.aspx?next=clientindex.aspx", false},
        {L"http://127.0.0.1:8080/other/chat/clientindex.aspx", false},
        {L"http://127.0.0.1:8081/chat/clientindex.aspx?kptsessionid=S1", false},
        {L"http://evil.com/chat/clientindex.aspx?kptsessionid=S1", false},
        {L"http://evil.com/?u=http://127.0.0.1:8080/chat/clientindex.aspx", false},
        {L"https://127.0.0.1:8080/chat/clientindex.aspx", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsIndexPageUrl(c.url, server), c.index) << c.url;
    }
    // A server below a path keeps its path; an unusable server has no index page.
    EXPECT_TRUE(IsIndexPageUrl(L"http://h/sms/chat/clientindex.aspx?k=1", L"http://h/sms"));
    EXPECT_FALSE(IsIndexPageUrl(L"http://h/chat/clientindex.aspx?k=1", L"http://h/sms"));
    EXPECT_FALSE(IsIndexPageUrl(L"http://h/chat/clientindex.aspx", L""));
}

} // namespace
