#include "updater/controls/TextWrap.h"

namespace textwrap {

namespace {

bool IsBreak(char c) { return c == '\r' || c == '\n'; }

}  // namespace

std::vector<std::string> SplitLines(const std::string& text, int width, const Measure& measure,
                                    LeadByte lead_byte) {
    std::vector<std::string> lines;
    size_t start = 0;  // the line being built begins here
    size_t at = 0;     // the next character to take into it
    while (at < text.size()) {
        const unsigned char byte = static_cast<unsigned char>(text[at]);
        const size_t next =
            (lead_byte && lead_byte(byte) && at + 1 < text.size()) ? at + 2 : at + 1;

        // A CR LF or LF CR pair ends the line and is not shown. It is taken as a pair before
        // its first half is measured, so a line that just fits gets no empty line after it.
        if (IsBreak(text[at]) && at + 1 < text.size() && IsBreak(text[at + 1]) &&
            text[at + 1] != text[at]) {
            lines.push_back(text.substr(start, at - start));
            start = at = at + 2;
            continue;
        }

        if (measure(text.data() + start, next - start) > width) {
            const size_t fitting = at - start;
            if (fitting == 0) {
                // Not even one character fits: it stays on the line anyway, or the scan would
                // start again at the same place forever.
                at = next;
                continue;
            }
            const std::string line = text.substr(start, fitting);
            const size_t space = line.rfind(' ');
            if (space == std::string::npos || space + 1 == fitting) {
                lines.push_back(line);
                start = at = start + fitting;
            } else {
                lines.push_back(line.substr(0, space));
                start = at = start + space + 1;
            }
            continue;
        }
        at = next;
    }
    lines.push_back(text.substr(start));
    return lines;
}

}  // namespace textwrap
