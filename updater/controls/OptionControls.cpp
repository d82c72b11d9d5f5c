#include "updater/controls/OptionControls.h"

#include "updater/framework/Dialog.h"

namespace {
constexpr COLORREF kBody = RGB(0xFD, 0xFD, 0xFD);
constexpr COLORREF kUnselected = RGB(0xD2, 0xD2, 0xD2);
constexpr COLORREF kStrip = RGB(0xEB, 0xEB, 0xEB);
constexpr int kTabTextLimit = 49;
}  // namespace

OptionTabCtrl::OptionTabCtrl()
    : body_brush_(CreateSolidBrush(kBody)),
      unselected_brush_(CreateSolidBrush(kUnselected)),
      strip_brush_(CreateSolidBrush(kStrip)) {}

OptionTabCtrl::~OptionTabCtrl() {
    for (HBRUSH brush : {body_brush_, unselected_brush_, strip_brush_}) {
        if (brush) DeleteObject(brush);
    }
}

void OptionTabCtrl::Draw(HDC dc) {
    RECT client;
    GetClientRect(hwnd(), &client);
    const int count = static_cast<int>(SendMessageA(hwnd(), TCM_GETITEMCOUNT, 0, 0));
    int strip_bottom = client.top;
    for (int index = 0; index < count; ++index) {
        RECT item;
        if (SendMessageA(hwnd(), TCM_GETITEMRECT, index, reinterpret_cast<LPARAM>(&item))) {
            if (item.bottom > strip_bottom) strip_bottom = item.bottom;
        }
    }
    RECT strip = client;
    strip.bottom = strip_bottom;
    RECT body = client;
    body.top = strip_bottom;
    FillRect(dc, &body, body_brush_);
    FillRect(dc, &strip, strip_brush_);

    const int selected = static_cast<int>(SendMessageA(hwnd(), TCM_GETCURSEL, 0, 0));
    const int old_mode = SetBkMode(dc, TRANSPARENT);
    HGDIOBJ old_font = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(hwnd(), WM_GETFONT, 0, 0)));
    for (int index = 0; index < count; ++index) {
        RECT item;
        if (!SendMessageA(hwnd(), TCM_GETITEMRECT, index, reinterpret_cast<LPARAM>(&item))) continue;
        FillRect(dc, &item, index == selected ? body_brush_ : unselected_brush_);
        char text[kTabTextLimit + 1] = {};
        TCITEMA info = {};
        info.mask = TCIF_TEXT;
        info.pszText = text;
        info.cchTextMax = sizeof(text);
        if (SendMessageA(hwnd(), TCM_GETITEMA, index, reinterpret_cast<LPARAM>(&info))) {
            DrawTextA(dc, text, -1, &item, DT_SINGLELINE | DT_CENTER | DT_VCENTER | DT_NOPREFIX);
        }
        // The tabs take the keyboard focus (the arrows switch them): show it on the selected
        // one, as the system's own tabs do.
        const bool cues = !(SendMessageA(hwnd(), WM_QUERYUISTATE, 0, 0) & UISF_HIDEFOCUS);
        if (index == selected && GetFocus() == hwnd() && cues) {
            RECT cue = item;
            InflateRect(&cue, -2, -2);
            DrawFocusRect(dc, &cue);
        }
    }
    if (old_font) SelectObject(dc, old_font);
    SetBkMode(dc, old_mode);
}

LRESULT OptionTabCtrl::OnMessage(UINT msg, WPARAM wparam, LPARAM lparam) {
    switch (msg) {
    case kReflectedDrawItem:
        Draw(reinterpret_cast<const DRAWITEMSTRUCT*>(lparam)->hDC);
        return TRUE;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_UPDATEUISTATE: {
        // The whole strip is drawn in one pass: the focus cue comes and goes with it.
        const LRESULT result = Default(msg, wparam, lparam);
        InvalidateRect(hwnd(), nullptr, FALSE);
        return result;
    }
    default:
        return Default(msg, wparam, lparam);
    }
}

int OptionTabCtrl::TabSwitchStep(UINT msg, WPARAM key, bool ctrl, bool shift, bool alt) {
    if (msg != WM_KEYDOWN || key != VK_TAB || !ctrl || alt) return 0;
    return shift ? -1 : 1;
}

int OptionTabCtrl::StepTab(int current, int count, int step) {
    if (count <= 0) return -1;
    if (current < 0 || current >= count) current = 0;
    return ((current + step) % count + count) % count;
}

void OptionTreeCtrl::SetStateImage(HTREEITEM item, int image) {
    if (!item) return;
    TVITEMA info = {};
    info.mask = TVIF_STATE;
    info.hItem = item;
    info.stateMask = TVIS_STATEIMAGEMASK;
    info.state = INDEXTOSTATEIMAGEMASK(image);
    SendMessageA(hwnd(), TVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&info));
}

int OptionTreeCtrl::StateImage(HTREEITEM item) const {
    const LRESULT state = SendMessageA(hwnd(), TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(item),
                                       TVIS_STATEIMAGEMASK);
    return static_cast<int>((state & TVIS_STATEIMAGEMASK) >> 12);
}

void OptionTreeCtrl::ToggleItem(HTREEITEM item) {
    if (item == header_) {
        SetStateImage(item, kTreeHeaderImage);
    } else {
        SetStateImage(item, StateImage(item) == kTreeChecked ? kTreeUnchecked : kTreeChecked);
    }
}

LRESULT OptionTreeCtrl::OnMessage(UINT msg, WPARAM wparam, LPARAM lparam) {
    switch (msg) {
    case WM_KEYDOWN:
    case WM_CHAR:
        if ((msg == WM_KEYDOWN && wparam == VK_SPACE) || (msg == WM_CHAR && wparam == ' ')) {
            HTREEITEM selected = reinterpret_cast<HTREEITEM>(
                SendMessageA(hwnd(), TVM_GETNEXTITEM, TVGN_CARET, 0));
            if (!selected) break;
            // Space is the keyboard's click on the selected item's box. It toggles on the key
            // going down, once: a held key repeats its key-down (bit 30 set) and the character
            // that follows must not toggle it back; the control's own toggle never runs.
            const bool repeat = (lparam & (1L << 30)) != 0;
            if (msg == WM_KEYDOWN && !repeat) ToggleItem(selected);
            return 0;
        }
        break;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
        TVHITTESTINFO hit = {};
        hit.pt.x = static_cast<short>(LOWORD(lparam));
        hit.pt.y = static_cast<short>(HIWORD(lparam));
        HTREEITEM item = reinterpret_cast<HTREEITEM>(
            SendMessageA(hwnd(), TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
        if (!item || !(hit.flags & TVHT_ONITEMSTATEICON)) break;
        ToggleItem(item);
        SendMessageA(hwnd(), TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item));
        // A click on a box selects without the control's own handling, which would not take
        // the keyboard focus; a keyboard user then finds Space where the click was.
        SetFocus(hwnd());
        return 0;
    }
    case WM_LBUTTONUP:
        return 0;
    default:
        break;
    }
    return Default(msg, wparam, lparam);
}
