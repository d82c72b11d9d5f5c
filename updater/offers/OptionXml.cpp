#include "updater/offers/OptionXml.h"

#include <cctype>
#include <climits>

bool ElementIs(const XmlNode& node, const char* name) {
    if (node.kind != XmlNodeKind::Element) return false;
    const std::string& own = node.name;
    std::size_t i = 0;
    for (; name[i]; ++i) {
        if (i >= own.size()) return false;
        if (std::tolower(static_cast<unsigned char>(own[i])) !=
            std::tolower(static_cast<unsigned char>(name[i])))
            return false;
    }
    return i == own.size();
}

std::string TrimText(const std::string& text) {
    const char* white = " \t\r\n\v\f";
    std::size_t begin = text.find_first_not_of(white);
    if (begin == std::string::npos) return std::string();
    std::size_t end = text.find_last_not_of(white);
    return text.substr(begin, end - begin + 1);
}

bool FirstChildText(const XmlNode& node, std::string* text) {
    if (node.children.empty()) return false;
    *text = node.children.front()->value;
    return true;
}

int FlagOf(const XmlNode& node) { return node.value == "1" ? 1 : 0; }

int LeadingNumber(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    long long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > INT_MAX) return 0;  // out of range: no number
    }
    return static_cast<int>(negative ? -value : value);
}
