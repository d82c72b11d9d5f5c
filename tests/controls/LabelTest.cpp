// The owner-drawn label in a dialog made at run time: what it turns the static into, what it
// draws (background, gradient, lines), and its extras (dropped bitmap, moving with the mouse).
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "tests/controls/ControlsTestSupport.h"
#include "tests/support/TestSupport.h"
#include "updater/data/ProductSettings.h"
#include "updater/controls/ExStatic.h"

namespace {

using controlstest::Capture;
using controlstest::kPageColour;
using controlstest::TestDialog;

constexpr int kLabelId = 1001;
constexpr char kFace[] = "Tahoma";
constexpr int kFontHeight = -16;

// Height of one line of the label's font, measured the way the label measures it.
int LineHeight() {
    HFONT font = CreateFontA(kFontHeight, 0, 0, 0, FW_BOLD, 0, 0, 0, FontCharset(), 0, 0, 0, 0,
                             kFace);
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, font);
    TEXTMETRICA metrics = {};
    GetTextMetricsA(dc, &metrics);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    DeleteObject(font);
    return metrics.tmHeight;
}

class LabelTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(nullptr, module_.module());
        SetCursorPos(1000, 750);  // keep the pointer off the windows under test
        ASSERT_NE(nullptr, dialog_.hwnd());
    }

    // A static of the given style and text, made a label with the pages' font and background.
    HWND MakeLabel(CExStatic& label, const char* text, DWORD style, int width, int height,
                   int x = 20, int y = 20) {
        HWND control = dialog_.AddControl("Static", text, style, kLabelId, x, y, width, height);
        EXPECT_TRUE(label.Subclass(control));
        label.SetTextFont(kFace, kFontHeight, FW_BOLD, false, false);
        label.SetPageBackground();
        controlstest::Repaint(dialog_.hwnd());
        return control;
    }

    // Ink in the band of line `line` (0-based) of a label whose text starts at `top`.
    int InkInLine(const Capture& shot, int line, int top = 0) {
        const int h = LineHeight();
        return shot.CountInk(RECT{0, top + line * h + 1, shot.width(), top + (line + 1) * h - 1},
                             kPageColour);
    }

    controlstest::ModuleScope module_;
    TestDialog dialog_{40, 40, 320, 240};
};

TEST_F(LabelTest, SubclassingMakesTheStaticOwnerDrawnAndKeepsItsText) {
    CExStatic label;
    HWND control = MakeLabel(label, "Heading", SS_RIGHT | SS_CENTERIMAGE | SS_NOPREFIX, 200, 40);
    const DWORD style = static_cast<DWORD>(GetWindowLongPtrA(control, GWL_STYLE));
    EXPECT_EQ(static_cast<DWORD>(SS_OWNERDRAW), style & SS_TYPEMASK);
    EXPECT_TRUE(style & SS_CENTERIMAGE);
    EXPECT_TRUE(style & SS_NOPREFIX);
    EXPECT_TRUE(style & WS_VISIBLE);
    EXPECT_EQ("Heading", label.text());

    // Right-aligned, vertically centred: the ink sits in the right half and off the top rows.
    const Capture shot(control);
    EXPECT_EQ(kPageColour, shot.At(1, 1));
    EXPECT_GT(shot.CountInk(RECT{100, 0, 200, 40}, kPageColour), 20);
    EXPECT_EQ(0, shot.CountInk(RECT{0, 0, 100, 40}, kPageColour));
    EXPECT_EQ(0, shot.CountInk(RECT{0, 0, 200, 5}, kPageColour));
}

TEST_F(LabelTest, NewTextIsShownAsSoonAsItIsSet) {
    CExStatic label;
    HWND control = MakeLabel(label, "", SS_LEFT, 200, 40);
    EXPECT_EQ(0, Capture(control).CountInk(RECT{0, 0, 200, 40}, kPageColour));

    SetWindowTextA(control, "Now there is text");
    EXPECT_EQ("Now there is text", label.text());
    controlstest::Pump(50);
    EXPECT_GT(InkInLine(Capture(control), 0), 20);
    SetWindowTextA(control, "");
    controlstest::Pump(50);
    EXPECT_EQ(0, Capture(control).CountInk(RECT{0, 0, 200, 40}, kPageColour));
}

TEST_F(LabelTest, LongTextWrapsAtSpacesAndOnlyPairsBreakLines) {
    CExStatic label;
    const int h = LineHeight();
    ASSERT_GT(h, 8);
    HWND control = MakeLabel(label, "Wide words wrap onto further lines here", SS_LEFT, 120, 5 * h);
    Capture wrapped(control);
    EXPECT_GT(InkInLine(wrapped, 0), 10);
    EXPECT_GT(InkInLine(wrapped, 1), 10);
    EXPECT_GT(InkInLine(wrapped, 2), 10);

    SetWindowTextA(control, "AB\r\nCD");
    controlstest::Repaint(control);
    Capture pair(control);
    EXPECT_GT(InkInLine(pair, 0), 10);
    EXPECT_GT(InkInLine(pair, 1), 10);

    // A lone line feed stays inside its line: nothing is drawn on the line below.
    SetWindowTextA(control, "AB\nCD");
    controlstest::Repaint(control);
    Capture lone(control);
    EXPECT_GT(InkInLine(lone, 0), 10);
    EXPECT_EQ(0, InkInLine(lone, 1));

    // Without word wrap a long text stays on one line.
    label.word_wrap = 0;
    SetWindowTextA(control, "Wide words wrap onto further lines here");
    controlstest::Repaint(control);
    Capture single(control);
    EXPECT_GT(InkInLine(single, 0), 10);
    EXPECT_EQ(0, InkInLine(single, 1));
}

TEST_F(LabelTest, GradientRunsAcrossOrDown) {
    CExStatic label;
    HWND control = MakeLabel(label, "", SS_LEFT, 200, 100);
    label.gradient_from = RGB(255, 0, 0);
    label.gradient_to = RGB(0, 0, 255);
    label.gradient_mode = 1;
    controlstest::Repaint(control);
    Capture across(control);
    EXPECT_GT(GetRValue(across.At(2, 50)), 230);
    EXPECT_LT(GetBValue(across.At(2, 50)), 25);
    EXPECT_GT(GetBValue(across.At(197, 50)), 230);
    EXPECT_EQ(across.At(100, 2), across.At(100, 97));  // the same colour down a column

    label.gradient_mode = 2;
    controlstest::Repaint(control);
    Capture down(control);
    EXPECT_GT(GetRValue(down.At(100, 1)), 230);
    EXPECT_GT(GetBValue(down.At(100, 98)), 230);
    EXPECT_EQ(down.At(2, 50), down.At(197, 50));  // the same colour along a row

    // A solid background follows the colour, also when it changes after set-up.
    label.gradient_mode = 0;
    label.background_color = RGB(0, 128, 0);
    controlstest::Repaint(control);
    EXPECT_EQ(RGB(0, 128, 0), Capture(control).At(100, 50));
}

TEST_F(LabelTest, BiggerFontMeansTallerLines) {
    CExStatic label;
    HWND control = MakeLabel(label, "AAAA\r\nAAAA", SS_LEFT, 200, 120);
    // The small font's second line starts within the first 20 rows.
    EXPECT_GT(Capture(control).CountInk(RECT{0, LineHeight(), 200, 2 * LineHeight()}, kPageColour), 10);
    label.SetTextFont(kFace, -40, FW_BOLD, false, true);
    controlstest::Pump(50);
    Capture big(control);
    EXPECT_GT(big.CountInk(RECT{0, 48, 200, 80}, kPageColour), 50);
    EXPECT_EQ(0, big.CountInk(RECT{0, 90, 200, 120}, kPageColour));
}

TEST_F(LabelTest, OnlyOneDroppedBmpFileReplacesTheText) {
    testsupport::TempDir temp;
    const std::string bmp = temp.File("green.BMP");
    const std::string txt = temp.File("green.txt");
    const auto bytes = controlstest::SolidBmp(16, 16, RGB(0, 200, 0));
    for (const auto& path : {bmp, txt}) {
        HANDLE f = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, f);
        DWORD written = 0;
        WriteFile(f, bytes.data(), DWORD(bytes.size()), &written, nullptr);
        CloseHandle(f);
    }
    CExStatic label;
    HWND control = MakeLabel(label, "Text", SS_LEFT, 100, 60);
    EXPECT_TRUE(GetWindowLongPtrA(control, GWL_EXSTYLE) & WS_EX_ACCEPTFILES);
    const Capture before(control);

    SendMessageA(control, WM_DROPFILES, WPARAM(controlstest::MakeDrop({bmp, bmp})), 0);
    controlstest::Repaint(control);
    EXPECT_TRUE(before == Capture(control));
    SendMessageA(control, WM_DROPFILES, WPARAM(controlstest::MakeDrop({txt})), 0);
    controlstest::Repaint(control);
    EXPECT_TRUE(before == Capture(control));

    SendMessageA(control, WM_DROPFILES, WPARAM(controlstest::MakeDrop({bmp})), 0);
    controlstest::Repaint(control);
    const Capture after(control);
    EXPECT_EQ(RGB(0, 200, 0), after.At(50, 30));
    EXPECT_EQ(RGB(0, 200, 0), after.At(2, 2));
}

// Runs the label's tracker on messages already queued: the press starts it, the queued moves
// and the release (or Escape) end it.
RECT TrackWith(HWND control, WPARAM press_flags, POINT press, POINT to, bool escape) {
    PostMessageA(control, WM_MOUSEMOVE, press_flags | MK_RBUTTON, MAKELPARAM(to.x, to.y));
    if (escape) PostMessageA(control, WM_KEYDOWN, VK_ESCAPE, 0);
    PostMessageA(control, WM_RBUTTONUP, press_flags, MAKELPARAM(to.x, to.y));
    SendMessageA(control, WM_RBUTTONDOWN, press_flags | MK_RBUTTON, MAKELPARAM(press.x, press.y));
    controlstest::Pump(20);
    RECT r;
    GetWindowRect(control, &r);
    MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

TEST_F(LabelTest, MovableLabelIsDraggedOrRubberBandedWithTheRightButton) {
    CExStatic label;
    HWND control = MakeLabel(label, "Move me", SS_LEFT, 100, 40, 20, 20);
    // Not movable: a right-button drag changes nothing.
    RECT r = TrackWith(control, 0, POINT{5, 5}, POINT{35, 25}, false);
    EXPECT_EQ(20, r.left);
    EXPECT_EQ(20, r.top);
    EXPECT_EQ(nullptr, GetCapture());

    label.movable = 1;
    r = TrackWith(control, 0, POINT{5, 5}, POINT{35, 25}, false);
    EXPECT_EQ(50, r.left);
    EXPECT_EQ(40, r.top);
    EXPECT_EQ(150, r.right);
    EXPECT_EQ(80, r.bottom);
    EXPECT_EQ(nullptr, GetCapture());

    // With Ctrl: a new rectangle from the press to the release, normalised when dragged up-left.
    r = TrackWith(control, MK_CONTROL, POINT{90, 30}, POINT{10, 5}, false);
    EXPECT_EQ(60, r.left);
    EXPECT_EQ(45, r.top);
    EXPECT_EQ(140, r.right);
    EXPECT_EQ(70, r.bottom);

    // Escape leaves the label where it is.
    r = TrackWith(control, 0, POINT{5, 5}, POINT{100, 100}, true);
    EXPECT_EQ(60, r.left);
    EXPECT_EQ(45, r.top);
    EXPECT_EQ(nullptr, GetCapture());
}

TEST_F(LabelTest, IconIsDrawnInsteadOfTheBackground) {
    CExStatic label;
    HWND control = MakeLabel(label, "", SS_LEFT, 60, 60);
    HICON icon = static_cast<HICON>(
        LoadImageA(module_.module(), MAKEINTRESOURCEA(128), IMAGE_ICON, 48, 48, 0));
    ASSERT_NE(nullptr, icon);
    label.icon = icon;
    controlstest::Repaint(control);
    const Capture shot(control);
    EXPECT_GT(shot.CountInk(RECT{0, 0, 48, 48}, kPageColour), 100);
    label.icon = nullptr;
    DestroyIcon(icon);
}

}  // namespace
