#include "updater/data/Registry.h"

#include "common/RegistryView.h"

namespace {

REGSAM ReadAccess(bool view64) { return view64 ? kRegRead64 : (kRegRead | kProgramRegistryView); }
REGSAM AllAccess(bool view64) { return view64 ? kRegAll64 : (kRegAll | kProgramRegistryView); }

class ScopedKey {
public:
    ScopedKey() = default;
    ~ScopedKey() {
        if (key_) RegCloseKey(key_);
    }
    ScopedKey(const ScopedKey&) = delete;
    ScopedKey& operator=(const ScopedKey&) = delete;
    HKEY* receive() { return &key_; }
    HKEY get() const { return key_; }

private:
    HKEY key_ = nullptr;
};

// Opens (creating when missing) a key under HKEY_CURRENT_USER for writing.
bool OpenForWrite(const std::string& subkey, bool view64, ScopedKey& key) {
    if (subkey.empty()) return false;
    return RegCreateKeyExA(HKEY_CURRENT_USER, subkey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                           AllAccess(view64), nullptr, key.receive(), nullptr) == ERROR_SUCCESS;
}

}  // namespace

std::string ReadRegString(HKEY root, const std::string& subkey, const std::string& value_name,
                          const std::string& default_value, bool view64) {
    ScopedKey key;
    if (RegOpenKeyExA(root, subkey.c_str(), 0, ReadAccess(view64), key.receive()) != ERROR_SUCCESS) {
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
    ScopedKey key;
    if (RegOpenKeyExA(root, subkey.c_str(), 0, ReadAccess(view64), key.receive()) != ERROR_SUCCESS) {
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
    ScopedKey key;
    if (!OpenForWrite(subkey, view64, key)) return false;
    return RegSetValueExA(key.get(), value_name.empty() ? nullptr : value_name.c_str(), 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(text.c_str()),
                          static_cast<DWORD>(text.size() + 1)) == ERROR_SUCCESS;
}

bool WriteRegDword(const std::string& subkey, const std::string& value_name, DWORD number,
                   bool delete_value, bool view64) {
    ScopedKey key;
    if (!OpenForWrite(subkey, view64, key)) return false;
    if (delete_value) {
        RegDeleteValueA(key.get(), value_name.c_str());
        return false;
    }
    return RegSetValueExA(key.get(), value_name.c_str(), 0, REG_DWORD,
                          reinterpret_cast<const BYTE*>(&number), sizeof(number)) == ERROR_SUCCESS;
}

bool RegValueExists(const std::string& subkey, const std::string& value_name, bool view64) {
    ScopedKey key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, subkey.c_str(), 0, ReadAccess(view64), key.receive()) !=
        ERROR_SUCCESS) {
        return false;
    }
    BYTE buffer[kRegStringBuffer];
    DWORD size = sizeof(buffer);
    return RegQueryValueExA(key.get(), value_name.c_str(), nullptr, nullptr, buffer, &size) ==
           ERROR_SUCCESS;
}

bool EnumRegSubkey(const std::string& subkey, DWORD index, std::string& name, bool view64) {
    ScopedKey key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, subkey.c_str(), 0, ReadAccess(view64), key.receive()) !=
        ERROR_SUCCESS) {
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
