#pragma once
// An off-screen device context for one paint pass: drawing goes into a bitmap of the covered
// rectangle, in the target's own coordinates, and reaches the target in one block transfer when
// the object goes out of scope, so nothing flickers. On a printer the object draws straight onto
// the target instead.
#include <windows.h>

class CMemDC {
public:
    // `rect` in the target's logical units; null covers the target's clip box. With
    // copy_background the memory context starts with what the target shows, otherwise filled
    // with the target's background colour.
    CMemDC(HDC target, const RECT* rect = nullptr, bool copy_background = false);
    ~CMemDC();
    CMemDC(const CMemDC&) = delete;
    CMemDC& operator=(const CMemDC&) = delete;

    HDC dc() const { return dc_; }
    operator HDC() const { return dc_; }
    const RECT& rect() const { return rect_; }
    bool off_screen() const { return off_screen_; }

private:
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ old_bitmap_ = nullptr;
    HDC target_;
    RECT rect_ = {};
    bool off_screen_ = false;
    HDC dc_ = nullptr;  // the memory context, or the target itself when not off screen
};
