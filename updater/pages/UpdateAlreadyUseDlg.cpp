#include "updater/pages/UpdateAlreadyUseDlg.h"


#include "resources/ResourceIds.h"
#include "updater/data/ProductSettings.h"

namespace {

// Button 1020 closes the update on both pages.
bool IsCloseButton(WPARAM wparam) {
    return LOWORD(wparam) == IDC_PAGE_BUTTON && HIWORD(wparam) == BN_CLICKED;
}

}  // namespace

CUpdateAlreadyUseDlg::CUpdateAlreadyUseDlg() : CUpdatePage(IDD_ALREADY_CURRENT_PAGE) {}

void CUpdateAlreadyUseDlg::SetUpBitmaps() {
    SetUpButton(close_button_, IDC_PAGE_BUTTON, IDB_CURRENT_NORMAL, IDB_CURRENT_PRESSED,
                IDB_CURRENT_HOVER, 0, 0);
}

void CUpdateAlreadyUseDlg::DoDataExchange(DataExchange& dx) {
    DDX_Control(dx, IDC_TITLE, message_label_);
    DDX_Control(dx, IDC_SUBTITLE, subtitle_label_);
    DDX_Text(dx, IDC_TITLE, message_);
}

void CUpdateAlreadyUseDlg::OnShown() {
    message_ = FormatResString(IDS_ALREADY_CURRENT, product_.LocalName,
                               ReadProductVersion(product_.EngName));
    // Attach the labels before giving them their font.
    UpdateData(false);
    SetHeadingStyle(message_label_);
    SetHeadingStyle(subtitle_label_);
    UpdateData(false);
    if (close_button_.hwnd()) SetFocus(close_button_.hwnd());
}

bool CUpdateAlreadyUseDlg::OnMessage(UINT msg, WPARAM wparam, LPARAM lparam, LRESULT& result) {
    switch (msg) {
    case WM_COMMAND:
        if (IsCloseButton(wparam)) {
            PostToWindow(kMsgClose);
            return true;
        }
        return false;
    default:
        return CUpdatePage::OnMessage(msg, wparam, lparam, result);
    }
}

CUpdateErrorDlg::CUpdateErrorDlg() : CUpdatePage(IDD_ERROR_PAGE) {}

void CUpdateErrorDlg::SetUpBitmaps() {
    SetUpButton(close_button_, IDC_PAGE_BUTTON, IDB_ERROR_NORMAL, IDB_ERROR_PRESSED,
                IDB_ERROR_HOVER, 0, 0);
}

void CUpdateErrorDlg::SetExplanation(const std::string& text) {
    if (HWND label = Item(IDC_ERROR_TEXT)) SetWindowTextA(label, text.c_str());
}

void CUpdateErrorDlg::OnShown() {
    if (close_button_.hwnd()) SetFocus(close_button_.hwnd());
}

bool CUpdateErrorDlg::OnMessage(UINT msg, WPARAM wparam, LPARAM lparam, LRESULT& result) {
    if (msg == WM_COMMAND && IsCloseButton(wparam)) {
        PostToWindow(kMsgClose);
        return true;
    }
    return CUpdatePage::OnMessage(msg, wparam, lparam, result);
}
