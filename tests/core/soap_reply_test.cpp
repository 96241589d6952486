#include "protocol/soap_reply.h"

#include <gtest/gtest.h>

namespace {

const std::string kEnvelopeStart = "<soap:Envelope xmlns:soap=\"http://schemas.xmlsoap.org/soap/envelope/\" "
                                   "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
                                   "xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\">";

std::string InBody(const std::string& content) {
    return kEnvelopeStart + "<soap:Body>" + content + "</soap:Body></soap:Envelope>";
}

std::string Wrapped(const std::string& content) {
    return InBody("<EntryResponse xmlns=\"http://tempuri.org/\">" + content + "</EntryResponse>");
}

struct ReplyCase {
    const char* name;
    std::string document;
    bool ok;
    bool hasResult = false;
    std::wstring result = {};
};

const ReplyCase kCases[] = {
    {"as the service sends it",
     "<?xml version=\"1.0\" encoding=\"utf-8\"?>" + Wrapped("<EntryResult>Abc+/9==</EntryResult>"), true,
     true, L"Abc+/9=="},
    {"other prefix and white space",
     "<s:Envelope xmlns:s=\"http://schemas.xmlsoap.org/soap/envelope/\">\r\n <s:Body>\r\n"
     "  <r:Anything xmlns:r=\"urn:x\"><r:EntryResult>v</r:EntryResult></r:Anything>\r\n "
     "</s:Body>\r\n</s:Envelope>",
     true, true, L"v"},
    {"references resolved", Wrapped("<EntryResult>&lt;a&gt;&amp;&#x4E2D;<![CDATA[<b>]]></EntryResult>"), true,
     true, L"<a>&\u4E2D<b>"},
    {"supplementary character", Wrapped("<EntryResult>&#x1F600;</EntryResult>"), true, true, L"\U0001F600"},
    {"empty result", Wrapped("<EntryResult/>"), true, true, L""},
    {"no EntryResult", Wrapped(""), true, false},
    {"nil result", Wrapped("<EntryResult xsi:nil=\"true\">ignored</EntryResult>"), true, false},
    {"nil false", Wrapped("<EntryResult xsi:nil=\"false\">x</EntryResult>"), true, true, L"x"},
    {"header entries skipped",
     kEnvelopeStart +
         "<soap:Header><h:A xmlns:h=\"urn:h\"><h:B/></h:A><h:C xmlns:h=\"urn:h\" "
         "soap:mustUnderstand=\"0\"/></soap:Header><soap:Body><R><EntryResult>h</EntryResult></R>"
         "</soap:Body></soap:Envelope>",
     true, true, L"h"},
    {"unknown envelope element skipped",
     kEnvelopeStart +
         "<soap:Extra><x/></soap:Extra><soap:Body><R><EntryResult>e</EntryResult></R></soap:Body>"
         "</soap:Envelope>",
     true, true, L"e"},
    {"must understand",
     kEnvelopeStart + "<soap:Header><h:A xmlns:h=\"urn:h\" soap:mustUnderstand=\"1\"/>"
                      "</soap:Header><soap:Body><R/></soap:Body></soap:Envelope>",
     false},
    {"must understand unreadable",
     kEnvelopeStart + "<soap:Header><h:A xmlns:h=\"urn:h\" soap:mustUnderstand=\"yes\"/>"
                      "</soap:Header><soap:Body><R/></soap:Body></soap:Envelope>",
     false},
    {"fault in body",
     InBody("<soap:Fault><faultcode>soap:Server</faultcode><faultstring>boom</faultstring></soap:Fault>"),
     false},
    {"SOAP 1.2 envelope",
     "<e:Envelope "
     "xmlns:e=\"http://www.w3.org/2003/05/soap-envelope\"><e:Body><R><EntryResult>x</EntryResult></R>"
     "</e:Body></e:Envelope>",
     false},
    {"element of another namespace before the body",
     kEnvelopeStart + "<x:Junk xmlns:x=\"urn:x\"/><soap:Body><R/></soap:Body></soap:Envelope>", false},
    {"second EntryResult", Wrapped("<EntryResult>a</EntryResult><EntryResult>b</EntryResult>"), false},
    {"other element in the wrapper", Wrapped("<Other/>"), false},
    {"name differs in case", Wrapped("<entryResult>x</entryResult>"), false},
    {"element inside the result", Wrapped("<EntryResult>a<b/>c</EntryResult>"), false},
    {"header after body", kEnvelopeStart + "<soap:Body><R/></soap:Body><soap:Header/></soap:Envelope>",
     false},
    {"no body", kEnvelopeStart + "</soap:Envelope>", false},
    {"empty body", InBody(""), false},
    {"malformed", Wrapped("<EntryResult>x</EntryResult").substr(0, 120), false},
    {"document type declaration",
     "<!DOCTYPE x [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;\">]>" +
         Wrapped("<EntryResult>&b;</EntryResult>"),
     false},
};

TEST(SoapReply, AppliesTheReplyRules) {
    // One handler for all: a failed parse must not leave the last result behind.
    CSoapRootHandler handler;
    for (const ReplyCase& c : kCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(handler.Parse(c.document), c.ok);
        ASSERT_EQ(handler.Result().has_value(), c.hasResult);
        if (c.hasResult) {
            EXPECT_EQ(*handler.Result(), c.result);
        }
    }
}

} // namespace
