#include "helper/HelperRegistry.h"

#include <shlwapi.h>

#include <vector>

#include "common/RegistryView.h"

namespace pallix {

bool IsPredefinedKey(HKEY key) {
    return key == HKEY_CURRENT_USER || key == HKEY_LOCAL_MACHINE || key == HKEY_CLASSES_ROOT ||
           key == HKEY_USERS || key == HKEY_CURRENT_CONFIG;
}

ScopedKey::~ScopedKey() {
    if (key_ && !IsPredefinedKey(key_)) RegCloseKey(key_);
}

namespace {

HKEY OpenKey(HKEY root, const std::wstring& subkey, REGSAM access) {
    HKEY key = nullptr;
    if (!root) return nullptr;
    if (RegOpenKeyExW(root, subkey.c_str(), 0, access | kProgramRegistryView, &key) !=
        ERROR_SUCCESS) {
        return nullptr;
    }
    return key;
}

HKEY OpenOrCreateKey(HKEY root, const std::wstring& subkey) {
    HKEY key = OpenKey(root, subkey, KEY_ALL_ACCESS);
    if (key || !root) return key;
    if (RegCreateKeyExW(root, subkey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_ALL_ACCESS | kProgramRegistryView, nullptr, &key,
                        nullptr) != ERROR_SUCCESS) {
        return nullptr;
    }
    return key;
}

}  // namespace

StringRead ReadRegStringChecked(HKEY root, const std::wstring& subkey, const wchar_t* name,
                                DWORD max_bytes, std::wstring& text) {
    text.clear();
    ScopedKey key(OpenKey(root, subkey, KEY_QUERY_VALUE));
    if (!key.get()) return StringRead::Missing;
    // Zeroed, with room for a terminator the stored data may lack.
    std::vector<wchar_t> buffer(max_bytes / sizeof(wchar_t) + 1, L'\0');
    DWORD type = 0;
    DWORD size = max_bytes;
    const LONG result = RegQueryValueExW(key.get(), name, nullptr, &type,
                                         reinterpret_cast<BYTE*>(buffer.data()), &size);
    if (result == ERROR_FILE_NOT_FOUND) return StringRead::Missing;
    if (result != ERROR_SUCCESS && result != ERROR_MORE_DATA) return StringRead::Unreadable;
    // The type is known even when the data did not fit.
    if (type != REG_SZ && type != REG_EXPAND_SZ) return StringRead::NotText;
    if (result == ERROR_MORE_DATA) return StringRead::TooLong;
    buffer.back() = L'\0';
    text = buffer.data();
    return StringRead::Read;
}

StringRead ReadRegStringWhole(HKEY root, const std::wstring& subkey, const wchar_t* name,
                              std::wstring& text) {
    text.clear();
    ScopedKey key(OpenKey(root, subkey, KEY_QUERY_VALUE));
    if (!key.get()) return StringRead::Missing;
    // The size asked first may have grown by the time the data is read; ask again then.
    for (int attempt = 0; attempt < 4; ++attempt) {
        DWORD type = 0;
        DWORD size = 0;
        const LONG sized = RegQueryValueExW(key.get(), name, nullptr, &type, nullptr, &size);
        if (sized == ERROR_FILE_NOT_FOUND) return StringRead::Missing;
        if (sized != ERROR_SUCCESS) return StringRead::Unreadable;
        if (type != REG_SZ && type != REG_EXPAND_SZ) return StringRead::NotText;
        if (size > kWholeStringLimit) return StringRead::TooLong;
        std::wstring text_read;
        const StringRead read = ReadRegStringChecked(root, subkey, name, size, text_read);
        if (read == StringRead::TooLong) continue;
        if (read == StringRead::Read) text = text_read;
        return read;
    }
    return StringRead::Unreadable;
}

std::wstring ReadRegString(HKEY root, const std::wstring& subkey, const wchar_t* name,
                           DWORD max_bytes) {
    std::wstring text;
    ReadRegStringChecked(root, subkey, name, max_bytes, text);
    return text;
}

DWORD ReadRegDword(HKEY root, const std::wstring& subkey, const wchar_t* name,
                   DWORD default_value) {
    ScopedKey key(OpenKey(root, subkey, KEY_QUERY_VALUE));
    if (!key.get()) return default_value;
    DWORD value = 0, type = 0, size = sizeof(value);
    if (RegQueryValueExW(key.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) !=
            ERROR_SUCCESS ||
        type != REG_DWORD || size != sizeof(value)) {
        return default_value;
    }
    return value;
}

bool RegKeyOpensForReading(HKEY root, const std::wstring& subkey) {
    ScopedKey key(OpenKey(root, subkey, KEY_READ));
    return key.get() != nullptr;
}

bool WriteRegString(HKEY root, const std::wstring& subkey, const wchar_t* name,
                    const std::wstring& text) {
    ScopedKey key(OpenOrCreateKey(root, subkey));
    if (!key.get()) return false;
    return RegSetValueExW(key.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                          static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))) ==
           ERROR_SUCCESS;
}

void WriteRegDword(HKEY root, const std::wstring& subkey, const wchar_t* name, DWORD value) {
    ScopedKey key(OpenOrCreateKey(root, subkey));
    if (!key.get()) return;
    RegSetValueExW(key.get(), name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                   sizeof(value));
}

void DeleteRegValue(HKEY root, const std::wstring& subkey, const wchar_t* name) {
    ScopedKey key(OpenKey(root, subkey, KEY_SET_VALUE));
    if (key.get()) RegDeleteValueW(key.get(), name);
}

void DeleteRegTree(HKEY root, const std::wstring& subkey) {
    std::wstring path = subkey;
    while (!path.empty() && path.back() == L'\\') path.pop_back();
    // An empty name would make the deletion take the whole hive.
    if (!root || path.empty()) return;
    // The parent is opened in the program's view, so that the deletion below it stays there.
    const size_t slash = path.find_last_of(L'\\');
    if (slash == std::wstring::npos) {
        SHDeleteKeyW(root, path.c_str());
        return;
    }
    // The deletion opens the key itself; the parent only has to be reached, as one that may only
    // be read can be.
    ScopedKey parent(OpenKey(root, path.substr(0, slash), KEY_ENUMERATE_SUB_KEYS));
    const std::wstring leaf = path.substr(slash + 1);
    if (parent.get() && !leaf.empty()) SHDeleteKeyW(parent.get(), leaf.c_str());
}

}  // namespace pallix
