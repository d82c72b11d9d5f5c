#include "updater/pages/LicenseAgreementDlg.h"

#include "resources/ResourceIds.h"

CLicenseAgreementDlg::CLicenseAgreementDlg() : CUpdatePage(IDD_LICENSE_PAGE) {}

void CLicenseAgreementDlg::SetUpBitmaps() {
    SetUpButton(next_button_, IDC_LICENSE_NEXT, IDB_LICENSE_NORMAL, IDB_LICENSE_PRESSED,
                IDB_LICENSE_HOVER, IDB_LICENSE_DISABLED, 0);
}

bool CLicenseAgreementDlg::OnMessage(UINT msg, WPARAM wparam, LPARAM lparam, LRESULT& result) {
    switch (msg) {
    case kMsgLicenseQuery:
        result = 0;
        return true;
    case WM_COMMAND:
        if (LOWORD(wparam) == IDC_LICENSE_NEXT && HIWORD(wparam) == BN_CLICKED) {
            OnOK();
            return true;
        }
        return false;
    default:
        return CUpdatePage::OnMessage(msg, wparam, lparam, result);
    }
}

void CLicenseAgreementDlg::OnOK() { PostToWindow(kMsgNextPage); }
