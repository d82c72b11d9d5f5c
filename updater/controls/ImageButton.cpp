#include "updater/controls/ImageButton.h"

#include <initializer_list>

#include "updater/framework/Dialog.h"
#include "updater/framework/WinApp.h"

namespace {

HBITMAP LoadFromModule(WORD id) {
    return id ? LoadBitmapA(framework::ResourceHandle(), MAKEINTRESOURCEA(id)) : nullptr;
}

}  // namespace

ImageButton::~ImageButton() { DeleteBitmaps(); }

void ImageButton::DeleteBitmaps() {
    for (HBITMAP* bitmap : {&normal_, &pressed_, &hover_, &disabled_}) {
        if (*bitmap) DeleteObject(*bitmap);
        *bitmap = nullptr;
    }
}

bool ImageButton::LoadButtonBitmaps(WORD normal, WORD pressed, WORD hover, WORD disabled) {
    DeleteBitmaps();
    normal_ = LoadFromModule(normal);
    pressed_ = LoadFromModule(pressed);
    hover_ = LoadFromModule(hover);
    disabled_ = LoadFromModule(disabled);
    if (!normal_) return false;
    BITMAP info = {};
    GetObjectA(normal_, sizeof(info), &info);
    if (hwnd()) {
        SetWindowPos(hwnd(), nullptr, 0, 0, info.bmWidth, info.bmHeight,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        InvalidateRect(hwnd(), nullptr, FALSE);
    }
    return true;
}

void ImageButton::Draw(const DRAWITEMSTRUCT& item) {
    HBITMAP bitmap = normal_;
    if ((item.itemState & ODS_DISABLED) && disabled_) {
        bitmap = disabled_;
    } else if ((item.itemState & ODS_SELECTED) && pressed_) {
        bitmap = pressed_;
    } else if (GetCapture() == hwnd() && hover_) {
        bitmap = hover_;
    }
    if (!bitmap) return;
    HDC memory = CreateCompatibleDC(item.hDC);
    if (!memory) return;
    HGDIOBJ previous = SelectObject(memory, bitmap);
    BitBlt(item.hDC, item.rcItem.left, item.rcItem.top, item.rcItem.right - item.rcItem.left,
           item.rcItem.bottom - item.rcItem.top, memory, 0, 0, SRCCOPY);
    SelectObject(memory, previous);
    DeleteDC(memory);
    // The bitmaps have no focused state of their own: the system's dotted outline, inside the
    // picture's edge, tells a keyboard user where Enter and Space go.
    if (ShowsFocusCue(item.itemState, SendMessageA(hwnd(), WM_QUERYUISTATE, 0, 0))) {
        RECT cue = item.rcItem;
        const int inset = (cue.right - cue.left) > 12 && (cue.bottom - cue.top) > 12 ? 3 : 1;
        InflateRect(&cue, -inset, -inset);
        const COLORREF text = SetTextColor(item.hDC, RGB(0, 0, 0));
        const COLORREF back = SetBkColor(item.hDC, RGB(255, 255, 255));
        DrawFocusRect(item.hDC, &cue);
        SetTextColor(item.hDC, text);
        SetBkColor(item.hDC, back);
    }
}

bool ImageButton::ShowsFocusCue(UINT item_state, LRESULT ui_state) {
    return (item_state & ODS_FOCUS) && !(item_state & ODS_NOFOCUSRECT) &&
           !(ui_state & UISF_HIDEFOCUS);
}

void ImageButton::TrackHover() {
    // The capture tells the drawing that the pointer is over the button; it is let go as soon as
    // the pointer leaves (or something covers the button).
    if (GetCapture() != hwnd()) {
        if (hover_) {
            SetCapture(hwnd());
            InvalidateRect(hwnd(), nullptr, FALSE);
        }
        return;
    }
    POINT cursor;
    GetCursorPos(&cursor);
    RECT client;
    GetClientRect(hwnd(), &client);
    POINT local = cursor;
    ScreenToClient(hwnd(), &local);
    if (!PtInRect(&client, local) || WindowFromPoint(cursor) != hwnd()) {
        ReleaseCapture();
        InvalidateRect(hwnd(), nullptr, FALSE);
    }
}

LRESULT ImageButton::OnMessage(UINT msg, WPARAM wparam, LPARAM lparam) {
    switch (msg) {
    case kReflectedDrawItem:
        Draw(*reinterpret_cast<const DRAWITEMSTRUCT*>(lparam));
        return TRUE;
    case WM_MOUSEMOVE:
        // Not while a button of the mouse is held: then the button's own capture tracks the press.
        if (!(wparam & (MK_LBUTTON | MK_RBUTTON))) TrackHover();
        break;
    case WM_DESTROY: {
        LRESULT result = Default(msg, wparam, lparam);
        DeleteBitmaps();
        return result;
    }
    default:
        break;
    }
    return Default(msg, wparam, lparam);
}
