#pragma once
// The installing step: starts the product's setup program silently with this page's window
// handle, moves the progress bar from the messages the setup program posts back, and at its end
// lets the middle offer and the start-page offer do their part before the window moves on.
#include <windows.h>

#include <string>

#include "common/ScopedHandle.h"
#include "updater/controls/ExStatic.h"
#include "updater/pages/UpdatePage.h"

class CMediumInstall;
class CStartPageWorker;
class CSetupOptions;

class CUpdateProgressDlg : public CUpdatePage {
public:
    CUpdateProgressDlg();

    // Stores the inputs (and, with a parent, creates the page); false when creation fails.
    bool SetUp(HWND parent, CStartPageWorker* start_page_worker, CMediumInstall* medium_offer,
               const std::string& setup_path, CSetupOptions* setup_options);

    // The setup program's parameters for this page's window and the icon choices.
    static std::string SetupParameters(HWND page, const CSetupOptions& options);
    DWORD setup_process_id() const { return setup_process_id_; }

protected:
    bool OnMessage(UINT msg, WPARAM wparam, LPARAM lparam, LRESULT& result) override;

private:
    void OnShown() override;
    bool StartSetup();
    void OnSetupFinished();
    // A look at the setup process: once it has ended without reporting its end, the update
    // is closed as when the setup could not be started.
    void WatchSetup();
    // Tells the window the setup failed (a SetupFailure and the setup's exit code); the page
    // then takes no further report of the setup.
    void ReportFailure(WPARAM failure, DWORD exit_code);
    // The user chose the middle offer on the option page.
    bool MiddleOfferChosen() const;

    std::string setup_path_;
    CMediumInstall* medium_offer_ = nullptr;
    CStartPageWorker* start_page_worker_ = nullptr;
    CSetupOptions* setup_options_ = nullptr;
    DWORD setup_process_id_ = 0;
    ScopedHandle setup_process_;
    // The setup process was seen ended while its end report may still have been on its way.
    bool setup_end_seen_ = false;
    bool finished_ = false;
    bool middle_offer_decided_ = false;
    bool middle_offer_before_setup_ = false;
    CExStatic heading_;
};
