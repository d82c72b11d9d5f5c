#include "updater/pages/UpdateCompleteDlg.h"


#include "resources/ResourceIds.h"
#include "updater/data/UpdateInfo.h"
#include "updater/offers/AdditionalInstall.h"
#include "updater/pages/EndInstallProgressDlg.h"
#include "updater/platform/DebugTrace.h"
#include "updater/platform/MessageWait.h"

namespace {
constexpr COLORREF kOfferBackground = RGB(0xF5, 0xF5, 0xF5);
}  // namespace

CUpdateCompleteDlg::CUpdateCompleteDlg()
    : CUpdatePage(IDD_COMPLETE_PAGE),
      ad_model_(AddinAdAddress(), NormalAdAddress()),
      offer_brush_(CreateSolidBrush(kOfferBackground)) {}

CUpdateCompleteDlg::~CUpdateCompleteDlg() {
    // The view must not call back into a page that is going away.
    html_view_.set_callback(nullptr);
    html_view_.Destroy();
    if (logo_bitmap_) DeleteObject(logo_bitmap_);
    if (offer_brush_) DeleteObject(offer_brush_);
}

bool CUpdateCompleteDlg::SetUp(HWND parent, CUpdateInfo* update_info, CEndInstall* end_offer,
                               const ProductSettings& ad_product) {
    Refresh(update_info, end_offer, ad_product);
    if (hwnd()) return true;
    if (!Create(parent)) return false;
    if (finish_button_.SubclassDlgItem(IDC_PAGE_BUTTON, hwnd())) {
        finish_button_.LoadButtonBitmaps(IDB_COMPLETE_NORMAL, IDB_COMPLETE_PRESSED,
                                         IDB_COMPLETE_HOVER, 0);
    }
    if (HWND placeholder = Item(IDC_AD_PLACEHOLDER)) {
        GetWindowRect(placeholder, &ad_area_);
        MapWindowPoints(nullptr, hwnd(), reinterpret_cast<POINT*>(&ad_area_), 2);
    }
    return true;
}

bool CUpdateCompleteDlg::EnsureView() {
    // The browser control costs a large share of the start-up and only this page shows it: it
    // is made when the first advertisement page is asked for, once, whatever the outcome.
    if (view_tried_) return html_view_.has_browser();
    view_tried_ = true;
    if (!hwnd()) return false;
    // Without the view the page works as before, only without an advertisement.
    const RECT empty = {0, 0, 0, 0};
    if (html_view_.Create(hwnd(), IDC_RUNTIME_CHILD, empty)) {
        html_view_.set_callback(this);
        SetWindowPos(html_view_.hwnd(), nullptr, ad_area_.left, ad_area_.top,
                     ad_area_.right - ad_area_.left, ad_area_.bottom - ad_area_.top,
                     SWP_NOZORDER | SWP_NOACTIVATE | SWP_HIDEWINDOW);
        return true;
    }
    html_view_.Destroy();
    return false;
}

void CUpdateCompleteDlg::Refresh(CUpdateInfo* update_info, CEndInstall* end_offer,
                                 const ProductSettings& ad_product) {
    update_info_ = update_info;
    end_offer_ = end_offer;
    ad_product_ = ad_product;
}

void CUpdateCompleteDlg::NavigateTo(const std::string& address) {
    const std::string& form = ad_params_.Get(ad_product_);
    if (IsDebugTraceEnabled()) {
        DebugTrace(("AD URL : " + address).c_str());
        DebugTrace(("AD Param : " + form).c_str());
    }
    // Pages of the advertisement server's host stay in the view; nothing else does.
    html_view_.set_home_address(address);
    if (!EnsureView()) return;
    AnswerSentMessages();
    html_view_.Navigate(address, form, kAdPostHeaders, kAdNavigateFlags);
}

void CUpdateCompleteDlg::RequestAddinAd() { NavigateTo(AddinAdAddress()); }

void CUpdateCompleteDlg::OnDocumentComplete(const std::string& url,
                                            const WebUIDocument& document) {
    const bool shown = page_shown_ != 0;
    const std::string source = ad_model_.NeedsSource(url, shown) ? document.Source() : std::string();
    CEndOfferTaker taker(end_offer_, update_info_);
    const AdViewStep step = ad_model_.OnDocumentComplete(url, source, shown, taker);
    if (step.view == AdViewStep::View::Show) ShowWindow(html_view_.hwnd(), SW_SHOW);
    if (step.view == AdViewStep::View::Hide) ShowWindow(html_view_.hwnd(), SW_HIDE);
    if (step.request_normal_page) PostMessageA(hwnd(), kMsgRequestNormalAd, 0, 0);
}

void CUpdateCompleteDlg::DoDataExchange(DataExchange& dx) {
    DDX_Control(dx, IDC_TITLE, message_label_);
    DDX_Control(dx, IDC_SUBTITLE, subtitle_label_);
    DDX_Text(dx, IDC_TITLE, complete_text_);
}

void CUpdateCompleteDlg::ShowLogo() {
    if (!update_info_ || update_info_->LogoImagePath.empty()) return;
    HBITMAP logo = static_cast<HBITMAP>(LoadImageA(nullptr, update_info_->LogoImagePath.c_str(),
                                                   IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE));
    if (!logo) return;
    HBITMAP previous = reinterpret_cast<HBITMAP>(SendDlgItemMessageA(
        hwnd(), IDC_LOGO, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(logo)));
    if (previous && previous != logo) DeleteObject(previous);
    if (logo_bitmap_ && logo_bitmap_ != previous) DeleteObject(logo_bitmap_);
    logo_bitmap_ = logo;
}

void CUpdateCompleteDlg::PlaceFinishButton() {
    HWND bar = Item(IDC_BOTTOM_BAR);
    if (!bar || !finish_button_.hwnd()) return;
    RECT bar_rect, button, page;
    GetWindowRect(bar, &bar_rect);
    GetWindowRect(finish_button_.hwnd(), &button);
    GetClientRect(hwnd(), &page);
    const int bar_width = bar_rect.right - bar_rect.left;
    const int bar_height = bar_rect.bottom - bar_rect.top;
    const int button_width = button.right - button.left;
    const int button_height = button.bottom - button.top;
    SetWindowPos(finish_button_.hwnd(), nullptr, bar_width - button_width - 7,
                 page.bottom - bar_height + (bar_height - button_height) / 2 + 2, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CUpdateCompleteDlg::KeepBottomBarDown(int height) {
    HWND bar = Item(IDC_BOTTOM_BAR);
    RECT rect;
    if (!bar || !GetWindowRect(bar, &rect)) return;
    SetWindowPos(bar, nullptr, 0, height - (rect.bottom - rect.top), 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CUpdateCompleteDlg::OnShown() {
    page_shown_ = 1;
    const std::string local_name = update_info_ ? update_info_->LocalName : std::string();
    complete_text_ = FormatResString(IDS_COMPLETE_HEADING, local_name);
    ShowLogo();
    UpdateData(false);
    SetHeadingStyle(message_label_);
    SetHeadingStyle(subtitle_label_);

    const int state = ad_model_.state();
    if (end_offer_ && state != kAdAddinShown) end_offer_->SelectEndOffer();
    const std::string label = end_offer_ && end_offer_->loaded ? end_offer_->GetTitle() : "";
    const bool offerable = end_offer_ && end_offer_->checkbox_shown && !label.empty();
    const CompletionControls shown = CompletionPageControls(offerable, state);
    HWND box = Item(IDC_END_OFFER_CHECK);
    if (box) {
        SetWindowTextA(box, label.c_str());
        CheckDlgButton(hwnd(), IDC_END_OFFER_CHECK,
                       offerable && end_offer_->selected.CheckboxDefault == 1 ? BST_CHECKED
                                                                               : BST_UNCHECKED);
        ShowWindow(box, shown.offer_box ? SW_SHOW : SW_HIDE);
    }
    if (HWND caption = Item(IDC_AD_CAPTION)) {
        if (shown.ad_caption) {
            SetWindowTextA(caption, FormatResString(IDS_COMPLETE_TEXT, local_name).c_str());
        }
        ShowWindow(caption, shown.ad_caption ? SW_SHOW : SW_HIDE);
    }
    for (CExStatic* label_control : {&message_label_, &subtitle_label_}) {
        if (label_control->hwnd()) {
            ShowWindow(label_control->hwnd(), shown.labels ? SW_SHOW : SW_HIDE);
        }
    }
    PlaceFinishButton();
    if (finish_button_.hwnd()) SetFocus(finish_button_.hwnd());
    UpdateData(false);
}

void CUpdateCompleteDlg::Finish() {
    // A click or Enter queued behind the first one reaches the page inside the download
    // dialog's message loop: it must not install the offer or close the update a second time.
    if (finishing_) return;
    finishing_ = true;
    if (end_offer_ && !end_offer_reported_) {
        end_offer_->selected.CheckboxUserState =
            IsDlgButtonChecked(hwnd(), IDC_END_OFFER_CHECK) == BST_CHECKED ? 1 : 0;
        if (end_offer_->selected.CheckboxUserState == 1) {
            // The dialog is its own download callback and counts its references; ours is the
            // first, released when it has ended.
            CEndInstallProgressDlg* download = new CEndInstallProgressDlg(end_offer_);
            download->DoModal(hwnd());
            const bool cancelled = download->cancel_requested();
            download->Release();
            if (!cancelled && end_offer_->install_result == 0) {
                // The user asked for the offer: a download or start that failed is said on the
                // page, which stays until the user finishes again.
                ReportEndOfferFailure();
                return;
            }
        }
    }
    PostToWindow(kMsgClose);
}

void CUpdateCompleteDlg::ReportEndOfferFailure() {
    complete_text_ = FormatResString(IDS_END_OFFER_FAILED, end_offer_->selected.ProductLocalName);
    if (HWND box = Item(IDC_END_OFFER_CHECK)) ShowWindow(box, SW_HIDE);
    if (HWND label = message_label_.hwnd()) {
        SetWindowTextA(label, complete_text_.c_str());
        ShowWindow(label, SW_SHOW);
        SetWindowPos(label, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
    // The next click only closes: the choice and its result stay as the log is to tell them.
    end_offer_reported_ = true;
    finishing_ = false;
}

bool CUpdateCompleteDlg::OnMessage(UINT msg, WPARAM wparam, LPARAM lparam, LRESULT& result) {
    switch (msg) {
    case kMsgRequestNormalAd:
        NavigateTo(NormalAdAddress());
        return true;
    case WM_SIZE:
        KeepBottomBarDown(HIWORD(lparam));
        return false;
    case WM_COMMAND:
        if (HIWORD(wparam) != BN_CLICKED) return false;
        if (LOWORD(wparam) == IDC_PAGE_BUTTON) {
            Finish();
            return true;
        }
        if (LOWORD(wparam) == IDC_COMPLETE_CLOSE) {
            PostToWindow(kMsgClose);
            return true;
        }
        return false;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN: {
        const int id = GetDlgCtrlID(reinterpret_cast<HWND>(lparam));
        if ((id == IDC_END_OFFER_CHECK || id == IDC_AD_CAPTION) && offer_brush_) {
            SetBkMode(reinterpret_cast<HDC>(wparam), TRANSPARENT);
            result = reinterpret_cast<LRESULT>(offer_brush_);
            return true;
        }
        return CUpdatePage::OnMessage(msg, wparam, lparam, result);
    }
    default:
        return CUpdatePage::OnMessage(msg, wparam, lparam, result);
    }
}
