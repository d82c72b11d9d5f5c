#pragma once
// The last step: the update is done; may offer one more product and shows the vendor's
// advertisement page.
#include <windows.h>

#include "updater/data/ProductSettings.h"
#include "updater/pages/ImageButton.h"
#include "updater/pages/UpdatePage.h"

class CUpdateInfo;
class CEndInstall;

class CUpdateCompleteDlg : public CUpdatePage {
public:
    CUpdateCompleteDlg();

    // Creates the page (the first time) and takes its inputs.
    bool SetUp(HWND parent, CUpdateInfo* update_info, CEndInstall* end_offer,
               const ProductSettings& ad_product);
    // Takes fresh inputs only.
    void Refresh(CUpdateInfo* update_info, CEndInstall* end_offer, const ProductSettings& ad_product);
    // The installing step has started: the advertisement may begin loading.
    void RequestAddinAd();

protected:
    bool OnMessage(UINT msg, WPARAM wparam, LPARAM lparam, LRESULT& result) override;
    void OnOK() override { PostToWindow(kMsgClose); }
    void OnCancel() override { PostToWindow(kMsgClose); }

private:
    CUpdateInfo* update_info_ = nullptr;
    CEndInstall* end_offer_ = nullptr;
    ProductSettings ad_product_;
    ImageButton finish_button_;
};
