#pragma once
// The Entry request: the SOAP document with its string escaping, and the
// extra HTTP header lines that go with it.
#include <string>

// Pure ASCII out: "&", "<" and ">" as entities, every other character outside
// U+0020..U+007E as a hexadecimal character reference.
std::string EscapeSoapString(const std::wstring& text);

// The request document for one Entry call, without XML declaration or white space.
std::string BuildEntryRequest(const std::wstring& requestData);

// The Cookie line (only when there is a cookie), the SOAPAction line and the Accept line.
std::wstring BuildEntryHeaders(const std::wstring& cookie);
