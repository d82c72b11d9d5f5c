#include "updater/controls/ReadOnlyText.h"

bool ReadOnlyText::IsDialogKey(const MSG* msg) {
    if (!msg || (msg->message != WM_KEYDOWN && msg->message != WM_CHAR)) return false;
    switch (msg->wParam) {
    case VK_TAB:
    case VK_RETURN:
    case VK_ESCAPE:
        // Ctrl+Tab is the page's tab switch, Ctrl+Enter nothing of ours: the same rule.
        return true;
    default:
        return false;
    }
}

LRESULT ReadOnlyText::OnMessage(UINT msg, WPARAM wparam, LPARAM lparam) {
    if (msg == WM_GETDLGCODE) {
        LRESULT code = Default(msg, wparam, lparam);
        if (IsDialogKey(reinterpret_cast<const MSG*>(lparam))) {
            code &= ~static_cast<LRESULT>(DLGC_WANTMESSAGE | DLGC_WANTALLKEYS | DLGC_WANTTAB);
        }
        return code;
    }
    return Default(msg, wparam, lparam);
}
