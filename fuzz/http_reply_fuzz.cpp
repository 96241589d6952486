// The HTTP reply reader over any bytes, arriving in reads of any size.
#include "protocol/http_reply.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace {

// The first input byte sets the largest read; the rest is the reply, then the peer closes.
class CFuzzSource : public IHttpReplySource {
public:
    CFuzzSource(const std::uint8_t* data, std::size_t size, std::size_t step)
        : m_data(data), m_size(size), m_step(step) {}

    bool Receive(char* buffer, std::size_t capacity, std::size_t& received) override {
        received = std::min({capacity, m_size - m_at, m_step});
        std::memcpy(buffer, m_data + m_at, received);
        m_at += received;
        return true;
    }

private:
    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_step;
    std::size_t m_at = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    CFuzzSource source(data + 1, size - 1, data[0] == 0 ? 4096 : data[0]);
    CHttpReply reply;
    if (reply.Read(source, 4096)) {
        std::wstring value;
        reply.HeaderValue(L"Set-Cookie", value);
        reply.HeaderValue(L"Location", value);
    }
    return 0;
}
