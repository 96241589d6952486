#include "protocol/http_reply.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

// Hands out scripted pieces, one read each (split further when a read asks for
// less); an empty piece is one empty read. After the last piece every read is
// empty, or fails when failAtEnd is set.
class CPieceSource : public IHttpReplySource {
public:
    explicit CPieceSource(std::vector<std::string> pieces, bool failAtEnd = false)
        : pieces(std::move(pieces)), failAtEnd(failAtEnd) {}

    bool Receive(char* buffer, std::size_t capacity, std::size_t& received) override {
        capacities.push_back(capacity);
        received = 0;
        if (next == pieces.size())
            return !failAtEnd;
        const std::string& piece = pieces[next];
        received = std::min(capacity, piece.size() - offset);
        std::memcpy(buffer, piece.data() + offset, received);
        offset += received;
        if (offset == piece.size()) {
            ++next;
            offset = 0;
        }
        return true;
    }

    std::vector<std::size_t> capacities;

private:
    std::vector<std::string> pieces;
    bool failAtEnd;
    std::size_t next = 0;
    std::size_t offset = 0;
};

std::vector<std::string> Split(const std::string& bytes, std::size_t size) {
    std::vector<std::string> pieces;
    for (std::size_t at = 0; at < bytes.size(); at += size)
        pieces.push_back(bytes.substr(at, size));
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
};

const std::string k1023(1023, 'v');

const ReplyCase kReplies[] = {
    {"content length", "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhello", HttpReadOutcome::Ok, 200,
     "hello"},
    {"bytes past the length are not body", "HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\nhello",
     HttpReadOutcome::Ok, 200, "hel"},
    {"zero length", "HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n", HttpReadOutcome::Ok, 200, ""},
    {"chunked with extension and trailer",
     "HTTP/1.1 200 OK\r\nTransfer-Encoding: Chunked\r\n\r\n5;name=v\r\nhello\r\nA \r\n world!!!!\r\n0\r\n"
     "Trailer-One: x\r\n\r\n",
     HttpReadOutcome::Ok, 200, "hello world!!!!"},
    {"chunked beats content length",
     "HTTP/1.1 200 OK\r\nContent-Length: 99\r\nTransfer-Encoding: chunked\r\n\r\n2\r\nok\r\n0\r\n\r\n",
     HttpReadOutcome::Ok, 200, "ok"},
    {"read to close", "HTTP/1.1 200 OK\r\nServer: x\r\n\r\nall of it", HttpReadOutcome::Ok, 200, "all of it"},
    {"interim 100 skipped with its headers",
     "HTTP/1.1 100 Continue\r\nX-Interim: 1\r\n\r\nHTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok",
     HttpReadOutcome::Ok, 200, "ok", L"X-Interim", nullptr},
    {"two interim replies",
     "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 102 Processing\r\n\r\nHTTP/1.1 404 Nope\r\n"
     "Content-Length: 0\r\n\r\n",
     HttpReadOutcome::Ok, 404, ""},
    {"continuation lines",
     "HTTP/1.1 200 OK\r\nX-Long: first\r\n  second\r\n\tthird\r\nContent-Length: 0\r\n\r\n",
     HttpReadOutcome::Ok, 200, "", L"x-long", L"first second third"},
    {"repeated headers joined",
     "HTTP/1.1 200 OK\r\nSet-Cookie: a=1; path=/\r\nset-cookie: b=2\r\nContent-Length: 0\r\n\r\n",
     HttpReadOutcome::Ok, 200, "", L"SET-COOKIE", L"a=1; path=/,b=2"},
    {"line without colon ignored", "HTTP/1.1 200 OK\r\njunk line\r\nX-A:  v \r\nContent-Length: 0\r\n\r\n",
     HttpReadOutcome::Ok, 200, "", L"X-A", L"v"},
    {"value of 1023 characters", "HTTP/1.1 200 OK\r\nX-Big: " + k1023 + "\r\nContent-Length: 0\r\n\r\n",
     HttpReadOutcome::Ok, 200, ""},
    {"value of 1024 characters", "HTTP/1.1 200 OK\r\nX-Big: " + k1023 + "v\r\nContent-Length: 0\r\n\r\n",
     HttpReadOutcome::HeaderParseFailed, 200, ""},
    {"continued value past 1023",
     "HTTP/1.1 200 OK\r\nX-Big: " + k1023 + "\r\n x\r\nContent-Length: 0\r\n\r\n",
     HttpReadOutcome::HeaderParseFailed, 200, ""},
    {"name of 1024 characters", "HTTP/1.1 200 OK\r\n" + k1023 + "n: v\r\n\r\n",
     HttpReadOutcome::HeaderParseFailed, 200, ""},
    {"HTTP/1.0 keep-alive", "HTTP/1.0 200 OK\r\nConnection: Keep-Alive\r\nContent-Length: 2\r\n\r\nok",
     HttpReadOutcome::Ok, 200, "ok"},
    {"status without number", "HTTP/1.1 OK\r\n\r\n", HttpReadOutcome::StatusInvalid, -1, ""},
    {"status below 100", "HTTP/1.1 99 Low\r\n\r\n", HttpReadOutcome::StatusInvalid, -1, ""},
    {"status too long", "HTTP/1.1 2000 Big\r\n\r\n", HttpReadOutcome::StatusInvalid, -1, ""},
    {"empty status line", "\r\n\r\n", HttpReadOutcome::StatusInvalid, -1, ""},
    {"closed mid-header", "HTTP/1.1 200 OK\r\nContent-Len", HttpReadOutcome::SocketReadFailed, -1, ""},
    {"closed mid-body", "HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nshort", HttpReadOutcome::BodyReadFailed,
     200, ""},
    {"length not a number", "HTTP/1.1 200 OK\r\nContent-Length: 1x\r\n\r\n1x",
     HttpReadOutcome::BodyReadFailed, 200, ""},
    {"two different lengths", "HTTP/1.1 200 OK\r\nContent-Length: 1\r\nContent-Length: 2\r\n\r\nab",
     HttpReadOutcome::BodyReadFailed, 200, ""},
    {"huge length", "HTTP/1.1 200 OK\r\nContent-Length: 99999999999999999999999\r\n\r\n",
     HttpReadOutcome::BodyReadFailed, 200, ""},
    {"chunk size not hex", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\n",
     HttpReadOutcome::ChunkedBodyReadFailed, 200, ""},
    {"chunk without its CRLF", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n2\r\nokX\r\n0\r\n\r\n",
     HttpReadOutcome::ChunkedBodyReadFailed, 200, ""},
    {"chunked cut short", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhel",
     HttpReadOutcome::ChunkedBodyReadFailed, 200, ""},
    {"chunked without last chunk", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n2\r\nok\r\n",
     HttpReadOutcome::ChunkedBodyReadFailed, 200, ""},
    {"huge chunk size", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nFFFFFFFFFFFFFFFFFFFFF\r\n",
     HttpReadOutcome::ChunkedBodyReadFailed, 200, ""},
};

TEST(HttpReply, ReadsEachReplyShapeWhateverTheReadSizes) {
    for (const ReplyCase& c : kReplies) {
        for (std::size_t piece : {c.bytes.size(), std::size_t{1}, std::size_t{7}}) {
            SCOPED_TRACE(std::string(c.name) + ", pieces of " + std::to_string(piece));
            CPieceSource source(Split(c.bytes, piece));
            CHttpReply reply;
            EXPECT_EQ(reply.Read(source, 4096), c.outcome == HttpReadOutcome::Ok);
            EXPECT_EQ(reply.Outcome(), c.outcome);
            EXPECT_EQ(reply.Status(), c.status);
            if (c.outcome != HttpReadOutcome::Ok)
                continue;
            EXPECT_EQ(reply.Body(), c.body);
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

TEST(HttpReply, TellsWhenTheConnectionEnds) {
    const struct {
        std::string bytes;
        bool ends;
    } cases[] = {
        {"HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n", false},
        {"HTTP/1.1 200 OK\r\nConnection: CLOSE\r\nContent-Length: 0\r\n\r\n", true},
        {"HTTP/1.1 200 OK\r\nConnection: keep-alive, close\r\nContent-Length: 0\r\n\r\n", true},
        {"HTTP/1.0 200 OK\r\nConnection: Keep-Alive\r\nContent-Length: 0\r\n\r\n", false},
        {"HTTP/1.1 200 OK\r\n\r\nto the end", true},
    };
    for (const auto& c : cases) {
        CPieceSource source({c.bytes});
        CHttpReply reply;
        ASSERT_TRUE(reply.Read(source, 4096)) << c.bytes;
        EXPECT_EQ(reply.EndsConnection(), c.ends) << c.bytes;
    }
}

TEST(HttpReply, ToleratesFourEmptyReadsInARow) {
    const std::string head = "HTTP/1.1 200 OK\r\n";
    const std::string rest = "Content-Length: 2\r\n\r\nok";
    CPieceSource four({head, "", "", "", "", rest});
    CHttpReply reply;
    EXPECT_TRUE(reply.Read(four, 4096));
    EXPECT_EQ(reply.Body(), "ok");

    CPieceSource five({head, "", "", "", "", "", rest});
    EXPECT_FALSE(reply.Read(five, 4096));
    EXPECT_EQ(reply.Outcome(), HttpReadOutcome::SocketReadFailed);
}

TEST(HttpReply, FailedReadEndsABodyReadToTheClose) {
    CPieceSource source({"HTTP/1.1 200 OK\r\n\r\npart"}, true);
    CHttpReply reply;
    EXPECT_TRUE(reply.Read(source, 4096));
    EXPECT_EQ(reply.Body(), "part");
    EXPECT_TRUE(reply.EndsConnection());

    CPieceSource midHeader({"HTTP/1.1 200 OK\r\n"}, true);
    EXPECT_FALSE(reply.Read(midHeader, 4096));
    EXPECT_EQ(reply.Outcome(), HttpReadOutcome::SocketReadFailed);
}

TEST(HttpReply, ReadsHeadersIn2048AndBodiesInBlockSizePieces) {
    const std::string body(10000, 'b');
    CPieceSource source({"HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n",
                         body.substr(0, 5000), body.substr(5000)});
    CHttpReply reply;
    ASSERT_TRUE(reply.Read(source, 4096));
    EXPECT_EQ(reply.Body(), body);
    ASSERT_GE(source.capacities.size(), 3u);
    EXPECT_EQ(source.capacities[0], 2048u);
    for (std::size_t i = 1; i < source.capacities.size(); ++i)
        EXPECT_LE(source.capacities[i], 4096u);
}

TEST(HttpReply, RefusesAnEndlessHeaderBlock) {
    std::string line = "X-Filler: " + std::string(1000, 'f') + "\r\n";
    std::vector<std::string> pieces{"HTTP/1.1 200 OK\r\n"};
    for (std::size_t size = 0; size <= CHttpReply::kMaxHeaderBlockBytes; size += line.size())
        pieces.push_back(line);
    CPieceSource source(pieces);
    CHttpReply reply;
    EXPECT_FALSE(reply.Read(source, 4096));
    EXPECT_EQ(reply.Outcome(), HttpReadOutcome::HeaderParseFailed);
}

TEST(HttpReply, ResetForgetsTheLastReply) {
    CPieceSource source({"HTTP/1.1 200 OK\r\nX-A: 1\r\nContent-Length: 1\r\n\r\nz"});
    CHttpReply reply;
    ASSERT_TRUE(reply.Read(source, 4096));
    reply.Reset();
    std::wstring value;
    EXPECT_EQ(reply.Status(), -1);
    EXPECT_FALSE(reply.HeaderValue(L"X-A", value));
    EXPECT_TRUE(reply.Body().empty());
    EXPECT_EQ(reply.Outcome(), HttpReadOutcome::NotRead);
}

} // namespace
