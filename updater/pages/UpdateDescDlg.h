#pragma once
// Describes the available update (name, version, logo, what is new) and may carry the product
// option panel; its button moves the window on.
#include <string>

#include "updater/data/UpdateInfo.h"
#include "updater/controls/ExStatic.h"
#include "updater/controls/ImageButton.h"
#include "updater/pages/ProductOptionDlg.h"
#include "updater/pages/UpdatePage.h"

class ProductOption;

class CUpdateDescDlg : public CUpdatePage {
public:
    CUpdateDescDlg();
    ~CUpdateDescDlg() override;

    void SetInputs(CUpdateInfo* update_info, ProductOption* product_options) {
        update_info_ = update_info;
        product_options_ = product_options;
    }
    void SetUpBitmaps();

    // SimpleDescript split at its first line feed, each part trimmed; a part that is absent
    // stays nullopt-like (has_first/has_second false).
    struct DescriptionParts {
        bool has_first = false;
        bool has_second = false;
        std::string first;
        std::string second;
    };
    static DescriptionParts SplitDescription(const std::string& text);

    const ProductOptionDlg* option_panel() const { return panel_created_ ? &panel_ : nullptr; }

protected:
    void DoDataExchange(DataExchange& dx) override;
    bool OnMessage(UINT msg, WPARAM wparam, LPARAM lparam, LRESULT& result) override;
    void OnOK() override;
    void OnCancel() override;

private:
    void OnShown() override;
    void ShowLogo();
    void UpdateOptionPanel();
    bool OffersOptionOne() const;

    CUpdateInfo* update_info_ = nullptr;
    ProductOption* product_options_ = nullptr;
    UpdateInfoFields product_;
    std::string title_;
    std::string lines_[4];  // controls 1015 to 1018
    int option_checked_ = 0;
    CExStatic title_label_;
    CExStatic subtitle_label_;
    ImageButton next_button_;
    ProductOptionDlg panel_;
    bool panel_created_ = false;
    HBITMAP logo_ = nullptr;
};
