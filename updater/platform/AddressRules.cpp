#include "updater/platform/AddressRules.h"

#include <cstddef>

namespace {

char FoldAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// True when the text begins with the prefix, ASCII letters compared without regard to case.
bool StartsWithFolded(const std::string& text, const char* prefix) {
    std::size_t i = 0;
    for (; prefix[i]; ++i) {
        if (i >= text.size() || FoldAscii(text[i]) != prefix[i]) return false;
    }
    return true;
}

// The host begins right after the two slashes; a third slash, a backslash or nothing at all
// would leave the choice of target to the system's URL parser.
bool HostFollows(const std::string& url, std::size_t at) {
    if (at >= url.size()) return false;
    const char first = url[at];
    return first != '/' && first != '\\' && first != '?' && first != '#' && first != '@' &&
           first != ':';
}

bool HasControlCharacter(const std::string& url) {
    for (char c : url) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) return true;
    }
    return false;
}

}  // namespace

bool IsFetchableAddress(const std::string& url) {
    // Leading blanks or line breaks would let the system see another scheme than we do.
    if (HasControlCharacter(url)) return false;
    if (StartsWithFolded(url, "http://")) return HostFollows(url, 7);
    if (StartsWithFolded(url, "https://")) return HostFollows(url, 8);
    return false;
}

bool IsLicenceLinkAllowed(const std::string& url) {
    if (IsFetchableAddress(url)) return true;
    return !HasControlCharacter(url) && StartsWithFolded(url, "mailto:") && url.size() > 7;
}
