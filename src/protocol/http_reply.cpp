#include "protocol/http_reply.h"

#include "text/ansi_text.h"

#include <algorithm>

namespace {

constexpr int kToleratedEmptyReads = 4;     // the next empty read in a row fails
constexpr int kEmptyReadsEndingTheBody = 6; // a body read to the end of the connection
constexpr int kMinStatus = 100;
constexpr int kMaxStatus = 999;

wchar_t LowerAscii(wchar_t c) {
    return c >= L'A' && c <= L'Z' ? c - L'A' + L'a' : c;
}

bool EqualsIgnoringCase(const std::wstring& a, const std::wstring& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](wchar_t x, wchar_t y) {
               return LowerAscii(x) == LowerAscii(y);
           });
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

int HexValue(char c) {
    if (IsDigit(c)) {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

std::wstring TrimBlanks(const std::wstring& text) {
    std::size_t first = text.find_first_not_of(L" \t");
    if (first == std::wstring::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(L" \t") - first + 1);
}

// True when the comma-separated list holds the token.
bool HasToken(const std::wstring& list, const std::wstring& token) {
    std::size_t start = 0;
    for (;;) {
        std::size_t comma = list.find(L',', start);
        if (EqualsIgnoringCase(TrimBlanks(list.substr(start, comma - start)), token)) {
            return true;
        }
        if (comma == std::wstring::npos) {
            return false;
        }
        start = comma + 1;
    }
}

} // namespace

bool CHeaderNameLess::operator()(const std::wstring& a, const std::wstring& b) const {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                        [](wchar_t x, wchar_t y) { return LowerAscii(x) < LowerAscii(y); });
}

void CHttpReply::Reset() {
    status = -1;
    headers.clear();
    received.clear();
    position = 0;
    emptyReads = 0;
    body.clear();
    endsConnection = false;
    outcome = HttpReadOutcome::NotRead;
}

bool CHttpReply::HeaderValue(const std::wstring& name, std::wstring& value) const {
    auto found = headers.find(name);
    if (found == headers.end()) {
        return false;
    }
    value = found->second;
    return true;
}

bool CHttpReply::Read(IHttpReplySource& source, std::size_t bodyReadSize) {
    Reset();
    std::size_t start = 0;
    for (;;) {
        std::size_t blockEnd = 0;
        if (!ReadHeaderBlock(source, start, blockEnd)) {
            return false;
        }
        std::size_t lineEnd = received.find("\r\n", start);
        if (!ParseStatusLine(start, lineEnd)) {
            outcome = HttpReadOutcome::StatusInvalid;
            return false;
        }
        std::size_t next = blockEnd + 4;
        // Interim replies (100 Continue and the like) come before the real one.
        if (status < 200) {
            start = next;
            continue;
        }
        if (!ParseHeaders(lineEnd + 2, blockEnd + 2)) {
            outcome = HttpReadOutcome::HeaderParseFailed;
            return false;
        }
        position = next;
        break;
    }
    if (!ReadBody(source, std::max<std::size_t>(bodyReadSize, 1))) {
        return false;
    }
    std::wstring connection;
    if (HeaderValue(L"Connection", connection) && HasToken(connection, L"close")) {
        endsConnection = true;
    }
    outcome = HttpReadOutcome::Ok;
    return true;
}

bool CHttpReply::Append(IHttpReplySource& source, std::size_t readSize, std::size_t& got) {
    std::size_t old = received.size();
    received.resize(old + readSize);
    got = 0;
    bool ok = source.Receive(received.data() + old, readSize, got);
    got = ok ? std::min(got, readSize) : 0;
    received.resize(old + got);
    return ok;
}

bool CHttpReply::Fill(IHttpReplySource& source, std::size_t readSize) {
    std::size_t got = 0;
    if (received.size() >= kMaxReplyBytes || !Append(source, readSize, got)) {
        return false;
    }
    if (got > 0) {
        emptyReads = 0;
        return true;
    }
    return ++emptyReads <= kToleratedEmptyReads;
}

bool CHttpReply::ReadHeaderBlock(IHttpReplySource& source, std::size_t start, std::size_t& blockEnd) {
    emptyReads = 0;
    std::size_t searchFrom = start;
    for (;;) {
        blockEnd = received.find("\r\n\r\n", searchFrom);
        if (blockEnd != std::string::npos) {
            return true;
        }
        if (received.size() - start > kMaxHeaderBlockBytes) {
            outcome = HttpReadOutcome::HeaderParseFailed;
            return false;
        }
        searchFrom = std::max(start, received.size() >= 3 ? received.size() - 3 : 0);
        if (!Fill(source, kHeaderReadSize)) {
            outcome = HttpReadOutcome::SocketReadFailed;
            return false;
        }
    }
}

bool CHttpReply::ParseStatusLine(std::size_t start, std::size_t end) {
    std::size_t p = start;
    while (p < end && !IsBlank(received[p])) {
        ++p;
    }
    while (p < end && IsBlank(received[p])) {
        ++p;
    }
    if (p == end || !IsDigit(received[p])) {
        return false;
    }
    int number = 0;
    for (; p < end && IsDigit(received[p]); ++p) {
        number = number * 10 + (received[p] - '0');
        if (number > kMaxStatus) {
            return false;
        }
    }
    if (number < kMinStatus) {
        return false;
    }
    status = number;
    return true;
}

// Header lines run from start to end, each closed by CRLF; a line that starts
// with white space continues the one before.
bool CHttpReply::ParseHeaders(std::size_t start, std::size_t end) {
    std::string line;
    bool haveLine = false;
    for (std::size_t p = start; p < end;) {
        std::size_t lineEnd = received.find("\r\n", p);
        if (haveLine && IsBlank(received[p])) {
            while (p < lineEnd && IsBlank(received[p])) {
                ++p;
            }
            line += ' ';
            line.append(received, p, lineEnd - p);
        } else {
            if (haveLine && !AddHeader(line)) {
                return false;
            }
            line.assign(received, p, lineEnd - p);
            haveLine = true;
        }
        p = lineEnd + 2;
    }
    return !haveLine || AddHeader(line);
}

bool CHttpReply::AddHeader(const std::string& line) {
    std::size_t colon = line.find(':');
    if (colon == std::string::npos) {
        return true;
    }
    if (colon > kMaxHeaderFieldLength) {
        return false;
    }
    std::size_t first = colon + 1;
    while (first < line.size() && IsBlank(line[first])) {
        ++first;
    }
    std::size_t last = line.size();
    while (last > first && IsBlank(line[last - 1])) {
        --last;
    }
    if (last - first > kMaxHeaderFieldLength) {
        return false;
    }
    std::wstring name = FromAnsi(line.substr(0, colon));
    std::wstring value = FromAnsi(line.substr(first, last - first));
    auto [slot, added] = headers.emplace(name, value);
    if (!added) {
        slot->second.append(L",").append(value);
    }
    return true;
}

bool CHttpReply::ReadBody(IHttpReplySource& source, std::size_t bodyReadSize) {
    emptyReads = 0;
    std::wstring value;
    if (HeaderValue(L"Transfer-Encoding", value) && EqualsIgnoringCase(value, L"chunked")) {
        if (ReadChunkedBody(source, bodyReadSize)) {
            return true;
        }
        outcome = HttpReadOutcome::ChunkedBodyReadFailed;
        return false;
    }
    bool ok = HeaderValue(L"Content-Length", value) ? ReadLengthBody(source, bodyReadSize, value)
                                                    : ReadToClose(source, bodyReadSize);
    if (!ok) {
        outcome = HttpReadOutcome::BodyReadFailed;
    }
    return ok;
}

bool CHttpReply::ReadLengthBody(IHttpReplySource& source, std::size_t bodyReadSize,
                                const std::wstring& length) {
    if (length.empty()) {
        return false;
    }
    std::size_t count = 0;
    for (wchar_t c : length) {
        if (c < L'0' || c > L'9') {
            return false;
        }
        count = count * 10 + static_cast<std::size_t>(c - L'0');
        if (count > kMaxReplyBytes) {
            return false;
        }
    }
    if (!ReadBytes(source, bodyReadSize, count)) {
        return false;
    }
    body.assign(received, position, count);
    position += count;
    return true;
}

bool CHttpReply::ReadChunkedBody(IHttpReplySource& source, std::size_t bodyReadSize) {
    std::string line;
    for (;;) {
        if (!ReadLine(source, bodyReadSize, line) || line.empty() || HexValue(line[0]) < 0) {
            return false;
        }
        std::size_t size = 0;
        std::size_t i = 0;
        for (; i < line.size() && HexValue(line[i]) >= 0; ++i) {
            size = size * 16 + static_cast<std::size_t>(HexValue(line[i]));
            if (size > kMaxReplyBytes) {
                return false;
            }
        }
        while (i < line.size() && IsBlank(line[i])) {
            ++i;
        }
        if (i < line.size() && line[i] != ';') {
            return false;
        }
        if (size == 0) {
            break;
        }
        if (!ReadBytes(source, bodyReadSize, size + 2) || received.compare(position + size, 2, "\r\n") != 0) {
            return false;
        }
        body.append(received, position, size);
        position += size + 2;
    }
    // Trailer fields up to the empty line; none of them is used.
    do {
        if (!ReadLine(source, bodyReadSize, line)) {
            return false;
        }
    } while (!line.empty());
    return true;
}

bool CHttpReply::ReadLine(IHttpReplySource& source, std::size_t readSize, std::string& line) {
    std::size_t searchFrom = position;
    for (;;) {
        std::size_t end = received.find("\r\n", searchFrom);
        if (end != std::string::npos) {
            line.assign(received, position, end - position);
            position = end + 2;
            return true;
        }
        if (received.size() - position > kMaxHeaderBlockBytes) {
            return false;
        }
        searchFrom = std::max(position, received.empty() ? 0 : received.size() - 1);
        if (!Fill(source, readSize)) {
            return false;
        }
    }
}

bool CHttpReply::ReadBytes(IHttpReplySource& source, std::size_t readSize, std::size_t count) {
    while (received.size() - position < count) {
        if (!Fill(source, std::min(readSize, count - (received.size() - position)))) {
            return false;
        }
    }
    return true;
}

// The body is whatever arrives until the connection ends; a failed read ends it too.
bool CHttpReply::ReadToClose(IHttpReplySource& source, std::size_t bodyReadSize) {
    endsConnection = true;
    for (int empty = 0; empty < kEmptyReadsEndingTheBody;) {
        if (received.size() >= kMaxReplyBytes) {
            return false;
        }
        std::size_t got = 0;
        if (!Append(source, bodyReadSize, got)) {
            break;
        }
        empty = got == 0 ? empty + 1 : 0;
    }
    body.assign(received, position, std::string::npos);
    position = received.size();
    return true;
}
