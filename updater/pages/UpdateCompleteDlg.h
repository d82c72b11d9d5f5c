#pragma once
// The last step: the update is done. The page may offer one more product (the end offer, as a
// check box) and shows the vendor's advertisement page in an embedded browser view; an add-in
// advertisement page can carry the end offer itself.
#include <windows.h>

#include <string>

#include "updater/data/ProductSettings.h"
#include "updater/adview/CompletionAd.h"
#include "updater/controls/ExStatic.h"
#include "updater/controls/ImageButton.h"
#include "updater/pages/UpdatePage.h"
#include "updater/adview/WebUIManager.h"

class CUpdateInfo;
class CEndInstall;

// Posted by the page to itself: load the normal advertisement page.
constexpr UINT kMsgRequestNormalAd = WM_USER + 100;

class CUpdateCompleteDlg : public CUpdatePage, public WebUICallback {
public:
    CUpdateCompleteDlg();
    ~CUpdateCompleteDlg() override;

    // Creates the page (the first time) and its button; the hidden advertisement view follows
    // with the first advertisement page asked for.
    bool SetUp(HWND parent, CUpdateInfo* update_info, CEndInstall* end_offer,
               const ProductSettings& ad_product);
    // Takes fresh inputs only.
    void Refresh(CUpdateInfo* update_info, CEndInstall* end_offer, const ProductSettings& ad_product);
    // The installing step has started: the add-in advertisement page begins loading.
    void RequestAddinAd();

    // WebUICallback
    void OnBeforeNavigate(const std::string&, int, const std::string&, const std::string&,
                          const std::string&, bool*) override {}
    // Shows or hides the view, takes an add-in page's end offer, asks for the normal page.
    void OnDocumentComplete(const std::string& url, const WebUIDocument& document) override;

    int ad_state() const { return ad_model_.state(); }

protected:
    void DoDataExchange(DataExchange& dx) override;
    bool OnMessage(UINT msg, WPARAM wparam, LPARAM lparam, LRESULT& result) override;
    void OnOK() override { Finish(); }
    void OnCancel() override { PostToWindow(kMsgClose); }

private:
    void OnShown() override;
    void ShowLogo();
    void PlaceFinishButton();
    void KeepBottomBarDown(int height);
    void NavigateTo(const std::string& address);
    // Creates the hidden view over the placeholder on the first call; true when it has a browser.
    bool EnsureView();
    void Finish();
    // The message line tells that the end offer the user chose could not be downloaded or
    // started; the page stays.
    void ReportEndOfferFailure();

    CUpdateInfo* update_info_ = nullptr;
    CEndInstall* end_offer_ = nullptr;
    ProductSettings ad_product_;
    CAdParams ad_params_;
    AdViewModel ad_model_;
    WebUIManager html_view_;
    bool view_tried_ = false;
    RECT ad_area_ = {0, 0, 0, 0};
    int page_shown_ = 0;
    bool finishing_ = false;
    // The end offer failed and the message line says so.
    bool end_offer_reported_ = false;
    std::string complete_text_;
    HBITMAP logo_bitmap_ = nullptr;
    HBRUSH offer_brush_;
    CExStatic message_label_;
    CExStatic subtitle_label_;
    ImageButton finish_button_;
};
