#include "updater/pages/EndInstallProgressDlg.h"

#include <commctrl.h>

#include "resources/ResourceIds.h"
#include "updater/pages/Placement.h"
#include "updater/offers/AdditionalInstall.h"
#include "updater/pages/UpdatePage.h"

namespace {
constexpr UINT_PTR kStartTimer = IDC_RUNTIME_CHILD;  // 1224
constexpr UINT kStartDelayMs = 100;
}  // namespace

CEndInstallProgressDlg::CEndInstallProgressDlg(CEndInstall* end_offer)
    : CDialog(IDD_END_OFFER_DOWNLOAD), end_offer_(end_offer) {}

STDMETHODIMP CEndInstallProgressDlg::QueryInterface(REFIID iid, void** object) {
    if (!object) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IBindStatusCallback)) {
        *object = static_cast<IBindStatusCallback*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) CEndInstallProgressDlg::AddRef() {
    return static_cast<ULONG>(InterlockedIncrement(&reference_count_));
}

STDMETHODIMP_(ULONG) CEndInstallProgressDlg::Release() {
    const LONG count = InterlockedDecrement(&reference_count_);
    if (count == 0) delete this;
    return static_cast<ULONG>(count);
}

void CEndInstallProgressDlg::DoDataExchange(DataExchange& dx) {
    DDX_Text(dx, IDC_END_OFFER_CAPTION, caption_text_);
}

bool CEndInstallProgressDlg::OnInitDialog() {
    if (end_offer_) {
        caption_text_ = FormatResString(IDS_END_OFFER_CAPTION, end_offer_->selected.ProductLocalName);
    }
    // Its owner is the completion page; the box belongs over the update window, wherever that
    // has been dragged, not in the middle of the screen.
    if (HWND owner = GetParent(hwnd())) CentreOnOwner(hwnd(), owner);
    return CDialog::OnInitDialog();
}

STDMETHODIMP CEndInstallProgressDlg::OnProgress(ULONG progress, ULONG progress_max, ULONG status,
                                                LPCWSTR) {
    if (cancel_requested_) return E_ABORT;
    if (status >= BINDSTATUS_BEGINDOWNLOADDATA && status <= BINDSTATUS_ENDDOWNLOADDATA) {
        HWND bar = Item(IDC_END_OFFER_PROGRESS);
        SendMessageA(bar, PBM_SETRANGE32, 0, static_cast<LPARAM>(progress_max));
        SendMessageA(bar, PBM_SETPOS, progress, 0);
    }
    // The download blocks this thread; the dialog lives on through these calls. Enter and
    // Escape go through the dialog manager so that they reach OnOK and OnCancel.
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(message.wParam));
            break;
        }
        if (hwnd() && IsDialogMessageA(hwnd(), &message)) continue;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return S_OK;
}

void CEndInstallProgressDlg::RunOffer() {
    if (end_offer_ && end_offer_->loaded && end_offer_->selected.CheckboxUserState == 1) {
        end_offer_->InstallWithProgress(this);
    }
    EndDialog(1);
}

bool CEndInstallProgressDlg::OnMessage(UINT msg, WPARAM wparam, LPARAM, LRESULT&) {
    switch (msg) {
    case WM_SHOWWINDOW:
        // The box is shown again whenever its owner is restored, the offer's setup still
        // running: the offer starts once, on the first showing only.
        if (wparam && end_offer_ && !offer_started_) {
            SetTimer(hwnd(), kStartTimer, kStartDelayMs, nullptr);
        }
        return false;
    case WM_TIMER:
        if (wparam != kStartTimer) return false;
        KillTimer(hwnd(), kStartTimer);
        if (offer_started_) return true;
        offer_started_ = true;
        RunOffer();
        return true;
    default:
        return false;
    }
}
