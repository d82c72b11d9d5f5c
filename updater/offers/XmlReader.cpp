#include "updater/offers/XmlReader.h"

#include <cstring>

#include "updater/platform/ExternalFile.h"

const XmlEntity kXmlEntities[5] = {
    {'&', "&amp;", 5}, {'"', "&quot;", 6}, {'\'', "&apos;", 6}, {'<', "&lt;", 4}, {'>', "&gt;", 4},
};

namespace {

bool IsWhite(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

const char* SkipWhite(const char* p, const char* end) {
    while (p < end && IsWhite(*p)) ++p;
    return p;
}

bool IsBlankRun(const std::string& text) {
    for (char c : text) {
        if (!IsWhite(c)) return false;
    }
    return true;
}

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// True when the text at p starts with `what`, compared without regard to case.
bool StartsWithNoCase(const char* p, const char* end, const char* what) {
    for (; *what; ++what, ++p) {
        if (p >= end || LowerAscii(*p) != LowerAscii(*what)) return false;
    }
    return true;
}

const char* FindNoCase(const char* p, const char* end, const char* what) {
    for (; p < end; ++p) {
        if (StartsWithNoCase(p, end, what)) return p;
    }
    return nullptr;
}

const char* FindChar(const char* p, const char* end, char c) {
    if (p >= end) return nullptr;
    return static_cast<const char*>(std::memchr(p, c, static_cast<std::size_t>(end - p)));
}

// Next `c` that the escape character does not make ordinary.
const char* FindUnescaped(const char* p, const char* end, char c, char escape) {
    while (p < end) {
        if (*p == escape) {
            p += 2;
            continue;
        }
        if (*p == c) return p;
        ++p;
    }
    return nullptr;
}

// First byte at or after p that is one of `set`.
const char* FindAnyOf(const char* p, const char* end, const char* set) {
    for (; p < end; ++p) {
        if (std::strchr(set, *p) && *p != '\0') return p;
    }
    return nullptr;
}

void RecordError(XmlParseInfo* info, int code, const char* position, const std::string& text) {
    if (info->errorOccurred) return;
    info->errorOccurred = true;
    info->errorCode = code;
    info->errorPosition = position;
    info->errorText = text;
}

std::string Format(const char* pattern, const std::string& a, const std::string& b = std::string()) {
    std::string out;
    int arg = 0;
    for (const char* p = pattern; *p; ++p) {
        if (p[0] == '%' && p[1] == 's') {
            out += arg++ == 0 ? a : b;
            ++p;
        } else {
            out += *p;
        }
    }
    return out;
}

// Keeps the parse record's depth in step with the recursion on every return path.
class DepthScope {
public:
    explicit DepthScope(XmlParseInfo* info) : info_(info) { ++info_->depth; }
    ~DepthScope() { --info_->depth; }
    DepthScope(const DepthScope&) = delete;
    DepthScope& operator=(const DepthScope&) = delete;

private:
    XmlParseInfo* info_;
};

}  // namespace

void SetXmlValue(const char* run_begin, const char* run_end, const XmlParseInfo& info,
                 std::string* target) {
    if (run_begin >= run_end) return;
    std::string unescaped;
    unescaped.reserve(static_cast<std::size_t>(run_end - run_begin));
    for (const char* p = run_begin; p < run_end; ++p) {
        if (*p == info.escapeChar) {
            // The escape vanishes and the byte after it is taken as it stands.
            if (++p >= run_end) break;
        }
        unescaped += *p;
    }
    if (!info.decodeEntities || !info.entities || unescaped.find('&') == std::string::npos) {
        *target = std::move(unescaped);
        return;
    }
    // One pass: the output of a decoded reference is never looked at again.
    std::string decoded;
    decoded.reserve(unescaped.size());
    const char* p = unescaped.data();
    const char* end = p + unescaped.size();
    while (p < end) {
        bool matched = false;
        if (*p == '&') {
            for (int i = 0; i < 5; ++i) {
                const XmlEntity& entity = info.entities[i];
                if (static_cast<std::size_t>(end - p) >= entity.length &&
                    std::memcmp(p, entity.reference, entity.length) == 0) {
                    decoded += entity.character;
                    p += entity.length;
                    matched = true;
                    break;
                }
            }
        }
        if (!matched) decoded += *p++;
    }
    *target = std::move(decoded);
}

XmlNode::~XmlNode() { Close(); }

void XmlNode::Close() {
    children.clear();
    attributes.clear();
}

const XmlAttribute* XmlNode::FindAttribute(const std::string& attribute_name) const {
    for (const auto& attribute : attributes) {
        if (attribute->name == attribute_name) return attribute.get();
    }
    return nullptr;
}

const char* XmlNode::PassOverMarkup(const char* position, XmlParseInfo* info, bool* attached) {
    const char* end = info->end;
    const char* p = SkipWhite(position, end);
    // A missing terminator means the text was cut off: recorded, so that a truncated download
    // is not taken for a complete file.
    auto unterminated = [&]() -> const char* {
        RecordError(info, kXmlErrorNotClosed, p,
                    Format("it must be closed with </%s>", parent ? parent->name : std::string()));
        return nullptr;
    };
    if (StartsWithNoCase(p, end, "<?")) {
        const char* close = FindNoCase(p + 2, end, "?>");
        return close ? close + 2 : unterminated();
    }
    struct Section {
        const char* open;
        const char* close;
        const char* node_name;
        XmlNodeKind kind;
    };
    static const Section kSections[] = {
        {"<!--", "-->", "#COMMENT", XmlNodeKind::Comment},
        {"<![CDATA[", "]]>", "#CDATA", XmlNodeKind::CData},
    };
    for (const Section& section : kSections) {
        if (!StartsWithNoCase(p, end, section.open)) continue;
        const char* content = p + std::strlen(section.open);
        const char* close = FindNoCase(content, end, section.close);
        if (!close) return unterminated();
        const char* after = close + std::strlen(section.close);
        if (parent) {
            auto node = std::make_unique<XmlNode>(parent, section.kind);
            node->name = section.node_name;
            node->value.assign(content, close);
            parent->children.push_back(std::move(node));
            *attached = true;
        }
        return after;
    }
    return position;
}

const char* XmlNode::Load(const char* position, XmlParseInfo* info) {
    Close();
    if (!position) return nullptr;
    const char* end = info->end;
    DepthScope depth(info);

    // Find the start tag, passing over declarations, comments and CDATA sections; those met
    // before the document element are dropped, the others go to the enclosing element.
    const char* p = position;
    for (;;) {
        p = FindChar(p, end, '<');
        if (!p) return nullptr;
        if (p + 1 < end && p[1] == '/') return p;  // the caller's end tag
        bool attached = false;
        const char* after = PassOverMarkup(p, info, &attached);
        if (!after) return nullptr;  // unterminated: the text ends here
        if (attached) return after;
        if (after == p) break;
        p = after;
    }

    if (info->depth > kXmlMaxDepth) {
        RecordError(info, kXmlErrorTooDeep, p, "elements are nested too deeply");
        return nullptr;
    }

    const char* name_end = FindAnyOf(p + 1, end, " />\t\r\n");
    if (!name_end) return nullptr;
    if (name_end > p + 1) name.assign(p + 1, name_end);

    p = LoadAttributes(name_end, info);
    if (!p) return nullptr;

    if (*p == '/') {
        if (p + 1 < end && p[1] == '>') return p + 2;
        RecordError(info, kXmlErrorUnclosedEmptyTag, p + 1, "Element must be closed.");
        return nullptr;
    }

    // *p is '>': the first run of character data.
    const char* run = p + 1;
    const char* lt = FindUnescaped(run, end, '<', info->escapeChar);
    if (!lt) {
        RecordError(info, kXmlErrorNotClosed, run, Format("%s must be closed with </%s>", name, name));
        return nullptr;
    }
    SetXmlValue(run, lt, *info, &value);
    bool value_blank = IsBlankRun(value);  // kept, so long white space is scanned only once
    p = lt;

    while (p && p < end) {
        auto child = std::make_unique<XmlNode>(this);
        p = child->Load(p, info);
        if (!child->name.empty()) children.push_back(std::move(child));
        if (!p) return nullptr;

        if (end - p >= 2 && p[0] == '<' && p[1] == '/') {
            const char* close_name = SkipWhite(p + 2, end);
            const char* delimiter = FindAnyOf(close_name, end, " >");
            if (!delimiter) {
                RecordError(info, kXmlErrorNotClosed, close_name,
                            Format("it must be closed with </%s>", name));
                return nullptr;
            }
            if (static_cast<std::size_t>(delimiter - close_name) == name.size() &&
                std::memcmp(close_name, name.data(), name.size()) == 0) {
                return delimiter + 1;
            }
            RecordError(info, kXmlErrorMismatchedClose, delimiter + 1,
                        Format("'<%s> ... </%s>' is not wel-formed.", name,
                               std::string(close_name, delimiter)));
            return nullptr;
        }
        if (p < end && *p != '<' && value_blank) {
            const char* next = FindUnescaped(p, end, '<', info->escapeChar);
            if (!next) {
                RecordError(info, kXmlErrorNotClosed, p, Format("it must be closed with </%s>", name));
                return nullptr;
            }
            SetXmlValue(p, next, *info, &value);
            value_blank = IsBlankRun(value);
            p = next;
        }
    }
    return p;
}

const char* XmlNode::LoadAttributes(const char* position, XmlParseInfo* info) {
    const char* end = info->end;
    const char* p = position;
    for (;;) {
        if (p >= end) return nullptr;
        p = SkipWhite(p, end);
        if (p < end && (*p == '>' || *p == '/')) return p;

        const char* name_end = FindAnyOf(p, end, " =");
        if (!name_end) {
            RecordError(info, kXmlErrorAttribute, p, Format("<%s> attribute has error ", name));
            return nullptr;
        }
        auto attribute = std::make_unique<XmlAttribute>();
        attribute->name.assign(p, name_end);
        attribute->owner = this;
        XmlAttribute* current = attribute.get();
        attributes.push_back(std::move(attribute));

        p = SkipWhite(name_end, end);
        if (p >= end || *p != '=') continue;
        p = SkipWhite(p + 1, end);
        if (p >= end) return nullptr;

        const char* value_begin;
        const char* value_end;
        if (*p == '"' || *p == '\'') {
            value_begin = p + 1;
            value_end = FindUnescaped(value_begin, end, *p, info->escapeChar);
            if (!value_end) {  // no closing quote: the text was cut off
                RecordError(info, kXmlErrorAttribute, p, Format("<%s> attribute has error ", name));
                return nullptr;
            }
            p = value_end + 1;
        } else {
            value_begin = p;
            value_end = FindAnyOf(p, end, " >");
            if (!value_end) value_end = end;
            p = value_end;
        }
        SetXmlValue(value_begin, value_end, *info, &current->value);
    }
}

bool LoadXmlText(const std::string& text, XmlNode* root, XmlParseInfo* info) {
    XmlParseInfo local;
    if (!info) info = &local;
    *info = XmlParseInfo(text.data(), text.data() + text.size());
    root->Load(info->begin, info);
    return !info->errorOccurred;
}

bool LoadXmlFile(const std::string& path, XmlNode* root) {
    // A file over the cap is taken for an unreadable one, never parsed in part.
    std::string text;
    if (ReadExternalFile(path, ExternalFileMode::Text, &text) != ExternalFileResult::Read) return false;
    if (text.empty()) return false;
    return LoadXmlText(text, root);
}
