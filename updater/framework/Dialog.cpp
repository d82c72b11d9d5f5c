#include "updater/framework/Dialog.h"

#include "updater/framework/WinApp.h"

namespace {

// Messages whose result a dialog procedure returns directly instead of through DWLP_MSGRESULT.
bool ReturnsDirectly(UINT msg) {
    switch (msg) {
    case WM_CTLCOLORMSGBOX: case WM_CTLCOLOREDIT: case WM_CTLCOLORLISTBOX: case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG: case WM_CTLCOLORSCROLLBAR: case WM_CTLCOLORSTATIC:
    case WM_COMPAREITEM: case WM_VKEYTOITEM: case WM_CHARTOITEM: case WM_QUERYDRAGICON:
        return true;
    default:
        return false;
    }
}

}  // namespace

CDialog::CDialog(UINT template_id) : template_id_(template_id) {}

CDialog::~CDialog() {
    if (hwnd_ && IsWindow(hwnd_)) {
        SetWindowLongPtrA(hwnd_, DWLP_USER, 0);
        if (!modal_) ::DestroyWindow(hwnd_);
    }
}

INT_PTR CDialog::DoModal(HWND parent) {
    modal_ = true;
    return DialogBoxParamA(framework::ResourceHandle(), MAKEINTRESOURCEA(template_id_), parent,
                           &CDialog::DialogProc, reinterpret_cast<LPARAM>(this));
}

bool CDialog::Create(HWND parent) {
    modal_ = false;
    HWND created = CreateDialogParamA(framework::ResourceHandle(), MAKEINTRESOURCEA(template_id_),
                                      parent, &CDialog::DialogProc, reinterpret_cast<LPARAM>(this));
    return created != nullptr;
}

void CDialog::EndDialog(INT_PTR result) {
    if (!hwnd_) return;
    if (modal_) {
        ::EndDialog(hwnd_, result);
    } else {
        ::DestroyWindow(hwnd_);
    }
}

void CDialog::DestroyWindow() {
    if (hwnd_) ::DestroyWindow(hwnd_);
}

bool CDialog::OnMessage(UINT, WPARAM, LPARAM, LRESULT&) { return false; }

bool CDialog::OnInitDialog() {
    UpdateData(false);
    return true;
}

bool CDialog::UpdateData(bool save) {
    if (!hwnd_) return false;
    DataExchange dx(hwnd_, save);
    DoDataExchange(dx);
    return true;
}

void CDialog::OnOK() {
    if (modal_) EndDialog(IDOK);
}

void CDialog::OnCancel() {
    if (modal_) EndDialog(IDCANCEL);
}

void CDialog::OnException() { EndDialog(IDCANCEL); }

void CDialog::EndAfterException(UINT msg) {
    // A window already being destroyed needs no ending; anything else must not go on half-done.
    if (!hwnd_ || msg == WM_DESTROY || msg == WM_NCDESTROY) return;
    try {
        OnException();
    } catch (...) {
        EndDialog(IDCANCEL);
    }
}

// Nothing may be thrown across the system's frames: the process would end (or, under Wine,
// hang in the crash handler). Code behind a dialog that throws ends that dialog instead.
INT_PTR CALLBACK CDialog::DialogProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
    CDialog* self = nullptr;
    if (msg == WM_INITDIALOG) {
        self = reinterpret_cast<CDialog*>(lparam);
        self->hwnd_ = hwnd;
        SetWindowLongPtrA(hwnd, DWLP_USER, reinterpret_cast<LONG_PTR>(self));
        try {
            return self->OnInitDialog() ? TRUE : FALSE;
        } catch (...) {
            self->EndAfterException(msg);
            return FALSE;
        }
    }
    self = reinterpret_cast<CDialog*>(GetWindowLongPtrA(hwnd, DWLP_USER));
    if (!self) return FALSE;
    INT_PTR handled = FALSE;
    try {
        handled = self->Dispatch(msg, wparam, lparam);
    } catch (...) {
        self->EndAfterException(msg);
        handled = TRUE;  // no default handling for a message whose handler broke off
    }
    if (msg == WM_NCDESTROY) {
        SetWindowLongPtrA(hwnd, DWLP_USER, 0);
        self->hwnd_ = nullptr;
    }
    return handled;
}

INT_PTR CDialog::Dispatch(UINT msg, WPARAM wparam, LPARAM lparam) {
    // Owner-drawn controls draw themselves when they answer the reflected request.
    if (msg == WM_DRAWITEM || msg == WM_MEASUREITEM) {
        HWND control = nullptr;
        if (msg == WM_DRAWITEM) {
            auto* item = reinterpret_cast<DRAWITEMSTRUCT*>(lparam);
            if (item->CtlType != ODT_MENU) control = item->hwndItem;
        } else if (wparam != 0) {
            control = GetDlgItem(hwnd_, static_cast<int>(wparam));
        }
        UINT reflected = msg == WM_DRAWITEM ? kReflectedDrawItem : kReflectedMeasureItem;
        if (control && SendMessageA(control, reflected, wparam, lparam)) {
            SetWindowLongPtrA(hwnd_, DWLP_MSGRESULT, TRUE);
            return TRUE;
        }
    }

    LRESULT result = 0;
    bool handled = OnMessage(msg, wparam, lparam, result);
    // Enter and Escape arrive as IDOK and IDCANCEL commands (from the keyboard or a button).
    if (!handled && msg == WM_COMMAND && HIWORD(wparam) == BN_CLICKED &&
        (LOWORD(wparam) == IDOK || LOWORD(wparam) == IDCANCEL)) {
        if (LOWORD(wparam) == IDOK) OnOK(); else OnCancel();
        handled = true;
    }
    if (!handled) return FALSE;
    if (ReturnsDirectly(msg)) return static_cast<INT_PTR>(result);
    if (hwnd_) SetWindowLongPtrA(hwnd_, DWLP_MSGRESULT, result);
    return TRUE;
}
