#include "protocol/soap_request.h"

#include "protocol/soap_namespaces.h"

#include <cstdint>
#include <cstdio>

namespace {

constexpr char kOperation[] = "Entry";

bool IsHighSurrogate(std::uint32_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}
bool IsLowSurrogate(std::uint32_t c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}

// wchar_t is 16 bits on Windows and 32 natively: a code unit or a whole code point.
std::uint32_t CodeUnit(wchar_t c) {
    return static_cast<std::uint32_t>(c);
}

void AppendReference(std::string& out, const char* format, std::uint32_t codePoint) {
    char reference[24];
    std::snprintf(reference, sizeof(reference), format, static_cast<unsigned>(codePoint));
    out += reference;
}

std::wstring Widen(const char* ascii) {
    return std::wstring(ascii, ascii + std::char_traits<char>::length(ascii));
}

} // namespace

std::string EscapeSoapString(const std::wstring& text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        std::uint32_t c = CodeUnit(text[i]);
        if (c == '&') {
            out += "&amp;";
        } else if (c == '<') {
            out += "&lt;";
        } else if (c == '>') {
            out += "&gt;";
        } else if (c >= 0x20 && c <= 0x7E) {
            out += static_cast<char>(c);
        } else if (IsHighSurrogate(c) && i + 1 < text.size() && IsLowSurrogate(CodeUnit(text[i + 1]))) {
            std::uint32_t low = CodeUnit(text[++i]);
            AppendReference(out, "&#x%06X;", 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00));
        } else if (c > 0xFFFF) {
            AppendReference(out, "&#x%06X;", c); // a whole code point, as the pair above gives on Windows
        } else {
            AppendReference(out, "&#x%04X;", c);
        }
    }
    return out;
}

std::string BuildEntryRequest(const std::wstring& requestData) {
    std::string document = "<soap:Envelope xmlns:soap=\"";
    document += kSoapEnvelopeNamespace;
    document += "\" xmlns:xsi=\"";
    document += kSchemaInstanceNamespace;
    document += "\" xmlns:xsd=\"";
    document += kSchemaNamespace;
    document += "\" xmlns:soapenc=\"";
    document += kSoapEncodingNamespace;
    document += "\"><soap:Body><";
    document += kOperation;
    document += " xmlns=\"";
    document += kServiceNamespace;
    document += "\"><requestData>";
    document += EscapeSoapString(requestData);
    document += "</requestData></";
    document += kOperation;
    document += "></soap:Body></soap:Envelope>";
    return document;
}

std::wstring BuildEntryHeaders(const std::wstring& cookie) {
    std::wstring headers;
    if (!cookie.empty()) {
        headers += L"Cookie: " + cookie + L"\r\n";
    }
    headers += L"SOAPAction: \"" + Widen(kServiceNamespace) + Widen(kOperation) + L"\"\r\n";
    headers += L"Accept: text/xml\r\n";
    return headers;
}
