#pragma once
// Requests a page posts to the update window (both parameters 0). Pages never switch pages
// themselves; the window decides.
#include <windows.h>

constexpr UINT kMsgNextPage = WM_USER + 1000;       // move on to the next step
constexpr UINT kMsgAlreadyCurrent = WM_USER + 1001; // no update needed
constexpr UINT kMsgShowError = WM_USER + 1002;      // the check failed
constexpr UINT kMsgClose = WM_USER + 1003;          // close or cancel the update
// The product's setup failed: wParam a SetupFailure, lParam the setup's exit code when it ended.
constexpr UINT kMsgSetupFailed = WM_USER + 1004;
enum SetupFailure : WPARAM { kSetupNotStarted = 1, kSetupNotFinished = 2 };
// Sent (not posted) by the window to the licence page: may the page be left? 1 keeps the user.
constexpr UINT kMsgLicenseQuery = WM_USER + 1100;

// The background every page and its controls are painted with.
constexpr COLORREF kPageBackground = RGB(253, 253, 253);
