#include "settings/settings_paths.h"

#include <tinyxml.h>

namespace {

// Calls step(name) for each step of the key; stops when it returns false.
template <typename Step> void ForEachStep(std::string_view key, Step step) {
    const std::string_view separator = "//";
    std::size_t pos = key.substr(0, separator.size()) == separator ? separator.size() : 0;
    for (;;) {
        std::size_t next = key.find(separator, pos);
        if (!step(std::string(key.substr(pos, next == std::string_view::npos ? next : next - pos)))) {
            return;
        }
        if (next == std::string_view::npos) {
            return;
        }
        pos = next + separator.size();
    }
}

const TiXmlText* TextNode(const TiXmlElement* element) {
    const TiXmlNode* first = element ? element->FirstChild() : nullptr;
    return first ? first->ToText() : nullptr;
}

} // namespace

TiXmlElement* FindPath(TiXmlElement* start, std::string_view key) {
    TiXmlElement* current = start;
    ForEachStep(key, [&](const std::string& name) {
        current = current ? current->FirstChildElement(name) : nullptr;
        return current != nullptr;
    });
    return current;
}

TiXmlElement* FindOrMakePath(TiXmlElement* start, std::string_view key) {
    TiXmlElement* current = start;
    ForEachStep(key, [&](const std::string& name) {
        if (!current || name.empty()) {
            current = nullptr;
            return false;
        }
        TiXmlElement* child = current->FirstChildElement(name);
        if (!child) {
            child = current->LinkEndChild(new TiXmlElement(name))->ToElement();
        }
        current = child;
        return true;
    });
    return current;
}

std::vector<TiXmlElement*> FindList(TiXmlElement* start, std::string_view parentKey, const char* item) {
    std::vector<TiXmlElement*> items;
    if (TiXmlElement* parent = FindPath(start, parentKey)) {
        for (TiXmlElement* e = parent->FirstChildElement(item); e; e = e->NextSiblingElement(item)) {
            items.push_back(e);
        }
    }
    return items;
}

bool HasText(const TiXmlElement* element) {
    return TextNode(element) != nullptr;
}

std::string ElementText(const TiXmlElement* element) {
    const TiXmlText* text = TextNode(element);
    return text ? text->ValueStr() : std::string();
}

void SetElementText(TiXmlElement* element, const std::string& text) {
    if (!element) {
        return;
    }
    TiXmlNode* first = element->FirstChild();
    if (TiXmlText* node = first ? first->ToText() : nullptr) {
        if (text.empty()) {
            element->RemoveChild(node);
        } else {
            node->SetValue(text);
            // A section marker would end at a "]]>" inside the text.
            node->SetCDATA(false);
        }
    } else if (!text.empty()) {
        TiXmlText node(text);
        if (first) {
            element->InsertBeforeChild(first, node);
        } else {
            element->InsertEndChild(node);
        }
    }
}
