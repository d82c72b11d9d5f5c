#pragma once
// Tells the user that the installed version is current: the product's name and installed
// version, and a close button.
#include <string>

#include "updater/data/UpdateInfo.h"
#include "updater/controls/ExStatic.h"
#include "updater/controls/ImageButton.h"
#include "updater/pages/UpdatePage.h"

class CUpdateAlreadyUseDlg : public CUpdatePage {
public:
    CUpdateAlreadyUseDlg();

    void SetUpdateInfo(const UpdateInfoFields& info) { product_ = info; }
    void SetUpBitmaps();

protected:
    void DoDataExchange(DataExchange& dx) override;
    bool OnMessage(UINT msg, WPARAM wparam, LPARAM lparam, LRESULT& result) override;
    void OnOK() override { PostToWindow(kMsgClose); }
    void OnCancel() override { PostToWindow(kMsgClose); }
    void OnShown() override;

private:
    UpdateInfoFields product_;
    std::string message_;
    CExStatic message_label_;
    CExStatic subtitle_label_;
    ImageButton close_button_;
};

// The error page: the template's text, unless a failure of its own is to be told; a close
// button.
class CUpdateErrorDlg : public CUpdatePage {
public:
    CUpdateErrorDlg();
    void SetUpBitmaps();
    // Replaces the template's explanation (a failed check) with what went wrong instead.
    void SetExplanation(const std::string& text);

protected:
    bool OnMessage(UINT msg, WPARAM wparam, LPARAM lparam, LRESULT& result) override;
    void OnOK() override { PostToWindow(kMsgClose); }
    void OnCancel() override { PostToWindow(kMsgClose); }
    void OnShown() override;

private:
    ImageButton close_button_;
};
