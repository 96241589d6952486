#include "protocol/soap_reply.h"

#include "protocol/soap_namespaces.h"

#include <climits>
#include <cstdint>
#include <expat.h>
#include <memory>
#include <string_view>

namespace {

// Separates namespace URI and local name in the names the reader reports; a
// local name never holds a space, so the last space splits them.
constexpr XML_Char kNamespaceSeparator = ' ';
constexpr char kResultElement[] = "EntryResult";

struct CExpandedName {
    std::string_view ns;
    std::string_view local;
};

CExpandedName SplitName(const XML_Char* name) {
    std::string_view full(name);
    std::size_t separator = full.rfind(kNamespaceSeparator);
    if (separator == std::string_view::npos) {
        return {{}, full};
    }
    return {full.substr(0, separator), full.substr(separator + 1)};
}

const XML_Char* FindAttribute(const XML_Char** attributes, std::string_view ns, std::string_view local) {
    for (; attributes[0]; attributes += 2) {
        CExpandedName name = SplitName(attributes[0]);
        if (name.ns == ns && name.local == local) {
            return attributes[1];
        }
    }
    return nullptr;
}

// An xsd:boolean; empty when the text is none.
std::optional<bool> ReadBoolean(std::string_view text) {
    constexpr std::string_view kWhiteSpace = " \t\r\n";
    std::size_t first = text.find_first_not_of(kWhiteSpace);
    if (first == std::string_view::npos) {
        return std::nullopt;
    }
    text = text.substr(first, text.find_last_not_of(kWhiteSpace) - first + 1);
    if (text == "true" || text == "1") {
        return true;
    }
    if (text == "false" || text == "0") {
        return false;
    }
    return std::nullopt;
}

void AppendCodePoint(std::wstring& out, std::uint32_t codePoint) {
    if (sizeof(wchar_t) == 2 && codePoint >= 0x10000) {
        codePoint -= 0x10000;
        out += static_cast<wchar_t>(0xD800 + (codePoint >> 10));
        out += static_cast<wchar_t>(0xDC00 + (codePoint & 0x3FF));
    } else {
        out += static_cast<wchar_t>(codePoint);
    }
}

// The reader hands out well-formed UTF-8; anything else still decodes, as U+FFFD.
std::wstring WideFromUtf8(const std::string& utf8) {
    constexpr std::uint32_t kReplacement = 0xFFFD;
    std::wstring out;
    for (std::size_t i = 0; i < utf8.size();) {
        auto lead = static_cast<unsigned char>(utf8[i++]);
        int extra = lead < 0x80             ? 0
                    : (lead & 0xE0) == 0xC0 ? 1
                    : (lead & 0xF0) == 0xE0 ? 2
                    : (lead & 0xF8) == 0xF0 ? 3
                                            : -1;
        if (extra < 0) {
            AppendCodePoint(out, kReplacement);
            continue;
        }
        std::uint32_t codePoint = extra == 0 ? lead : lead & (0x3Fu >> extra);
        for (int k = 0; k < extra; ++k, ++i) {
            if (i == utf8.size() || (static_cast<unsigned char>(utf8[i]) & 0xC0) != 0x80) {
                codePoint = kReplacement;
                break;
            }
            codePoint = (codePoint << 6) | (static_cast<unsigned char>(utf8[i]) & 0x3F);
        }
        AppendCodePoint(out, codePoint);
    }
    return out;
}

bool IsEnvelopePart(const CExpandedName& name) {
    return name.ns == kSoapEnvelopeNamespace &&
           (name.local == "Envelope" || name.local == "Header" || name.local == "Body");
}

enum class Stage {
    BeforeEnvelope,
    InEnvelope,
    InHeader,
    AfterHeader,
    InBody,
    InWrapper,
    InResult,
    AfterWrapper,
    AfterBody,
    Done
};

// The content handler: applies the reply rules as the reader reports the document.
class CReplyRules {
public:
    explicit CReplyRules(XML_Parser parser) : m_parser(parser) {}

    void StartElement(const XML_Char* name, const XML_Char** attributes);
    void EndElement();
    void Text(const XML_Char* text, int length) {
        if (m_stage == Stage::InResult && m_skipDepth == 0) {
            m_resultText.append(text, static_cast<std::size_t>(length));
        }
    }
    void Fail() {
        m_failed = true;
        XML_StopParser(m_parser, XML_FALSE);
    }
    bool Succeeded() const { return !m_failed && m_stage == Stage::Done && m_wrapperSeen; }
    std::optional<std::wstring> Result() const {
        if (!m_resultSeen || m_resultNil) {
            return std::nullopt;
        }
        return WideFromUtf8(m_resultText);
    }

private:
    void EnvelopeElement(const CExpandedName& name);

    XML_Parser m_parser; // borrowed: the reader that calls us
    Stage m_stage = Stage::BeforeEnvelope;
    int m_skipDepth = 0; // inside an element skipped with its content
    bool m_failed = false;
    bool m_wrapperSeen = false;
    bool m_resultSeen = false;
    bool m_resultNil = false;
    std::string m_resultText; // UTF-8
};

// Elements before the body's content: Envelope first, then Header and Body;
// other names of the envelope namespace are skipped.
void CReplyRules::EnvelopeElement(const CExpandedName& name) {
    bool first = m_stage == Stage::BeforeEnvelope;
    if (name.ns != kSoapEnvelopeNamespace) {
        Fail();
    } else if (name.local == "Envelope" && first) {
        m_stage = Stage::InEnvelope;
    } else if (name.local == "Header" && m_stage == Stage::InEnvelope) {
        m_stage = Stage::InHeader;
    } else if (name.local == "Body" && !first) {
        m_stage = Stage::InBody;
    } else if (IsEnvelopePart(name)) {
        Fail();
    } else {
        m_skipDepth = 1;
    }
}

void CReplyRules::StartElement(const XML_Char* name, const XML_Char** attributes) {
    if (m_failed) {
        return;
    }
    if (m_skipDepth > 0) {
        ++m_skipDepth;
        return;
    }
    switch (m_stage) {
    case Stage::BeforeEnvelope:
    case Stage::InEnvelope:
    case Stage::AfterHeader:
        EnvelopeElement(SplitName(name));
        break;
    case Stage::InHeader: {
        // The operation defines no header entries, so none may demand understanding.
        const XML_Char* mustUnderstand = FindAttribute(attributes, kSoapEnvelopeNamespace, "mustUnderstand");
        std::optional<bool> demanded = mustUnderstand ? ReadBoolean(mustUnderstand) : false;
        if (!demanded || *demanded) {
            Fail();
        } else {
            m_skipDepth = 1;
        }
        break;
    }
    case Stage::InBody:
        m_wrapperSeen = true;
        m_stage = Stage::InWrapper;
        break;
    case Stage::InWrapper:
        if (SplitName(name).local != kResultElement || m_resultSeen) {
            Fail();
            break;
        }
        m_resultSeen = true;
        if (const XML_Char* nil = FindAttribute(attributes, kSchemaInstanceNamespace, "nil")) {
            m_resultNil = ReadBoolean(nil).value_or(false);
        }
        m_stage = Stage::InResult;
        break;
    case Stage::AfterWrapper:
        m_skipDepth = 1;
        break;
    case Stage::AfterBody:
        if (IsEnvelopePart(SplitName(name))) {
            Fail();
        } else {
            m_skipDepth = 1;
        }
        break;
    case Stage::InResult:
    case Stage::Done:
        Fail();
        break;
    }
}

void CReplyRules::EndElement() {
    if (m_failed) {
        return;
    }
    if (m_skipDepth > 0) {
        --m_skipDepth;
        return;
    }
    switch (m_stage) {
    case Stage::InResult:
        m_stage = Stage::InWrapper;
        break;
    case Stage::InWrapper:
        m_stage = Stage::AfterWrapper;
        break;
    case Stage::InBody:
    case Stage::AfterWrapper:
        m_stage = Stage::AfterBody;
        break;
    case Stage::InHeader:
        m_stage = Stage::AfterHeader;
        break;
    case Stage::InEnvelope:
    case Stage::AfterHeader:
    case Stage::AfterBody:
        m_stage = Stage::Done;
        break;
    case Stage::BeforeEnvelope:
    case Stage::Done:
        break;
    }
}

void XMLCALL OnStartElement(void* rules, const XML_Char* name, const XML_Char** attributes) {
    static_cast<CReplyRules*>(rules)->StartElement(name, attributes);
}
void XMLCALL OnEndElement(void* rules, const XML_Char*) {
    static_cast<CReplyRules*>(rules)->EndElement();
}
void XMLCALL OnText(void* rules, const XML_Char* text, int length) {
    static_cast<CReplyRules*>(rules)->Text(text, length);
}
// A SOAP message carries no document type declaration.
void XMLCALL OnDoctype(void* rules, const XML_Char*, const XML_Char*, const XML_Char*, int) {
    static_cast<CReplyRules*>(rules)->Fail();
}

struct CParserFree {
    void operator()(XML_Parser parser) const { XML_ParserFree(parser); }
};

} // namespace

bool CSoapRootHandler::Parse(const std::string& document) {
    m_result.reset();
    if (document.size() > static_cast<std::size_t>(INT_MAX)) {
        return false;
    }
    std::unique_ptr<XML_ParserStruct, CParserFree> parser(XML_ParserCreateNS(nullptr, kNamespaceSeparator));
    if (!parser) {
        return false;
    }
    CReplyRules rules(parser.get());
    XML_SetUserData(parser.get(), &rules);
    XML_SetElementHandler(parser.get(), OnStartElement, OnEndElement);
    XML_SetCharacterDataHandler(parser.get(), OnText);
    XML_SetStartDoctypeDeclHandler(parser.get(), OnDoctype);
    if (XML_Parse(parser.get(), document.data(), static_cast<int>(document.size()), XML_TRUE) !=
            XML_STATUS_OK ||
        !rules.Succeeded()) {
        return false;
    }
    m_result = rules.Result();
    return true;
}
