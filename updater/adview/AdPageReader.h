#pragma once
// Reading an advertisement page from its source text: whether the server meant it to be shown
// (its marker comment) and the end offer an add-in page carries in the "value" attributes of a
// few elements found by id.
//
// The text comes from the server, so nothing here trusts it: any input, however cut off or
// malformed, gives a result and is never read past its end. No Windows header here: this builds
// natively for fuzzing.
#include <string>
#include <string_view>

// The comment every page of the advertisement server carries when it is meant to be shown.
constexpr std::string_view kAdPageMarker = "<!--86435486-A14F-4f74-B4AC-444F6968BA1B-->";

bool HasAdPageMarker(std::string_view source);

// The "value" attribute of the first element (in document order) whose "id" attribute is
// exactly `id`; "" when there is no such element or it has no value.
//
// The text is read as a browser builds its elements: tags inside comments and inside script,
// style, textarea and title elements are not elements; a tag cut off by the end of the text is
// dropped; attribute names are case-insensitive and the first of two equal names counts; values
// may be double-quoted, single-quoted or bare. In values, the character references &amp; &lt;
// &gt; &quot; &apos; and numeric ones below 128 are decoded, other references stay as written,
// and a NUL byte (or &#0;) reads as "?".
std::string ElementValue(std::string_view source, std::string_view id);

// The end offer of an add-in page.
struct AdPageOffer {
    std::string product_name;  // element "productName"
    std::string local_name;    // element "productLocalName"
    std::string version;       // element "ver"; may be empty
    std::string setup_url;     // element "setupUrl"
    // 1 when "btn_checkselector" has the value "1"; otherwise 1 only when "btn_selector" has.
    int default_selection = 0;
};

// The page's end offer: false when the page lacks the marker or when the product name, the
// download address or the local name is empty (`offer` then holds what was read).
bool ReadAdPageOffer(std::string_view source, AdPageOffer* offer);
