#include "updater/platform/Registry.h"

#include "common/RegistryView.h"

namespace {

REGSAM ReadAccess(bool view64) { return view64 ? kRegRead64 : kRegRead; }
REGSAM AllAccess(bool view64) { return view64 ? kRegAll64 : kRegAll; }

// Keys opened without a view flag get the program's own view.
REGSAM WithProgramView(REGSAM access) {
    return (access & (KEY_WOW64_32KEY | KEY_WOW64_64KEY)) ? access : access | kProgramRegistryView;
}

// Opens (creating when missing) a key under HKEY_CURRENT_USER for writing.
bool OpenForWrite(const std::string& subkey, bool view64, ScopedRegKey& key) {
    return !subkey.empty() && key.Create(HKEY_CURRENT_USER, subkey, AllAccess(view64));
}

}  // namespace

ScopedRegKey::~ScopedRegKey() {
    if (key_) RegCloseKey(key_);
}

bool ScopedRegKey::Open(HKEY root, const std::string& subkey, REGSAM access) {
    return RegOpenKeyExA(root, subkey.c_str(), 0, WithProgramView(access), &key_) == ERROR_SUCCESS;
}

bool ScopedRegKey::Create(HKEY root, const std::string& subkey, REGSAM access) {
    return RegCreateKeyExA(root, subkey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                           WithProgramView(access), nullptr, &key_, nullptr) == ERROR_SUCCESS;
}

std::string ReadRegString(HKEY root, const std::string& subkey, const std::string& value_name,
                          const std::string& default_value, bool view64) {
    ScopedRegKey key;
    if (!key.Open(root, subkey, ReadAccess(view64))) {
        return default_value;
    }
    // One byte more than the value may fill, so that data without a terminating NUL still ends.
    char buffer[kRegStringBuffer + 1] = {};
    DWORD size = kRegStringBuffer;
    if (RegQueryValueExA(key.get(), value_name.c_str(), nullptr, nullptr,
                         reinterpret_cast<BYTE*>(buffer), &size) != ERROR_SUCCESS) {
        return default_value;
    }
    return std::string(buffer);
}

DWORD ReadRegDword(HKEY root, const std::string& subkey, const std::string& value_name,
                   DWORD default_value, bool view64) {
    ScopedRegKey key;
    if (!key.Open(root, subkey, ReadAccess(view64))) {
        return default_value;
    }
    DWORD value = 0;
    DWORD size = sizeof(value);
    if (RegQueryValueExA(key.get(), value_name.c_str(), nullptr, nullptr,
                         reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS) {
        return default_value;
    }
    return value;
}

bool WriteRegString(const std::string& subkey, const std::string& value_name,
                    const std::string& text, bool view64) {
    ScopedRegKey key;
    if (!OpenForWrite(subkey, view64, key)) return false;
    return RegSetValueExA(key.get(), value_name.empty() ? nullptr : value_name.c_str(), 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(text.c_str()),
                          static_cast<DWORD>(text.size() + 1)) == ERROR_SUCCESS;
}

bool WriteRegDword(const std::string& subkey, const std::string& value_name, DWORD number,
                   bool delete_value, bool view64) {
    ScopedRegKey key;
    if (!OpenForWrite(subkey, view64, key)) return false;
    if (delete_value) {
        RegDeleteValueA(key.get(), value_name.c_str());
        return false;
    }
    return RegSetValueExA(key.get(), value_name.c_str(), 0, REG_DWORD,
                          reinterpret_cast<const BYTE*>(&number), sizeof(number)) == ERROR_SUCCESS;
}

bool RegValueExists(const std::string& subkey, const std::string& value_name, bool view64) {
    ScopedRegKey key;
    if (!key.Open(HKEY_CURRENT_USER, subkey, ReadAccess(view64))) {
        return false;
    }
    BYTE buffer[kRegStringBuffer];
    DWORD size = sizeof(buffer);
    return RegQueryValueExA(key.get(), value_name.c_str(), nullptr, nullptr, buffer, &size) ==
           ERROR_SUCCESS;
}

bool EnumRegSubkey(const std::string& subkey, DWORD index, std::string& name, bool view64) {
    ScopedRegKey key;
    if (!key.Open(HKEY_LOCAL_MACHINE, subkey, ReadAccess(view64))) {
        return false;
    }
    char buffer[256] = {};
    DWORD size = 255;
    if (RegEnumKeyExA(key.get(), index, buffer, &size, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS) {
        return false;
    }
    name.assign(buffer, size);
    return true;
}

bool IsRunningUnderWow64() {
#ifdef _WIN64
    // A 64-bit build stands in for the 32-bit program, which on 64-bit Windows always runs
    // under WOW64.
    return true;
#else
    using IsWow64ProcessFn = BOOL(WINAPI*)(HANDLE, PBOOL);
    HMODULE kernel = GetModuleHandleA("kernel32");
    auto is_wow64 = kernel ? reinterpret_cast<IsWow64ProcessFn>(
                                 reinterpret_cast<void*>(GetProcAddress(kernel, "IsWow64Process")))
                           : nullptr;
    if (!is_wow64) return false;
    BOOL result = FALSE;
    if (!is_wow64(GetCurrentProcess(), &result)) return false;
    return result == 1;
#endif
}
