#pragma once
// The settings file on disk: the document's text enciphered under the settings
// key, carried as UTF-16LE Base64, read in one piece of at most 5000 bytes.
#include <cstddef>
#include <filesystem>
#include <string>

class TiXmlDocument;

// The program reads no more than this, so no file may grow past it.
inline constexpr std::size_t kSettingsFileMaxBytes = 5000;

// File bytes of the enciphered document text.
std::string EncodeSettingsText(const std::wstring& xml);
// Deciphered document text of the file bytes; garbage in gives garbage out.
std::wstring DecodeSettingsText(const std::string& bytes);

// Parses 8-bit document text as it is (no encoding detection), keeping the
// blanks around texts. False when it is not a document with a root element.
bool ParseSettingsXml(const std::string& ansi, TiXmlDocument& doc);
// The compact form: no added blanks or line breaks.
std::string CompactSettingsXml(const TiXmlDocument& doc);

// The file system path of a wide path: wide on Windows, UTF-8 elsewhere
// (whatever the locale). Empty when the text is no valid path.
std::filesystem::path WidePath(const std::wstring& text);

// Reads at most maxBytes. False when the file cannot be opened.
bool ReadFileBytes(const std::filesystem::path& path, std::size_t maxBytes, std::string& bytes);
// Replaces the content of an existing file through a temporary file beside it,
// so the old content stays whole unless the new one was written completely.
// Temporary files that earlier, killed saves left beside it are removed.
// False, with nothing changed, when the file does not exist or the write fails.
bool ReplaceFileContent(const std::filesystem::path& path, const std::string& bytes);

// Test seam: stands in for the process being killed inside ReplaceFileContent.
// Called with 0, 1, 2... before each step that changes the disk (stale files
// removed, temporary file made, each piece written, closed, renamed) and once
// after; false stops the replace right there. The program sets none.
using ReplaceKillPoint = bool (*)(int step);
void SetReplaceKillPointForTests(ReplaceKillPoint hook);
