#include "protocol/http_reply.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

namespace {

using enum HttpReadOutcome;

// Hands out scripted pieces, one read each (split further when a read asks for
// less); an empty piece is one empty read. After the last piece every read is
// empty, or fails when failAtEnd is set.
class CPieceSource : public IHttpReplySource {
public:
    explicit CPieceSource(const std::vector<std::string>& pieces, bool failAtEnd = false)
        : m_pieces(pieces.begin(), pieces.end()), m_failAtEnd(failAtEnd) {}

    bool Receive(char* buffer, std::size_t capacity, std::size_t& received) override {
        received = 0;
        if (m_pieces.empty()) {
            return !m_failAtEnd;
        }
        received = m_pieces.front().copy(buffer, capacity);
        m_pieces.front().erase(0, received);
        if (m_pieces.front().empty()) {
            m_pieces.pop_front();
        }
        return true;
    }

private:
    std::deque<std::string> m_pieces;
    bool m_failAtEnd;
};

std::vector<std::string> Split(const std::string& bytes, std::size_t size) {
    std::vector<std::string> pieces;
    for (std::size_t at = 0; at < bytes.size(); at += size) {
        pieces.push_back(bytes.substr(at, size));
    }
    return pieces;
}

struct ReplyCase {
    const char* name;
    std::string bytes;
    HttpReadOutcome outcome;
    int status;
    std::string body;
    const wchar_t* header = nullptr; // checked when set
    const wchar_t* value = nullptr;  // nullptr: the header must be absent
    bool endsConnection = false;
};

const std::string k1023(1023, 'v');
const std::string k200 = "HTTP/1.1 200 OK\r\n";

const ReplyCase kReplies[] = {
    {"content length", k200 + "Content-Length: 5\r\n\r\nhello", Ok, 200, "hello"},
    {"bytes past the length are not body", k200 + "Content-Length: 3\r\n\r\nhello", Ok, 200, "hel"},
    {"chunked with extension and trailer",
     k200 + "Transfer-Encoding: Chunked\r\n\r\n5;name=v\r\nhello\r\nA \r\n world!!!!\r\n0\r\n"
            "Trailer-One: x\r\n\r\n",
     Ok, 200, "hello world!!!!"},
    {"chunked beats content length",
     k200 + "Content-Length: 99\r\nTransfer-Encoding: chunked\r\n\r\n2\r\nok\r\n0\r\n\r\n", Ok, 200, "ok"},
    {"read to close", k200 + "Server: x\r\n\r\nall of it", Ok, 200, "all of it", nullptr, nullptr, true},
    {"connection close", k200 + "Connection: CLOSE\r\nContent-Length: 0\r\n\r\n", Ok, 200, "", nullptr,
     nullptr, true},
    {"close among other tokens", k200 + "Connection: keep-alive, close\r\nContent-Length: 0\r\n\r\n", Ok, 200,
     "", nullptr, nullptr, true},
    {"interim 100 skipped with its headers",
     "HTTP/1.1 100 Continue\r\nX-Interim: 1\r\n\r\nHTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok", Ok, 200,
     "ok", L"X-Interim", nullptr},
    {"two interim replies",
     "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 102 Processing\r\n\r\nHTTP/1.1 404 Nope\r\n"
     "Content-Length: 0\r\n\r\n",
     Ok, 404, ""},
    {"continuation lines", k200 + "X-Long: first\r\n  second\r\n\tthird\r\nContent-Length: 0\r\n\r\n", Ok,
     200, "", L"x-long", L"first second third"},
    {"repeated headers joined",
     k200 + "Set-Cookie: a=1; path=/\r\nset-cookie: b=2\r\nContent-Length: 0\r\n\r\n", Ok, 200, "",
     L"SET-COOKIE", L"a=1; path=/,b=2"},
    {"line without colon ignored", k200 + "junk line\r\nX-A:  v \r\nContent-Length: 0\r\n\r\n", Ok, 200, "",
     L"X-A", L"v"},
    {"value of 1023 characters", k200 + "X-Big: " + k1023 + "\r\nContent-Length: 0\r\n\r\n", Ok, 200, ""},
    {"value of 1024 characters", k200 + "X-Big: " + k1023 + "v\r\nContent-Length: 0\r\n\r\n",
     HeaderParseFailed, 200, ""},
    {"continued value past 1023", k200 + "X-Big: " + k1023 + "\r\n x\r\nContent-Length: 0\r\n\r\n",
     HeaderParseFailed, 200, ""},
    {"name of 1024 characters", k200 + k1023 + "n: v\r\n\r\n", HeaderParseFailed, 200, ""},
    {"status without number", "HTTP/1.1 OK\r\n\r\n", StatusInvalid, -1, ""},
    {"closed mid-header", k200 + "Content-Len", SocketReadFailed, -1, ""},
    {"closed mid-body", k200 + "Content-Length: 10\r\n\r\nshort", BodyReadFailed, 200, ""},
    {"length not a number", k200 + "Content-Length: 1x\r\n\r\n1x", BodyReadFailed, 200, ""},
    {"two different lengths", k200 + "Content-Length: 1\r\nContent-Length: 2\r\n\r\nab", BodyReadFailed, 200,
     ""},
    {"huge length", k200 + "Content-Length: 99999999999999999999999\r\n\r\n", BodyReadFailed, 200, ""},
    {"chunk size not hex", k200 + "Transfer-Encoding: chunked\r\n\r\nzz\r\n", ChunkedBodyReadFailed, 200, ""},
    {"chunk without its CRLF", k200 + "Transfer-Encoding: chunked\r\n\r\n2\r\nokX\r\n0\r\n\r\n",
     ChunkedBodyReadFailed, 200, ""},
    {"chunked cut short", k200 + "Transfer-Encoding: chunked\r\n\r\n5\r\nhel", ChunkedBodyReadFailed, 200,
     ""},
    {"huge chunk size", k200 + "Transfer-Encoding: chunked\r\n\r\nFFFFFFFFFFFFFFFFFFFFF\r\n",
     ChunkedBodyReadFailed, 200, ""},
};

// One reader for all, so nothing of one reply may leak into the next.
TEST(HttpReply, ReadsEachReplyShapeWhateverTheReadSizes) {
    CHttpReply reply;
    for (const ReplyCase& c : kReplies) {
        for (std::size_t piece : {c.bytes.size(), std::size_t{1}, std::size_t{7}}) {
            SCOPED_TRACE(std::string(c.name) + ", pieces of " + std::to_string(piece));
            CPieceSource source(Split(c.bytes, piece));
            EXPECT_EQ(reply.Read(source, 4096), c.outcome == Ok);
            EXPECT_EQ(reply.Outcome(), c.outcome);
            EXPECT_EQ(reply.Status(), c.status);
            if (c.outcome != Ok) {
                continue;
            }
            EXPECT_EQ(reply.Body(), c.body);
            EXPECT_EQ(reply.EndsConnection(), c.endsConnection);
            if (c.header) {
                std::wstring value;
                EXPECT_EQ(reply.HeaderValue(c.header, value), c.value != nullptr);
                if (c.value) {
                    EXPECT_EQ(value, c.value);
                }
            }
        }
    }
}

TEST(HttpReply, EmptyAndFailedReads) {
    const std::string head = "HTTP/1.1 200 OK\r\n", rest = "Content-Length: 2\r\n\r\nok";
    const struct {
        std::vector<std::string> pieces;
        bool failAtEnd;
        HttpReadOutcome outcome;
        const char* body;
    } cases[] = {
        {{head, "", "", "", "", rest}, false, Ok, "ok"}, // four empty reads in a row are tolerated
        {{head, "", "", "", "", "", rest}, false, SocketReadFailed, ""}, // the fifth is not
        {{head}, true, SocketReadFailed, ""},
        {{head + "\r\npart"}, true, Ok, "part"}, // a failed read ends a body read to the close
    };
    CHttpReply reply;
    for (const auto& c : cases) {
        CPieceSource source(c.pieces, c.failAtEnd);
        EXPECT_EQ(reply.Read(source, 4096), c.outcome == Ok) << c.pieces.size();
        EXPECT_EQ(reply.Outcome(), c.outcome) << c.pieces.size();
        EXPECT_EQ(reply.Body(), c.body) << c.pieces.size();
    }
}

TEST(HttpReply, RefusesAnEndlessHeaderBlock) {
    std::string line = "X-Filler: " + std::string(1000, 'f') + "\r\n";
    std::vector<std::string> pieces{"HTTP/1.1 200 OK\r\n"};
    for (std::size_t size = 0; size <= CHttpReply::kMaxHeaderBlockBytes; size += line.size()) {
        pieces.push_back(line);
    }
    CPieceSource source(pieces);
    CHttpReply reply;
    EXPECT_FALSE(reply.Read(source, 4096));
    EXPECT_EQ(reply.Outcome(), HeaderParseFailed);
}

} // namespace
