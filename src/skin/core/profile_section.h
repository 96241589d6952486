#pragma once
// One section of a profile (an INI file) as the platform hands it over whole:
// "key=value" entries, each ended by a NUL, the list by a second NUL. Its
// answers are those of the platform's reads of one key: the first entry of a
// key in any case wins, a value in matching quotes loses them, and numbers
// read as the platform reads them.
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class CProfileSection {
public:
    CProfileSection() = default;
    // Entries past the end of the text or after an empty entry are not read.
    explicit CProfileSection(std::string_view entries);

    // nullopt when the key is absent.
    std::optional<std::string> String(std::string_view key) const;
    // The default when the key is absent or its value is empty.
    int Int(std::string_view key, int defaultValue) const;

private:
    std::vector<std::pair<std::string, std::string>> m_entries;
};

// Leading blanks, a sign, a "0x", "0o" or "0b" prefix, then digits up to the
// first that does not belong, wrapping past 32 bits; only the first 29
// characters are read.
int ProfileNumber(std::string_view text);
