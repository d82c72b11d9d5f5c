#pragma once
// Keyboard rules the update window needs beyond what the dialog manager gives: Enter on an
// owner-drawn push button, and a focus that always rests on something the user can see and use.
#include <windows.h>

namespace framework {

// A button control that acts when clicked (push, default push or owner-drawn), unlike a check
// box or radio button.
bool IsPushButton(HWND window);
// When the keyboard focus is on an enabled, visible push button inside `root`, sends its
// parent the command a click sends and returns true; otherwise does nothing and returns false.
bool ClickFocusedPushButton(HWND root);
// Whether the focus is on `container` or a window inside it, visible and enabled (with every
// window above it up to the container).
bool FocusIsUsableIn(HWND container);
// The first control of `container` in tab order that is a tab stop, visible and enabled
// (looking into nested control containers); null when there is none.
HWND FirstTabStop(HWND container);
// Gives the focus to FirstTabStop, or to the container itself when it has none.
void FocusFirstControl(HWND container);

}  // namespace framework
