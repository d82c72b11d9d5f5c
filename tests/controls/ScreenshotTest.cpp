// The three controls together as a page shows them: a gradient heading with wrapped text, an
// image button and the loading animation. Saves controls.png into the artifacts for a person to
// look at.
#include <windows.h>

#include <gtest/gtest.h>

#include "resources/ResourceIds.h"
#include "tests/controls/ControlsTestSupport.h"
#include "tests/support/TestSupport.h"
#include "updater/controls/ExStatic.h"
#include "updater/controls/ImageButton.h"
#include "updater/controls/PictureEx.h"

namespace {

using controlstest::Capture;

TEST(ControlsScreenshot, HeadingButtonAndAnimation) {
    controlstest::ModuleScope module;
    ASSERT_NE(nullptr, module.module());
    ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
    SetCursorPos(1000, 750);
    {
        controlstest::TestDialog dialog(40, 40, 360, 200);
        ASSERT_NE(nullptr, dialog.hwnd());

        CExStatic heading;
        HWND label = dialog.AddControl(
            "Static",
            "A heading drawn off screen on a gradient: its long text wraps at the last space "
            "that fits.\r\nA CR LF pair starts a new line.",
            SS_LEFT, 1001, 16, 14, 328, 96);
        ASSERT_TRUE(heading.Subclass(label));
        heading.SetTextFont("Tahoma", -15, FW_BOLD, false, false);
        heading.text_color = RGB(255, 255, 255);
        heading.gradient_from = RGB(40, 90, 180);
        heading.gradient_to = RGB(150, 200, 240);
        heading.gradient_mode = 1;

        ImageButton button;
        HWND next = dialog.AddControl("Button", "", BS_OWNERDRAW, 1007, 230, 140, 10, 10);
        ASSERT_TRUE(button.Subclass(next));
        ASSERT_TRUE(button.LoadButtonBitmaps(IDB_DESC_NORMAL, IDB_DESC_PRESSED, IDB_DESC_HOVER, 0));

        CPictureEx animation;
        HWND picture = dialog.AddControl("Static", "loading_gif", 0, 1224, 40, 135, 0, 0);
        ASSERT_TRUE(animation.Subclass(picture));
        ASSERT_TRUE(animation.LoadFromResource());
        ASSERT_TRUE(animation.StartPlayback());

        controlstest::Repaint(dialog.hwnd());
        controlstest::Pump(400);
        const Capture shot(label);
        EXPECT_LT(GetRValue(shot.At(1, 90)), 80);            // the gradient's dark end
        EXPECT_GT(GetBValue(shot.At(326, 90)), 200);          // and its light end
        EXPECT_GT(shot.CountInk(RECT{0, 0, 328, 96}, shot.At(1, 90)), 200);
        EXPECT_TRUE(testsupport::SaveScreenshot("controls.png"));
        animation.StopPlayback();
    }
    CoUninitialize();
}

}  // namespace
