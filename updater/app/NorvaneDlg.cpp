#include "updater/app/NorvaneDlg.h"

#include <shellapi.h>

#include "common/process/ProcessToolkit.h"
#include "resources/ResourceIds.h"
#include "updater/app/HandOver.h"
#include "updater/app/UpdateMode.h"
#include "updater/data/UpdateInfoRules.h"
#include "updater/framework/KeyboardFocus.h"
#include "updater/framework/WinApp.h"
#include "updater/offers/UpdateLogQuery.h"
#include "updater/pages/PageLayout.h"
#include "updater/pages/Placement.h"
#include "updater/pages/SetupMessages.h"
#include "updater/platform/BasicHelpers.h"
#include "updater/platform/CommandLineText.h"
#include "updater/platform/DebugTrace.h"
#include "updater/platform/Launch.h"
#include "updater/platform/MessageWait.h"
#include "updater/platform/Shell.h"
#include "updater/platform/VersionCompare.h"

namespace {

// The agent waits this many days before it tells the user about an update again.
constexpr int kNoticePauseDays = 7;
constexpr int kToolbarOptionAntiPhishing = 1;
constexpr int kToolbarOptionCleaner = 2;
// How often the window looks whether the elevated copy has ended, and how long it waits for the
// copy's answer when the shell gave it no process to watch.
constexpr UINT_PTR kHandOverTimer = 0x4E48;
constexpr UINT kHandOverPollMs = 200;
constexpr DWORD kHandOverPatienceMs = 60000;
// Posted by the window to itself with its first show: finish what the first page did not need.
constexpr UINT kMsgFirstShown = WM_USER + 1010;

std::string WindowTitle() {
    char title[256];
    return framework::LoadResString(IDS_WINDOW_TITLE, title, sizeof(title));
}

}  // namespace

CNorvaneDlg::CNorvaneDlg(const std::string& product_name, int mode)
    : CDialog(IDD_UPDATE_WINDOW),
      product_settings_(ProductSettings::Read(product_name)),
      mode_(mode),
      flow_(*this, mode) {
    icon_ = LoadIconA(framework::ResourceHandle(), MAKEINTRESOURCEA(IDI_WINDOW));
}

CNorvaneDlg::~CNorvaneDlg() {
    if (hand_over_process_) CloseHandle(hand_over_process_);
    if (icon_) DestroyIcon(icon_);
}

bool CNorvaneDlg::OnInitDialog() {
    // The icons are set once the first page is on the screen (kMsgFirstShown): under some
    // display systems each one costs a round with the display before anything shows.
    SetWindowTextA(hwnd(), WindowTitle().c_str());
    if (mode_ != BgPrepare) {
        SetPropA(hwnd(), InstanceWindowProperty(product_settings_.product_name).c_str(),
                 reinterpret_cast<HANDLE>(1));
    }
    setup_options_.product_option.BuildProductOptions(product_settings_.product_name);

    if (mode_ == BgPrepare) {
        // The background preparation never shows the window.
        PrepareInBackground();
        EndDialog(IDCANCEL);
        return true;
    }
    if (mode_ == UpdateNotice || mode_ == AdminProgress) {
        // The instance that found or handed over the update left everything in files.
        setup_options_.LoadFromSetupOptionIni(product_settings_.product_name);
        if (!LoadUpdateInfo(update_info_, product_settings_.product_name)) {
            EndDialog(IDCANCEL);
            return true;
        }
    }
    FitToPageArea();
    ApplyRoundedOutline();
    PlaceCloseButton();
    // Only what the first page needs comes before the window shows; the other pages follow as
    // soon as it has been painted (kMsgFirstShown, posted with the first show).
    BuildPages(PagesNeededFirst(mode_));
    return true;
}

void CNorvaneDlg::PrepareInBackground() {
    const std::string& product = product_settings_.product_name;
    if (LoadUpdateInfo(update_info_, product)) PrepareLogoImage(update_info_);
    if (!setup_options_.LoadFromOptionFile(product)) return;
    if (setup_options_.medium.loaded) setup_options_.medium.DownloadSetup();
    setup_options_.option.DownloadEula();
    setup_options_.SaveToSetupOptionIni(product);
}

void CNorvaneDlg::FitToPageArea() {
    HWND placeholder = Item(IDC_PAGE_AREA);
    if (!placeholder) return;
    RECT area;
    GetWindowRect(placeholder, &area);
    MapWindowPoints(nullptr, hwnd(), reinterpret_cast<POINT*>(&area), 2);
    // The placeholder has the pages' template size in the same font, so it tells what the pages
    // need on this machine.
    const pagelayout::Size page = pagelayout::PageArea(
        ScreenDpi(), pagelayout::Size{area.right - area.left, area.bottom - area.top});
    SetWindowPos(placeholder, nullptr, 0, 0, page.width, page.height,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);

    // The window holds its title strip and the page area, nothing more.
    RECT client, window;
    GetClientRect(hwnd(), &client);
    GetWindowRect(hwnd(), &window);
    const int frame_width = (window.right - window.left) - client.right;
    const int frame_height = (window.bottom - window.top) - client.bottom;
    ResizeCentredOnWorkArea(hwnd(), area.left + page.width + frame_width,
                            area.top + page.height + frame_height);
}

void CNorvaneDlg::ApplyRoundedOutline() {
    RECT client;
    GetClientRect(hwnd(), &client);
    HRGN region = CreateRoundRectRgn(0, 0, client.right + 1, client.bottom + 1, 2, 2);
    if (region && !SetWindowRgn(hwnd(), region, TRUE)) DeleteObject(region);
}

void CNorvaneDlg::PlaceCloseButton() {
    HWND button = Item(IDC_CLOSE);
    if (!button) return;
    close_button_.Subclass(button);
    close_button_.LoadButtonBitmaps(IDB_CLOSE_NORMAL, IDB_CLOSE_PRESSED, IDB_CLOSE_HOVER,
                                    IDB_CLOSE_DISABLED);
    RECT client, rect;
    GetClientRect(hwnd(), &client);
    GetWindowRect(button, &rect);
    const int width = rect.right - rect.left;
    SetWindowPos(button, nullptr, client.right - width - 7, 6, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    // A picture says nothing to a screen reader: the button's window text names it.
    const std::string name = ResString(IDS_CLOSE_BUTTON);
    if (!name.empty()) SetWindowTextA(button, name.c_str());
}

int CNorvaneDlg::PagesNeededFirst(int mode) {
    const int first = PageFlow::FirstPageOf(mode);
    // The progress step starts the completion page's advertisement as it is entered: a mode
    // that starts there needs every page at once.
    if (first < 0 || first >= kProgressPage) return kPageCount;
    return first + 1;
}

bool CNorvaneDlg::BuildPages(int count) {
    const std::string& product = product_settings_.product_name;
    HWND window = hwnd();
    if (pages_.empty()) {
        loading_page_.SetInputs(product, &setup_options_);
        description_page_.SetInputs(&update_info_, &setup_options_.product_option);
        license_page_.SetLicense(&setup_options_.option);
        already_current_page_.SetUpdateInfo(update_info_);
    }
    // The licence and option pages show rich text.
    if (count > kOptionPage && !GetModuleHandleA("RICHED20.DLL")) LoadLibraryA("RICHED20.DLL");

    CDialog* pages[kPageCount] = {&loading_page_, &description_page_, &option_page_,
                                  &license_page_, &progress_page_, &complete_page_,
                                  &already_current_page_, &error_page_};
    RECT area = {};
    if (HWND placeholder = Item(IDC_PAGE_AREA)) {
        GetWindowRect(placeholder, &area);
        MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&area), 2);
    }
    // A page that cannot be created ends the list there, so that every index keeps its page;
    // the pages after it are not tried again.
    if (pages_.size() < static_cast<size_t>(built_until_)) return false;
    for (int index = built_until_; index < count && index < kPageCount; ++index) {
        built_until_ = index + 1;
        // Making a page takes a few tens of milliseconds: messages sent to the window meanwhile
        // (another program asking whether it answers) are answered between pages. Posted
        // messages and input stay queued, so nothing asks for a page before it exists.
        if (index > 0) AnswerSentMessages();
        if (!CreatePage(index, window)) return false;
        CDialog* page = pages[index];
        pages_.push_back(page);
        SetWindowPos(page->hwnd(), nullptr, area.left, area.top, area.right - area.left,
                     area.bottom - area.top, SWP_NOZORDER | SWP_NOACTIVATE);
        InvalidateRect(page->hwnd(), nullptr, TRUE);
    }
    return static_cast<int>(pages_.size()) >= count;
}

bool CNorvaneDlg::CreatePage(int index, HWND window) {
    switch (index) {
    case kLoadingPage: return loading_page_.Create(window);
    case kDescriptionPage:
        if (!description_page_.Create(window)) return false;
        description_page_.SetUpBitmaps();
        return true;
    case kOptionPage:
        return option_page_.SetUp(window, update_info_, &setup_options_.medium,
                                  &setup_options_.start_page, &setup_options_.setup_options,
                                  &setup_options_.product_option);
    case kLicensePage:
        if (!license_page_.Create(window)) return false;
        license_page_.SetUpBitmaps();
        return true;
    case kProgressPage:
        return progress_page_.SetUp(window, &setup_options_.start_page, &setup_options_.medium,
                                    update_info_.DownloadedPath, &setup_options_.setup_options);
    case kCompletePage:
        return complete_page_.SetUp(window, &update_info_, &setup_options_.end, product_settings_);
    case kAlreadyCurrentPage:
        if (!already_current_page_.Create(window)) return false;
        already_current_page_.SetUpBitmaps();
        return true;
    case kErrorPage:
        if (!error_page_.Create(window)) return false;
        error_page_.SetUpBitmaps();
        return true;
    default: return false;
    }
}

CDialog* CNorvaneDlg::Page(int index) const {
    return index >= 0 && index < static_cast<int>(pages_.size()) ? pages_[index] : nullptr;
}

bool CNorvaneDlg::OnMessage(UINT msg, WPARAM wparam, LPARAM lparam, LRESULT& result) {
    if (msg == HandOverTakenMessage()) {
        // Only the copy this window started speaks for the hand-over.
        if (flow_.awaiting_hand_over() && hand_over_pid_ != 0 && hand_over_pid_ != kNoProcessId &&
            static_cast<DWORD>(wparam) == hand_over_pid_) {
            StopWatchingHandOver();
            flow_.HandOverTaken();
        }
        return true;
    }
    if (msg == WM_TIMER && wparam == kHandOverTimer) return OnHandOverTimer();
    if (msg == WM_DESTROY) {
        RemovePropA(hwnd(), InstanceWindowProperty(product_settings_.product_name).c_str());
        return false;
    }
    if (msg == kMsgFirstShown) {
        // The first page is on the screen before the others are made, whatever else is queued.
        RedrawWindow(hwnd(), nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
        SendMessageA(hwnd(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_));
        SendMessageA(hwnd(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon_));
        BuildPages(kPageCount);
        return true;
    }
    if (IsSetupMessage(msg)) {
        // The setup program may know the window rather than the page: pass its reports on.
        if (progress_page_.hwnd()) PostMessageA(progress_page_.hwnd(), msg, wparam, lparam);
        return true;
    }
    switch (msg) {
    case kMsgNextPage:
        flow_.NextPage();
        return true;
    case kMsgAlreadyCurrent:
        flow_.ShowAlreadyCurrent();
        return true;
    case kMsgShowError:
        flow_.ShowError();
        return true;
    case kMsgSetupFailed:
        OnSetupFailed(wparam, static_cast<DWORD>(lparam));
        return true;
    case kMsgClose:
        if (setup_failed_ && flow_.current_page() == kErrorPage) {
            // The vendor learns of a failed setup as of any other update: the log goes out
            // with what the offers did (nothing ran after the setup).
            setup_failed_ = false;
            ShowWindow(hwnd(), SW_HIDE);
            SendUpdateLog();
        }
        flow_.Close();
        return true;
    case WM_CLOSE:
        // Alt+F4 and the system's close command go where the close button goes, and nowhere
        // while it is disabled.
        flow_.SystemClose();
        return true;
    case WM_COMMAND:
        if (LOWORD(wparam) == IDC_CLOSE && HIWORD(wparam) == BN_CLICKED) {
            PostMessageA(hwnd(), kMsgClose, 0, 0);
            return true;
        }
        return false;
    case WM_MOUSEMOVE:
        PostMessageA(hwnd(), WM_NCMOUSEMOVE, HTCAPTION, lparam);
        return false;
    case WM_LBUTTONDOWN:
        // The window has no caption: any point of its client area drags it.
        PostMessageA(hwnd(), WM_NCLBUTTONDOWN, HTCAPTION, lparam);
        return false;
    case WM_SHOWWINDOW:
        if (wparam && !flow_.first_show_done()) OnFirstShow();
        return false;
    case WM_QUERYDRAGICON:
        result = reinterpret_cast<LRESULT>(icon_);
        return true;
    case WM_PAINT:
        if (IsIconic(hwnd())) {
            PAINTSTRUCT paint;
            HDC dc = BeginPaint(hwnd(), &paint);
            SendMessageA(hwnd(), WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
            RECT client;
            GetClientRect(hwnd(), &client);
            const int x = (client.right - GetSystemMetrics(SM_CXICON) + 1) / 2;
            const int y = (client.bottom - GetSystemMetrics(SM_CYICON) + 1) / 2;
            DrawIcon(dc, x, y, icon_);
            EndPaint(hwnd(), &paint);
            return true;
        }
        return false;
    default:
        return false;
    }
}

void CNorvaneDlg::OnFirstShow() {
    BringWindowToForeground(hwnd());
    SetWindowPos(hwnd(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    SetWindowPos(hwnd(), HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    SetActiveWindow(hwnd());
    SetFocus(hwnd());
    flow_.OnFirstShow();
    // Messages posted from here are handled before any request the first page makes, and
    // before input: no page is asked for before it exists.
    PostMessageA(hwnd(), kMsgFirstShown, 0, 0);
}

void CNorvaneDlg::ForwardToCurrentPage(UINT command) {
    // Enter and Escape belong to the current page; with no page shown nothing happens.
    if (CDialog* page = Page(flow_.current_page())) {
        PostMessageA(page->hwnd(), WM_COMMAND, MAKEWPARAM(command, BN_CLICKED), 0);
    }
}

void CNorvaneDlg::OnOK() {
    // The dialog manager turns Enter into IDOK even on a focused owner-drawn button (it is
    // never a default button); Enter there must do what a click does, not move the update on.
    if (framework::ClickFocusedPushButton(hwnd())) return;
    ForwardToCurrentPage(IDOK);
}

void CNorvaneDlg::OnCancel() { ForwardToCurrentPage(IDCANCEL); }

std::string CNorvaneDlg::MainAppImage() const { return MainAppImageName(update_info_.MainApp); }

// ---- the page flow's facts and actions ----

bool CNorvaneDlg::InstalledVersionIsCurrent() {
    return CompareVersions(ReadProductVersion(update_info_.EngName), update_info_.NewVersion) >= 0;
}

bool CNorvaneDlg::ProductIsRunning() {
    return proctool::NamedMutexExists(update_info_.Mutex.c_str()) ||
           proctool::IsProcessRunningByExactName(MainAppImage().c_str());
}

bool CNorvaneDlg::NeedsElevatedCopy() { return IsVistaOrLater() && !IsProcessElevated(); }

bool CNorvaneDlg::LicenceMustBeShown() { return setup_options_.option.ShouldShowEula(); }

int CNorvaneDlg::AskLicencePage() {
    return license_page_.hwnd()
               ? static_cast<int>(SendMessageA(license_page_.hwnd(), kMsgLicenseQuery, 0, 0))
               : 0;
}

bool CNorvaneDlg::AskToCloseRunningProduct() {
    return OwnedMessageBox(hwnd(),
                           FormatResString(IDS_PRODUCT_RUNNING, update_info_.LocalName).c_str(),
                           ResString(IDS_PRODUCT_RUNNING_CAP).c_str(),
                           MB_OKCANCEL | MB_ICONINFORMATION) == IDOK;
}

bool CNorvaneDlg::ConfirmCancel() {
    return OwnedMessageBox(hwnd(), ResString(IDS_CANCEL_CONFIRM).c_str(), WindowTitle().c_str(),
                           MB_YESNO | MB_ICONQUESTION) == IDYES;
}

void CNorvaneDlg::ReportElevationRefused() {
    OwnedMessageBox(hwnd(), ResString(IDS_ELEVATION_REFUSED).c_str(), WindowTitle().c_str(),
                    MB_OK | MB_ICONERROR);
}

bool CNorvaneDlg::SaveSetupOptions() {
    return setup_options_.SaveToSetupOptionIni(product_settings_.product_name);
}

int CNorvaneDlg::StartElevatedCopy() {
    // The copy may run as another account (an administrator's password typed by a standard
    // user): it is told where this user's data lies, and which window waits for its answer.
    const std::string parameters =
        AdminProgressParameters(product_settings_.product_name, DataRoot(),
                                static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(hwnd())));
    StopWatchingHandOver();
    HANDLE process = nullptr;
    DWORD process_id = kNoProcessId;
    const int result =
        ShellExecuteKeepingProcess(&process, &process_id, OwnModulePath(), parameters, true);
    if (result > 32) {
        hand_over_process_ = process;
        hand_over_pid_ = process_id;
        WatchHandOver();
    } else if (process) {
        CloseHandle(process);
    }
    return result;
}

void CNorvaneDlg::WatchHandOver() {
    hand_over_started_ = GetTickCount();
    SetTimer(hwnd(), kHandOverTimer, kHandOverPollMs, nullptr);
}

void CNorvaneDlg::StopWatchingHandOver() {
    if (hwnd()) KillTimer(hwnd(), kHandOverTimer);
    if (hand_over_process_) CloseHandle(hand_over_process_);
    hand_over_process_ = nullptr;
    hand_over_pid_ = 0;
}

bool CNorvaneDlg::OnHandOverTimer() {
    if (!flow_.awaiting_hand_over()) {
        StopWatchingHandOver();
        return true;
    }
    bool ended = false;
    DWORD exit_code = 0;
    if (hand_over_process_) {
        if (WaitForSingleObject(hand_over_process_, 0) != WAIT_OBJECT_0) return true;
        GetExitCodeProcess(hand_over_process_, &exit_code);
        ended = true;
    } else if (GetTickCount() - hand_over_started_ < kHandOverPatienceMs) {
        // Without a process to watch only the copy's message can tell; it comes within moments
        // of its start or not at all.
        return true;
    }
    StopWatchingHandOver();
    if (IsDebugTraceEnabled()) {
        char text[96];
        wsprintfA(text, ended ? "Hand-over failed : the elevated copy ended with %lu"
                              : "Hand-over failed : no answer from the elevated copy",
                  exit_code);
        DebugTrace(text);
    }
    flow_.HandOverFailed();
    return true;
}

void CNorvaneDlg::OnSetupFailed(WPARAM failure, DWORD exit_code) {
    if (flow_.current_page() != kProgressPage || setup_failed_) return;
    setup_failed_ = true;
    if (failure == kSetupNotStarted) {
        error_page_.SetExplanation(ResString(IDS_SETUP_NOT_STARTED));
    } else {
        error_page_.SetExplanation(
            FormatResString(IDS_SETUP_NOT_FINISHED, std::to_string(exit_code)));
    }
    if (IsDebugTraceEnabled()) {
        char text[96];
        wsprintfA(text, "Setup failed : %lu, exit code %lu", static_cast<unsigned long>(failure),
                  static_cast<unsigned long>(exit_code));
        DebugTrace(text);
    }
    flow_.ShowError();
}

void CNorvaneDlg::CloseRunningProduct() {
    // UpdateInfo.ini is the user's to write: the name is matched whole, in this session only,
    // so that it can name no other program to end.
    proctool::CloseProcessesByExactName(MainAppImage().c_str());
}

void CNorvaneDlg::StartAdvertisement() {
    // The step's checks before it (processes, registry, rights) and the browser view it may make
    // each take a while: whoever asks whether the window answers is answered between them.
    AnswerSentMessages();
    complete_page_.RequestAddinAd();
}

void CNorvaneDlg::ClearNewProjectValues() {
    ::ClearNewProjectValues(product_settings_.product_name);
}

void CNorvaneDlg::SetAfterUpdateDay(bool clear) {
    ::SetAfterUpdateDay(product_settings_.product_name, clear, kNoticePauseDays);
}

void CNorvaneDlg::RefreshPagesAfterLoading() {
    if (LoadUpdateInfo(update_info_, product_settings_.product_name)) {
        PrepareLogoImage(update_info_);
    }
    description_page_.SetInputs(&update_info_, &setup_options_.product_option);
    option_page_.Refresh(update_info_);
    license_page_.SetLicense(&setup_options_.option);
    progress_page_.SetUp(nullptr, &setup_options_.start_page, &setup_options_.medium,
                         update_info_.DownloadedPath, &setup_options_.setup_options);
    complete_page_.Refresh(&update_info_, &setup_options_.end, product_settings_);
}

void CNorvaneDlg::RefreshAlreadyCurrentPage() {
    LoadUpdateInfo(update_info_, product_settings_.product_name);
    already_current_page_.SetUpdateInfo(update_info_);
}

void CNorvaneDlg::RunCompletionActions() {
    // The user has finished: the window goes at once rather than stand unanswering while the
    // programs below are started and the log is sent.
    ShowWindow(hwnd(), SW_HIDE);
    const CSetupOptions& choices = setup_options_.setup_options;
    // Everything started from here runs for the user: an elevated copy starts it with the
    // user's own token or not at all.
    if (choices.OpenOstreyWeb == 1) OpenWebPageForUser(ResString(IDS_OSTREY_WEB_ADDRESS));
    if (choices.RunAfterSetup == 1) {
        // Without a folder or a program name the path would name a folder, or a file at the
        // root of the current drive.
        // MainApp may name a subfolder, never a way out of the product's folder.
        const std::string folder = ReadProductRootDir(update_info_.EngName);
        const std::string main_app = MainAppRelativePath(update_info_.MainApp);
        const std::string program = JoinPath(folder, main_app);
        if (!folder.empty() && !main_app.empty() && FileExists(program)) {
            StartForUser(program, "");
        }
    }
    if (!update_info_.DownloadedPath.empty()) DeleteFileA(update_info_.DownloadedPath.c_str());
    SendUpdateLog();
    RestartAgent();
    RunCleaner();
}

void CNorvaneDlg::EnableCloseButton(bool enable) {
    if (HWND button = Item(IDC_CLOSE)) EnableWindow(button, enable ? TRUE : FALSE);
    // The taskbar's menu shows the same state as the button.
    if (HMENU menu = GetSystemMenu(hwnd(), FALSE)) {
        EnableMenuItem(menu, SC_CLOSE, MF_BYCOMMAND | (enable ? MF_ENABLED : MF_GRAYED));
    }
}

void CNorvaneDlg::SwitchPage(int from, int to) {
    if (CDialog* previous = Page(from)) ShowWindow(previous->hwnd(), SW_HIDE);
    CDialog* next = Page(to);
    if (!next) return;
    ShowWindow(next->hwnd(), SW_SHOW);
    // The page has put the focus where it wants it while being shown; where that control could
    // not take it (disabled) or the focus stayed behind on the page just hidden, the new page's
    // first control that can take it gets it.
    if (!framework::FocusIsUsableIn(next->hwnd())) framework::FocusFirstControl(next->hwnd());
}

void CNorvaneDlg::Post(PageRequest request) {
    UINT message = kMsgClose;
    switch (request) {
    case PageRequest::Next: message = kMsgNextPage; break;
    case PageRequest::AlreadyCurrent: message = kMsgAlreadyCurrent; break;
    case PageRequest::ShowError: message = kMsgShowError; break;
    case PageRequest::Close: message = kMsgClose; break;
    }
    PostMessageA(hwnd(), message, 0, 0);
}

void CNorvaneDlg::End(int result) { EndDialog(result); }

// ---- the end of an update ----

std::string CNorvaneDlg::UpdateLogQuery() const {
    const std::string& product = product_settings_.product_name;
    UpdateLogUpdate update;
    update.product = product;
    update.old_version = product_settings_.version;
    update.old_locale = product_settings_.locale;
    update.old_license = product_settings_.license_type;
    update.new_version = update_info_.NewVersion;
    update.new_locale = ReadProductLocale(product);
    update.new_license = ReadProductLicenseType(product);
    const ProductOption& options = setup_options_.product_option;
    UpdateLogToolbar toolbar;
    toolbar.antion = options.HasOption(kToolbarOptionAntiPhishing);
    toolbar.antiphishing = toolbar.antion && options.GetOptionState(kToolbarOptionAntiPhishing) != 0;
    return ComposeUpdateLogQuery(setup_options_.medium.LogOffer(), setup_options_.end.LogOffer(),
                                 update, toolbar);
}

void CNorvaneDlg::SendUpdateLog() { setup_options_.option.SendUpdateLog(UpdateLogQuery()); }

void CNorvaneDlg::RestartAgent() {
    const std::string folder = ReadProductRootDir("Dravel");
    if (folder.empty()) return;
    // The agent stays resident and starts every later Norvane: it must never keep our rights.
    StartForUser(JoinPath(folder, "Dravel.exe"), "/AlwaysOnTop Ostrey");
}

void CNorvaneDlg::RunCleaner() {
    if (setup_options_.product_option.GetOptionState(kToolbarOptionCleaner) == 0) return;
    const std::string folder = ReadProductRootDir("Wendle");
    if (folder.empty()) return;
    StartForUser(JoinPath(folder, "Scourel.exe"), "-fb");
}
