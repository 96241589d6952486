// Reads and writes the enciphered settings file for the build, the installer
// and the tests:
//   datfile encode IN.xml OUT.dat       UTF-8 XML in, the program's settings file out
//   datfile decode IN.dat               the deciphered document, printed as UTF-8
//   datfile set-version DAT VERSION     the installed version of an existing file,
//                                       everything else kept as it is
#include "settings/settings_file.h"
#include "text/ansi_text.h"

#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <tinyxml.h>
#include <vector>

namespace {

const char kUsage[] = "usage: datfile encode IN.xml OUT.dat\n"
                      "       datfile decode IN.dat\n"
                      "       datfile set-version DAT VERSION\n";
const char kUtf8Bom[] = "\xEF\xBB\xBF";

bool ReadWhole(const std::filesystem::path& path, std::string& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return false;
    }
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

void AppendCodePoint(std::wstring& out, char32_t cp) {
    if (sizeof(wchar_t) == 2 && cp > 0xFFFF) {
        cp -= 0x10000;
        out.push_back(static_cast<wchar_t>(0xD800 + (cp >> 10)));
        out.push_back(static_cast<wchar_t>(0xDC00 + (cp & 0x3FF)));
    } else {
        out.push_back(static_cast<wchar_t>(cp));
    }
}

// False on a malformed sequence.
bool Utf8ToWide(const std::string& in, std::wstring& out) {
    for (std::size_t i = 0; i < in.size();) {
        unsigned char lead = static_cast<unsigned char>(in[i]);
        int extra = lead < 0x80           ? 0
                    : (lead >> 5) == 0x6  ? 1
                    : (lead >> 4) == 0xE  ? 2
                    : (lead >> 3) == 0x1E ? 3
                                          : -1;
        if (extra < 0 || in.size() - i <= static_cast<std::size_t>(extra)) {
            return false;
        }
        char32_t cp = extra == 0 ? lead : lead & (0x3F >> extra);
        for (int k = 1; k <= extra; ++k) {
            unsigned char next = static_cast<unsigned char>(in[i + k]);
            if ((next & 0xC0) != 0x80) {
                return false;
            }
            cp = (cp << 6) | (next & 0x3F);
        }
        if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            return false;
        }
        AppendCodePoint(out, cp);
        i += extra + 1;
    }
    return true;
}

std::string WideToUtf8(const std::wstring& in) {
    std::string out;
    for (std::size_t i = 0; i < in.size(); ++i) {
        char32_t cp = static_cast<char32_t>(in[i]);
        if (sizeof(wchar_t) == 2 && cp >= 0xD800 && cp <= 0xDBFF && i + 1 < in.size()) {
            char32_t low = static_cast<char32_t>(in[i + 1]);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                ++i;
            }
        }
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    return out;
}

int Fail(const std::string& message) {
    std::cerr << "datfile: " << message << "\n";
    return 1;
}

std::string Shown(const std::filesystem::path& path) {
    return WideToUtf8(path.wstring());
}

int Encode(const std::filesystem::path& inPath, const std::filesystem::path& outPath) {
    std::string utf8;
    if (!ReadWhole(inPath, utf8)) {
        return Fail("cannot read " + Shown(inPath));
    }
    if (utf8.compare(0, 3, kUtf8Bom) == 0) {
        utf8.erase(0, 3);
    }
    std::wstring text;
    if (!Utf8ToWide(utf8, text)) {
        return Fail(Shown(inPath) + " is not UTF-8 text");
    }
    const std::string ansi = ToAnsi(text);
    if (FromAnsi(ansi) != text) {
        return Fail(Shown(inPath) + " holds characters outside code page 936");
    }

    // The program writes the compact form, so the file starts out as it would.
    TiXmlDocument doc;
    if (!ParseSettingsXml(ansi, doc)) {
        return Fail(Shown(inPath) + " is not an XML document with a root element");
    }
    // The enciphered text is 8-bit, whatever a declaration says.
    for (TiXmlNode* node = doc.FirstChild(); node;) {
        TiXmlNode* next = node->NextSibling();
        if (node->ToDeclaration()) {
            doc.RemoveChild(node);
        }
        node = next;
    }
    const std::string bytes = EncodeSettingsText(FromAnsi(CompactSettingsXml(doc)));
    if (bytes.size() > kSettingsFileMaxBytes) {
        return Fail("the enciphered document has " + std::to_string(bytes.size()) +
                    " bytes; the program reads " + std::to_string(kSettingsFileMaxBytes));
    }

    std::ofstream out(outPath, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
        return Fail("cannot write " + Shown(outPath));
    }
    return 0;
}

int Decode(const std::filesystem::path& inPath) {
    std::string bytes;
    if (!ReadWhole(inPath, bytes)) {
        return Fail("cannot read " + Shown(inPath));
    }
    if (bytes.size() > kSettingsFileMaxBytes) {
        std::cerr << "datfile: " << Shown(inPath) << " is longer than the " << kSettingsFileMaxBytes
                  << " bytes the program reads\n";
    }
    std::cout << WideToUtf8(DecodeSettingsText(bytes)) << "\n";
    return std::cout ? 0 : 1;
}

// An upgrade changes the installed version and nothing the user set. The file
// is replaced whole or not at all; one that does not decipher to a settings
// document is left alone.
int SetVersion(const std::filesystem::path& datPath, const std::wstring& version) {
    std::string bytes;
    if (!ReadFileBytes(datPath, kSettingsFileMaxBytes, bytes)) {
        return Fail("cannot read " + Shown(datPath));
    }
    TiXmlDocument doc;
    if (!ParseSettingsXml(ToAnsi(DecodeSettingsText(bytes)), doc)) {
        return Fail(Shown(datPath) + " is not a settings file; left as it is");
    }
    TiXmlElement* root = doc.RootElement();
    TiXmlElement* update = root->FirstChildElement("updateinfo");
    if (!update) {
        update = root->InsertEndChild(TiXmlElement("updateinfo"))->ToElement();
    }
    TiXmlElement* element = update->FirstChildElement("version");
    if (!element) {
        element = update->InsertEndChild(TiXmlElement("version"))->ToElement();
    }
    element->Clear();
    element->InsertEndChild(TiXmlText(ToAnsi(version)));
    const std::string updated = EncodeSettingsText(FromAnsi(CompactSettingsXml(doc)));
    if (updated.size() > kSettingsFileMaxBytes) {
        return Fail(Shown(datPath) + " would grow past what the program reads; left as it is");
    }
    if (!ReplaceFileContent(datPath, updated)) {
        return Fail("cannot write " + Shown(datPath));
    }
    return 0;
}

int Run(const std::vector<std::wstring>& args) {
    const std::wstring command = args.size() > 1 ? args[1] : L"";
    if (command == L"encode" && args.size() == 4) {
        return Encode(WidePath(args[2]), WidePath(args[3]));
    }
    if (command == L"decode" && args.size() == 3) {
        return Decode(WidePath(args[2]));
    }
    if (command == L"set-version" && args.size() == 4) {
        return SetVersion(WidePath(args[2]), args[3]);
    }
    std::cerr << kUsage;
    return 2;
}

} // namespace

#ifdef _WIN32
// Wide arguments: the installer hands over paths in any script.
int wmain(int argc, wchar_t** argv) {
    return Run(std::vector<std::wstring>(argv, argv + argc));
}
#else
int main(int argc, char** argv) {
    std::vector<std::wstring> args;
    for (int i = 0; i < argc; ++i) {
        std::wstring arg;
        if (!Utf8ToWide(argv[i], arg)) {
            return Fail(std::string("argument ") + std::to_string(i) + " is not UTF-8");
        }
        args.push_back(arg);
    }
    return Run(args);
}
#endif
