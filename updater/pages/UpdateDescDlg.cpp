#include "updater/pages/UpdateDescDlg.h"


#include "resources/ResourceIds.h"
#include "updater/pages/Placement.h"
#include "updater/offers/ProductOption.h"

namespace {

constexpr int kOptionOne = 1;

std::string Trim(const std::string& text) {
    const char* blanks = " \t\r\n\v\f";
    const size_t begin = text.find_first_not_of(blanks);
    if (begin == std::string::npos) return "";
    const size_t end = text.find_last_not_of(blanks);
    return text.substr(begin, end - begin + 1);
}

}  // namespace

CUpdateDescDlg::CUpdateDescDlg() : CUpdatePage(IDD_DESCRIPTION_PAGE) {}

CUpdateDescDlg::~CUpdateDescDlg() {
    if (logo_) DeleteObject(logo_);
}

void CUpdateDescDlg::SetUpBitmaps() {
    SetUpButton(next_button_, IDC_NEXT, IDB_DESC_NORMAL, IDB_DESC_PRESSED, IDB_DESC_HOVER, 0, 2);
}

CUpdateDescDlg::DescriptionParts CUpdateDescDlg::SplitDescription(const std::string& text) {
    DescriptionParts parts;
    const size_t line_feed = text.find('\n');
    if (line_feed == std::string::npos) {
        parts.has_second = true;
        parts.second = Trim(text);
        return parts;
    }
    parts.has_first = true;
    parts.first = Trim(text.substr(0, line_feed));
    if (line_feed + 1 < text.size()) {
        parts.has_second = true;
        parts.second = Trim(text.substr(line_feed + 1));
    }
    return parts;
}

void CUpdateDescDlg::DoDataExchange(DataExchange& dx) {
    DDX_Control(dx, IDC_TITLE, title_label_);
    DDX_Control(dx, IDC_SUBTITLE, subtitle_label_);
    DDX_Text(dx, IDC_TITLE, title_);
    DDX_Text(dx, IDC_DESC_LINE1, lines_[0]);
    DDX_Text(dx, IDC_DESC_LINE2, lines_[1]);
    DDX_Text(dx, IDC_DESC_LINE3, lines_[2]);
    DDX_Text(dx, IDC_DESC_LINE4, lines_[3]);
}

bool CUpdateDescDlg::OnMessage(UINT msg, WPARAM wparam, LPARAM lparam, LRESULT& result) {
    switch (msg) {
    case WM_COMMAND:
        if (LOWORD(wparam) == IDC_NEXT && HIWORD(wparam) == BN_CLICKED) {
            OnOK();
            return true;
        }
        return false;
    default:
        return CUpdatePage::OnMessage(msg, wparam, lparam, result);
    }
}

void CUpdateDescDlg::OnShown() {
    if (update_info_) product_ = *update_info_;
    ShowLogo();
    title_ = FormatResString(IDS_DESC_HEADING, product_.LocalName, product_.NewVersion);

    const DescriptionParts parts = SplitDescription(product_.SimpleDescript);
    if (parts.has_first) lines_[0] = lines_[2] = parts.first;
    if (parts.has_second) lines_[1] = lines_[3] = parts.second;

    // Attach the labels before giving them their font.
    UpdateData(false);
    SetHeadingStyle(title_label_);
    SetHeadingStyle(subtitle_label_);
    UpdateOptionPanel();
    UpdateData(false);
    if (next_button_.hwnd()) SetFocus(next_button_.hwnd());
}

void CUpdateDescDlg::ShowLogo() {
    if (product_.LogoImagePath.empty()) return;
    HBITMAP logo = static_cast<HBITMAP>(LoadImageA(nullptr, product_.LogoImagePath.c_str(),
                                                   IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE));
    if (!logo) return;
    HBITMAP previous = reinterpret_cast<HBITMAP>(
        SendDlgItemMessageA(hwnd(), IDC_LOGO, STM_SETIMAGE, IMAGE_BITMAP,
                            reinterpret_cast<LPARAM>(logo)));
    // The control hands back what it showed before; the page owns both.
    if (previous && previous != logo) DeleteObject(previous);
    if (logo_ && logo_ != previous) DeleteObject(logo_);
    logo_ = logo;
}

bool CUpdateDescDlg::OffersOptionOne() const {
    return product_options_ && !product_options_->empty() && product_options_->HasOption(kOptionOne);
}

void CUpdateDescDlg::UpdateOptionPanel() {
    if (!OffersOptionOne()) {
        if (panel_created_) {
            panel_.DestroyWindow();
            panel_created_ = false;
        }
        return;
    }
    if (panel_created_) return;
    panel_.checked = 1;
    if (!panel_.Create(hwnd())) return;
    panel_created_ = true;
    RECT button = {};
    if (next_button_.hwnd()) {
        GetWindowRect(next_button_.hwnd(), &button);
        MapWindowPoints(nullptr, hwnd(), reinterpret_cast<POINT*>(&button), 2);
        OffsetRect(&button, 0, -20);
        SetWindowPos(next_button_.hwnd(), nullptr, button.left, button.top, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        InvalidateRect(hwnd(), nullptr, TRUE);
    }
    SetDlgItemTextA(panel_.hwnd(), IDC_PANEL_CHECK,
                    product_options_->GetOptionTitle(kOptionOne).c_str());
    panel_.SetLink(product_options_->GetOptionText2(kOptionOne), ResString(IDS_PANEL_LINK));
    SetDlgItemTextA(panel_.hwnd(), IDC_PANEL_TEXT,
                    product_options_->GetOptionText1(kOptionOne).c_str());
    panel_.SetPanelBackground();
    RECT client;
    GetClientRect(hwnd(), &client);
    const int y = button.bottom + 10;
    SetWindowPos(panel_.hwnd(), nullptr, 30, y, client.right - 60, client.bottom - y,
                 SWP_SHOWWINDOW | SWP_NOACTIVATE | SWP_NOZORDER);
}

void CUpdateDescDlg::OnOK() {
    if (OffersOptionOne()) {
        if (panel_created_) {
            panel_.UpdateData(true);
            option_checked_ = panel_.checked;
        }
        const std::string question = product_options_->GetOptionText3(kOptionOne);
        if (option_checked_ == 0 && !question.empty() &&
            OwnedMessageBox(hwnd(), question.c_str(), ResString(IDS_OPTION_QUESTION_CAP).c_str(),
                            MB_YESNO | MB_ICONEXCLAMATION) == IDYES) {
            option_checked_ = 1;
        }
        product_options_->SetOptionState(kOptionOne, option_checked_ ? 1 : 0);
    }
    PostToWindow(kMsgNextPage);
}

void CUpdateDescDlg::OnCancel() { PostToWindow(kMsgClose); }
