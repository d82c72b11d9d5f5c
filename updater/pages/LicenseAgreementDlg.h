#pragma once
// The licence step: the product's licence agreement as rich text, with clickable addresses;
// the user goes on only after accepting it.
#include <string>

#include "updater/controls/ImageButton.h"
#include "updater/controls/ReadOnlyText.h"
#include "updater/pages/UpdatePage.h"

class CAdditionalOption;

class CLicenseAgreementDlg : public CUpdatePage {
public:
    CLicenseAgreementDlg();

    void SetLicense(CAdditionalOption* license_entry) { license_entry_ = license_entry; }
    void SetUpBitmaps();

    // The licence file's text as shown: the whole file, cut at its first NUL byte. False when
    // the file cannot be read (or is larger than any licence).
    static bool ReadLicenseText(const std::string& path, std::string* text);

protected:
    void DoDataExchange(DataExchange& dx) override;
    bool OnMessage(UINT msg, WPARAM wparam, LPARAM lparam, LRESULT& result) override;
    void OnOK() override { NextAction(); }
    void OnShown() override;
    void OnCancel() override { PostToWindow(kMsgClose); }

private:
    bool LoadLicense();
    void NextAction();
    // The acceptance question; Yes checks the box and enables the button.
    bool AskAcceptance();
    bool IsAccepted() const;
    void OpenLink(LPARAM notification);

    CAdditionalOption* license_entry_ = nullptr;
    std::string license_text_;
    ImageButton next_button_;
    ReadOnlyText text_view_;
};
