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
    m_status = -1;
    m_headers.clear();
    m_received.clear();
    m_position = 0;
    m_emptyReads = 0;
    m_body.clear();
    m_endsConnection = false;
    m_outcome = HttpReadOutcome::NotRead;
}

bool CHttpReply::HeaderValue(const std::wstring& name, std::wstring& value) const {
    auto found = m_headers.find(name);
    if (found == m_headers.end()) {
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
        std::size_t lineEnd = m_received.find("\r\n", start);
        if (!ParseStatusLine(start, lineEnd)) {
            m_outcome = HttpReadOutcome::StatusInvalid;
            return false;
        }
        std::size_t next = blockEnd + 4;
        // Interim replies (100 Continue and the like) come before the real one.
        if (m_status < 200) {
            start = next;
            continue;
        }
        if (!ParseHeaders(lineEnd + 2, blockEnd + 2)) {
            m_outcome = HttpReadOutcome::HeaderParseFailed;
            return false;
        }
        m_position = next;
        break;
    }
    if (!ReadBody(source, std::max<std::size_t>(bodyReadSize, 1))) {
        return false;
    }
    std::wstring connection;
    if (HeaderValue(L"Connection", connection) && HasToken(connection, L"close")) {
        m_endsConnection = true;
    }
    m_outcome = HttpReadOutcome::Ok;
    return true;
}

bool CHttpReply::Append(IHttpReplySource& source, std::size_t readSize, std::size_t& got) {
    std::size_t old = m_received.size();
    m_received.resize(old + readSize);
    got = 0;
    bool ok = source.Receive(m_received.data() + old, readSize, got);
    got = ok ? std::min(got, readSize) : 0;
    m_received.resize(old + got);
    return ok;
}

bool CHttpReply::Fill(IHttpReplySource& source, std::size_t readSize) {
    std::size_t got = 0;
    if (m_received.size() >= kMaxReplyBytes || !Append(source, readSize, got)) {
        return false;
    }
    if (got > 0) {
        m_emptyReads = 0;
        return true;
    }
    return ++m_emptyReads <= kToleratedEmptyReads;
}

bool CHttpReply::ReadHeaderBlock(IHttpReplySource& source, std::size_t start, std::size_t& blockEnd) {
    m_emptyReads = 0;
    std::size_t searchFrom = start;
    for (;;) {
        blockEnd = m_received.find("\r\n\r\n", searchFrom);
        if (blockEnd != std::string::npos) {
            return true;
        }
        if (m_received.size() - start > kMaxHeaderBlockBytes) {
            m_outcome = HttpReadOutcome::HeaderParseFailed;
            return false;
        }
        searchFrom = std::max(start, m_received.size() >= 3 ? m_received.size() - 3 : 0);
        if (!Fill(source, kHeaderReadSize)) {
            m_outcome = HttpReadOutcome::SocketReadFailed;
            return false;
        }
    }
}

bool CHttpReply::ParseStatusLine(std::size_t start, std::size_t end) {
    std::size_t p = start;
    while (p < end && !IsBlank(m_received[p])) {
        ++p;
    }
    while (p < end && IsBlank(m_received[p])) {
        ++p;
    }
    if (p == end || !IsDigit(m_received[p])) {
        return false;
    }
    int number = 0;
    for (; p < end && IsDigit(m_received[p]); ++p) {
        number = number * 10 + (m_received[p] - '0');
        if (number > kMaxStatus) {
            return false;
        }
    }
    if (number < kMinStatus) {
        return false;
    }
    m_status = number;
    return true;
}

// Header lines run from start to end, each closed by CRLF; a line that starts
// with white space continues the one before.
bool CHttpReply::ParseHeaders(std::size_t start, std::size_t end) {
    std::string line;
    bool haveLine = false;
    for (std::size_t p = start; p < end;) {
        std::size_t lineEnd = m_received.find("\r\n", p);
        if (haveLine && IsBlank(m_received[p])) {
            while (p < lineEnd && IsBlank(m_received[p])) {
                ++p;
            }
            line += ' ';
            line.append(m_received, p, lineEnd - p);
        } else {
            if (haveLine && !AddHeader(line)) {
                return false;
            }
            line.assign(m_received, p, lineEnd - p);
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
    auto [slot, added] = m_headers.emplace(name, value);
    if (!added) {
        slot->second.append(L",").append(value);
    }
    return true;
}

bool CHttpReply::ReadBody(IHttpReplySource& source, std::size_t bodyReadSize) {
    m_emptyReads = 0;
    std::wstring value;
    if (HeaderValue(L"Transfer-Encoding", value) && EqualsIgnoringCase(value, L"chunked")) {
        if (ReadChunkedBody(source, bodyReadSize)) {
            return true;
        }
        m_outcome = HttpReadOutcome::ChunkedBodyReadFailed;
        return false;
    }
    bool ok = HeaderValue(L"Content-Length", value) ? ReadLengthBody(source, bodyReadSize, value)
                                                    : ReadToClose(source, bodyReadSize);
    if (!ok) {
        m_outcome = HttpReadOutcome::BodyReadFailed;
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
    m_body.assign(m_received, m_position, count);
    m_position += count;
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
        if (!ReadBytes(source, bodyReadSize, size + 2) ||
            m_received.compare(m_position + size, 2, "\r\n") != 0) {
            return false;
        }
        m_body.append(m_received, m_position, size);
        m_position += size + 2;
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
    std::size_t searchFrom = m_position;
    for (;;) {
        std::size_t end = m_received.find("\r\n", searchFrom);
        if (end != std::string::npos) {
            line.assign(m_received, m_position, end - m_position);
            m_position = end + 2;
            return true;
        }
        if (m_received.size() - m_position > kMaxHeaderBlockBytes) {
            return false;
        }
        searchFrom = std::max(m_position, m_received.empty() ? 0 : m_received.size() - 1);
        if (!Fill(source, readSize)) {
            return false;
        }
    }
}

bool CHttpReply::ReadBytes(IHttpReplySource& source, std::size_t readSize, std::size_t count) {
    while (m_received.size() - m_position < count) {
        if (!Fill(source, std::min(readSize, count - (m_received.size() - m_position)))) {
            return false;
        }
    }
    return true;
}

// The body is whatever arrives until the connection ends; a failed read ends it too.
bool CHttpReply::ReadToClose(IHttpReplySource& source, std::size_t bodyReadSize) {
    m_endsConnection = true;
    for (int empty = 0; empty < kEmptyReadsEndingTheBody;) {
        if (m_received.size() >= kMaxReplyBytes) {
            return false;
        }
        std::size_t got = 0;
        if (!Append(source, bodyReadSize, got)) {
            break;
        }
        empty = got == 0 ? empty + 1 : 0;
    }
    m_body.assign(m_received, m_position, std::string::npos);
    m_position = m_received.size();
    return true;
}
