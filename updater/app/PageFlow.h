#pragma once
// The update window's page flow as a model without windows: which page comes next, what the
// progress step checks before it is entered, and what closing does on each page. The window
// (CNorvaneDlg) supplies the facts and carries out the actions through PageFlowHost; tests
// drive the same model with a host of their own.
//
// No Windows header here: the model also builds natively.

// Page indices, in the order the window creates its pages.
enum PageIndex : int {
    kLoadingPage = 0,
    kDescriptionPage = 1,
    kOptionPage = 2,
    kLicensePage = 3,
    kProgressPage = 4,
    kCompletePage = 5,
    kAlreadyCurrentPage = 6,
    kErrorPage = 7,
    kPageCount = 8,
};

// Results the window ends with (the dialog's IDOK and IDCANCEL).
constexpr int kEndOk = 1;
constexpr int kEndCancel = 2;

// Requests a page or the flow posts to the window.
enum class PageRequest { Next, AlreadyCurrent, ShowError, Close };

// Shell result of an elevation the user refused.
constexpr int kElevationRefused = 5;

class PageFlowHost {
public:
    virtual ~PageFlowHost() = default;

    // Facts.
    virtual int PageCount() const = 0;
    // The installed version is equal to or newer than the update's.
    virtual bool InstalledVersionIsCurrent() = 0;
    virtual bool ProductIsRunning() = 0;
    // Windows Vista or later, and this process is not elevated.
    virtual bool NeedsElevatedCopy() = 0;
    virtual bool LicenceMustBeShown() = 0;
    // The licence page's answer to the window's question whether it may be left (1: stay).
    virtual int AskLicencePage() = 0;

    // Questions to the user.
    // The product is running: may it be closed? (OK true, Cancel false)
    virtual bool AskToCloseRunningProduct() = 0;
    // Cancel the update? (Yes true)
    virtual bool ConfirmCancel() = 0;
    virtual void ReportElevationRefused() = 0;

    // Actions.
    // False when the store could not be written whole.
    virtual bool SaveSetupOptions() = 0;
    // Starts the elevated copy; the shell's result (above 32 success, 5 refused). After a
    // success the host watches the copy and reports through HandOverTaken or HandOverFailed.
    virtual int StartElevatedCopy() = 0;
    virtual void CloseRunningProduct() = 0;
    virtual void StartAdvertisement() = 0;
    virtual void ClearNewProjectValues() = 0;
    // The agent waits a week (clear false) or notifies again as it likes (clear true).
    virtual void SetAfterUpdateDay(bool clear) = 0;
    // Loads the update information after the loading page and hands it to the pages.
    virtual void RefreshPagesAfterLoading() = 0;
    // Loads the update information again for the already-current page.
    virtual void RefreshAlreadyCurrentPage() = 0;
    // Product start, setup removal, update log, agent restart, cleaner: the end of an update.
    virtual void RunCompletionActions() = 0;
    virtual void EnableCloseButton(bool enable) = 0;
    // Hides page `from` (when it is a page) and shows page `to`.
    virtual void SwitchPage(int from, int to) = 0;
    virtual void Post(PageRequest request) = 0;
    virtual void End(int result) = 0;
};

class PageFlow {
public:
    PageFlow(PageFlowHost& host, int mode) : host_(host), mode_(mode) {}

    int current_page() const { return current_; }
    bool confirm_close() const { return confirm_close_; }
    bool first_show_done() const { return first_show_done_; }
    // Whether the window's close button is enabled, as the flow last set it.
    bool close_enabled() const { return close_enabled_; }

    // The window is shown for the first time: the first page of the mode.
    void OnFirstShow();
    void ShowPage(int page);
    // WM_USER+1000: only while the current page is before the completion page.
    void NextPage();
    void ShowAlreadyCurrent();
    void ShowError();
    void Close();
    // The system's close command (Alt+F4, the taskbar's close): what the close button does,
    // and nothing while the button is disabled.
    void SystemClose();

    // The elevated copy has started; this copy waits, its window answering, to learn whether
    // the copy took over (then it ends) or could not (then it shows the error page). Meanwhile
    // page requests and closing are ignored: the copy may take the step over at any moment.
    bool awaiting_hand_over() const { return awaiting_hand_over_; }
    void HandOverTaken();
    void HandOverFailed();

    // The first page of a mode, -1 when the mode shows no page.
    static int FirstPageOf(int mode);

private:
    // The checks of the progress step; false when the step is not entered.
    bool EnterProgressStep(bool* skip_preparation);
    void Switch(int page);
    void EnableCloseButton(bool enable);

    PageFlowHost& host_;
    int mode_;
    int current_ = -1;
    bool confirm_close_ = true;
    bool first_show_done_ = false;
    // The template's button starts enabled.
    bool close_enabled_ = true;
    bool awaiting_hand_over_ = false;
};
