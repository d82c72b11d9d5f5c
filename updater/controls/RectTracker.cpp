#include "updater/controls/RectTracker.h"

#include <windowsx.h>

#include <utility>

namespace {

RECT Normalised(const RECT& r) {
    RECT out = r;
    if (out.left > out.right) std::swap(out.left, out.right);
    if (out.top > out.bottom) std::swap(out.top, out.bottom);
    return out;
}

// The outline is drawn with XOR, so drawing it twice takes it away again.
void DrawOutline(HWND parent, const RECT& rect) {
    HDC dc = GetDC(parent);
    if (!dc) return;
    const RECT outline = Normalised(rect);
    DrawFocusRect(dc, &outline);
    ReleaseDC(parent, dc);
}

}  // namespace

bool TrackRectangle(HWND window, HWND parent, const RECT& start, POINT press,
                    const RectTrackerOptions& options, RECT* result) {
    if (!window || !parent || !result) return false;
    SetCapture(window);
    if (GetCapture() != window) return false;

    RECT current = start;
    if (options.rubber_band) current = RECT{press.x, press.y, press.x, press.y};
    DrawOutline(parent, current);

    bool done = false;
    bool accepted = false;
    while (!done) {
        MSG msg;
        const BOOL got = GetMessageA(&msg, nullptr, 0, 0);
        if (got <= 0) {
            if (got == 0) PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        if (GetCapture() != window) break;
        switch (msg.message) {
        case WM_MOUSEMOVE: {
            POINT point = {GET_X_LPARAM(msg.lParam), GET_Y_LPARAM(msg.lParam)};
            MapWindowPoints(msg.hwnd, parent, &point, 1);
            RECT next;
            if (options.rubber_band) {
                next = RECT{press.x, press.y, point.x, point.y};
            } else {
                next = start;
                OffsetRect(&next, point.x - press.x, point.y - press.y);
            }
            if (!EqualRect(&next, &current)) {
                DrawOutline(parent, current);
                current = next;
                DrawOutline(parent, current);
            }
            break;
        }
        case WM_KEYDOWN:
            if (msg.wParam == VK_ESCAPE) done = true;
            break;
        case WM_LBUTTONDOWN: case WM_RBUTTONDOWN: case WM_MBUTTONDOWN:
        case WM_LBUTTONUP: case WM_RBUTTONUP: case WM_MBUTTONUP:
            if (msg.message == options.release) {
                accepted = true;
                done = true;
            }
            break;
        default:
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
            break;
        }
    }
    DrawOutline(parent, current);
    if (GetCapture() == window) ReleaseCapture();
    if (accepted) *result = current;
    return accepted;
}
