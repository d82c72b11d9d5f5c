// The parts of the process toolkit that do not depend on the character type: the debug
// privilege, the close request to a process's windows and the browser's version and tabs.
#include <windows.h>

#include <cstdlib>
#include <cwchar>

#include "common/RegistryView.h"
#include "common/process/ProcessToolkit.h"

namespace proctool {

void EnableDebugPrivilege() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) {
        return;
    }
    TOKEN_PRIVILEGES privileges = {};
    if (LookupPrivilegeValueW(nullptr, L"SeDebugPrivilege", &privileges.Privileges[0].Luid)) {
        privileges.PrivilegeCount = 1;
        privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
        AdjustTokenPrivileges(token, FALSE, &privileges, sizeof(privileges), nullptr, nullptr);
    }
    CloseHandle(token);
}

bool InOwnSession(DWORD process_id) {
    // Windows 2000 without Terminal Services lacks it; looked up so that the loader never
    // refuses us for it.
    using SessionOfFn = BOOL(WINAPI*)(DWORD, DWORD*);
    const SessionOfFn session_of = reinterpret_cast<SessionOfFn>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "ProcessIdToSessionId")));
    if (!session_of) return true;
    DWORD own = 0;
    DWORD other = 0;
    if (!session_of(GetCurrentProcessId(), &own)) return true;
    return session_of(process_id, &other) && other == own;
}

namespace {

BOOL CALLBACK CollectWindow(HWND window, LPARAM param) {
    reinterpret_cast<std::vector<HWND>*>(param)->push_back(window);
    return TRUE;
}

}  // namespace

bool PostToProcessWindows(DWORD process_id) {
    // Collected first: the windows we post to may close while we walk.
    std::vector<HWND> windows;
    EnumWindows(&CollectWindow, reinterpret_cast<LPARAM>(&windows));
    bool found = false;
    for (HWND window : windows) {
        DWORD owner = 0;
        if (!GetWindowThreadProcessId(window, &owner) || owner != process_id) continue;
        found = true;
        PostMessageW(window, kPrepareCloseMessage, 0, 0);
        PostMessageW(window, WM_CLOSE, 0, 0);
    }
    return found;
}

namespace {

struct IeVersionCache {
    bool loaded = false;
    bool ie6 = false;
    int ie7 = 0;
    bool ie8 = false;
    int major = 0;
};

IeVersionCache& Cache() {
    static IeVersionCache cache;
    if (cache.loaded) return cache;
    cache = IeVersionCache{};
    cache.loaded = true;

    // At most 100 bytes, always terminated.
    wchar_t text[51] = {};
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Internet Explorer", 0,
                      KEY_QUERY_VALUE | kProgramRegistryView, &key) == ERROR_SUCCESS) {
        DWORD type = 0, size = 100;
        if (RegQueryValueExW(key, L"Version", nullptr, &type, reinterpret_cast<BYTE*>(text),
                             &size) != ERROR_SUCCESS ||
            type != REG_SZ) {
            text[0] = 0;
        }
        text[50] = 0;
        RegCloseKey(key);
    }
    const size_t length = wcslen(text);
    if (length > 5) {
        cache.ie6 = text[0] == L'6';
        if (text[0] == L'7') cache.ie7 = text[4] >= L'6' ? 2 : 1;
        cache.ie8 = text[0] == L'8';
        const wchar_t* dot = wcschr(text, L'.');
        if (dot) {
            int number = 0;
            bool digits = dot > text;
            for (const wchar_t* c = text; c < dot && digits; ++c) {
                if (*c < L'0' || *c > L'9' || number > 15) {
                    digits = false;
                } else {
                    number = number * 10 + (*c - L'0');
                }
            }
            if (digits && number <= 15) cache.major = number;
        }
    }
    return cache;
}

}  // namespace

bool IsIe6() {
    return Cache().ie6;
}
int Ie7Kind() {
    return Cache().ie7;
}
bool IsIe8() {
    return Cache().ie8;
}
int IeMajorVersion() {
    return Cache().major;
}
bool IsIe8OrLater() {
    return IsIe8() || IeMajorVersion() > 8;
}
void ResetIeVersionCache() {
    Cache().loaded = false;
}

}  // namespace proctool
