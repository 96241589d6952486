// Deciphering any text with any key must stay inside its buffers.
#include "protocol/text_cipher.h"
#include "text/ansi_text.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const size_t split = bytes.empty() ? 0 : static_cast<uint8_t>(bytes[0]) % (bytes.size() + 1);
    const std::wstring key = FromAnsi(bytes.substr(0, split));
    const std::wstring cipher = FromAnsi(bytes.substr(split));
    DecryptText(cipher, key);
    DecryptText(cipher, L"KKLLMMNNPPQQRRSS");
    return 0;
}
