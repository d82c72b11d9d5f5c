#pragma once
// Running Pallix the way the toolbar's setup does, and the component doubles it closes.
#include <sddl.h>

#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/TestSupport.h"

namespace pallixtest {

inline std::string PallixPath() {
    return testsupport::Join(testsupport::BinDir(), "Pallix.exe");
}

constexpr DWORD kOrderlyExit = 7;  // the doubles' own exit code; TerminateProcess gives 0

// Pallix's waits: for a component's or daemon's process after its close message, for a daemon's
// mutex, and for each remaining browser process. A test that must show that no wait happened
// compares against half of the wait that would have happened, never against a tighter figure.
constexpr DWORD kComponentWaitMs = 20000;
constexpr DWORD kMutexWaitMs = 3000;
constexpr DWORD kBrowserWaitMs = 5000;

// Runs Pallix with the arguments and returns its exit code (nullopt when it did not end within
// the limit). elapsed_ms receives the run time.
inline std::optional<DWORD> RunPallix(const std::string& arguments, DWORD* elapsed_ms = nullptr,
                                      DWORD limit_ms = 60000) {
    const DWORD start = GetTickCount();
    auto code = testsupport::RunToEnd(
        testsupport::Quote(PallixPath()) + (arguments.empty() ? "" : " " + arguments), limit_ms);
    if (elapsed_ms) *elapsed_ms = GetTickCount() - start;
    return code;
}


// Wide registry access for the key and value names the narrow helpers cannot carry (the Korean
// menu captions), in the view a 32-bit program has.
struct WideValue {
    DWORD type = 0;
    std::wstring text;  // REG_SZ data without its terminator
    DWORD number = 0;   // REG_DWORD data
    DWORD size = 0;     // bytes stored
};
inline std::optional<WideValue> GetRegValueW(HKEY root, const std::wstring& subkey,
                                             const wchar_t* name) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, subkey.c_str(), 0, KEY_QUERY_VALUE | KEY_WOW64_32KEY, &key) !=
        ERROR_SUCCESS) {
        return std::nullopt;
    }
    BYTE data[8192] = {};
    WideValue value;
    value.size = sizeof(data) - 2;
    const LONG result = RegQueryValueExW(key, name, nullptr, &value.type, data, &value.size);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS) return std::nullopt;
    if (value.type == REG_SZ) value.text = reinterpret_cast<const wchar_t*>(data);
    if (value.type == REG_DWORD) memcpy(&value.number, data, sizeof(DWORD));
    return value;
}
inline bool RegKeyExistsW(HKEY root, const std::wstring& subkey) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, subkey.c_str(), 0, KEY_READ | KEY_WOW64_32KEY, &key) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(key);
    return true;
}
inline void DeleteRegTreeW(HKEY root, const std::wstring& subkey) {
    RegDeleteTreeW(root, subkey.c_str());
}

// A key that everyone may read and nothing else, as an administrator may lock one (in the view a
// 32-bit program has); its own access list comes back at the end of the scope. ok() is false
// when the lock cannot be set or is not enforced (the key still opens for writing).
class ReadOnlyKey {
public:
    ReadOnlyKey(HKEY root, const std::string& subkey) : root_(root), subkey_(subkey) {
        HKEY key = Open(READ_CONTROL);
        if (!key) return;
        DWORD size = 0;
        RegGetKeySecurity(key, DACL_SECURITY_INFORMATION, nullptr, &size);
        saved_.resize(size);
        const bool saved = size && RegGetKeySecurity(key, DACL_SECURITY_INFORMATION, saved_.data(),
                                                     &size) == ERROR_SUCCESS;
        RegCloseKey(key);
        if (!saved) return;
        PSECURITY_DESCRIPTOR read_only = nullptr;
        if (!ConvertStringSecurityDescriptorToSecurityDescriptorA("D:P(A;;KR;;;WD)", SDDL_REVISION_1,
                                                                  &read_only, nullptr))
            return;
        locked_ = Apply(read_only);
        LocalFree(read_only);
        if (HKEY writable = Open(KEY_SET_VALUE)) {
            RegCloseKey(writable);
            return;
        }
        ok_ = locked_;
    }
    ~ReadOnlyKey() {
        if (locked_) Apply(saved_.data());
    }
    ReadOnlyKey(const ReadOnlyKey&) = delete;
    ReadOnlyKey& operator=(const ReadOnlyKey&) = delete;
    bool ok() const { return ok_; }

private:
    HKEY Open(REGSAM access) const {
        HKEY key = nullptr;
        return RegOpenKeyExA(root_, subkey_.c_str(), 0, access | KEY_WOW64_32KEY, &key) ==
                       ERROR_SUCCESS
                   ? key
                   : nullptr;
    }
    bool Apply(PSECURITY_DESCRIPTOR descriptor) const {
        HKEY key = Open(WRITE_DAC);
        if (!key) return false;
        const bool done =
            RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor) == ERROR_SUCCESS;
        RegCloseKey(key);
        return done;
    }
    HKEY root_;
    std::string subkey_;
    std::vector<BYTE> saved_;
    bool locked_ = false;
    bool ok_ = false;
};

// HKCU "Software\AppDataLow", the toolbar's settings root from Vista on, made for one test when
// the machine lacks it (a fresh test prefix does).
class LowSettingsRoot {
public:
    LowSettingsRoot() {
        made_ = !testsupport::RegKeyExists(HKEY_CURRENT_USER, kKey);
        if (made_) testsupport::SetRegDword(HKEY_CURRENT_USER, kKey, "PallixTestMark", 1);
    }
    ~LowSettingsRoot() {
        if (made_) testsupport::DeleteRegTree(HKEY_CURRENT_USER, kKey);
    }
    static constexpr const char* kKey = "Software\\AppDataLow";

private:
    bool made_ = false;
};

// The browser version a 32-bit program reads (the test prefix holds it in the 64-bit view only).
class BrowserVersion {
public:
    explicit BrowserVersion(const std::string& version)
        : restore_(HKEY_LOCAL_MACHINE, kKey, "Version") {
        testsupport::SetRegString(HKEY_LOCAL_MACHINE, kKey, "Version", version);
    }

private:
    static constexpr const char* kKey = "SOFTWARE\\Microsoft\\Internet Explorer";
    testsupport::ScopedRegValue restore_;
};

}  // namespace pallixtest
