#include "settings/settings_file.h"

#include "protocol/text_cipher.h"

#include <cwchar>
#include <fstream>
#include <random>
#include <string>
#include <system_error>
#include <tinyxml.h>

namespace {

const wchar_t kSettingsKey[] = L"KKLLMMNNPPQQRRSS";

// A name no other writer uses at the same time: two running copies (signed
// in with different numbers) may save the same file at once.
std::filesystem::path TempPathBeside(const std::filesystem::path& path) {
    std::random_device random;
    wchar_t suffix[16];
    std::swprintf(suffix, sizeof(suffix) / sizeof(suffix[0]), L".%08x.tmp", static_cast<unsigned>(random()));
    std::filesystem::path temp = path;
    temp += suffix;
    return temp;
}

} // namespace

std::string EncodeSettingsText(const std::wstring& xml) {
    // Base64 text is ASCII, so each character is one UTF-16 unit.
    std::wstring cipher = EncryptText(xml, kSettingsKey);
    std::string bytes;
    bytes.reserve(cipher.size() * 2);
    for (wchar_t c : cipher) {
        bytes.push_back(static_cast<char>(c & 0xFF));
        bytes.push_back(static_cast<char>((c >> 8) & 0xFF));
    }
    return bytes;
}

std::wstring DecodeSettingsText(const std::string& bytes) {
    // Units outside ASCII cannot be Base64 and are skipped by the decipherer.
    std::wstring cipher;
    cipher.reserve(bytes.size() / 2);
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        unsigned unit =
            static_cast<unsigned char>(bytes[i]) | (static_cast<unsigned char>(bytes[i + 1]) << 8);
        cipher.push_back(static_cast<wchar_t>(unit));
    }
    return DecryptText(cipher, kSettingsKey);
}

bool ParseSettingsXml(const std::string& ansi, TiXmlDocument& doc) {
    // Blanks around a text are part of it ("true " is not "true"). The switch
    // is process-wide; only the user-interface thread parses documents.
    bool condensed = TiXmlBase::IsWhiteSpaceCondensed();
    TiXmlBase::SetCondenseWhiteSpace(false);
    doc.Parse(ansi.c_str(), nullptr, TIXML_ENCODING_LEGACY);
    TiXmlBase::SetCondenseWhiteSpace(condensed);
    return !doc.Error() && doc.RootElement() != nullptr;
}

std::string CompactSettingsXml(const TiXmlDocument& doc) {
    TiXmlPrinter printer;
    printer.SetStreamPrinting();
    doc.Accept(&printer);
    return printer.Str();
}

std::filesystem::path WidePath(const std::wstring& text) {
    try {
        if constexpr (sizeof(wchar_t) == sizeof(char32_t))
            return std::filesystem::path(std::u32string(text.begin(), text.end()));
        else
            return std::filesystem::path(text);
    } catch (const std::filesystem::filesystem_error&) {
        return {};
    }
}

bool ReadFileBytes(const std::filesystem::path& path, std::size_t maxBytes, std::string& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    bytes.assign(maxBytes, '\0');
    in.read(bytes.data(), static_cast<std::streamsize>(maxBytes));
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    return !in.bad();
}

bool ReplaceFileContent(const std::filesystem::path& path, const std::string& bytes) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec))
        return false;
    std::filesystem::path temp = TempPathBeside(path);
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        out.close();
        if (!out) {
            std::filesystem::remove(temp, ec);
            return false;
        }
    }
    std::filesystem::rename(temp, path, ec);
    if (ec) {
        std::filesystem::remove(temp, ec);
        return false;
    }
    return true;
}
