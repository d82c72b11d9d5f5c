#pragma once
// Norvane's only top-level window: a borderless dialog with a rounded outline, a close button
// and a page area. It owns the product's update information, settings and setup-option store.
// The background preparation runs here completely; the eight pages, the page flow and the
// completion actions arrive with the update pages, so for now the window shows no page.
#include <windows.h>

#include <string>

#include "updater/data/ProductSettings.h"
#include "updater/data/UpdateInfo.h"
#include "updater/framework/Dialog.h"
#include "updater/offers/SetupOptionManager.h"
#include "updater/pages/ImageButton.h"

// Requests the pages post to the window.
constexpr UINT kMsgNextPage = WM_USER + 1000;
constexpr UINT kMsgAlreadyCurrent = WM_USER + 1001;
constexpr UINT kMsgShowError = WM_USER + 1002;
constexpr UINT kMsgClose = WM_USER + 1003;
constexpr UINT kMsgLicenseQuery = WM_USER + 1100;

class CNorvaneDlg : public CDialog {
public:
    CNorvaneDlg(const std::string& product_name, int mode);
    ~CNorvaneDlg() override;

    int mode() const { return mode_; }
    int current_page() const { return current_page_; }
    const ProductSettings& product_settings() const { return product_settings_; }
    const CUpdateInfo& update_info() const { return update_info_; }
    CSetupOptionManager& setup_options() { return setup_options_; }

protected:
    bool OnInitDialog() override;
    bool OnMessage(UINT msg, WPARAM wparam, LPARAM lparam, LRESULT& result) override;
    void OnOK() override;
    void OnCancel() override;

private:
    // "/bgprepare": update information, logo, option file, the middle offer's setup and the
    // licence text, all saved for the instance that shows the update.
    void PrepareInBackground();
    void ApplyRoundedOutline();
    void PlaceCloseButton();
    void Close();
    void OnFirstShow();
    void ForwardToCurrentPage(UINT command);

    HICON icon_ = nullptr;
    ImageButton close_button_;
    ProductSettings product_settings_;
    int mode_;
    CSetupOptionManager setup_options_;
    CUpdateInfo update_info_;
    bool confirm_close_ = true;
    int current_page_ = -1;
    bool first_show_done_ = false;
};
