#pragma once
// The two system facts the chores depend on: the Windows version code and the root key of the
// toolbar's per-user settings.
#include <windows.h>

#include "helper/HelperRegistry.h"

namespace pallix {

// 3 Windows 95/NT 4, 4 98, 5 Me, 6 2000, 7 XP, 8 Server 2003, 9 Vista, 10 Windows 7 and later.
// Computed once per process.
int OsVersionCode();
constexpr int kOsVista = 9;
inline bool IsVistaOrLater() {
    return OsVersionCode() >= kOsVista;
}

// HKCU before Vista; from Vista on HKCU "Software\AppDataLow" (HKCU when that cannot be opened).
ScopedKey ToolbarSettingsRoot();

// The toolbar's keys, relative to the settings root where so marked.
constexpr const wchar_t kWendleKey[] = L"SoftWare\\Quindel\\Wendle";  // settings root and HKLM
constexpr const wchar_t kIeMainKey[] = L"Software\\Microsoft\\Internet Explorer\\Main";

}  // namespace pallix
