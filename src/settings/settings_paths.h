#pragma once
// Lookups over the settings document by keys such as "//userinfo//userlist":
// each step after a "//" is the first child element of that name, so a key
// names a chain of elements below the start element.
#include <string>
#include <string_view>
#include <vector>

class TiXmlElement;

// The element the key names below start, or null when some step finds nothing.
TiXmlElement* FindPath(TiXmlElement* start, std::string_view key);
// Like FindPath, but makes each missing step as the last child of the one before.
TiXmlElement* FindOrMakePath(TiXmlElement* start, std::string_view key);
// The child elements named item of the element parentKey names, in document order.
std::vector<TiXmlElement*> FindList(TiXmlElement* start, std::string_view parentKey, const char* item);

// An element's text is its first child node when that is a text node; an
// element starting with another element or a comment has none.
bool HasText(const TiXmlElement* element);
std::string ElementText(const TiXmlElement* element);
// Replaces the element's text, or puts a new one before its other children.
// An empty text removes the text node, as an empty element reads back.
void SetElementText(TiXmlElement* element, const std::string& text);
