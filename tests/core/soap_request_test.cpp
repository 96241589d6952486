#include "protocol/soap_request.h"

#include <gtest/gtest.h>

namespace {

const std::string kServiceNamespace = VELMARIN_SERVICE_NAMESPACE;

TEST(SoapRequest, DocumentIsByteExact) {
    const std::string envelope = "<soap:Envelope xmlns:soap=\"http://schemas.xmlsoap.org/soap/envelope/\" "
                                 "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
                                 "xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\" "
                                 "xmlns:soapenc=\"http://schemas.xmlsoap.org/soap/encoding/\">";
    EXPECT_EQ(envelope.size(), 227u);
    EXPECT_EQ(
        BuildEntryRequest(L"1005Ab3dEf7hIj1lMn0p+/9="),
        envelope + "<soap:Body><Entry xmlns=\"" + kServiceNamespace +
            "\"><requestData>1005Ab3dEf7hIj1lMn0p+/9=</requestData></Entry></soap:Body></soap:Envelope>");
}

TEST(SoapRequest, EscapesToPureAscii) {
    std::wstring pair{static_cast<wchar_t>(0xD83D), static_cast<wchar_t>(0xDE00)};
    const struct {
        std::wstring text;
        std::string escaped;
    } cases[] = {
        {L"a&b<c>d", "a&amp;b&lt;c&gt;d"},       {L"\"quoted\" 'and' ~ space", "\"quoted\" 'and' ~ space"},
        {L"\t\r\n", "&#x0009;&#x000D;&#x000A;"}, {L"\x7F", "&#x007F;"},
        {L"\u4E2D\u6587", "&#x4E2D;&#x6587;"},   {pair, "&#x01F600;"},
        {pair.substr(0, 1) + L"A", "&#xD83D;A"}, {pair.substr(1) + pair.substr(0, 1), "&#xDE00;&#xD83D;"},
        {L"\U0001F600", "&#x01F600;"}, // one code point natively, a pair on Windows
    };
    for (const auto& c : cases) {
        EXPECT_EQ(EscapeSoapString(c.text), c.escaped) << c.escaped;
    }
}

} // namespace
