#pragma once
// Norvane's only top-level window: a borderless dialog with a rounded outline, a close button
// and a page area in which one of eight pages is visible. It owns the product's update
// information, settings, the setup-option store and the pages, decides which page comes next
// (through PageFlow), hands the installing step to an elevated copy where needed and, at the end
// of an update, starts the product, logs the result and restarts the agent.
#include <windows.h>

#include <string>
#include <vector>

#include "updater/app/PageFlow.h"
#include "updater/data/ProductSettings.h"
#include "updater/data/UpdateInfo.h"
#include "updater/framework/Dialog.h"
#include "updater/offers/SetupOptionManager.h"
#include "updater/controls/ImageButton.h"
#include "updater/pages/LicenseAgreementDlg.h"
#include "updater/pages/PageMessages.h"
#include "updater/pages/UpdateAlreadyUseDlg.h"
#include "updater/pages/UpdateCompleteDlg.h"
#include "updater/pages/UpdateDescDlg.h"
#include "updater/pages/UpdateLoadingDlg.h"
#include "updater/pages/UpdateOptionDlg.h"
#include "updater/pages/UpdateProgressDlg.h"

class CNorvaneDlg : public CDialog, private PageFlowHost {
public:
    CNorvaneDlg(const std::string& product_name, int mode);
    ~CNorvaneDlg() override;

    int mode() const { return mode_; }
    int current_page() const { return flow_.current_page(); }
    const ProductSettings& product_settings() const { return product_settings_; }
    const CUpdateInfo& update_info() const { return update_info_; }
    CSetupOptionManager& setup_options() { return setup_options_; }

    // The update log's query: middle offer, end offer, update and, for the toolbar, its options.
    std::string UpdateLogQuery() const;

protected:
    bool OnInitDialog() override;
    bool OnMessage(UINT msg, WPARAM wparam, LPARAM lparam, LRESULT& result) override;
    void OnOK() override;
    void OnCancel() override;

private:
    // "/bgprepare": update information, logo, option file, the middle offer's setup and the
    // licence text, all saved for the instance that shows the update.
    void PrepareInBackground();
    // Sizes the page area for this screen's DPI and font, the window around it, and centres the
    // window on its monitor's work area.
    void FitToPageArea();
    void ApplyRoundedOutline();
    void PlaceCloseButton();
    // Creates the pages up to (not including) index `count` that are not made yet, in index
    // order; false when one could not be created (the list ends before it).
    bool BuildPages(int count);
    bool CreatePage(int index, HWND window);
    // How many pages (from the first) a mode needs before its window shows.
    static int PagesNeededFirst(int mode);
    void OnFirstShow();
    void ForwardToCurrentPage(UINT command);
    CDialog* Page(int index) const;
    std::string MainAppImage() const;

    // The elevated copy started for the progress step, watched until it takes over or ends.
    void WatchHandOver();
    void StopWatchingHandOver();
    bool OnHandOverTimer();
    void SendUpdateLog();
    // The progress page's word that the setup failed: the error page says how.
    void OnSetupFailed(WPARAM failure, DWORD exit_code);
    void RestartAgent();
    void RunCleaner();

    // PageFlowHost
    int PageCount() const override { return static_cast<int>(pages_.size()); }
    bool InstalledVersionIsCurrent() override;
    bool ProductIsRunning() override;
    bool NeedsElevatedCopy() override;
    bool LicenceMustBeShown() override;
    int AskLicencePage() override;
    bool AskToCloseRunningProduct() override;
    bool ConfirmCancel() override;
    void ReportElevationRefused() override;
    bool SaveSetupOptions() override;
    int StartElevatedCopy() override;
    void CloseRunningProduct() override;
    void StartAdvertisement() override;
    void ClearNewProjectValues() override;
    void SetAfterUpdateDay(bool clear) override;
    void RefreshPagesAfterLoading() override;
    void RefreshAlreadyCurrentPage() override;
    void RunCompletionActions() override;
    void EnableCloseButton(bool enable) override;
    void SwitchPage(int from, int to) override;
    void Post(PageRequest request) override;
    void End(int result) override;

    HICON icon_ = nullptr;
    ImageButton close_button_;
    ProductSettings product_settings_;
    int mode_;
    CSetupOptionManager setup_options_;
    CUpdateInfo update_info_;
    PageFlow flow_;
    std::vector<CDialog*> pages_;  // created pages in index order; not owned
    int built_until_ = 0;          // pages below this index have been tried
    CUpdateLoadingDlg loading_page_;
    CUpdateDescDlg description_page_;
    CUpdateOptionDlg option_page_;
    CLicenseAgreementDlg license_page_;
    CUpdateProgressDlg progress_page_;
    CUpdateCompleteDlg complete_page_;
    CUpdateAlreadyUseDlg already_current_page_;
    CUpdateErrorDlg error_page_;
    HANDLE hand_over_process_ = nullptr;
    DWORD hand_over_pid_ = 0;
    DWORD hand_over_started_ = 0;
    // The error page tells of a failed setup; closing it sends the update log.
    bool setup_failed_ = false;
};
