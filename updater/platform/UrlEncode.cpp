#include "updater/platform/UrlEncode.h"

#include <exception>

namespace {

bool PassesUnchanged(unsigned char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

}  // namespace

std::string UrlEncode(const std::string& text) {
    static const char kHex[] = "0123456789abcdef";
    size_t length = 0;
    for (unsigned char c : text) length += PassesUnchanged(c) ? 1 : 3;
    std::string encoded;
    try {
        encoded.reserve(length);
    } catch (const std::exception&) {
        return std::string();
    }
    for (unsigned char c : text) {
        if (PassesUnchanged(c)) {
            encoded += static_cast<char>(c);
        } else {
            encoded += '%';
            encoded += kHex[c >> 4];
            encoded += kHex[c & 0x0F];
        }
    }
    return encoded;
}
