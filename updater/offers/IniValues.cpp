#include "updater/offers/IniValues.h"

#include <cerrno>
#include <climits>
#include <cstdlib>

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

bool ParseDecimal(const std::string& text, int* number) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && IsBlank(text[begin])) ++begin;
    while (end > begin && IsBlank(text[end - 1])) --end;
    if (begin == end) return false;
    std::string core = text.substr(begin, end - begin);
    std::size_t digits = (core[0] == '-' || core[0] == '+') ? 1 : 0;
    if (digits == core.size()) return false;
    for (std::size_t i = digits; i < core.size(); ++i) {
        if (core[i] < '0' || core[i] > '9') return false;
    }
    errno = 0;
    char* stop = nullptr;
    long long value = std::strtoll(core.c_str(), &stop, 10);
    if (errno == ERANGE || value < INT_MIN || value > INT_MAX) return false;
    *number = static_cast<int>(value);
    return true;
}

int NumberOrDefault(const std::string& text, int default_value) {
    int number = 0;
    return ParseDecimal(text, &number) ? number : default_value;
}

int FlagOrDefault(const std::string& text, int default_value) {
    int number = 0;
    if (!ParseDecimal(text, &number)) return default_value;
    if (number == 1) return 1;
    if (number == 0) return 0;
    return default_value;
}

int CappedListCount(int count) {
    if (count < 0) return 0;
    return count > kIniMaxListCount ? kIniMaxListCount : count;
}

std::string IniValueForm(const std::string& text) {
    std::string value = text;
    for (char& c : value) {
        if (c == '\r' || c == '\n') c = ' ';
    }
    if (value.empty()) return value;
    // Readers drop white space around a value, and which bytes they take for it depends on the
    // reader and the code page: ASCII blanks and controls (a vertical tab, the DOS end-of-file
    // mark), a no-break space, or a double-byte ideographic space whose trail byte may be plain
    // ASCII. A value that starts or ends with any of them keeps them only inside quotes.
    auto white = [](char c) {
        const unsigned char byte = static_cast<unsigned char>(c);
        return byte <= ' ' || byte >= 0x80;
    };
    bool padded = white(value.front()) || white(value.back()) ||
                  (value.size() >= 2 && static_cast<unsigned char>(value[value.size() - 2]) >= 0x80);
    bool quoted = value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
                  value.back() == value.front();
    // A lone quote at both ends of a one-character value is also taken for a pair on reading.
    bool lone_quote = value.size() == 1 && (value[0] == '"' || value[0] == '\'');
    if (padded || quoted || lone_quote) value = "\"" + value + "\"";
    return value;
}

void IniSection::Add(const char* key, const std::string& value) {
    block_ += key;
    block_ += '=';
    block_ += value;
    block_ += '\0';
}

void IniSection::Text(const char* key, const std::string& text) {
    Add(key, IniValueForm(text.substr(0, text.find('\0'))));
}

void IniSection::Number(const char* key, int number) { Add(key, std::to_string(number)); }

void IniSection::Flag(const char* key, int value) { Add(key, value == 1 ? "1" : "0"); }
