#include "updater/platform/VersionCompare.h"

#include <cctype>
#include <climits>
#include <cstdlib>

namespace {

bool IsSpace(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::string Trim(const std::string& text) {
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && IsSpace(text[begin])) ++begin;
    while (end > begin && IsSpace(text[end - 1])) --end;
    return text.substr(begin, end - begin);
}

void RemoveAll(std::string& text, const std::string& what) {
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at))
        text.erase(at, what.size());
}

// Reads a leading "[sign]digits[.digits]" and ignores the rest. Deliberately narrower than
// strtod: no exponents, hexadecimal, "inf" or "nan", which no version text means.
float ReadDecimal(const std::string& text) {
    size_t at = 0;
    while (at < text.size() && IsSpace(text[at])) ++at;
    std::string number;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) number += text[at++];
    size_t digits = 0;
    while (at < text.size() && IsDigit(text[at])) {
        number += text[at++];
        ++digits;
    }
    if (at < text.size() && text[at] == '.') {
        number += text[at++];
        while (at < text.size() && IsDigit(text[at])) {
            number += text[at++];
            ++digits;
        }
    }
    if (digits == 0) return 0.0f;
    return static_cast<float>(std::strtod(number.c_str(), nullptr));
}

// Leading "[sign]digits", saturated instead of overflowing.
int32_t ReadInteger(const std::string& text) {
    size_t at = 0;
    while (at < text.size() && IsSpace(text[at])) ++at;
    bool negative = false;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) negative = text[at++] == '-';
    long long value = 0;
    while (at < text.size() && IsDigit(text[at])) {
        value = value * 10 + (text[at++] - '0');
        if (value > INT_MAX) {
            value = static_cast<long long>(INT_MAX) + 1;
            break;
        }
    }
    if (negative) value = -value;
    if (value > INT_MAX) value = INT_MAX;
    if (value < INT_MIN) value = INT_MIN;
    return static_cast<int32_t>(value);
}

signed char Sign(int32_t a, int32_t b) { return a > b ? 1 : (a < b ? -1 : 0); }

}  // namespace

ParsedVersion ParseVersion(const std::string& raw) {
    std::string text;
    text.reserve(raw.size());
    for (char c : raw) {
        char lower = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (lower == 'v' || lower == ' ') continue;
        text += lower;
    }
    text = Trim(text);

    const size_t dot = text.find('.');
    const std::string major = dot == std::string::npos ? text : text.substr(0, dot);
    const std::string rest = dot == std::string::npos ? std::string() : text.substr(dot + 1);

    ParsedVersion parsed;
    std::string minor = rest;
    std::string suffix;
    char marker = 0;
    if (text.find('a') != std::string::npos) {
        parsed.kind = kVersionAlpha;
        marker = 'a';
    } else if (text.find('b') != std::string::npos) {
        parsed.kind = kVersionBeta;
        marker = 'b';
    }
    if (marker != 0) {
        const size_t at = rest.find(marker);
        if (at != std::string::npos) {
            minor = rest.substr(0, at);
            suffix = rest.substr(at + 1);
        }
    }
    RemoveAll(suffix, "eta");

    parsed.number = ReadDecimal(Trim(major) + "." + Trim(minor));
    parsed.suffix = ReadInteger(Trim(suffix));
    return parsed;
}

signed char CompareVersions(const std::string& a, const std::string& b) {
    const ParsedVersion left = ParseVersion(a);
    const ParsedVersion right = ParseVersion(b);
    if (left.number > right.number) return 1;
    if (left.number < right.number) return -1;
    if (left.kind == right.kind) {
        return left.kind == kVersionRelease ? 0 : Sign(left.suffix, right.suffix);
    }
    // alpha < beta < release when the numbers agree.
    return left.kind > right.kind ? 1 : -1;
}
