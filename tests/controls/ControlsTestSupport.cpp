#include "tests/controls/ControlsTestSupport.h"

#include <shlobj.h>
#include <tlhelp32.h>

#include <cstdlib>
#include <cstring>

#include "tests/support/TestSupport.h"
#include "updater/framework/Dialog.h"
#include "updater/framework/WinApp.h"

namespace controlstest {

ModuleScope::ModuleScope() {
    previous_ = framework::ResourceHandle();
    module_ = LoadLibraryA(testsupport::Join(testsupport::BinDir(), "ko-KR.dll").c_str());
    if (module_) framework::SetResourceHandle(module_);
}

ModuleScope::~ModuleScope() {
    framework::SetResourceHandle(previous_);
    if (module_) FreeLibrary(module_);
}

namespace {

// A DLGTEMPLATE without items: style, extended style, no items, position, size, no menu, the
// default class, a title, and the dialog font.
std::vector<WORD> DialogTemplate(const char* title) {
    std::vector<WORD> t;
    const DWORD style = WS_POPUP | WS_BORDER | DS_SETFONT;
    t.push_back(LOWORD(style));
    t.push_back(HIWORD(style));
    t.push_back(0);  // extended style
    t.push_back(0);
    t.push_back(0);  // items
    for (int i = 0; i < 4; ++i) t.push_back(0);  // x, y, cx, cy: set in pixels afterwards
    t.push_back(0);  // menu
    t.push_back(0);  // class
    for (const char* c = title; *c; ++c) t.push_back(static_cast<WORD>(*c));
    t.push_back(0);
    t.push_back(8);
    for (const char* c = "MS Shell Dlg"; *c; ++c) t.push_back(static_cast<WORD>(*c));
    t.push_back(0);
    return t;
}

}  // namespace

TestDialog::TestDialog(int x, int y, int width, int height, const char* title) {
    brush_ = CreateSolidBrush(kPageColour);
    std::vector<WORD> tmpl = DialogTemplate(title);
    dialog_ = CreateDialogIndirectParamA(GetModuleHandleA(nullptr),
                                         reinterpret_cast<LPCDLGTEMPLATEA>(tmpl.data()), nullptr,
                                         &TestDialog::Proc, reinterpret_cast<LPARAM>(this));
    if (!dialog_) return;
    // The client area gets exactly the size asked for.
    RECT frame = {0, 0, width, height};
    AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongPtrA(dialog_, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongPtrA(dialog_, GWL_EXSTYLE)));
    // Shown without activation: under Wine without a window manager, taking an active window
    // down again waits two seconds for a focus change that never comes.
    SetWindowPos(dialog_, HWND_TOP, x, y, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_SHOWWINDOW | SWP_NOACTIVATE);
    Repaint(dialog_);
}

TestDialog::~TestDialog() {
    if (dialog_ && IsWindow(dialog_)) DestroyWindow(dialog_);
    if (brush_) DeleteObject(brush_);
    Pump(20);
}

HWND TestDialog::AddControl(const char* window_class, const char* text, DWORD style, int id,
                            int x, int y, int width, int height) {
    HWND control = CreateWindowExA(0, window_class, text, WS_CHILD | WS_VISIBLE | style, x, y,
                                   width, height, dialog_, reinterpret_cast<HMENU>(INT_PTR(id)),
                                   GetModuleHandleA(nullptr), nullptr);
    if (control) {
        SendMessageA(control, WM_SETFONT, SendMessageA(dialog_, WM_GETFONT, 0, 0), FALSE);
    }
    return control;
}

int TestDialog::clicks(int id) const {
    int n = 0;
    for (int c : clicked_) n += c == id;
    return n;
}

INT_PTR CALLBACK TestDialog::Proc(HWND dialog, UINT msg, WPARAM wparam, LPARAM lparam) {
    if (msg == WM_INITDIALOG) {
        SetWindowLongPtrA(dialog, DWLP_USER, lparam);
        return FALSE;  // no focus: the dialog is never activated (see the constructor)
    }
    auto* self = reinterpret_cast<TestDialog*>(GetWindowLongPtrA(dialog, DWLP_USER));
    if (!self) return FALSE;
    switch (msg) {
    case WM_DRAWITEM: {
        // As the framework's dialog does: the control draws itself.
        const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lparam);
        if (item->CtlType != ODT_MENU &&
            SendMessageA(item->hwndItem, kReflectedDrawItem, wparam, lparam)) {
            SetWindowLongPtrA(dialog, DWLP_MSGRESULT, TRUE);
            return TRUE;
        }
        return FALSE;
    }
    case WM_CTLCOLORDLG: case WM_CTLCOLORSTATIC: case WM_CTLCOLORBTN:
        SetBkColor(reinterpret_cast<HDC>(wparam), kPageColour);
        return reinterpret_cast<INT_PTR>(self->brush_);
    case WM_COMMAND:
        if (HIWORD(wparam) == BN_CLICKED) self->clicked_.push_back(LOWORD(wparam));
        return TRUE;
    case WM_NCDESTROY:
        SetWindowLongPtrA(dialog, DWLP_USER, 0);
        return FALSE;
    default:
        return FALSE;
    }
}

void Pump(DWORD ms) {
    const DWORD start = GetTickCount();
    do {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        if (ms) Sleep(5);
    } while (GetTickCount() - start < ms);
}

void Repaint(HWND window) {
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    Pump(0);
}

Capture::Capture(HWND window) {
    RECT client = {};
    GetClientRect(window, &client);
    width_ = client.right;
    height_ = client.bottom;
    if (width_ <= 0 || height_ <= 0) return;
    HDC dc = GetDC(window);
    HDC memory = CreateCompatibleDC(dc);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width_;
    info.bmiHeader.biHeight = -height_;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP dib = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, dib);
    BitBlt(memory, 0, 0, width_, height_, dc, 0, 0, SRCCOPY);
    GdiFlush();
    pixels_.assign(static_cast<const DWORD*>(bits),
                   static_cast<const DWORD*>(bits) + size_t(width_) * height_);
    SelectObject(memory, old);
    DeleteObject(dib);
    DeleteDC(memory);
    ReleaseDC(window, dc);
}

COLORREF Capture::At(int x, int y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return CLR_INVALID;
    const DWORD p = pixels_[size_t(y) * width_ + x];
    return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
}

int Capture::CountInk(const RECT& area, COLORREF background) const {
    int n = 0;
    for (int y = area.top; y < area.bottom; ++y) {
        for (int x = area.left; x < area.right; ++x) {
            const COLORREF c = At(x, y);
            if (c == CLR_INVALID) continue;
            const int d = std::abs(GetRValue(c) - GetRValue(background)) +
                          std::abs(GetGValue(c) - GetGValue(background)) +
                          std::abs(GetBValue(c) - GetBValue(background));
            if (d > 96) ++n;
        }
    }
    return n;
}

std::vector<COLORREF> BitmapPixels(HBITMAP bitmap, int* width, int* height) {
    std::vector<COLORREF> out;
    BITMAP info = {};
    if (!bitmap || !GetObjectA(bitmap, sizeof(info), &info)) return out;
    *width = info.bmWidth;
    *height = info.bmHeight;
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = info.bmWidth;
    bi.bmiHeader.biHeight = -info.bmHeight;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    std::vector<DWORD> bits(size_t(info.bmWidth) * info.bmHeight);
    HDC dc = GetDC(nullptr);
    GetDIBits(dc, bitmap, 0, info.bmHeight, bits.data(), &bi, DIB_RGB_COLORS);
    ReleaseDC(nullptr, dc);
    for (DWORD p : bits) out.push_back(RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF));
    return out;
}

std::set<DWORD> ThreadIds() {
    std::set<DWORD> ids;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return ids;
    THREADENTRY32 entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID == GetCurrentProcessId()) ids.insert(entry.th32ThreadID);
    }
    CloseHandle(snapshot);
    return ids;
}

std::vector<BYTE> SolidBmp(int width, int height, COLORREF colour) {
    const int stride = (width * 3 + 3) & ~3;
    const DWORD image = DWORD(stride) * height;
    BITMAPFILEHEADER file = {};
    BITMAPINFOHEADER header = {};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof(file) + sizeof(header);
    file.bfSize = file.bfOffBits + image;
    header.biSize = sizeof(header);
    header.biWidth = width;
    header.biHeight = height;
    header.biPlanes = 1;
    header.biBitCount = 24;
    header.biSizeImage = image;
    std::vector<BYTE> out(file.bfSize);
    std::memcpy(out.data(), &file, sizeof(file));
    std::memcpy(out.data() + sizeof(file), &header, sizeof(header));
    BYTE* pixels = out.data() + file.bfOffBits;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            BYTE* p = pixels + size_t(y) * stride + size_t(x) * 3;
            p[0] = GetBValue(colour);
            p[1] = GetGValue(colour);
            p[2] = GetRValue(colour);
        }
    }
    return out;
}

HGLOBAL ToGlobal(const std::vector<BYTE>& bytes) {
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes.empty() ? 1 : bytes.size());
    if (!block) return nullptr;
    void* p = GlobalLock(block);
    if (!bytes.empty()) std::memcpy(p, bytes.data(), bytes.size());
    GlobalUnlock(block);
    return block;
}

HDROP MakeDrop(const std::vector<std::string>& files) {
    size_t chars = 1;
    for (const auto& f : files) chars += f.size() + 1;
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DROPFILES) + chars);
    auto* drop = static_cast<DROPFILES*>(GlobalLock(block));
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = FALSE;
    char* names = reinterpret_cast<char*>(drop + 1);
    for (const auto& f : files) {
        std::memcpy(names, f.c_str(), f.size() + 1);
        names += f.size() + 1;
    }
    GlobalUnlock(block);
    return static_cast<HDROP>(block);
}

}  // namespace controlstest
