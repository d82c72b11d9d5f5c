#pragma once
// The small registry operations every part of Norvane uses. None throws and none says why it
// failed: a value that cannot be read yields the caller's default.
#include <windows.h>

#include <string>

// KEY_READ and KEY_ALL_ACCESS, optionally with the 64-bit view.
constexpr REGSAM kRegRead = KEY_READ;                       // 0x20019
constexpr REGSAM kRegRead64 = KEY_READ | KEY_WOW64_64KEY;   // 0x20119
constexpr REGSAM kRegAll = KEY_ALL_ACCESS;                  // 0xF003F
constexpr REGSAM kRegAll64 = KEY_ALL_ACCESS | KEY_WOW64_64KEY;  // 0xF013F

// A registry key that is closed on every path out of the scope that opened it.
class ScopedRegKey {
public:
    ScopedRegKey() = default;
    ~ScopedRegKey();
    ScopedRegKey(const ScopedRegKey&) = delete;
    ScopedRegKey& operator=(const ScopedRegKey&) = delete;

    // Both use the program's own registry view unless `access` names one.
    bool Open(HKEY root, const std::string& subkey, REGSAM access);
    bool Create(HKEY root, const std::string& subkey, REGSAM access = KEY_ALL_ACCESS);
    HKEY get() const { return key_; }
    HKEY* receive() { return &key_; }

private:
    HKEY key_ = nullptr;
};

// Size of the buffer a string value is read into; longer data reads as the default.
constexpr DWORD kRegStringBuffer = 260;

std::string ReadRegString(HKEY root, const std::string& subkey, const std::string& value_name,
                          const std::string& default_value, bool view64);
DWORD ReadRegDword(HKEY root, const std::string& subkey, const std::string& value_name,
                   DWORD default_value, bool view64);

// The writers and the existence test work under HKEY_CURRENT_USER.
bool WriteRegString(const std::string& subkey, const std::string& value_name,
                    const std::string& text, bool view64);
// With delete_value the value is removed and the result is false.
bool WriteRegDword(const std::string& subkey, const std::string& value_name, DWORD number,
                   bool delete_value, bool view64);
bool RegValueExists(const std::string& subkey, const std::string& value_name, bool view64);

// Under HKEY_LOCAL_MACHINE: the name of the subkey at that index.
bool EnumRegSubkey(const std::string& subkey, DWORD index, std::string& name, bool view64);

// True only when IsWow64Process exists and reports exactly 1 for this process. Looked up anew on
// every call.
bool IsRunningUnderWow64();
