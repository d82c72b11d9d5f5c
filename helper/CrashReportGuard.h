#pragma once
// Brackets Pallix's whole run with the vendor's crash-report library, "Rupel.dll" from Pallix's
// own folder, when the toolbar's "CollectUserLog" setting allows log collection. The library
// gets a callback that adds the toolbar's log file of the day to a report.
#include <windows.h>

#include <string>

namespace pallix {

// The crash callback the library calls while it prepares a report. The argument is unused; the
// result is 2, or 0 when log collection has been turned off meanwhile.
int WINAPI CrashReportCallback(void* unused);

// The record "RupelProcessInitializeW" receives: eight pointer-sized fields.
struct CrashReportSettings {
    const wchar_t* application_name;
    const wchar_t* version_text;
    const wchar_t* folder;
    const wchar_t* language_module;
    int(WINAPI* crash_callback)(void*);
    UINT_PTR reserved[3];
};
static_assert(sizeof(CrashReportSettings) == 8 * sizeof(void*), "eight pointer-sized fields");

class CrashReportGuard {
public:
    CrashReportGuard();
    ~CrashReportGuard();
    CrashReportGuard(const CrashReportGuard&) = delete;
    CrashReportGuard& operator=(const CrashReportGuard&) = delete;

    // Ends the library's coverage and unloads it; does nothing when it was never loaded.
    void Finalize();
    bool active() const { return library_ != nullptr; }

private:
    HMODULE library_ = nullptr;
    // Kept for the guard's life: the library may hold on to the record's strings.
    std::wstring version_text_, folder_, language_module_;
    CrashReportSettings settings_ = {};
};

// "CollectUserLog" under the settings root; 1 when missing.
bool LogCollectionAllowed();
// Pallix's folder with its trailing backslash; empty when the path cannot be had.
std::wstring OwnFolder();
// The toolbar module's product version, last character replaced by "x", then " kr".
std::wstring ToolbarVersionText();
// Where the toolbar's daily logs lie. browser_aware: inside the browser's protected mode the
// temporary folder already is the low-integrity one.
std::wstring ToolbarLogFolder(bool browser_aware);
// "<log folder>\Log\YYYYMMDD.log" for today's local date.
std::wstring TodaysLogPath(bool browser_aware);
bool IsProtectedModeProcess();

}  // namespace pallix
