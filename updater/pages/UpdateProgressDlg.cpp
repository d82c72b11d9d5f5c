#include "updater/pages/UpdateProgressDlg.h"

#include "resources/ResourceIds.h"

CUpdateProgressDlg::CUpdateProgressDlg() : CUpdatePage(IDD_PROGRESS_PAGE) {}

bool CUpdateProgressDlg::SetUp(HWND parent, CStartPageWorker* start_page_worker,
                               CMediumInstall* medium_offer, const std::string& setup_path,
                               CSetupOptions* setup_options) {
    start_page_worker_ = start_page_worker;
    medium_offer_ = medium_offer;
    setup_path_ = setup_path;
    setup_options_ = setup_options;
    if (!parent || hwnd()) return true;
    return Create(parent);
}

bool CUpdateProgressDlg::OnMessage(UINT msg, WPARAM wparam, LPARAM lparam, LRESULT& result) {
    return CUpdatePage::OnMessage(msg, wparam, lparam, result);
}
