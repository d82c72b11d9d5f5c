#pragma once
// What Pallix reads from its command line, apart from the system calls that act on it: which
// switch runs, hive words, numbers, the browser path of a command value and the folder a moved
// file needs.
#include <cstddef>
#include <string>
#include <vector>

namespace pallix {

// Argument 0 is the program path, 1 the switch, 2 onwards the parameters.
using Arguments = std::vector<std::wstring>;

struct SwitchEntry {
    const wchar_t* literal;
    size_t minimum_count;                     // N, the program path included
    void (*run)(const Arguments& arguments);  // never null
};

// The first entry whose literal equals argument 1 exactly, when the arguments reach its count;
// null otherwise (a matching switch with too few arguments ends the search all the same).
const SwitchEntry* SwitchToRun(const Arguments& arguments, const std::vector<SwitchEntry>& table);

// "hklm" alone (small letters) names the machine hive; every other word the user's.
bool IsMachineHiveWord(const std::wstring& word);

// Signed decimal: leading blanks skipped, reading stops at the first non-digit, no digits read
// as 0, values beyond the 32-bit range saturate.
long ReadDecimal(const std::wstring& text);

// The browser path between the first and the last double quote of its command value; empty when
// there are fewer than two quotes.
std::wstring BrowserPathFromCommand(const std::wstring& command);

// The folder "-movefile" creates (its last level only) before moving to destination: everything
// before the last backslash; empty for a bare name, a backslash at the start, or a folder part
// of MAX_PATH characters or more.
std::wstring DestinationFolder(const std::wstring& destination);

// A menu entry "-regstring" writes for the user under the browser's menu extensions: the
// toolbar's own, whose pending reinstall mark then goes.
bool IsUserMenuEntry(const std::wstring& hive_word, const std::wstring& subkey);

}  // namespace pallix
