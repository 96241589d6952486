#pragma once
// Reads the reply to an Entry call: a SOAP 1.1 envelope whose body holds the
// response wrapper with at most one EntryResult, taken apart by a
// namespace-aware SAX reader.
#include <optional>
#include <string>

class CSoapRootHandler {
public:
    // False when the document is malformed or breaks the envelope rules.
    bool Parse(const std::string& document);
    // The EntryResult text; empty when it was absent or nil.
    const std::optional<std::wstring>& Result() const { return m_result; }

private:
    std::optional<std::wstring> m_result;
};
