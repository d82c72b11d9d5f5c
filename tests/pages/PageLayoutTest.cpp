// The sizes the update window takes at each DPI and where it and its boxes go. Includes no
// Windows header; it also runs natively (native/CMakeLists.txt).
#include <gtest/gtest.h>

#include "updater/pages/PageLayout.h"

using namespace pagelayout;

// Pixel lengths drawn for 96 DPI, at the settings Windows offers; heading font heights are
// negative and must grow the same way, not shrink or round towards zero.
TEST(PageLayout, LengthsScaleWithTheDpiRoundingHalvesAway) {
    struct Case {
        int pixels, dpi, expected;
    } cases[] = {
        {415, 96, 415},  {415, 120, 519}, {415, 144, 623}, {286, 120, 358}, {286, 144, 429},
        {-16, 96, -16},  {-16, 120, -20}, {-16, 144, -24}, {-11, 120, -14}, {-13, 144, -20},
        {30, 0, 30},     {30, -1, 30},    {0, 144, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ScaleForDpi(c.pixels, c.dpi), c.expected) << c.pixels << " at " << c.dpi;
    }
}

// The area grows with the DPI, and where the font grows faster than the DPI the templates' own
// size wins, each side on its own.
TEST(PageLayout, PageAreaIsTheLargerOfTheScaledAreaAndTheTemplates) {
    struct Case {
        int dpi;
        Size templates;
        int width, height;
    } cases[] = {
        {96, {414, 286}, 415, 286},
        {120, {483, 352}, 519, 358},
        {144, {621, 440}, 623, 440},
        {144, {700, 400}, 700, 429},
        {0, {0, 0}, 415, 286},
    };
    for (const Case& c : cases) {
        const Size area = PageArea(c.dpi, c.templates);
        EXPECT_EQ(area.width, c.width) << c.dpi;
        EXPECT_EQ(area.height, c.height) << c.dpi;
    }
}

TEST(PageLayout, CentredWindowsStayOnTheWorkArea) {
    const Rect work = {0, 0, 1024, 738};  // a taskbar at the bottom
    struct Case {
        const char* what;
        Rect area;
        Size size;
        Rect bounds;
        int left, top;
    } cases[] = {
        {"on the work area", work, {421, 352}, work, 301, 193},
        {"on a second monitor to the left", {-1280, 0, 0, 1024}, {421, 352}, {-1280, 0, 0, 1024},
         -851, 336},
        {"on an owner near the right edge", {800, 100, 1020, 300}, {300, 120}, work, 724, 140},
        {"on an owner dragged above the screen", {100, -200, 500, 50}, {300, 120}, work, 150, 0},
        // Larger than the screen: the top-left corner stays visible, with the close button.
        {"larger than the work area", work, {1100, 800}, work, 0, 0},
    };
    for (const Case& c : cases) {
        const Rect placed = CentredIn(c.area, c.size, c.bounds);
        EXPECT_EQ(placed.left, c.left) << c.what;
        EXPECT_EQ(placed.top, c.top) << c.what;
        EXPECT_EQ(placed.right - placed.left, c.size.width) << c.what;
        EXPECT_EQ(placed.bottom - placed.top, c.size.height) << c.what;
    }
}
