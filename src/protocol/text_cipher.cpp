#include "protocol/text_cipher.h"

#include "protocol/aes128.h"
#include "protocol/base64.h"
#include "protocol/md5.h"
#include "text/ansi_text.h"

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

namespace {

constexpr size_t kKeyLength = 16;
// The middle eight bytes of the MD5 digest make the password digest.
constexpr size_t kDigestFirstByte = 4;
constexpr size_t kDigestByteCount = 8;

// Keys shorter than 16 bytes are zero-filled; longer ones are cut.
CAes128 MakeCipher(const std::wstring& key) {
    const std::string bytes = ToAnsi(key);
    uint8_t raw[kAesKeySize] = {};
    std::memcpy(raw, bytes.data(), std::min(bytes.size(), kAesKeySize));
    return CAes128(raw);
}

size_t RoundUpToBlock(size_t n) {
    return (n + kAesBlockSize - 1) / kAesBlockSize * kAesBlockSize;
}

std::mt19937& ThreadGenerator() {
    thread_local std::mt19937 generator = [] {
        std::random_device device;
        std::seed_seq seed{device(), device(), device(), device()};
        return std::mt19937(seed);
    }();
    return generator;
}

} // namespace

std::wstring MakeSessionKey() {
    std::mt19937& generator = ThreadGenerator();
    std::wstring key;
    for (size_t i = 0; i < kKeyLength; ++i) {
        switch (generator() % 3) {
        case 0:
            key += static_cast<wchar_t>(L'0' + generator() % 10);
            break;
        case 1:
            key += static_cast<wchar_t>(L'A' + generator() % 26);
            break;
        default:
            key += static_cast<wchar_t>(L'a' + generator() % 26);
            break;
        }
    }
    return key;
}

std::wstring PasswordDigest(const std::wstring& password) {
    static constexpr char kHexDigits[] = "0123456789ABCDEF";
    const Md5Digest digest = Md5(ToAnsi(password));
    std::wstring text;
    for (size_t i = kDigestFirstByte; i < kDigestFirstByte + kDigestByteCount; ++i) {
        text += static_cast<wchar_t>(kHexDigits[digest[i] >> 4]);
        text += static_cast<wchar_t>(kHexDigits[digest[i] & 0x0f]);
    }
    return text;
}

std::wstring EncryptText(const std::wstring& plain, const std::wstring& key) {
    const CAes128 cipher = MakeCipher(key);
    const std::string bytes = ToAnsi(plain);
    // An empty text still makes one block of zeros; a full last block gets no extra one.
    std::vector<uint8_t> buffer(std::max(RoundUpToBlock(bytes.size()), kAesBlockSize), 0);
    std::memcpy(buffer.data(), bytes.data(), bytes.size());
    for (size_t i = 0; i < buffer.size(); i += kAesBlockSize) {
        cipher.EncryptBlock(&buffer[i], &buffer[i]);
    }
    const std::string text = Base64Encode(buffer.data(), buffer.size());
    return std::wstring(text.begin(), text.end());
}

std::wstring DecryptText(const std::wstring& cipherText, const std::wstring& key) {
    const std::string text = ToAnsi(cipherText);
    const size_t length = text.size();
    size_t padding = 0;
    if (length >= 2 && text[length - 2] == '=') {
        padding = 2;
    } else if (length >= 1 && text[length - 1] == '=') {
        padding = 1;
    }
    // Too short a text with padding would go below zero: it deciphers to nothing.
    const size_t whole = length / 4 * 3;
    const size_t size = RoundUpToBlock(whole > padding ? whole - padding : 0);
    if (size == 0) {
        return {};
    }
    std::vector<uint8_t> buffer(size, 0);
    Base64Decode(text, buffer.data(), buffer.size());
    const CAes128 cipher = MakeCipher(key);
    for (size_t i = 0; i < buffer.size(); i += kAesBlockSize) {
        cipher.DecryptBlock(&buffer[i], &buffer[i]);
    }
    const auto end = std::find(buffer.begin(), buffer.end(), uint8_t{0});
    return FromAnsi(std::string(buffer.begin(), end));
}
