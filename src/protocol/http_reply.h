#pragma once
// Reading one HTTP/1.1 reply: status line, headers and body (by length,
// chunked or up to the end of the connection), from any source of bytes.
#include <cstddef>
#include <map>
#include <string>

// Where reply bytes come from: the connection, or a buffer when the reader is tested alone.
class IHttpReplySource {
public:
    // Receives up to capacity bytes; 0 received means nothing came (the peer has closed).
    virtual bool Receive(char* buffer, std::size_t capacity, std::size_t& received) = 0;

protected:
    ~IHttpReplySource() = default;
};

enum class HttpReadOutcome {
    Ok,
    StatusInvalid,
    HeaderParseFailed,
    SocketReadFailed,
    BodyReadFailed,
    ChunkedBodyReadFailed,
    NotRead,
};

// Header names compare without regard to ASCII case.
struct CHeaderNameLess {
    bool operator()(const std::wstring& a, const std::wstring& b) const;
};

// The last reply read: status, headers and body.
class CHttpReply {
public:
    static constexpr std::size_t kHeaderReadSize = 2048;
    static constexpr std::size_t kMaxHeaderFieldLength = 1023;
    // Bound what a misbehaving server can make us hold.
    static constexpr std::size_t kMaxHeaderBlockBytes = 256 * 1024;
    static constexpr std::size_t kMaxReplyBytes = 32 * 1024 * 1024;

    void Reset();
    // Reads one final reply, skipping interim 1xx replies; false with Outcome()
    // telling why. bodyReadSize is the largest single body read.
    bool Read(IHttpReplySource& source, std::size_t bodyReadSize);

    HttpReadOutcome Outcome() const { return m_outcome; }
    // The number from the last status line read, or -1.
    int Status() const { return m_status; }
    bool HeaderValue(const std::wstring& name, std::wstring& value) const;
    const std::string& Body() const { return m_body; }
    // True when the connection cannot carry another exchange: the reply said
    // "Connection: close", or its body ran to the end of the connection.
    bool EndsConnection() const { return m_endsConnection; }

private:
    // Appends one read to the bytes received.
    bool Append(IHttpReplySource& source, std::size_t readSize, std::size_t& got);
    // One read where an empty read is tolerated a few times in a row.
    bool Fill(IHttpReplySource& source, std::size_t readSize);
    bool ReadHeaderBlock(IHttpReplySource& source, std::size_t start, std::size_t& blockEnd);
    bool ParseStatusLine(std::size_t start, std::size_t end);
    bool ParseHeaders(std::size_t start, std::size_t end);
    bool AddHeader(const std::string& line);
    bool ReadBody(IHttpReplySource& source, std::size_t bodyReadSize);
    bool ReadLengthBody(IHttpReplySource& source, std::size_t bodyReadSize, const std::wstring& length);
    bool ReadChunkedBody(IHttpReplySource& source, std::size_t bodyReadSize);
    bool ReadLine(IHttpReplySource& source, std::size_t readSize, std::string& line);
    bool ReadBytes(IHttpReplySource& source, std::size_t readSize, std::size_t count);
    bool ReadToClose(IHttpReplySource& source, std::size_t bodyReadSize);

    int m_status = -1;
    std::map<std::wstring, std::wstring, CHeaderNameLess> m_headers;
    std::string m_received;     // every byte received for this reply
    std::size_t m_position = 0; // first byte of received not yet consumed
    int m_emptyReads = 0;       // empty reads in a row
    std::string m_body;
    bool m_endsConnection = false;
    HttpReadOutcome m_outcome = HttpReadOutcome::NotRead;
};
