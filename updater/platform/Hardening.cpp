#include "updater/platform/Hardening.h"

#include <windows.h>

void NarrowDllSearchPath() {
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    if (!kernel) return;

    // Windows 7 with KB2533623 and later: bare-name loads search only the system folder.
    using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
    constexpr DWORD kSearchSystem32 = 0x00000800;  // LOAD_LIBRARY_SEARCH_SYSTEM32
    if (auto set_default = reinterpret_cast<SetDefaultDllDirectoriesFn>(
            reinterpret_cast<void*>(GetProcAddress(kernel, "SetDefaultDllDirectories")))) {
        set_default(kSearchSystem32);
    }
    // Windows XP SP1 and later: take the current folder out of the search order.
    using SetDllDirectoryFn = BOOL(WINAPI*)(LPCSTR);
    if (auto set_directory = reinterpret_cast<SetDllDirectoryFn>(
            reinterpret_cast<void*>(GetProcAddress(kernel, "SetDllDirectoryA")))) {
        set_directory("");
    }
}
