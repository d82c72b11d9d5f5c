#include "updater/pages/UpdateLoadingDlg.h"

#include "resources/ResourceIds.h"
#include "updater/data/UpdateInfo.h"
#include "updater/offers/SetupOptionManager.h"
#include "updater/platform/BasicHelpers.h"
#include "updater/platform/Launch.h"
#include "updater/platform/Shell.h"

namespace {
constexpr UINT_PTR kCheckTimer = IDC_RUNTIME_CHILD;  // 1224
constexpr UINT kCheckDelayMs = 500;
// Timer messages come after the page's paint: the animation's frames are decoded once the
// page is on the screen, not before.
constexpr UINT_PTR kAnimationTimer = IDC_RUNTIME_CHILD + 1;
}  // namespace

CUpdateLoadingDlg::CUpdateLoadingDlg() : CUpdatePage(IDD_LOADING_PAGE) {}

UINT CUpdateLoadingDlg::RequestForUpdated(const std::string& updated) {
    if (lstrcmpiA(updated.c_str(), "1") == 0) return kMsgNextPage;
    if (lstrcmpiA(updated.c_str(), "0") == 0) return kMsgAlreadyCurrent;
    return kMsgShowError;
}

bool CUpdateLoadingDlg::OnMessage(UINT msg, WPARAM wparam, LPARAM lparam, LRESULT& result) {
    switch (msg) {
    case WM_TIMER:
        if (wparam == kAnimationTimer) {
            KillTimer(hwnd(), kAnimationTimer);
            StartAnimation();
            return true;
        }
        if (wparam != kCheckTimer) return false;
        // Once per showing: the check is a one-off that ends in exactly one request.
        KillTimer(hwnd(), kCheckTimer);
        RunCheck();
        return true;
    default:
        return CUpdatePage::OnMessage(msg, wparam, lparam, result);
    }
}

void CUpdateLoadingDlg::OnShown() {
    if (!picture_created_) SetTimer(hwnd(), kAnimationTimer, 1, nullptr);
    SetFocus(hwnd());
    SetTimer(hwnd(), kCheckTimer, kCheckDelayMs, nullptr);
}

void CUpdateLoadingDlg::StartAnimation() {
    if (!picture_created_) {
        picture_created_ = true;
        HWND control = CreateWindowExA(0, "STATIC", "loading_gif", WS_CHILD | WS_VISIBLE, 0, 0, 0,
                                       0, hwnd(), reinterpret_cast<HMENU>(IDC_RUNTIME_CHILD),
                                       GetModuleHandleA(nullptr), nullptr);
        // Without the animation the check still runs.
        if (control && picture_.Subclass(control) && picture_.LoadFromResource()) {
            RECT client;
            GetClientRect(hwnd(), &client);
            SetWindowPos(control, nullptr, (client.right - picture_.width()) / 2,
                         (client.bottom - picture_.height()) / 2 + 30, 0, 0,
                         SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
            picture_.StartPlayback();
        }
    }
}

void CUpdateLoadingDlg::RunCheck() {
    const std::string agent = JoinPath(ParentFolder(OwnModulePath()), "Dravel.exe");
    // The wait dispatches this thread's messages, so the page keeps painting meanwhile.
    const int started =
        ShellExecuteAndWait(nullptr, agent, "/checkupdate " + product_, true, false);
    const std::string info_path = UpdateInfoPath(product_);
    if (started <= 32 || !FileExists(info_path)) {
        PostToWindow(kMsgShowError);
        return;
    }
    char updated[2048] = {};
    GetPrivateProfileStringA("ProductInfo", "Updated", "", updated, sizeof(updated),
                             info_path.c_str());
    UINT request = RequestForUpdated(updated);
    if (request == kMsgNextPage) {
        if (setup_options_ && setup_options_->LoadFromOptionFile(product_)) {
            setup_options_->option.DownloadEula();
        } else {
            request = kMsgShowError;
        }
    }
    PostToWindow(request);
}
