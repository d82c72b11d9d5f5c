#include "helper/SwitchRules.h"

#include <climits>
#include <cstdint>

namespace pallix {

namespace {

constexpr size_t kMaxPath = 260;
constexpr wchar_t kMenuExtFragment[] = L"Software\\Microsoft\\Internet Explorer\\MenuExt\\";

bool IsBlank(wchar_t c) { return c == L' ' || (c >= L'\t' && c <= L'\r'); }

}  // namespace

const SwitchEntry* SwitchToRun(const Arguments& arguments, const std::vector<SwitchEntry>& table) {
    if (arguments.size() < 2) return nullptr;
    for (const SwitchEntry& entry : table) {
        if (arguments[1] != entry.literal) continue;
        return arguments.size() >= entry.minimum_count ? &entry : nullptr;
    }
    return nullptr;
}

bool IsMachineHiveWord(const std::wstring& word) { return word == L"hklm"; }

// The rule of the system's wcstol with a 32-bit long, written out so that the host build reads
// the same numbers. The system's version may also skip non-ASCII spaces and read other digit
// forms (full-width ones, say), which read as 0 here; setups pass plain ASCII numbers.
long ReadDecimal(const std::wstring& text) {
    size_t at = 0;
    while (at < text.size() && IsBlank(text[at])) ++at;
    bool negative = false;
    if (at < text.size() && (text[at] == L'+' || text[at] == L'-')) negative = text[at++] == L'-';
    const int64_t limit = negative ? -static_cast<int64_t>(INT32_MIN) : INT32_MAX;
    int64_t value = 0;
    for (; at < text.size() && text[at] >= L'0' && text[at] <= L'9'; ++at) {
        value = value * 10 + (text[at] - L'0');
        if (value > limit) value = limit;  // saturates; the rest of the digits change nothing
    }
    return static_cast<long>(negative ? -value : value);
}

std::wstring BrowserPathFromCommand(const std::wstring& command) {
    const size_t first = command.find(L'"');
    const size_t last = command.rfind(L'"');
    if (first == std::wstring::npos || last == first) return std::wstring();
    return command.substr(first + 1, last - first - 1);
}

std::wstring DestinationFolder(const std::wstring& destination) {
    // A bare file name has no folder to make: it is moved into the current folder.
    const size_t slash = destination.find_last_of(L'\\');
    if (slash == std::wstring::npos || slash == 0 || slash >= kMaxPath) return std::wstring();
    return destination.substr(0, slash);
}

bool IsUserMenuEntry(const std::wstring& hive_word, const std::wstring& subkey) {
    return hive_word == L"hkcu" && subkey.find(kMenuExtFragment) != std::wstring::npos;
}

}  // namespace pallix
