#include "updater/pages/Placement.h"

#include "updater/pages/PageLayout.h"

namespace {

typedef HMONITOR(WINAPI* MonitorFromWindowFn)(HWND, DWORD);
typedef BOOL(WINAPI* GetMonitorInfoFn)(HMONITOR, LPMONITORINFO);

pagelayout::Rect ToLayout(const RECT& rect) {
    return pagelayout::Rect{rect.left, rect.top, rect.right, rect.bottom};
}

// The work area of the monitor that holds most of the window. The monitor functions came with
// Windows 98/2000; they are looked up so that a system without them still gets the primary
// monitor's work area.
RECT WorkAreaOf(HWND window) {
    RECT area = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    if (HMODULE user = GetModuleHandleA("user32.dll")) {
        auto from_window = reinterpret_cast<MonitorFromWindowFn>(
            reinterpret_cast<void*>(GetProcAddress(user, "MonitorFromWindow")));
        auto info_of = reinterpret_cast<GetMonitorInfoFn>(
            reinterpret_cast<void*>(GetProcAddress(user, "GetMonitorInfoA")));
        if (from_window && info_of) {
            MONITORINFO info;
            info.cbSize = sizeof(info);
            HMONITOR monitor = from_window(window, MONITOR_DEFAULTTONEAREST);
            if (monitor && info_of(monitor, &info)) return info.rcWork;
        }
    }
    RECT work;
    if (SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0)) area = work;
    return area;
}

void MoveCentred(HWND window, const RECT& on) {
    RECT rect;
    if (!window || !GetWindowRect(window, &rect)) return;
    const pagelayout::Size size = {rect.right - rect.left, rect.bottom - rect.top};
    const pagelayout::Rect placed =
        pagelayout::CentredIn(ToLayout(on), size, ToLayout(WorkAreaOf(window)));
    SetWindowPos(window, nullptr, placed.left, placed.top, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// The message box being opened and the window it is centred on. The box is made on this thread
// and activated before it shows; one hook per box, so a box opened from another box's owner
// while the first is open gets its own.
HHOOK box_hook = nullptr;
HWND box_owner = nullptr;

LRESULT CALLBACK CentreBoxHook(int code, WPARAM wparam, LPARAM lparam) {
    HHOOK hook = box_hook;
    if (code == HCBT_ACTIVATE && hook) {
        box_hook = nullptr;
        UnhookWindowsHookEx(hook);
        CentreOnOwner(reinterpret_cast<HWND>(wparam), box_owner);
        return 0;
    }
    return CallNextHookEx(hook, code, wparam, lparam);
}

}  // namespace

int ScreenDpi() {
    int dpi = 0;
    if (HDC screen = GetDC(nullptr)) {
        dpi = GetDeviceCaps(screen, LOGPIXELSY);
        ReleaseDC(nullptr, screen);
    }
    return dpi > 0 ? dpi : pagelayout::kDesignDpi;
}

void CentreOnWorkArea(HWND window) { MoveCentred(window, WorkAreaOf(window)); }

void ResizeCentredOnWorkArea(HWND window, int width, int height) {
    if (!window) return;
    const RECT work = WorkAreaOf(window);
    const pagelayout::Rect placed =
        pagelayout::CentredIn(ToLayout(work), pagelayout::Size{width, height}, ToLayout(work));
    SetWindowPos(window, nullptr, placed.left, placed.top, width, height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

void CentreOnOwner(HWND window, HWND owner) {
    HWND top = owner ? GetAncestor(owner, GA_ROOT) : nullptr;
    RECT on;
    // A hidden or minimised owner gives no place to centre on; the work area does.
    if (top && IsWindowVisible(top) && !IsIconic(top) && GetWindowRect(top, &on)) {
        MoveCentred(window, on);
    } else {
        CentreOnWorkArea(window);
    }
}

int OwnedMessageBox(HWND owner, const char* text, const char* caption, UINT type) {
    HWND top = owner ? GetAncestor(owner, GA_ROOT) : nullptr;
    const HHOOK outer_hook = box_hook;
    const HWND outer_owner = box_owner;
    box_owner = top;
    box_hook = SetWindowsHookExA(WH_CBT, CentreBoxHook, nullptr, GetCurrentThreadId());
    const int answer = MessageBoxA(top, text, caption, type);
    if (box_hook) UnhookWindowsHookEx(box_hook);
    box_hook = outer_hook;
    box_owner = outer_owner;
    return answer;
}
