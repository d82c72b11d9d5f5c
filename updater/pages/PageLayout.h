#pragma once
// Sizes and positions of the update window and its pages at the screen's DPI. The page
// templates are laid out in dialog units, so their controls grow with the dialog font; the
// pictures of the language module are fixed pixels. Everything that has to agree between the two
// is decided here, in one place. No Windows header: the rules also build natively.

namespace pagelayout {

// The DPI the pixel sizes below are drawn for.
constexpr int kDesignDpi = 96;
// The page area at that DPI.
constexpr int kPageAreaWidth = 415;
constexpr int kPageAreaHeight = 286;

struct Size {
    int width = 0;
    int height = 0;
};

struct Rect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

// A length in pixels drawn for 96 DPI, at `dpi`, rounded to the nearest pixel (halves away from
// zero, so that negative font heights scale like positive ones). An unreadable DPI (0 or less)
// leaves the length as it is.
int ScaleForDpi(int pixels, int dpi);

// The page area at `dpi`: 415 x 286 grown in proportion, but never smaller than the page
// templates as this machine's dialog font maps them (`templates`), which need not grow exactly in
// step with the DPI. Cutting a page's controls off is worse than a few spare pixels.
Size PageArea(int dpi, Size templates);

// Where a window of `size` goes so that it is centred on `area` (a monitor's work area or another
// window). Pulled back inside `bounds` (the work area) where it would stick out, the top-left
// corner last, so that a window larger than the screen still shows its title strip and close
// button.
Rect CentredIn(const Rect& area, Size size, const Rect& bounds);

}  // namespace pagelayout
