#pragma once
// Drives a dialog-based program of another process the way a user would: find its window and
// the page on show, click buttons, read texts, press Enter and Escape, answer its message
// boxes, and wait for it to end. Every wait is bounded; nothing here ends a process (that is
// ProcessOwner's job).
#include <windows.h>
#include <commctrl.h>
#include <richedit.h>

#include <optional>
#include <string>
#include <vector>

namespace testsupport {

// The process's visible top-level dialog ("#32770") that no other window owns: the main window
// of a dialog-based program. Null when none appears in time.
HWND WaitForMainDialog(DWORD pid, DWORD timeout_ms);
// Direct child windows of class "#32770" (a dialog's embedded dialogs), visible or not.
std::vector<HWND> ChildDialogs(HWND parent);
// The visible one of them; null when none is visible.
HWND VisibleChildDialog(HWND parent);
HWND Control(HWND dialog, int id);

// BM_CLICK, posted: a click that opens a message box must not block the test.
bool Click(HWND button);
// The window's text through WM_GETTEXT; nullopt when the window does not answer in time.
std::optional<std::string> ReadText(HWND window, DWORD timeout_ms = 5000);
bool IsChecked(HWND check_box);
// Whether the window's thread answers a message within the time.
bool Answers(HWND window, DWORD timeout_ms);

// Enter (VK_RETURN) or Escape (VK_ESCAPE) as the program's dialog manager receives them: posted
// as key strokes to the window that has the keyboard focus in the thread of `window` (to
// `window` itself when that thread has no focus).
bool PressKey(HWND window, UINT virtual_key);
// The same with Alt held (Alt+F4): system key strokes, which the window's default handling
// turns into the system's commands.
bool PressAltKey(HWND window, UINT virtual_key);

// Keys as the keyboard types them, through the whole input path (the X server's test extension,
// Wine's keyboard driver, the program's queue and dialog manager): the pointer is moved onto an
// inert corner of `window` first, since on the test display without a window manager the keys
// go to the window under the pointer. Names are xdotool's ("Tab", "shift+Tab", "ctrl+Tab",
// "space", "Return", "Down", "alt+F4"). True once xdotool has typed them all; whether the
// program has handled them the caller sees from their effect.
bool TypeKeys(HWND window, const std::vector<std::string>& keys);
// The window with the keyboard focus in the thread of `window` (null when it has none).
HWND FocusedWindow(HWND window);
// Whether the focus of `window`'s thread rests inside `container` on a window the user can see
// and use: it and every window above it up to `container` visible and enabled.
bool FocusUsableIn(HWND window, HWND container);

// A message box of the process: its window, caption and text.
struct MessageBoxInfo {
    HWND window = nullptr;
    std::string caption;
    std::string text;
};
// Message boxes are top-level dialogs of the process with an owner and a static text.
std::optional<MessageBoxInfo> WaitForMessageBox(DWORD pid, DWORD timeout_ms);
bool AnyMessageBox(DWORD pid);
// Clicks the box's button (IDOK, IDCANCEL, IDYES, IDNO, ...).
bool AnswerMessageBox(const MessageBoxInfo& box, int button_id);

// Waits until the process (by id) has ended; its exit code, or nullopt when it still runs or
// cannot be opened.
std::optional<DWORD> WaitForExit(DWORD pid, DWORD timeout_ms);
bool ProcessRuns(DWORD pid);
// The same wait, looking for the process's message boxes every 10 ms while it runs: a box shown
// on the way out and taken away by the end is seen too, which a look after the end never can.
struct ExitWatch {
    std::optional<DWORD> exit_code;             // nullopt: still running at the time-out
    std::optional<MessageBoxInfo> message_box;  // the first box seen, if any
};
ExitWatch WaitForExitWatchingMessageBoxes(DWORD pid, DWORD timeout_ms);

// Controls whose messages carry pointers (tree views, tabs, rich edits) read through memory lent
// in the process that owns the control; the test and the program share one pointer size.
struct TreeItem {
    HTREEITEM handle = nullptr;
    std::string text;
    int state_image = 0;  // the item's state image index (check boxes: 1 clear, 2 checked)
    bool bold = false;
};
// The tree's items at the root, top to bottom.
std::vector<TreeItem> TreeItems(HWND tree);
// A point in the tree's client area on the item's state image (what TVM_HITTEST calls
// TVHT_ONITEMSTATEICON); nullopt when the item shows none.
std::optional<POINT> StateImagePoint(HWND tree, HTREEITEM item);
// A left click posted to the window at a point of its client area (button down and up).
bool ClickAt(HWND window, POINT point);
// A key posted to the window as the keyboard sends it (down and up); the program's own loop
// turns it into its character.
bool PostKey(HWND window, UINT virtual_key);
// A click on the middle of a tab's item.
bool ClickTab(HWND tabs, int index);
// The character format the rich edit reports for the characters [start, end): for a mixed
// range the mask lacks the effect's bit. Moves the control's selection.
std::optional<CHARFORMAT2A> RichTextFormat(HWND rich, int start, int end);
// A window's rectangle in the client coordinates of another (normally its parent).
RECT RectIn(HWND window, HWND reference);

// Saves the area of `window` on the test display as ArtifactDir()/name (a .png).
bool SaveWindowScreenshot(HWND window, const std::string& name);

}  // namespace testsupport
