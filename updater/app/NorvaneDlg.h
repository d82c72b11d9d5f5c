#pragma once
// Norvane's only top-level window: a borderless dialog with a rounded outline, a close button
// and a page area. The eight pages, the page flow and the completion actions arrive with the
// update pages; for now the window runs empty in modes 0 to 2, so that start-up, the mutex and
// the language module are exercised end to end.
#include <windows.h>

#include <string>

#include "updater/data/ProductSettings.h"
#include "updater/framework/Dialog.h"

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

protected:
    bool OnInitDialog() override;
    bool OnMessage(UINT msg, WPARAM wparam, LPARAM lparam, LRESULT& result) override;
    void OnOK() override;
    void OnCancel() override;

private:
    void ApplyRoundedOutline();
    void PlaceCloseButton();
    void Close();
    void OnFirstShow();
    void ForwardToCurrentPage(UINT command);

    HICON icon_ = nullptr;
    ProductSettings product_settings_;
    int mode_;
    bool confirm_close_ = true;
    int current_page_ = -1;
    bool first_show_done_ = false;
};
