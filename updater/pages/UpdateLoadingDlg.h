#pragma once
// The first page of an update the user asked for: plays the loading animation, runs the update
// agent's check once per showing and tells the window what it found.
#include <string>

#include "updater/controls/PictureEx.h"
#include "updater/pages/UpdatePage.h"

class CSetupOptionManager;

class CUpdateLoadingDlg : public CUpdatePage {
public:
    CUpdateLoadingDlg();

    void SetInputs(const std::string& product, CSetupOptionManager* setup_options) {
        product_ = product;
        setup_options_ = setup_options;
    }

    // What the agent's "Updated" value means; any other value, or no file, is a failure.
    static UINT RequestForUpdated(const std::string& updated);

protected:
    bool OnMessage(UINT msg, WPARAM wparam, LPARAM lparam, LRESULT& result) override;

private:
    void OnShown() override;
    // Creates the animation in the middle of the page and starts it, the first time only.
    void StartAnimation();
    void RunCheck();

    std::string product_;
    CSetupOptionManager* setup_options_ = nullptr;
    CPictureEx picture_;
    bool picture_created_ = false;
};
