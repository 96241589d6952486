// URL parsing and redirect resolution over any text: whatever a server puts
// in Location, the request line and Host line sent next stay whole.
#include "protocol/http_client.h"
#include "protocol/web_origin.h"
#include "text/ansi_text.h"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

// Bytes as UTF-16 text: a byte 0xFF takes the next two as one code unit.
std::wstring Text(const std::uint8_t* data, std::size_t size) {
    std::wstring text;
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == 0xFF && i + 2 < size) {
            text += static_cast<wchar_t>(data[i + 1] | (data[i + 2] << 8));
            i += 2;
        } else {
            text += static_cast<wchar_t>(data[i]);
        }
    }
    return text;
}

bool IsLineBreaker(char c) {
    return c == '\r' || c == '\n' || c == '\0';
}

// The request as sent: "POST <target> HTTP/1.1", one space either side of
// the target and no line break in it; the Host line has no space or break.
void CheckRequest(const CHttpUrl& url) {
    CHttpRequest request;
    request.method = L"POST";
    const std::string head = ToAnsi(BuildRequestText(url, request));
    const std::size_t lineEnd = head.find("\r\n");
    if (lineEnd == std::string::npos) {
        std::abort();
    }
    const std::string line = head.substr(0, lineEnd);
    if (line.rfind("POST /", 0) != 0 || line.find(' ', 5) != line.size() - 9 ||
        !line.ends_with(" HTTP/1.1")) {
        std::abort();
    }
    for (char c : line) {
        if (IsLineBreaker(c) || c == '\t') {
            std::abort();
        }
    }
    const std::size_t host = head.find("\r\nHost: ");
    const std::size_t hostEnd = head.find("\r\n", host + 2);
    if (host == std::string::npos || hostEnd == std::string::npos) {
        std::abort();
    }
    for (std::size_t i = host + 8; i < hostEnd; ++i) {
        if (IsLineBreaker(head[i]) || head[i] == ' ' || head[i] == '\t') {
            std::abort();
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    // The first byte splits the input: the URL called, then the Location value.
    const std::size_t split = std::min<std::size_t>(data[0], size - 1);
    const std::wstring url = Text(data + 1, split);
    const std::wstring location = Text(data + 1 + split, size - 1 - split);

    CWebOrigin origin;
    std::wstring path;
    if (ParseWebOrigin(url, origin, &path) &&
        (!IsSameOrigin(url, origin) || path.empty() || origin.host.empty())) {
        std::abort();
    }

    CHttpUrl current;
    if (!ParseHttpUrl(url, current)) {
        return 0;
    }
    CheckRequest(current);
    CHttpUrl next;
    if (ResolveRedirect(current, location, next)) {
        CheckRequest(next);
        // Never anywhere else.
        if (next.secure != current.secure || next.port != current.port ||
            ToAnsi(next.host).size() != ToAnsi(current.host).size()) {
            std::abort();
        }
    }
    return 0;
}
