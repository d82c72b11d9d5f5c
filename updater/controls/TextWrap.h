#pragma once
// How the owner-drawn label splits its text into lines. Includes no Windows header: the label
// hands in the measuring (its font on its context), tests hand in a fake one.
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace textwrap {

// Width in pixels of the first `count` bytes of `text`.
using Measure = std::function<int(const char* text, size_t count)>;
// Whether a byte begins a two-byte character of the code page (null: single-byte text).
using LeadByte = bool (*)(unsigned char byte);

// Splits `text` for a line `width` pixels wide:
// - a CR LF or LF CR pair ends a line and is dropped (it is never measured); a lone CR or LF
//   stays in the text;
// - a line that would be wider than `width` ends at its last space, which is dropped; without a
//   space (or when the fitting part ends in one) it is cut after the last character that fits;
// - a line always takes at least one character, however narrow the width;
// - what remains at the end is the last line (empty after a final pair).
// Characters are scanned whole: a two-byte character is never cut.
std::vector<std::string> SplitLines(const std::string& text, int width, const Measure& measure,
                                    LeadByte lead_byte = nullptr);

}  // namespace textwrap
