#include "updater/controls/MemDC.h"

CMemDC::CMemDC(HDC target, const RECT* rect, bool copy_background)
    : target_(target), dc_(target) {
    if (!target) return;
    if (rect) {
        rect_ = *rect;
    } else {
        GetClipBox(target, &rect_);
    }
    // A printer gets the drawing directly: a screen-sized bitmap copy would be pointless there.
    off_screen_ = GetDeviceCaps(target, TECHNOLOGY) != DT_RASPRINTER;
    if (off_screen_) {
        RECT device = rect_;
        LPtoDP(target, reinterpret_cast<POINT*>(&device), 2);
        const int width = device.right > device.left ? device.right - device.left
                                                     : device.left - device.right;
        const int height = device.bottom > device.top ? device.bottom - device.top
                                                      : device.top - device.bottom;
        HDC memory = CreateCompatibleDC(target);
        HBITMAP bitmap = memory ? CreateCompatibleBitmap(target, width, height) : nullptr;
        if (bitmap) {
            dc_ = memory;
            bitmap_ = bitmap;
            old_bitmap_ = SelectObject(dc_, bitmap_);
            // Same mapping as the target, with the rectangle's corner at the bitmap's origin:
            // callers draw with the target's coordinates.
            const int mode = GetMapMode(target);
            SetMapMode(dc_, mode);
            if (mode == MM_ISOTROPIC || mode == MM_ANISOTROPIC) {
                SIZE extent;
                GetWindowExtEx(target, &extent);
                SetWindowExtEx(dc_, extent.cx, extent.cy, nullptr);
                GetViewportExtEx(target, &extent);
                SetViewportExtEx(dc_, extent.cx, extent.cy, nullptr);
            }
            SetWindowOrgEx(dc_, rect_.left, rect_.top, nullptr);
        } else {
            // No memory for the bitmap: drawing straight onto the target still draws.
            if (memory) DeleteDC(memory);
            off_screen_ = false;
        }
    }

    SetBkMode(dc_, TRANSPARENT);
    const int width = rect_.right - rect_.left;
    const int height = rect_.bottom - rect_.top;
    if (copy_background) {
        if (off_screen_) {
            BitBlt(dc_, rect_.left, rect_.top, width, height, target_, rect_.left, rect_.top,
                   SRCCOPY);
        }
    } else {
        HBRUSH brush = CreateSolidBrush(GetBkColor(target_));
        if (brush) {
            FillRect(dc_, &rect_, brush);
            DeleteObject(brush);
        }
    }
}

CMemDC::~CMemDC() {
    if (!off_screen_) return;  // the target's handle was only borrowed
    BitBlt(target_, rect_.left, rect_.top, rect_.right - rect_.left, rect_.bottom - rect_.top, dc_,
           rect_.left, rect_.top, SRCCOPY);
    SelectObject(dc_, old_bitmap_);
    DeleteObject(bitmap_);
    DeleteDC(dc_);
}
