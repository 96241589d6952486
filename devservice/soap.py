"""The SOAP 1.1 side of the Entry operation: reading a request the way a
document/literal web service would, writing replies and faults the way
ASP.NET does, and noting where a request strays from the client's exact
byte layout."""

import xml.etree.ElementTree as ET
from xml.parsers import expat
from xml.sax.saxutils import escape, quoteattr

SOAP_ENV = "http://schemas.xmlsoap.org/soap/envelope/"
XSI = "http://www.w3.org/2001/XMLSchema-instance"
XSD = "http://www.w3.org/2001/XMLSchema"
SOAP_ENC = "http://schemas.xmlsoap.org/soap/encoding/"

OPERATION = "Entry"
PARAMETER = "requestData"
CONTENT_TYPE = "text/xml; charset=utf-8"
USER_AGENT = "Microsoft-ATL-Native/8.00"

# The client's request starts with exactly this tag (227 bytes).
ENVELOPE_START = '<soap:Envelope xmlns:soap="%s" xmlns:xsi="%s" xmlns:xsd="%s" xmlns:soapenc="%s">' % (
    SOAP_ENV,
    XSI,
    XSD,
    SOAP_ENC,
)
_REPLY_ENVELOPE = (
    '<?xml version="1.0" encoding="utf-8"?><soap:Envelope xmlns:soap="%s" xmlns:xsi="%s" xmlns:xsd="%s">'
    % (
        SOAP_ENV,
        XSI,
        XSD,
    )
)
_TRUE = ("1", "true")


class SoapFault(Exception):
    """A request the service answers with a SOAP fault (status 500)."""

    def __init__(self, faultcode, faultstring):
        super().__init__(faultstring)
        self.faultcode = faultcode
        self.faultstring = faultstring


def soap_action(namespace):
    return namespace + OPERATION


def _parse_xml(body):
    """Namespace-aware parse into an ElementTree; document type declarations
    are refused, as SOAP forbids them (and they are how entity bombs come)."""
    builder = ET.TreeBuilder()
    parser = expat.ParserCreate(namespace_separator="}")

    def qualified(name):
        return "{" + name if "}" in name else name

    def start(name, attributes):
        builder.start(qualified(name), {qualified(k): v for k, v in attributes.items()})

    def refuse_dtd(*_):
        raise SoapFault("soap:Client", "Document type declarations are not allowed in a SOAP message.")

    parser.StartElementHandler = start
    parser.EndElementHandler = lambda name: builder.end(qualified(name))
    parser.CharacterDataHandler = builder.data
    parser.StartDoctypeDeclHandler = refuse_dtd
    try:
        parser.Parse(body, True)
    except expat.ExpatError as error:
        raise SoapFault(
            "soap:Client", "Server was unable to read request. There is an error in XML document: %s" % error
        ) from None
    return builder.close()


def read_entry_request(body, namespace):
    """The requestData value of an Entry request (None when it is nil or
    absent). SoapFault for anything a SOAP 1.1 service would refuse."""
    root = _parse_xml(body)
    if root.tag != "{%s}Envelope" % SOAP_ENV:
        raise SoapFault(
            "soap:VersionMismatch",
            "Possible SOAP version mismatch: envelope root %s is not a SOAP 1.1 Envelope." % root.tag,
        )
    children = list(root)
    if children and children[0].tag == "{%s}Header" % SOAP_ENV:
        for entry in children[0]:
            if entry.get("{%s}mustUnderstand" % SOAP_ENV, "0").strip().lower() in _TRUE:
                raise SoapFault("soap:MustUnderstand", "SOAP header %s was not understood." % entry.tag)
        children = children[1:]
    if not children or children[0].tag != "{%s}Body" % SOAP_ENV:
        raise SoapFault("soap:Client", "Server was unable to read request: the Envelope has no Body.")
    operations = list(children[0])
    expected = "{%s}%s" % (namespace, OPERATION)
    if not operations or operations[0].tag != expected:
        found = operations[0].tag if operations else "nothing"
        raise SoapFault(
            "soap:Client", "Server did not recognize the request element %s; expected %s." % (found, expected)
        )
    value_element = operations[0].find("{%s}%s" % (namespace, PARAMETER))
    if value_element is None or value_element.get("{%s}nil" % XSI, "").strip().lower() in _TRUE:
        return None
    return "".join(value_element.itertext())


def check_soap_action(value, namespace):
    """SoapFault unless the header names the Entry operation (quotes are
    optional to a service, as they are to ASP.NET)."""
    action = (value or "").strip()
    if len(action) >= 2 and action[0] == action[-1] == '"':
        action = action[1:-1]
    if action != soap_action(namespace):
        raise SoapFault(
            "soap:Client", "Server did not recognize the value of HTTP Header SOAPAction: %s." % action
        )


def escape_value(value):
    """The client's escaping: ASCII printables as they are, everything else
    as a hexadecimal character reference."""
    out = []
    for char in value:
        point = ord(char)
        if char == "&":
            out.append("&amp;")
        elif char == "<":
            out.append("&lt;")
        elif char == ">":
            out.append("&gt;")
        elif 0x20 <= point <= 0x7E:
            out.append(char)
        elif point > 0xFFFF:
            out.append("&#x%06X;" % point)
        else:
            out.append("&#x%04X;" % point)
    return "".join(out)


def exact_request(value, namespace):
    if value is None:
        data = '<%s xsi:nil="1"/>' % PARAMETER
    else:
        data = "<%s>%s</%s>" % (PARAMETER, escape_value(value), PARAMETER)
    text = "%s<soap:Body><%s xmlns=%s>%s</%s></soap:Body></soap:Envelope>" % (
        ENVELOPE_START,
        OPERATION,
        quoteattr(namespace),
        data,
        OPERATION,
    )
    return text.encode("utf-8")


def request_issues(headers, body, value, namespace, port):
    """How a request differs from the one the client is meant to send: the
    headers (names, values, order) and the body byte for byte."""
    issues = []
    expected_body = exact_request(value, namespace)
    if body != expected_body:
        at = next(
            (i for i, (a, b) in enumerate(zip(body, expected_body)) if a != b),
            min(len(body), len(expected_body)),
        )
        issues.append(
            "body differs from the exact layout at byte %d: got %r, expected %r"
            % (at, body[at : at + 40], expected_body[at : at + 40])
        )
    expected_values = {
        "content-length": str(len(body)),
        "content-type": CONTENT_TYPE,
        "soapaction": '"%s"' % soap_action(namespace),
        "accept": "text/xml",
        "user-agent": USER_AGENT,
    }
    names = [name.lower() for name, _ in headers]
    for name, value_text in headers:
        wanted = expected_values.get(name.lower())
        if wanted is not None and value_text != wanted:
            issues.append("%s is %r, expected %r" % (name, value_text, wanted))
        if name.lower() == "host" and port != 80 and not value_text.endswith(":%d" % port):
            issues.append("Host %r lacks the port %d" % (value_text, port))
    order = ["content-length", "content-type", "cookie", "soapaction", "accept", "host", "user-agent"]
    if "cookie" not in names:
        order.remove("cookie")
    if names != order:
        issues.append("header order %s, expected %s" % (names, order))
    return issues


_REPLY_END = "</soap:Body></soap:Envelope>"


def entry_response(result, namespace):
    text = "%s<soap:Body><EntryResponse xmlns=%s><EntryResult>%s</EntryResult></EntryResponse>%s" % (
        _REPLY_ENVELOPE,
        quoteattr(namespace),
        escape(result),
        _REPLY_END,
    )
    return text.encode("utf-8")


def fault_response(faultcode, faultstring):
    fault = "<faultcode>%s</faultcode><faultstring>%s</faultstring><detail />" % (
        escape(faultcode),
        escape(faultstring),
    )
    return ("%s<soap:Body><soap:Fault>%s</soap:Fault>%s" % (_REPLY_ENVELOPE, fault, _REPLY_END)).encode(
        "utf-8"
    )
