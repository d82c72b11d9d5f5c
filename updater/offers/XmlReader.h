#pragma once
// Norvane's one XML reader: small, lenient and non-validating. It reads the option file and the
// start-page enumeration list. Text stays in the bytes of the file (the ANSI code page once the
// callers have converted it); there are no namespaces, document types, numeric references or
// character-set conversions.
//
// This file and its source include no Windows header, so the reader also builds natively for
// fuzzing and benchmarking.
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

struct XmlEntity {
    char character;
    const char* reference;
    std::size_t length;
};

// The five references, tried in this order. Read-only for the life of the program.
extern const XmlEntity kXmlEntities[5];

enum class XmlNodeKind { Element, Comment, CData };

// Deepest element nesting the reader accepts. Loading recurses once per level; the limit keeps
// a hostile or broken file from exhausting the 1 MB stack of Norvane's only thread (at a few
// hundred bytes per level, 256 levels stay far below it). Option files nest four levels deep.
constexpr int kXmlMaxDepth = 256;

// Error codes of a parse.
constexpr int kXmlErrorUnclosedEmptyTag = 1;   // "/" in a start tag not followed by ">"
constexpr int kXmlErrorNotClosed = 2;          // character data, closing tag, comment, CDATA
                                               // section or declaration runs off the end
constexpr int kXmlErrorMismatchedClose = 3;    // closing name differs from the start tag
constexpr int kXmlErrorAttribute = 4;          // attribute name without delimiter, or quoted
                                               // value without its closing quote
constexpr int kXmlErrorTooDeep = 5;            // nesting deeper than kXmlMaxDepth

struct XmlParseInfo {
    bool decodeEntities = true;
    const XmlEntity* entities = kXmlEntities;
    char escapeChar = '\\';
    // Only the first error of a parse is kept.
    bool errorOccurred = false;
    const char* errorPosition = nullptr;
    int errorCode = 0;
    std::string errorText;

    // The text being parsed: Load never reads at or beyond `end` (the text needs no terminator).
    const char* begin = nullptr;
    const char* end = nullptr;
    int depth = 0;

    XmlParseInfo() = default;
    XmlParseInfo(const char* text_begin, const char* text_end) : begin(text_begin), end(text_end) {}

    // Offset of the error in the text, or -1 without an error.
    long ErrorOffset() const { return errorOccurred ? static_cast<long>(errorPosition - begin) : -1; }
};

class XmlNode;

struct XmlAttribute {
    std::string name;   // raw
    std::string value;  // escapes removed, entities decoded
    XmlNode* owner = nullptr;
};

class XmlNode {
public:
    XmlNode() = default;
    explicit XmlNode(XmlNode* parent_node, XmlNodeKind node_kind = XmlNodeKind::Element)
        : parent(parent_node), kind(node_kind) {}
    ~XmlNode();
    XmlNode(const XmlNode&) = delete;
    XmlNode& operator=(const XmlNode&) = delete;

    // Parses one element, with everything inside it, from `position` into this node. Returns the
    // position after it, or null when the text ended or an error was recorded in `info`.
    const char* Load(const char* position, XmlParseInfo* info);
    // Destroys children and attributes; name and value stay.
    void Close();
    // First attribute of that exact name, in document order, or null.
    const XmlAttribute* FindAttribute(const std::string& attribute_name) const;

    std::string name;
    std::string value;
    XmlNode* parent = nullptr;
    std::vector<std::unique_ptr<XmlNode>> children;
    std::vector<std::unique_ptr<XmlAttribute>> attributes;
    XmlNodeKind kind = XmlNodeKind::Element;

private:
    const char* LoadAttributes(const char* position, XmlParseInfo* info);
    // Passes over one declaration, comment or CDATA section at `position` (a "<"). Sets
    // `attached` when a node went to the parent; returns null when its terminator is missing,
    // `position` itself when nothing starts there.
    const char* PassOverMarkup(const char* position, XmlParseInfo* info, bool* attached);
};

// Parses a whole text into `root`. True when no error was recorded (the text may end with
// elements still open). Used by LoadXmlFile; the fuzz target and the tests call it directly.
bool LoadXmlText(const std::string& text, XmlNode* root, XmlParseInfo* info = nullptr);

// Reads the file in text mode and parses it into `root` (a fresh node). True when the text was
// not empty and no error was recorded. A file larger than kExternalFileCap counts as unreadable.
bool LoadXmlFile(const std::string& path, XmlNode* root);

// Removes escapes and decodes the entities of `run` into `target`; an empty run leaves `target`
// as it was.
void SetXmlValue(const char* run_begin, const char* run_end, const XmlParseInfo& info,
                 std::string* target);
