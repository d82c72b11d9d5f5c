#include "updater/pages/UpdateOptionDlg.h"

#include "resources/ResourceIds.h"

CUpdateOptionDlg::CUpdateOptionDlg() : CUpdatePage(IDD_OPTION_PAGE) {}

bool CUpdateOptionDlg::SetUp(HWND parent, const UpdateInfoFields& product,
                             CMediumInstall* medium_offer, CStartPageWorker* start_page_worker,
                             CSetupOptions* setup_options, ProductOption* option_store) {
    if (!medium_offer || !start_page_worker) return false;
    product_ = product;
    medium_offer_ = medium_offer;
    start_page_worker_ = start_page_worker;
    setup_options_ = setup_options;
    option_store_ = option_store;
    if (!hwnd() && !Create(parent)) return false;
    SetUpButton(next_button_, IDC_NEXT, IDB_OPTION_NORMAL, IDB_OPTION_PRESSED, IDB_OPTION_HOVER, 0,
                2);
    return true;
}

void CUpdateOptionDlg::Refresh(const UpdateInfoFields& product) { product_ = product; }

bool CUpdateOptionDlg::OnMessage(UINT msg, WPARAM wparam, LPARAM lparam, LRESULT& result) {
    if (msg == WM_COMMAND && LOWORD(wparam) == IDC_NEXT && HIWORD(wparam) == BN_CLICKED) {
        OnOK();
        return true;
    }
    return CUpdatePage::OnMessage(msg, wparam, lparam, result);
}

void CUpdateOptionDlg::OnOK() { PostToWindow(kMsgNextPage); }
