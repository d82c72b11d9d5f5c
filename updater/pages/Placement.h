#pragma once
// Where the update window and the boxes it opens appear on the screen.
#include <windows.h>

// The screen's logical DPI (96 when it cannot be read).
int ScreenDpi();

// Moves a top-level window so that it is centred on the work area of the monitor it is on
// (without the taskbar), never sticking out of it at the top or the left.
void CentreOnWorkArea(HWND window);

// Gives `window` this outer size and centres it on its monitor's work area, in one move: each
// move of a window costs a round with the display.
void ResizeCentredOnWorkArea(HWND window, int width, int height);

// Moves `window` so that it is centred on `owner`'s top-level window, inside the work area.
void CentreOnOwner(HWND window, HWND owner);

// A message box owned by the top-level window of `owner` and centred on it, not on the screen.
int OwnedMessageBox(HWND owner, const char* text, const char* caption, UINT type);
