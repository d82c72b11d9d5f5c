#include "updater/pages/UpdateCompleteDlg.h"

#include "resources/ResourceIds.h"

CUpdateCompleteDlg::CUpdateCompleteDlg() : CUpdatePage(IDD_COMPLETE_PAGE) {}

bool CUpdateCompleteDlg::SetUp(HWND parent, CUpdateInfo* update_info, CEndInstall* end_offer,
                               const ProductSettings& ad_product) {
    Refresh(update_info, end_offer, ad_product);
    if (!hwnd() && !Create(parent)) return false;
    finish_button_.SubclassDlgItem(IDC_PAGE_BUTTON, hwnd());
    finish_button_.LoadButtonBitmaps(IDB_COMPLETE_NORMAL, IDB_COMPLETE_PRESSED,
                                     IDB_COMPLETE_HOVER, 0);
    return true;
}

void CUpdateCompleteDlg::Refresh(CUpdateInfo* update_info, CEndInstall* end_offer,
                                 const ProductSettings& ad_product) {
    update_info_ = update_info;
    end_offer_ = end_offer;
    ad_product_ = ad_product;
}

void CUpdateCompleteDlg::RequestAddinAd() {}

bool CUpdateCompleteDlg::OnMessage(UINT msg, WPARAM wparam, LPARAM lparam, LRESULT& result) {
    if (msg == WM_COMMAND && LOWORD(wparam) == IDC_PAGE_BUTTON && HIWORD(wparam) == BN_CLICKED) {
        OnOK();
        return true;
    }
    return CUpdatePage::OnMessage(msg, wparam, lparam, result);
}
