#pragma once
// The licence step: the product's licence agreement as rich text; the user goes on only after
// accepting it.
#include "updater/pages/ImageButton.h"
#include "updater/pages/UpdatePage.h"

class CAdditionalOption;

class CLicenseAgreementDlg : public CUpdatePage {
public:
    CLicenseAgreementDlg();

    void SetLicense(CAdditionalOption* license_entry) { license_entry_ = license_entry; }
    void SetUpBitmaps();

protected:
    bool OnMessage(UINT msg, WPARAM wparam, LPARAM lparam, LRESULT& result) override;
    void OnOK() override;
    void OnCancel() override { PostToWindow(kMsgClose); }

private:
    CAdditionalOption* license_entry_ = nullptr;
    ImageButton next_button_;
};
