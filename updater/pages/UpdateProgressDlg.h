#pragma once
// The installing step: starts the product's setup program silently and follows its progress
// through the messages it posts back.
#include <windows.h>

#include <string>

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

protected:
    bool OnMessage(UINT msg, WPARAM wparam, LPARAM lparam, LRESULT& result) override;

private:
    std::string setup_path_;
    CMediumInstall* medium_offer_ = nullptr;
    CStartPageWorker* start_page_worker_ = nullptr;
    CSetupOptions* setup_options_ = nullptr;
};
