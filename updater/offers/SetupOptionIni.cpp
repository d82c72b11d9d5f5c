#include "updater/offers/SetupOptionIni.h"

#include <windows.h>

#include <cerrno>
#include <climits>
#include <cstdlib>

#include "updater/platform/Shell.h"

std::string SetupOptionIniPath(const std::string& product) {
    std::string app_data = GetSpecialFolder(kFolderAppData);
    if (app_data.empty()) return std::string();
    return JoinPath(app_data, "Quindel\\Dravel\\" + product + "\\SetupOption.ini");
}

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

std::string IniValueForm(const std::string& text) {
    std::string value = text;
    for (char& c : value) {
        if (c == '\r' || c == '\n') c = ' ';
    }
    if (value.empty()) return value;
    auto white = [](char c) { return c == ' ' || c == '\t'; };
    bool padded = white(value.front()) || white(value.back());
    bool quoted = value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
                  value.back() == value.front();
    // A lone quote at both ends of a one-character value is also taken for a pair on reading.
    bool lone_quote = value.size() == 1 && (value[0] == '"' || value[0] == '\'');
    if (padded || quoted || lone_quote) value = "\"" + value + "\"";
    return value;
}

std::string SetupOptionIni::ReadText(const char* section, const char* key) const {
    char buffer[kIniTextLimit + 1] = {};
    GetPrivateProfileStringA(section, key, "", buffer, sizeof(buffer), path_.c_str());
    buffer[kIniTextLimit] = '\0';
    return buffer;
}

int SetupOptionIni::ReadNumber(const char* section, const char* key, int default_value) const {
    int number = 0;
    return ParseDecimal(ReadText(section, key), &number) ? number : default_value;
}

int SetupOptionIni::ReadFlag(const char* section, const char* key, int default_value) const {
    int number = 0;
    if (!ParseDecimal(ReadText(section, key), &number)) return default_value;
    if (number == 1) return 1;
    if (number == 0) return 0;
    return default_value;
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

bool SetupOptionIni::WriteSection(const char* section, const IniSection& keys) const {
    const std::string block = keys.Block();
    return WritePrivateProfileSectionA(section, block.c_str(), path_.c_str()) != FALSE;
}
