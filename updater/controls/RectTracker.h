#pragma once
// A small rectangle tracker: while the mouse button that started it is held, a dotted outline in
// the parent follows the pointer, either moving the start rectangle with it or, as a rubber
// band, stretching from the press point to the pointer.
#include <windows.h>

struct RectTrackerOptions {
    bool rubber_band = false;    // else move
    UINT release = WM_RBUTTONUP;  // the button release that ends tracking
};

// `window` takes the mouse capture; `start` and `press` are in `parent`'s client coordinates.
// True with the final rectangle (not normalised) when the button is released; false when the
// tracking is cancelled (Escape, the capture taken away, the application quitting).
bool TrackRectangle(HWND window, HWND parent, const RECT& start, POINT press,
                    const RectTrackerOptions& options, RECT* result);
