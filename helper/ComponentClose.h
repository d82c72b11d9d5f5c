#pragma once
// Closing the toolbar's running components, its two daemons and the browser: post the component
// close message to the window, give the process a fixed time, terminate it when it stays.
#include <windows.h>

namespace pallix {

// WM_APP + 0x100; wParam carries the component's close code.
constexpr UINT kComponentCloseMessage = 0x8100;
constexpr DWORD kComponentExitWaitMs = 20000;
constexpr DWORD kDaemonMutexWaitMs = 3000;

void CloseComponentWindow(HWND window, WPARAM close_code);
// Waits for a mutex of that name only when one already exists.
void WaitForNamedMutex(const wchar_t* name, DWORD limit_ms);

void CloseGrelby();
void CloseScourel();
void CloseMediaDownloader();
void CloseDownloadManager();
void CloseDictionary();
void CloseSimpleJoin();
void CloseTwitter();
void CloseDaemons();
void CloseAllBrowsers();

}  // namespace pallix
