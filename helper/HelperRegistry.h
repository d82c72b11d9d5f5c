#pragma once
// Pallix's registry conventions. Every access carries the program's own view, so that HKLM keys
// are the ones a 32-bit program sees whichever build runs. No call reports failure: a value that
// cannot be read yields the default, a write or deletion that fails has no effect.
#include <windows.h>

#include <string>

namespace pallix {

// Reads at most max_bytes of a REG_SZ or REG_EXPAND_SZ value; empty when missing, of another
// type, or longer than max_bytes.
std::wstring ReadRegString(HKEY root, const std::wstring& subkey, const wchar_t* name,
                           DWORD max_bytes);
enum class StringRead {
    Missing,     // no key or no value
    Read,        // text (possibly empty)
    TooLong,     // text that does not fit
    NotText,     // a value of another type
    Unreadable,  // the query failed otherwise
};
// Like ReadRegString, but says why nothing was read; text is set only for Read.
StringRead ReadRegStringChecked(HKEY root, const std::wstring& subkey, const wchar_t* name,
                                DWORD max_bytes, std::wstring& text);
// The whole text, however long (up to kWholeStringLimit bytes; longer reads as TooLong).
StringRead ReadRegStringWhole(HKEY root, const std::wstring& subkey, const wchar_t* name,
                              std::wstring& text);
// The registry's own guidance for the largest value; no setting of ours comes near it.
constexpr DWORD kWholeStringLimit = 1024 * 1024;
// The REG_DWORD value, or default_value when it cannot be read.
DWORD ReadRegDword(HKEY root, const std::wstring& subkey, const wchar_t* name, DWORD default_value);
bool RegKeyOpensForReading(HKEY root, const std::wstring& subkey);

// Opened (or created when missing) with KEY_ALL_ACCESS; the string is stored with its
// terminating null. True when it was stored.
bool WriteRegString(HKEY root, const std::wstring& subkey, const wchar_t* name,
                    const std::wstring& text);
void WriteRegDword(HKEY root, const std::wstring& subkey, const wchar_t* name, DWORD value);
// Opens the key with KEY_SET_VALUE; a missing key or value is no error.
void DeleteRegValue(HKEY root, const std::wstring& subkey, const wchar_t* name);
// Removes the key with all its subkeys and values. Its parent is opened only for going down
// from it: a deletion needs no right on the parent.
void DeleteRegTree(HKEY root, const std::wstring& subkey);

// A key handle closed at the end of its scope unless it is a predefined root.
class ScopedKey {
public:
    ScopedKey() = default;
    explicit ScopedKey(HKEY key) : key_(key) {}
    ~ScopedKey();
    ScopedKey(const ScopedKey&) = delete;
    ScopedKey& operator=(const ScopedKey&) = delete;
    ScopedKey(ScopedKey&& other) noexcept : key_(other.key_) { other.key_ = nullptr; }
    HKEY get() const { return key_; }

private:
    HKEY key_ = nullptr;
};

bool IsPredefinedKey(HKEY key);

}  // namespace pallix
