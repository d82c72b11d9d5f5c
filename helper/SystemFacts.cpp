#include "helper/SystemFacts.h"

namespace pallix {

int OsVersionCode() {
    static int code = 0;
    if (code) return code;
    OSVERSIONINFOW info = {};
    info.dwOSVersionInfoSize = sizeof(info);
    code = 10;  // later or unreadable systems count as the newest we know
    if (GetVersionExW(&info)) {
        const DWORD major = info.dwMajorVersion, minor = info.dwMinorVersion;
        if (major == 4 && minor == 0)
            code = 3;
        else if (major == 4 && minor == 10)
            code = 4;
        else if (major == 4 && minor == 90)
            code = 5;
        else if (major == 5 && minor == 0)
            code = 6;
        else if (major == 5 && minor == 1)
            code = 7;
        else if (major == 5 && minor == 2)
            code = 8;
        else if (major == 6 && minor == 0)
            code = 9;
    }
    return code;
}

ScopedKey ToolbarSettingsRoot() {
    if (!IsVistaOrLater()) return ScopedKey(HKEY_CURRENT_USER);
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\AppDataLow", 0, KEY_ALL_ACCESS, &key) !=
        ERROR_SUCCESS) {
        return ScopedKey(HKEY_CURRENT_USER);
    }
    return ScopedKey(key);
}

}  // namespace pallix
