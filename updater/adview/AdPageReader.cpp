#include "updater/adview/AdPageReader.h"

#include <cstddef>
#include <vector>

namespace {

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

bool IsAsciiLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (Lower(a[i]) != Lower(b[i])) return false;
    }
    return true;
}

// Position of `needle` (compared without regard to case) at or after `from`; npos when absent.
size_t FindNoCase(std::string_view text, std::string_view needle, size_t from) {
    if (needle.empty() || needle.size() > text.size()) return std::string_view::npos;
    const char first = Lower(needle[0]);
    for (size_t i = from; i + needle.size() <= text.size(); ++i) {
        if (Lower(text[i]) == first && EqualsNoCase(text.substr(i, needle.size()), needle))
            return i;
    }
    return std::string_view::npos;
}

struct Attribute {
    std::string_view name;
    std::string_view raw_value;  // as written, without its quotes
};

// Elements whose content is text, not markup: a "<" inside them starts no tag.
bool HasRawTextContent(std::string_view tag_name) {
    for (std::string_view raw : {"script", "style", "textarea", "title", "xmp"}) {
        if (EqualsNoCase(tag_name, raw)) return true;
    }
    return false;
}

// Walks the start tags of a page in document order.
class StartTags {
public:
    explicit StartTags(std::string_view text) : text_(text) {}

    // Moves to the next start tag; false at the end of the text.
    bool Next() {
        while (pos_ < text_.size()) {
            const size_t open = text_.find('<', pos_);
            if (open == std::string_view::npos) break;
            pos_ = open + 1;
            if (pos_ >= text_.size()) break;
            const char c = text_[pos_];
            if (text_.compare(pos_, 3, "!--") == 0) {
                const size_t end = text_.find("-->", pos_ + 3);
                if (end == std::string_view::npos) break;
                pos_ = end + 3;
            } else if (c == '!' || c == '?' || c == '/') {
                // Declarations, processing instructions and end tags carry no element.
                const size_t end = text_.find('>', pos_);
                if (end == std::string_view::npos) break;
                pos_ = end + 1;
            } else if (IsAsciiLetter(c)) {
                if (ReadTag()) return true;
                break;  // a tag cut off by the end of the text is no element
            }
            // Any other "<" is text.
        }
        pos_ = text_.size();
        return false;
    }

    std::string_view name() const { return name_; }
    const std::vector<Attribute>& attributes() const { return attributes_; }

private:
    // Reads the tag whose name starts at pos_. False when the text ends inside it.
    bool ReadTag() {
        const size_t name_start = pos_;
        while (pos_ < text_.size() && !IsSpace(text_[pos_]) && text_[pos_] != '/' &&
               text_[pos_] != '>') {
            ++pos_;
        }
        name_ = text_.substr(name_start, pos_ - name_start);
        attributes_.clear();
        for (;;) {
            while (pos_ < text_.size() && (IsSpace(text_[pos_]) || text_[pos_] == '/')) ++pos_;
            if (pos_ >= text_.size()) return false;
            if (text_[pos_] == '>') {
                ++pos_;
                break;
            }
            // A name runs to a blank, "/", ">" or "="; a leading "=" belongs to the name.
            const size_t attr_start = pos_++;
            while (pos_ < text_.size() && !IsSpace(text_[pos_]) && text_[pos_] != '/' &&
                   text_[pos_] != '>' && text_[pos_] != '=') {
                ++pos_;
            }
            Attribute attribute;
            attribute.name = text_.substr(attr_start, pos_ - attr_start);
            size_t after_name = pos_;
            while (after_name < text_.size() && IsSpace(text_[after_name])) ++after_name;
            if (after_name < text_.size() && text_[after_name] == '=') {
                pos_ = after_name + 1;
                while (pos_ < text_.size() && IsSpace(text_[pos_])) ++pos_;
                if (pos_ >= text_.size()) return false;
                const char quote = text_[pos_];
                if (quote == '"' || quote == '\'') {
                    const size_t end = text_.find(quote, pos_ + 1);
                    if (end == std::string_view::npos) return false;
                    attribute.raw_value = text_.substr(pos_ + 1, end - pos_ - 1);
                    pos_ = end + 1;
                } else {
                    const size_t value_start = pos_;
                    while (pos_ < text_.size() && !IsSpace(text_[pos_]) && text_[pos_] != '>') {
                        ++pos_;
                    }
                    attribute.raw_value = text_.substr(value_start, pos_ - value_start);
                }
            }
            attributes_.push_back(attribute);
        }
        // As in a browser, "<script/>" opens a script like "<script>" does.
        if (HasRawTextContent(name_)) SkipRawText();
        return true;
    }

    // Moves past the content of a script-like element, up to its end tag.
    void SkipRawText() {
        std::string end_tag = "</";
        end_tag.append(name_.data(), name_.size());
        for (size_t at = pos_;;) {
            const size_t found = FindNoCase(text_, end_tag, at);
            if (found == std::string_view::npos) {
                pos_ = text_.size();
                return;
            }
            const size_t after = found + end_tag.size();
            // "</scripts" does not end a script.
            if (after >= text_.size() || IsSpace(text_[after]) || text_[after] == '>' ||
                text_[after] == '/') {
                pos_ = found;
                return;
            }
            at = found + 1;
        }
    }

    std::string_view text_;
    size_t pos_ = 0;
    std::string_view name_;
    std::vector<Attribute> attributes_;
};

// The value of the first attribute of that name; nullptr when the tag has none.
const Attribute* FindAttribute(const std::vector<Attribute>& attributes, std::string_view name) {
    for (const Attribute& attribute : attributes) {
        if (EqualsNoCase(attribute.name, name)) return &attribute;
    }
    return nullptr;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    c = Lower(c);
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// Decodes the reference starting at text[at] == '&' into `out`; the length it took, 0 when it
// is no reference we decode.
size_t DecodeReference(std::string_view text, size_t at, std::string& out) {
    static const struct {
        std::string_view name;
        char value;
    } kNamed[] = {{"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''}};
    for (const auto& named : kNamed) {
        if (text.compare(at, named.name.size(), named.name) == 0) {
            out += named.value;
            return named.name.size();
        }
    }
    if (at + 1 >= text.size() || text[at + 1] != '#') return 0;
    size_t pos = at + 2;
    const bool hex = pos < text.size() && (text[pos] == 'x' || text[pos] == 'X');
    if (hex) ++pos;
    const size_t digits_start = pos;
    unsigned long value = 0;
    while (pos < text.size()) {
        const int digit = hex ? HexDigit(text[pos])
                              : (text[pos] >= '0' && text[pos] <= '9' ? text[pos] - '0' : -1);
        if (digit < 0) break;
        // Anything that has grown past the characters we decode stays as written anyway.
        if (value < 0x10000) value = value * (hex ? 16 : 10) + static_cast<unsigned long>(digit);
        ++pos;
    }
    if (pos == digits_start || pos >= text.size() || text[pos] != ';' || value >= 128) return 0;
    out += value == 0 ? '?' : static_cast<char>(value);
    return pos + 1 - at;
}

std::string DecodeValue(std::string_view raw) {
    std::string value;
    value.reserve(raw.size());
    for (size_t i = 0; i < raw.size();) {
        if (raw[i] == '&') {
            const size_t taken = DecodeReference(raw, i, value);
            if (taken > 0) {
                i += taken;
                continue;
            }
        }
        value += raw[i] == '\0' ? '?' : raw[i];
        ++i;
    }
    return value;
}

// One walk over the page for several ids: values[i] receives the value of the first element
// whose id is ids[i].
void FindElementValues(std::string_view source, const std::string_view* ids, size_t count,
                       std::string* values) {
    std::vector<bool> found(count, false);
    size_t remaining = count;
    StartTags tags(source);
    while (remaining > 0 && tags.Next()) {
        const Attribute* id_attribute = FindAttribute(tags.attributes(), "id");
        if (!id_attribute) continue;
        const std::string id = DecodeValue(id_attribute->raw_value);
        for (size_t i = 0; i < count; ++i) {
            if (found[i] || id != ids[i]) continue;
            found[i] = true;
            --remaining;
            const Attribute* value = FindAttribute(tags.attributes(), "value");
            values[i] = value ? DecodeValue(value->raw_value) : std::string();
        }
    }
}

}  // namespace

bool HasAdPageMarker(std::string_view source) {
    return source.find(kAdPageMarker) != std::string_view::npos;
}

std::string ElementValue(std::string_view source, std::string_view id) {
    std::string value;
    FindElementValues(source, &id, 1, &value);
    return value;
}

bool ReadAdPageOffer(std::string_view source, AdPageOffer* offer) {
    *offer = AdPageOffer();
    if (!HasAdPageMarker(source)) return false;
    const std::string_view ids[] = {"productName", "setupUrl",          "productLocalName",
                                    "ver",         "btn_checkselector", "btn_selector"};
    std::string values[6];
    FindElementValues(source, ids, 6, values);
    offer->product_name = values[0];
    offer->setup_url = values[1];
    offer->local_name = values[2];
    offer->version = values[3];
    offer->default_selection = values[4] == "1" || values[5] == "1" ? 1 : 0;
    return !offer->product_name.empty() && !offer->setup_url.empty() && !offer->local_name.empty();
}
