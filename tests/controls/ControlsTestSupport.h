#pragma once
// What the control tests share: the language module as the resource module, a dialog made at
// run time that reflects owner-draw requests to its controls as the framework's dialogs do,
// pixel captures of windows, message pumping and the threads of this process.
#include <windows.h>

#include <set>
#include <string>
#include <vector>

#include "tests/controls/GifBuilder.h"

namespace controlstest {

// Loads ko-KR.dll from the build's bin folder and makes it the framework's resource module;
// puts the previous one back at the end.
class ModuleScope {
public:
    ModuleScope();
    ~ModuleScope();
    ModuleScope(const ModuleScope&) = delete;
    ModuleScope& operator=(const ModuleScope&) = delete;
    HMODULE module() const { return module_; }

private:
    HMODULE module_ = nullptr;
    HINSTANCE previous_ = nullptr;
};

constexpr COLORREF kPageColour = RGB(253, 253, 253);

// A visible modeless dialog from an in-memory template, with the page colour as background. It
// sends WM_DRAWITEM back to the control as the framework does, and counts button clicks.
class TestDialog {
public:
    TestDialog(int x, int y, int width, int height, const char* title = "controls");
    ~TestDialog();
    TestDialog(const TestDialog&) = delete;
    TestDialog& operator=(const TestDialog&) = delete;

    HWND hwnd() const { return dialog_; }
    // A child control of a system class at a pixel rectangle.
    HWND AddControl(const char* window_class, const char* text, DWORD style, int id, int x, int y,
                    int width, int height);
    int clicks(int id) const;

private:
    static INT_PTR CALLBACK Proc(HWND dialog, UINT msg, WPARAM wparam, LPARAM lparam);
    HWND dialog_ = nullptr;
    HBRUSH brush_ = nullptr;
    std::vector<int> clicked_;
};

// Dispatches this thread's messages for about `ms` milliseconds.
void Pump(DWORD ms);
// Paints every pending update of the window and its children.
void Repaint(HWND window);

// The client area of a window as the screen shows it.
class Capture {
public:
    explicit Capture(HWND window);
    int width() const { return width_; }
    int height() const { return height_; }
    COLORREF At(int x, int y) const;
    // Pixels in the rectangle that differ from `background` by more than a little.
    int CountInk(const RECT& area, COLORREF background) const;
    bool operator==(const Capture& other) const {
        return width_ == other.width_ && height_ == other.height_ && pixels_ == other.pixels_;
    }

private:
    int width_ = 0, height_ = 0;
    std::vector<DWORD> pixels_;
};

// The pixels of a bitmap as COLORREFs, top row first.
std::vector<COLORREF> BitmapPixels(HBITMAP bitmap, int* width, int* height);

// Threads of this process now.
std::set<DWORD> ThreadIds();

// A 24-bit bottom-up .bmp file of one colour.
std::vector<BYTE> SolidBmp(int width, int height, COLORREF colour);
// A movable global block holding the bytes; the caller frees it.
HGLOBAL ToGlobal(const std::vector<BYTE>& bytes);

// An HDROP as the shell makes it for the files.
HDROP MakeDrop(const std::vector<std::string>& files);

}  // namespace controlstest
