#include "updater/framework/Control.h"

#include <commctrl.h>

namespace {
constexpr UINT_PTR kSubclassId = 0x4E56;  // one subclass per control: ours
}

CControl::CControl() = default;

CControl::~CControl() { Unsubclass(); }

bool CControl::Subclass(HWND control) {
    if (!control || hwnd_) return false;
    if (!SetWindowSubclass(control, &CControl::SubclassProc, kSubclassId,
                           reinterpret_cast<DWORD_PTR>(this))) {
        return false;
    }
    hwnd_ = control;
    OnSubclassed();
    return true;
}

bool CControl::SubclassDlgItem(int id, HWND dialog) {
    return Subclass(dialog ? GetDlgItem(dialog, id) : nullptr);
}

void CControl::Unsubclass() {
    if (hwnd_) {
        RemoveWindowSubclass(hwnd_, &CControl::SubclassProc, kSubclassId);
        hwnd_ = nullptr;
    }
}

LRESULT CControl::OnMessage(UINT msg, WPARAM wparam, LPARAM lparam) {
    return Default(msg, wparam, lparam);
}

LRESULT CControl::Default(UINT msg, WPARAM wparam, LPARAM lparam) {
    return DefSubclassProc(hwnd_, msg, wparam, lparam);
}

LRESULT CALLBACK CControl::SubclassProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam,
                                        UINT_PTR, DWORD_PTR ref_data) {
    auto* self = reinterpret_cast<CControl*>(ref_data);
    if (msg == WM_NCDESTROY) {
        RemoveWindowSubclass(hwnd, &CControl::SubclassProc, kSubclassId);
        self->hwnd_ = nullptr;
        return DefSubclassProc(hwnd, msg, wparam, lparam);
    }
    // A control's own handling that throws must not cross the system's frames; the message then
    // gets the control's default handling, so that the control stays usable.
    try {
        return self->OnMessage(msg, wparam, lparam);
    } catch (...) {
        return DefSubclassProc(hwnd, msg, wparam, lparam);
    }
}
