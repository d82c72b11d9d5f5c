#pragma once
// The option step: what the update brings and what the setup program will do. The page creates
// itself from its template when the window sets it up.
#include <string>

#include "updater/data/UpdateInfo.h"
#include "updater/pages/ImageButton.h"
#include "updater/pages/UpdatePage.h"

class CMediumInstall;
class CStartPageWorker;
class CSetupOptions;
class ProductOption;

class CUpdateOptionDlg : public CUpdatePage {
public:
    CUpdateOptionDlg();

    // Stores the inputs and creates the page; false without the offer objects or when the
    // dialog cannot be created.
    bool SetUp(HWND parent, const UpdateInfoFields& product, CMediumInstall* medium_offer,
               CStartPageWorker* start_page_worker, CSetupOptions* setup_options,
               ProductOption* option_store);
    // Takes a fresh copy of the update information and prepares the page again.
    void Refresh(const UpdateInfoFields& product);

protected:
    bool OnMessage(UINT msg, WPARAM wparam, LPARAM lparam, LRESULT& result) override;
    void OnOK() override;
    void OnCancel() override { PostToWindow(kMsgClose); }

private:
    UpdateInfoFields product_;
    CMediumInstall* medium_offer_ = nullptr;
    CStartPageWorker* start_page_worker_ = nullptr;
    CSetupOptions* setup_options_ = nullptr;
    ProductOption* option_store_ = nullptr;
    ImageButton next_button_;
};
