// SetupOption.ini holds values that came from the option file, the advertisement page and the
// user: they are written back with IniSection and read with the number and flag rules. Checks
// that a written section reads back with the same keys and values (none forged, none lost),
// and that the number rules give what the whole text says, within bounds.
//
// Reading is modelled on the system's profile reader: lines end at line feeds, white space
// around the line, the name and the value is dropped, a line starting with "[" opens a section,
// and a value enclosed in a matching pair of quotes loses them. Which bytes count as white space
// depends on the reader and the code page; every byte that any of them may drop is counted.
#include <fuzzer/FuzzedDataProvider.h>

#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "updater/offers/IniValues.h"

namespace {

// A blank for every reader: ASCII white space and the DOS end-of-file mark.
bool ModelBlank(unsigned char c) { return c == ' ' || (c >= '\t' && c <= '\r') || c == 0x1a; }

// Bytes that some code page turns into a blank the reader drops (a no-break space, or a
// double-byte ideographic space whose trail byte may be plain ASCII): the model cannot tell, so
// a value must not leave them unprotected at either end.
bool MayEndInCodePageBlank(const std::string& value) {
    const auto high = [](char c) { return static_cast<unsigned char>(c) >= 0x80; };
    if (value.empty()) return false;
    if (high(value.front()) || high(value.back())) return true;
    return value.size() >= 2 && high(value[value.size() - 2]);
}

std::string Trim(const std::string& text) {
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && ModelBlank(static_cast<unsigned char>(text[begin]))) ++begin;
    while (end > begin && ModelBlank(static_cast<unsigned char>(text[end - 1]))) --end;
    return text.substr(begin, end - begin);
}

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameName(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (Lower(a[i]) != Lower(b[i])) return false;
    }
    return true;
}

struct Loaded {
    std::vector<std::pair<std::string, std::string>> keys;  // of the one section
    int sections = 0;
};

// The file as the writer leaves it for one section, loaded again.
Loaded WriteAndLoad(const std::string& block) {
    std::string file = "[Section]\r\n";
    size_t at = 0;
    while (at < block.size() && block[at] != '\0') {
        const size_t end = block.find('\0', at);
        if (end == std::string::npos) std::abort();  // every string ends with a NUL
        file += block.substr(at, end - at) + "\r\n";
        at = end + 1;
    }
    if (at + 1 != block.size()) std::abort();  // one more NUL ends the whole

    Loaded loaded;
    size_t line_start = 0;
    while (line_start < file.size()) {
        size_t line_end = file.find('\n', line_start);
        if (line_end == std::string::npos) line_end = file.size();
        const std::string line = Trim(file.substr(line_start, line_end - line_start));
        line_start = line_end + 1;
        if (line.empty()) continue;
        if (line[0] == '[') {
            ++loaded.sections;
            continue;
        }
        const size_t equals = line.find('=');
        if (equals == std::string::npos) {
            loaded.keys.emplace_back(line, std::string());
        } else {
            loaded.keys.emplace_back(Trim(line.substr(0, equals)), Trim(line.substr(equals + 1)));
        }
    }
    return loaded;
}

// What a read of the stored value returns: a matching pair of quotes removed, then cut.
std::string ReadValue(const std::string& stored) {
    std::string value = stored;
    if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0]) {
        value = value.substr(1, value.size() - 2);
    }
    return value.substr(0, kIniTextLimit);
}

// The whole text as a decimal number: blanks, a sign, at least one digit, blanks; in range.
bool ReferenceDecimal(const std::string& text, int* number) {
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && (text[begin] == ' ' || text[begin] == '\t')) ++begin;
    while (end > begin && (text[end - 1] == ' ' || text[end - 1] == '\t')) --end;
    bool negative = false;
    if (begin < end && (text[begin] == '+' || text[begin] == '-')) negative = text[begin++] == '-';
    if (begin == end) return false;
    long long value = 0;
    for (size_t i = begin; i < end; ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        value = value * 10 + (text[i] - '0');
        if (value > 1LL + INT_MAX) return false;
    }
    if (negative) value = -value;
    if (value < INT_MIN || value > INT_MAX) return false;
    *number = static_cast<int>(value);
    return true;
}

const char* const kKeys[] = {"UpdateLogUrl", "EulaURL",   "EulaDownloadPath", "EulaRevision",
                             "StartpageUrl", "LinkName",  "CheckboxDefault",  "ItemCount",
                             "pageID0",      "pageURL0",  "pageID1",          "pageURL1",
                             "TitleNew",     "SetupURL",  "ProductLocalName", "InfoCount"};

struct Written {
    const char* key;
    std::string expected;  // what a read must give
    int kind;              // 0 text, 1 number, 2 flag
    int number;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);

    // The number rules on any text.
    const std::string text = in.ConsumeRandomLengthString(48);
    int parsed = 0;
    int reference = 0;
    const bool accepted = ParseDecimal(text, &parsed);
    if (accepted != ReferenceDecimal(text, &reference)) std::abort();
    if (accepted && parsed != reference) std::abort();
    const int default_value = in.ConsumeIntegral<int>();
    if (NumberOrDefault(text, default_value) != (accepted ? parsed : default_value)) std::abort();
    const int flag = FlagOrDefault(text, default_value);
    const int expected_flag = accepted && parsed == 1 ? 1 : accepted && parsed == 0 ? 0 : default_value;
    if (flag != expected_flag) std::abort();
    const int count = CappedListCount(NumberOrDefault(text, 0));
    if (count < 0 || count > kIniMaxListCount) std::abort();
    if (accepted && parsed >= 0 && parsed <= kIniMaxListCount && count != parsed) std::abort();

    // A section of values written and read back.
    IniSection section;
    std::vector<Written> written;
    const size_t key_count = in.ConsumeIntegralInRange<size_t>(0, sizeof(kKeys) / sizeof(kKeys[0]));
    for (size_t k = 0; k < key_count; ++k) {
        Written entry{kKeys[k], std::string(), in.ConsumeIntegralInRange(0, 2), 0};
        if (entry.kind == 0) {
            // Mostly short texts; now and then one past the read limit.
            const size_t longest = in.ConsumeBool() ? 2200 : 40;
            std::string value = in.ConsumeRandomLengthString(longest);
            section.Text(entry.key, value);
            value = value.substr(0, value.find('\0'));
            for (char& c : value) {
                if (c == '\r' || c == '\n') c = ' ';
            }
            entry.expected = value.substr(0, kIniTextLimit);
        } else if (entry.kind == 1) {
            entry.number = in.ConsumeIntegral<int>();
            section.Number(entry.key, entry.number);
            entry.expected = std::to_string(entry.number);
        } else {
            entry.number = in.ConsumeIntegral<int>();
            section.Flag(entry.key, entry.number);
            entry.expected = entry.number == 1 ? "1" : "0";
        }
        written.push_back(entry);
    }

    const std::string block = section.Block();
    const Loaded loaded = WriteAndLoad(block);
    if (loaded.sections != 1) std::abort();  // no value opened a section of its own
    if (loaded.keys.size() != written.size()) std::abort();  // none forged, none lost
    for (size_t k = 0; k < written.size(); ++k) {
        const Written& entry = written[k];
        const std::string& stored = loaded.keys[k].second;
        if (loaded.keys[k].first != entry.key) std::abort();
        // The first key of that name is the one a read finds.
        for (size_t j = 0; j < k; ++j) {
            if (SameName(loaded.keys[j].first, entry.key)) std::abort();
        }
        const bool protected_by_quotes = stored.size() >= 2 && stored.front() == '"' && stored.back() == '"';
        if (!protected_by_quotes && MayEndInCodePageBlank(stored)) std::abort();
        const std::string read = ReadValue(stored);
        if (read != entry.expected) std::abort();
        if (entry.kind == 1 && NumberOrDefault(read, ~entry.number) != entry.number) std::abort();
        if (entry.kind == 2 && FlagOrDefault(read, -1) != (entry.number == 1 ? 1 : 0)) std::abort();
    }
    return 0;
}
