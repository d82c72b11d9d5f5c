// The off-screen context: drawing in the target's coordinates reaches the target only when the
// context goes out of scope, in one piece, and nowhere else.
#include <windows.h>

#include <gtest/gtest.h>

#include "updater/controls/MemDC.h"

namespace {

constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kBlue = RGB(0, 0, 255);

// A 100 x 100 white bitmap selected into a memory context, standing in for a window's context.
class Target {
public:
    Target() {
        HDC screen = GetDC(nullptr);
        dc_ = CreateCompatibleDC(screen);
        bitmap_ = CreateCompatibleBitmap(screen, 100, 100);
        ReleaseDC(nullptr, screen);
        old_ = SelectObject(dc_, bitmap_);
        RECT all = {0, 0, 100, 100};
        FillRect(dc_, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    }
    ~Target() {
        SelectObject(dc_, old_);
        DeleteObject(bitmap_);
        DeleteDC(dc_);
    }
    HDC dc() const { return dc_; }
    // Pixel at device coordinates, whatever mapping the context has.
    COLORREF Device(int x, int y) const {
        const int mode = GetMapMode(dc_);
        POINT origin;
        GetViewportOrgEx(dc_, &origin);
        SetMapMode(dc_, MM_TEXT);
        SetViewportOrgEx(dc_, 0, 0, nullptr);
        const COLORREF c = GetPixel(dc_, x, y);
        SetMapMode(dc_, mode);
        SetViewportOrgEx(dc_, origin.x, origin.y, nullptr);
        return c;
    }

private:
    HDC dc_;
    HBITMAP bitmap_;
    HGDIOBJ old_;
};

void Fill(HDC dc, int left, int top, int right, int bottom, COLORREF colour) {
    HBRUSH brush = CreateSolidBrush(colour);
    RECT r = {left, top, right, bottom};
    FillRect(dc, &r, brush);
    DeleteObject(brush);
}

TEST(MemDC, DrawingReachesTheTargetInOneCopyAtTheEnd) {
    Target target;
    SetBkColor(target.dc(), kRed);
    const RECT area = {10, 10, 60, 40};
    {
        CMemDC memory(target.dc(), &area, false);
        ASSERT_TRUE(memory.off_screen());
        EXPECT_NE(target.dc(), memory.dc());
        EXPECT_EQ(TRANSPARENT, GetBkMode(memory));
        // Filled with the target's background colour, in the target's coordinates.
        EXPECT_EQ(kRed, GetPixel(memory, 10, 10));
        EXPECT_EQ(kRed, GetPixel(memory, 59, 39));
        Fill(memory, 20, 20, 30, 30, kBlue);
        // Nothing has reached the target yet.
        EXPECT_EQ(kWhite, target.Device(10, 10));
        EXPECT_EQ(kWhite, target.Device(25, 25));
    }
    EXPECT_EQ(kRed, target.Device(10, 10));
    EXPECT_EQ(kRed, target.Device(59, 39));
    EXPECT_EQ(kBlue, target.Device(20, 20));
    EXPECT_EQ(kBlue, target.Device(29, 29));
    // Only the covered rectangle changes.
    EXPECT_EQ(kWhite, target.Device(9, 10));
    EXPECT_EQ(kWhite, target.Device(60, 39));
    EXPECT_EQ(kWhite, target.Device(59, 40));
}

TEST(MemDC, CopiedBackgroundStartsAsTheTargetShowsIt) {
    Target target;
    Fill(target.dc(), 0, 0, 50, 100, kBlue);
    const RECT area = {40, 0, 60, 10};
    {
        CMemDC memory(target.dc(), &area, true);
        EXPECT_EQ(kBlue, GetPixel(memory, 45, 5));
        EXPECT_EQ(kWhite, GetPixel(memory, 55, 5));
    }
    EXPECT_EQ(kBlue, target.Device(45, 5));
    EXPECT_EQ(kWhite, target.Device(55, 5));
}

TEST(MemDC, WithoutARectangleTheClipBoxIsCovered) {
    Target target;
    HRGN clip = CreateRectRgn(5, 6, 15, 26);
    SelectClipRgn(target.dc(), clip);
    DeleteObject(clip);
    SetBkColor(target.dc(), kRed);
    {
        CMemDC memory(target.dc());
        EXPECT_EQ(5, memory.rect().left);
        EXPECT_EQ(6, memory.rect().top);
        EXPECT_EQ(15, memory.rect().right);
        EXPECT_EQ(26, memory.rect().bottom);
    }
    SelectClipRgn(target.dc(), nullptr);
    EXPECT_EQ(kRed, target.Device(5, 6));
    EXPECT_EQ(kWhite, target.Device(4, 6));
}

TEST(MemDC, TakesOverTheTargetsMapping) {
    Target target;
    // Logical units twice the size of a pixel, with the logical origin at pixel (10, 10).
    SetMapMode(target.dc(), MM_ANISOTROPIC);
    SetWindowExtEx(target.dc(), 1, 1, nullptr);
    SetViewportExtEx(target.dc(), 2, 2, nullptr);
    SetViewportOrgEx(target.dc(), 10, 10, nullptr);
    SetBkColor(target.dc(), kWhite);
    const RECT area = {0, 0, 20, 20};  // 40 x 40 pixels
    {
        CMemDC memory(target.dc(), &area, false);
        EXPECT_EQ(MM_ANISOTROPIC, GetMapMode(memory));
        Fill(memory, 0, 0, 5, 5, kBlue);
        Fill(memory, 15, 15, 20, 20, kRed);
    }
    EXPECT_EQ(kBlue, target.Device(10, 10));
    EXPECT_EQ(kBlue, target.Device(19, 19));
    EXPECT_EQ(kWhite, target.Device(20, 20));
    EXPECT_EQ(kRed, target.Device(40, 40));
    EXPECT_EQ(kRed, target.Device(49, 49));
    EXPECT_EQ(kWhite, target.Device(9, 9));
}

TEST(MemDC, WithoutMemoryForTheBitmapItDrawsStraightOntoTheTarget) {
    Target target;
    SetBkColor(target.dc(), kRed);
    const RECT huge = {0, 0, 60000, 60000};  // far more than a bitmap can hold
    {
        CMemDC memory(target.dc(), &huge, false);
        EXPECT_FALSE(memory.off_screen());
        EXPECT_EQ(target.dc(), memory.dc());
        Fill(memory, 0, 0, 5, 5, kBlue);
        EXPECT_EQ(kBlue, target.Device(0, 0));
    }
    EXPECT_EQ(kBlue, target.Device(4, 4));
    EXPECT_EQ(kRed, target.Device(50, 50));
}

}  // namespace
