#include "helper/ComponentClose.h"

#include <string>

#include "common/process/ProcessToolkit.h"

namespace pallix {

namespace {

HWND FirstTopLevel(const wchar_t* class_name) {
    const std::vector<HWND> windows = proctool::FindWindowsByClass<wchar_t>(nullptr, class_name);
    return windows.empty() ? nullptr : windows.front();
}

// Waits for the process and terminates it only when the wait ran out; a failed wait (or a
// process we may not open) is left alone.
void WaitOrTerminate(DWORD process_id) {
    if (!process_id) return;
    HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, process_id);
    if (!process) return;
    if (WaitForSingleObject(process, kComponentExitWaitMs) == WAIT_TIMEOUT) {
        TerminateProcess(process, 0);
    }
    CloseHandle(process);
}

// A daemon window is one whose class and title both equal the given text.
HWND FindDaemonWindow(const wchar_t* class_and_title) {
    for (HWND window : proctool::FindWindowsByClass<wchar_t>(nullptr, class_and_title)) {
        wchar_t title[256] = {};
        GetWindowTextW(window, title, 255);
        if (std::wstring(title) == class_and_title) return window;
    }
    return nullptr;
}

DWORD AskDaemonToClose(const wchar_t* class_and_title) {
    HWND window = FindDaemonWindow(class_and_title);
    if (!window) return 0;
    DWORD process_id = 0;
    GetWindowThreadProcessId(window, &process_id);
    PostMessageW(window, kComponentCloseMessage, 1, 1);
    PostMessageW(window, kComponentCloseMessage, 0x1001, 1);
    return process_id;
}

// The mutex is waited for only when the daemon's process could be opened.
void WaitForDaemon(DWORD process_id, const wchar_t* mutex_name) {
    if (!process_id || process_id == GetCurrentProcessId()) return;
    HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, process_id);
    if (!process) return;
    if (WaitForSingleObject(process, kComponentExitWaitMs) == WAIT_TIMEOUT) {
        TerminateProcess(process, 0);
    }
    CloseHandle(process);
    WaitForNamedMutex(mutex_name, kDaemonMutexWaitMs);
}

}  // namespace

void CloseComponentWindow(HWND window, WPARAM close_code) {
    if (!window) return;
    PostMessageW(window, kComponentCloseMessage, close_code, 0);
    DWORD process_id = 0;
    GetWindowThreadProcessId(window, &process_id);
    // Never ourselves: a wait on the own process could only run out and end the run.
    if (process_id == GetCurrentProcessId()) return;
    WaitOrTerminate(process_id);
}

void WaitForNamedMutex(const wchar_t* name, DWORD limit_ms) {
    HANDLE mutex = CreateMutexW(nullptr, FALSE, name);
    if (!mutex) return;
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        // The daemon releases or abandons it when it ends; either way we own it briefly.
        const DWORD result = WaitForSingleObject(mutex, limit_ms);
        if (result == WAIT_OBJECT_0 || result == WAIT_ABANDONED) ReleaseMutex(mutex);
    }
    CloseHandle(mutex);
}

void CloseGrelby() {
    CloseComponentWindow(FirstTopLevel(L"GrelbyClass"), 0x5001);
}
void CloseScourel() {
    CloseComponentWindow(FirstTopLevel(L"WendleScourelClass"), 0x5101);
}
void CloseMediaDownloader() {
    CloseComponentWindow(FirstTopLevel(L"WendleMediaDownloader"), 0x5201);
}
void CloseDownloadManager() {
    CloseComponentWindow(
        proctool::FindDialogHostingChild<wchar_t>(L"TB_MEDIA_DOWNLOADER_COMMUNICATOR_WND"), 0x5301);
}
void CloseDictionary() {
    CloseComponentWindow(FirstTopLevel(L"WendleDictionary"), 0xA002);
}
void CloseSimpleJoin() {
    CloseComponentWindow(FirstTopLevel(L"WendleSimpleJoin"), 0xA003);
}
void CloseTwitter() {
    CloseComponentWindow(proctool::FindDialogHostingChild<wchar_t>(L"WNDL_TWITTER"), 0xA008);
}

void CloseDaemons() {
    // Both are asked before either is waited for, so they shut down side by side.
    const DWORD first = AskDaemonToClose(L"WendleDaemonClass");
    const DWORD second = AskDaemonToClose(L"WendleDaemonClassA");
    WaitForDaemon(first, L"WendleMutex");
    WaitForDaemon(second, L"WendleMutexA");
}

void CloseAllBrowsers() {
    const DWORD own_thread = GetCurrentThreadId();
    const bool frame_closes_with_last_tab = proctool::IsIe8OrLater();
    for (HWND frame : proctool::FindWindowsByClass<wchar_t>(nullptr, L"IEFrame")) {
        for (HWND tab : proctool::CollectBrowserTabs(frame)) {
            if (GetWindowThreadProcessId(tab, nullptr) != own_thread) {
                PostMessageW(tab, WM_CLOSE, 0, 0);
            }
        }
        if (!frame_closes_with_last_tab) PostMessageW(frame, WM_CLOSE, 0, 0);
    }
    proctool::TerminateProcessesByExactName<wchar_t>(L"iexplore.exe");
}

}  // namespace pallix
