// The image button in a dialog made at run time: its size, the bitmap each state draws, the hover
// capture, and clicks.
#include <windows.h>

#include <gtest/gtest.h>

#include "resources/ResourceIds.h"
#include "tests/controls/ControlsTestSupport.h"
#include "updater/controls/ImageButton.h"

namespace {

using controlstest::Capture;
using controlstest::TestDialog;

constexpr int kButtonId = 1020;

class ButtonTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(nullptr, module_.module());
        SetCursorPos(1000, 750);
        ASSERT_NE(nullptr, dialog_.hwnd());
    }
    void TearDown() override { SetCursorPos(1000, 750); }

    HWND MakeButton(ImageButton& button, WORD normal, WORD pressed, WORD hover, WORD disabled) {
        HWND control =
            dialog_.AddControl("Button", "", BS_OWNERDRAW, kButtonId, 30, 30, 10, 10);
        EXPECT_TRUE(button.Subclass(control));
        EXPECT_TRUE(button.LoadButtonBitmaps(normal, pressed, hover, disabled));
        controlstest::Repaint(dialog_.hwnd());
        return control;
    }

    // True when the button shows exactly the module's bitmap.
    bool Shows(HWND control, WORD bitmap_id) {
        controlstest::Repaint(control);
        HBITMAP bitmap = LoadBitmapA(module_.module(), MAKEINTRESOURCEA(bitmap_id));
        int w = 0, h = 0;
        const auto expected = controlstest::BitmapPixels(bitmap, &w, &h);
        DeleteObject(bitmap);
        const Capture shot(control);
        if (shot.width() != w || shot.height() != h || expected.empty()) return false;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                if (shot.At(x, y) != expected[size_t(y) * w + x]) return false;
        return true;
    }

    POINT ScreenPoint(HWND control, int x, int y) {
        POINT p = {x, y};
        ClientToScreen(control, &p);
        return p;
    }

    controlstest::ModuleScope module_;
    TestDialog dialog_{40, 40, 300, 200};
};

TEST_F(ButtonTest, TakesTheNormalBitmapsSizeAndDrawsEachState) {
    ImageButton button;
    HWND control = MakeButton(button, IDB_CLOSE_NORMAL, IDB_CLOSE_PRESSED, IDB_CLOSE_HOVER,
                              IDB_CLOSE_DISABLED);
    HBITMAP normal = LoadBitmapA(module_.module(), MAKEINTRESOURCEA(IDB_CLOSE_NORMAL));
    BITMAP info = {};
    GetObjectA(normal, sizeof(info), &info);
    DeleteObject(normal);
    RECT r;
    GetWindowRect(control, &r);
    EXPECT_EQ(info.bmWidth, r.right - r.left);
    EXPECT_EQ(info.bmHeight, r.bottom - r.top);

    EXPECT_TRUE(Shows(control, IDB_CLOSE_NORMAL));
    SendMessageA(control, BM_SETSTATE, TRUE, 0);
    EXPECT_TRUE(Shows(control, IDB_CLOSE_PRESSED));
    SendMessageA(control, BM_SETSTATE, FALSE, 0);
    EnableWindow(control, FALSE);
    EXPECT_TRUE(Shows(control, IDB_CLOSE_DISABLED));
    EnableWindow(control, TRUE);
    EXPECT_TRUE(Shows(control, IDB_CLOSE_NORMAL));

    // No normal bitmap: nothing loads and the result says so.
    EXPECT_FALSE(button.LoadButtonBitmaps(0, IDB_CLOSE_PRESSED, 0, 0));
}

TEST_F(ButtonTest, MissingStateBitmapsFallBackToTheNormalOne) {
    ImageButton button;
    HWND control = MakeButton(button, IDB_CURRENT_NORMAL, 0, 0, 0);
    EnableWindow(control, FALSE);
    EXPECT_TRUE(Shows(control, IDB_CURRENT_NORMAL));
    EnableWindow(control, TRUE);
    SendMessageA(control, BM_SETSTATE, TRUE, 0);
    EXPECT_TRUE(Shows(control, IDB_CURRENT_NORMAL));
    SendMessageA(control, BM_SETSTATE, FALSE, 0);
    // Without a hover bitmap the pointer takes no capture.
    const POINT inside = ScreenPoint(control, 5, 5);
    SetCursorPos(inside.x, inside.y);
    SendMessageA(control, WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
    EXPECT_NE(control, GetCapture());
}

TEST_F(ButtonTest, HoverHoldsTheCaptureWhileThePointerIsOver) {
    ImageButton button;
    HWND control = MakeButton(button, IDB_CURRENT_NORMAL, IDB_CURRENT_PRESSED, IDB_CURRENT_HOVER, 0);
    const POINT inside = ScreenPoint(control, 5, 5);
    SetCursorPos(inside.x, inside.y);
    SendMessageA(control, WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
    EXPECT_EQ(control, GetCapture());
    EXPECT_TRUE(Shows(control, IDB_CURRENT_HOVER));

    // A click while hovering still clicks.
    SendMessageA(control, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    SendMessageA(control, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    controlstest::Pump(20);
    EXPECT_EQ(1, dialog_.clicks(kButtonId));

    SendMessageA(control, WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
    EXPECT_EQ(control, GetCapture());
    const POINT outside = ScreenPoint(control, -20, -20);
    SetCursorPos(outside.x, outside.y);
    SendMessageA(control, WM_MOUSEMOVE, 0, MAKELPARAM(-20, -20));
    EXPECT_NE(control, GetCapture());
    // The click gave the button the focus, and with it the focus cue (Wine keeps no UI state
    // that would hide it from a mouse user): only the hover picture is asked about here.
    SendMessageA(control, WM_KILLFOCUS, 0, 0);
    EXPECT_TRUE(Shows(control, IDB_CURRENT_NORMAL));
}

TEST_F(ButtonTest, PressDraggedOutAndBackInStillClicks) {
    ImageButton button;
    HWND control = MakeButton(button, IDB_CURRENT_NORMAL, IDB_CURRENT_PRESSED, IDB_CURRENT_HOVER, 0);
    const POINT inside = ScreenPoint(control, 5, 5);
    const POINT outside = ScreenPoint(control, -20, -20);
    SetCursorPos(inside.x, inside.y);
    SendMessageA(control, WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
    SendMessageA(control, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    // While the button is held the button's own capture follows the press: leaving does not end
    // it, so coming back and letting go is a click as on any push button.
    SetCursorPos(outside.x, outside.y);
    SendMessageA(control, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(-20, -20));
    EXPECT_EQ(control, GetCapture());
    SetCursorPos(inside.x, inside.y);
    SendMessageA(control, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(5, 5));
    SendMessageA(control, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    controlstest::Pump(20);
    EXPECT_EQ(1, dialog_.clicks(kButtonId));
}

// A keyboard user must see which button Enter and Space act on; the bitmaps have no such state,
// so the button adds the system's outline, and only when Windows shows focus cues.
TEST(ImageButtonFocusCue, ShownOnlyWithTheFocusAndCuesOn) {
    struct Case {
        UINT item_state;
        LRESULT ui_state;
        bool shown;
    };
    const Case cases[] = {
        {ODS_FOCUS, 0, true},
        {ODS_FOCUS | ODS_SELECTED, 0, true},
        {0, 0, false},
        {ODS_SELECTED, 0, false},
        {ODS_FOCUS | ODS_NOFOCUSRECT, 0, false},
        {ODS_FOCUS, UISF_HIDEFOCUS, false},
        // Hidden accelerators say nothing about the focus.
        {ODS_FOCUS, UISF_HIDEACCEL, true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ImageButton::ShowsFocusCue(c.item_state, c.ui_state), c.shown)
            << "state " << c.item_state << " ui " << c.ui_state;
    }
}

TEST_F(ButtonTest, FocusedButtonDrawsAnOutlineInsideItsPicture) {
    ImageButton button;
    HWND control = MakeButton(button, IDB_CURRENT_NORMAL, IDB_CURRENT_PRESSED, 0, 0);
    // The button's own focus state, without activating the test's dialog.
    // Wine keeps no UI state (focus cues always shown): hiding them is ShowsFocusCue's part.
    SendMessageA(control, WM_SETFOCUS, 0, 0);
    EXPECT_FALSE(Shows(control, IDB_CURRENT_NORMAL)) << "no focus cue drawn";
    // The outline lies inside the edge: the picture's border stays as drawn.
    controlstest::Repaint(control);
    {
        HBITMAP bitmap = LoadBitmapA(module_.module(), MAKEINTRESOURCEA(IDB_CURRENT_NORMAL));
        int w = 0, h = 0;
        const auto expected = controlstest::BitmapPixels(bitmap, &w, &h);
        DeleteObject(bitmap);
        const Capture shot(control);
        ASSERT_EQ(shot.width(), w);
        for (int x = 0; x < w; ++x) {
            EXPECT_EQ(shot.At(x, 0), expected[size_t(x)]) << "top edge at " << x;
        }
    }
    SendMessageA(control, WM_KILLFOCUS, 0, 0);
    EXPECT_TRUE(Shows(control, IDB_CURRENT_NORMAL)) << "the cue stayed after the focus left";
}

}  // namespace
