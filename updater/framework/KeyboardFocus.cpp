#include "updater/framework/KeyboardFocus.h"

namespace framework {

namespace {

bool IsClass(HWND window, const char* name) {
    char class_name[32] = {};
    GetClassNameA(window, class_name, sizeof(class_name));
    return lstrcmpiA(class_name, name) == 0;
}

bool UsableUpTo(HWND window, HWND container) {
    for (HWND w = window; w; w = GetParent(w)) {
        if (!IsWindowVisible(w) || !IsWindowEnabled(w)) return false;
        if (w == container) return true;
    }
    return false;
}

}  // namespace

bool IsPushButton(HWND window) {
    if (!window || !IsClass(window, "Button")) return false;
    const LONG_PTR type = GetWindowLongPtrA(window, GWL_STYLE) & BS_TYPEMASK;
    return type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON || type == BS_OWNERDRAW;
}

bool ClickFocusedPushButton(HWND root) {
    HWND focus = GetFocus();
    if (!focus || !IsChild(root, focus) || !IsPushButton(focus)) return false;
    if (!UsableUpTo(focus, root)) return false;
    HWND parent = GetParent(focus);
    SendMessageA(parent, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(focus), BN_CLICKED),
                 reinterpret_cast<LPARAM>(focus));
    return true;
}

bool FocusIsUsableIn(HWND container) {
    HWND focus = GetFocus();
    if (!focus || (focus != container && !IsChild(container, focus))) return false;
    return UsableUpTo(focus, container);
}

HWND FirstTabStop(HWND container) {
    for (HWND child = GetWindow(container, GW_CHILD); child;
         child = GetWindow(child, GW_HWNDNEXT)) {
        if (!IsWindowVisible(child) || !IsWindowEnabled(child)) continue;
        const LONG_PTR style = GetWindowLongPtrA(child, GWL_STYLE);
        const LONG_PTR ex_style = GetWindowLongPtrA(child, GWL_EXSTYLE);
        if (ex_style & WS_EX_CONTROLPARENT) {
            if (HWND inner = FirstTabStop(child)) return inner;
            continue;
        }
        if (style & WS_TABSTOP) return child;
    }
    return nullptr;
}

void FocusFirstControl(HWND container) {
    HWND target = FirstTabStop(container);
    SetFocus(target ? target : container);
}

}  // namespace framework
