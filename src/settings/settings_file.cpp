#include "settings/settings_file.h"

#include "protocol/text_cipher.h"

#include <algorithm>
#include <cwchar>
#include <fstream>
#include <random>
#include <string>
#include <system_error>
#include <tinyxml.h>
#include <vector>

namespace {

const wchar_t kSettingsKey[] = L"KKLLMMNNPPQQRRSS";
// The temporary file is written in pieces, so that a kill can cut it anywhere.
constexpr std::size_t kWritePiece = 512;

ReplaceKillPoint g_killPoint = nullptr;

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

// Whether name is one of ours beside the file: the file's name, "." and
// eight hex digits, ".tmp". Compared in the native form, which any name has.
bool IsTempNameOf(const std::filesystem::path& file, const std::filesystem::path& name) {
    using Char = std::filesystem::path::value_type;
    const auto prefix = file.filename().native() + Char('.');
    const std::filesystem::path::string_type suffix{Char('.'), Char('t'), Char('m'), Char('p')};
    const auto& text = name.native();
    constexpr std::size_t kDigits = 8;
    if (text.size() != prefix.size() + kDigits + suffix.size() ||
        text.compare(0, prefix.size(), prefix) != 0 ||
        text.compare(prefix.size() + kDigits, suffix.size(), suffix) != 0) {
        return false;
    }
    for (std::size_t i = prefix.size(); i < prefix.size() + kDigits; ++i) {
        const Char c = text[i];
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'))) {
            return false;
        }
    }
    return true;
}

// A save killed between writing its temporary file and renaming it leaves the
// file behind. A copy saving at this very moment may lose its temporary file
// too; its rename then fails and ours stands, as it would have a moment later.
void RemoveStaleTempFiles(const std::filesystem::path& path) {
    std::error_code ec;
    std::filesystem::path folder = path.parent_path();
    if (folder.empty()) {
        folder = ".";
    }
    std::vector<std::filesystem::path> stale;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        if (IsTempNameOf(path, it->path().filename())) {
            stale.push_back(it->path());
        }
    }
    for (const std::filesystem::path& file : stale) {
        std::filesystem::remove(file, ec);
    }
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
        if constexpr (sizeof(wchar_t) == sizeof(char32_t)) {
            return std::filesystem::path(std::u32string(text.begin(), text.end()));
        } else {
            return std::filesystem::path(text);
        }
    } catch (const std::filesystem::filesystem_error&) {
        return {};
    }
}

bool ReadFileBytes(const std::filesystem::path& path, std::size_t maxBytes, std::string& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return false;
    }
    bytes.assign(maxBytes, '\0');
    in.read(bytes.data(), static_cast<std::streamsize>(maxBytes));
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    return !in.bad();
}

void SetReplaceKillPointForTests(ReplaceKillPoint hook) {
    g_killPoint = hook;
}

bool ReplaceFileContent(const std::filesystem::path& path, const std::string& bytes) {
    // A kill point that fires returns at once, with no clean-up, as a killed process would.
    int step = 0;
    auto killed = [&step] { return g_killPoint && !g_killPoint(step++); };
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) {
        return false;
    }
    if (killed()) {
        return false;
    }
    RemoveStaleTempFiles(path);
    std::filesystem::path temp = TempPathBeside(path);
    if (killed()) {
        return false;
    }
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        for (std::size_t at = 0; out && at < bytes.size(); at += kWritePiece) {
            if (killed()) {
                return false;
            }
            out.write(bytes.data() + at,
                      static_cast<std::streamsize>(std::min(kWritePiece, bytes.size() - at)));
            out.flush();
        }
        if (killed()) {
            return false;
        }
        out.close();
        if (!out) {
            std::filesystem::remove(temp, ec);
            return false;
        }
    }
    if (killed()) {
        return false;
    }
    std::filesystem::rename(temp, path, ec);
    if (ec) {
        std::filesystem::remove(temp, ec);
        return false;
    }
    return !killed();
}
