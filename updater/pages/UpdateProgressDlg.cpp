#include "updater/pages/UpdateProgressDlg.h"

#include <commctrl.h>

#include <cstdio>

#include "resources/ResourceIds.h"
#include "updater/offers/AdditionalInstall.h"
#include "updater/offers/SetupOptions.h"
#include "updater/offers/StartPageWorker.h"
#include "updater/pages/SetupMessages.h"
#include "updater/platform/CommandLineText.h"
#include "updater/platform/Launch.h"

namespace {
// The setup program's own messages when it reports to the page directly.
constexpr UINT kMsgSetupRange = WM_USER + 1;
constexpr UINT kMsgSetupPosition = WM_USER + 2;
constexpr UINT kMsgSetupFinished = WM_USER + 4;

// Looks at the setup process while the page waits for the setup's end.
constexpr UINT_PTR kSetupWatchTimer = 0x5E7;
constexpr UINT kSetupWatchPeriodMs = 500;
}  // namespace

CUpdateProgressDlg::CUpdateProgressDlg() : CUpdatePage(IDD_PROGRESS_PAGE) {}

bool CUpdateProgressDlg::SetUp(HWND parent, CStartPageWorker* start_page_worker,
                               CMediumInstall* medium_offer, const std::string& setup_path,
                               CSetupOptions* setup_options) {
    start_page_worker_ = start_page_worker;
    medium_offer_ = medium_offer;
    setup_path_ = setup_path;
    setup_options_ = setup_options;
    if (!parent || hwnd()) return true;
    return Create(parent);
}

std::string CUpdateProgressDlg::SetupParameters(HWND page, const CSetupOptions& options) {
    return SetupParameterText(static_cast<int>(reinterpret_cast<INT_PTR>(page)),
                              options.CreateDesktopIcon, options.CreateStartMenuIcon,
                              options.CreateQuickLaunchIcon);
}

bool CUpdateProgressDlg::MiddleOfferChosen() const {
    return medium_offer_ && medium_offer_->loaded && medium_offer_->selected.CheckboxUserState == 1;
}

void CUpdateProgressDlg::OnShown() {
    if (!heading_.hwnd()) heading_.SubclassDlgItem(IDC_PROGRESS_HEADING, hwnd());
    SetHeadingStyle(heading_);
    SetFocus(hwnd());
    // Switching the toolbar back on is done before the product's own setup. Whether it runs
    // before or after is decided here, once: asked again after the setup, a toolbar switched
    // on meanwhile would be installed a second time and its result overwritten.
    if (!middle_offer_decided_) {
        middle_offer_decided_ = true;
        middle_offer_before_setup_ = MiddleOfferChosen() && medium_offer_->RunsBeforeSetup();
        if (middle_offer_before_setup_) medium_offer_->Install();
    }
    if (!StartSetup()) ReportFailure(kSetupNotStarted, 0);
}

bool CUpdateProgressDlg::StartSetup() {
    CSetupOptions no_icons;
    no_icons.CreateDesktopIcon = no_icons.CreateStartMenuIcon = no_icons.CreateQuickLaunchIcon = 0;
    const std::string parameters =
        SetupParameters(hwnd(), setup_options_ ? *setup_options_ : no_icons);
    DWORD process_id = kNoProcessId;
    HANDLE process = nullptr;
    const int result =
        ShellExecuteKeepingProcess(&process, &process_id, setup_path_, parameters, true);
    setup_process_.reset(process);
    setup_process_id_ = process_id == kNoProcessId ? 0 : process_id;
    setup_end_seen_ = false;
    if (result <= 32) return false;
    // A setup that crashes or ends without its report would leave the page waiting for ever.
    if (setup_process_.valid()) SetTimer(hwnd(), kSetupWatchTimer, kSetupWatchPeriodMs, nullptr);
    return true;
}

void CUpdateProgressDlg::WatchSetup() {
    if (finished_ || !setup_process_.valid()) {
        KillTimer(hwnd(), kSetupWatchTimer);
        return;
    }
    if (WaitForSingleObject(setup_process_.get(), 0) != WAIT_OBJECT_0) return;
    // Whatever the setup posted before it ended is queued by now, perhaps behind this tick,
    // and a report to the window is passed on to the page with one more post. The system
    // makes a timer message only when no posted message waits, so by the next tick every one
    // of them has been handled.
    if (!setup_end_seen_) {
        setup_end_seen_ = true;
        return;
    }
    KillTimer(hwnd(), kSetupWatchTimer);
    DWORD exit_code = 0;
    if (!GetExitCodeProcess(setup_process_.get(), &exit_code)) exit_code = 0;
    setup_process_.reset();
    // Without its end report nothing says the product was updated: a crash, or a setup that
    // gave up before reporting, must not be shown as an update that went well.
    ReportFailure(kSetupNotFinished, exit_code);
}

void CUpdateProgressDlg::ReportFailure(WPARAM failure, DWORD exit_code) {
    if (finished_) return;
    finished_ = true;
    PostToWindow(kMsgSetupFailed, failure, static_cast<LPARAM>(exit_code));
}

void CUpdateProgressDlg::OnSetupFinished() {
    // The setup may report its end twice (directly and through the window); the offers run once.
    if (finished_) return;
    finished_ = true;
    KillTimer(hwnd(), kSetupWatchTimer);
    setup_process_.reset();
    if (MiddleOfferChosen() && !middle_offer_before_setup_) medium_offer_->Install();
    if (start_page_worker_) start_page_worker_->Run(start_page_worker_->info.CheckboxUserState);
    PostToWindow(kMsgNextPage);
}

bool CUpdateProgressDlg::OnMessage(UINT msg, WPARAM wparam, LPARAM lparam, LRESULT& result) {
    HWND bar = Item(IDC_PROGRESS_BAR);
    const SetupMessages& setup = RegisteredSetupMessages();
    if (IsSetupMessage(msg)) {
        result = 0;
        // Only the setup program this page started may move the bar or end the step.
        if (setup_process_id_ == 0 || static_cast<DWORD>(wparam) != setup_process_id_) return true;
        if (msg == setup.progress_length) {
            SendMessageA(bar, PBM_SETRANGE32, 0, lparam);
        } else if (msg == setup.progress_position) {
            SendMessageA(bar, PBM_SETPOS, static_cast<WPARAM>(lparam), 0);
        } else {
            OnSetupFinished();
        }
        return true;
    }
    switch (msg) {
    case kMsgSetupRange:
        SendMessageA(bar, PBM_SETRANGE32, 0, lparam);
        result = 0;
        return true;
    case kMsgSetupPosition:
        SendMessageA(bar, PBM_SETPOS, wparam, 0);
        result = 0;
        return true;
    case kMsgSetupFinished:
        OnSetupFinished();
        result = 0;
        return true;
    case WM_TIMER:
        if (wparam != kSetupWatchTimer) return false;
        WatchSetup();
        result = 0;
        return true;
    default:
        return CUpdatePage::OnMessage(msg, wparam, lparam, result);
    }
}
