#pragma once
// The product option panel the description page embeds below its button: one check box, a
// "learn more" link beside it and a line of explanation. The page fills the texts and reads the
// check box back.
#include <windows.h>

#include <string>

#include "updater/framework/Control.h"
#include "updater/framework/Dialog.h"

class ProductOptionDlg : public CDialog {
public:
    ProductOptionDlg();
    ~ProductOptionDlg() override;

    // Sets the link's text and what it opens; without the link control the target is cleared.
    void SetLink(const std::string& target, const std::string& text);
    void SetPanelBackground();

    int checked = 0;
    const std::string& link_target() const { return link_target_; }

protected:
    bool OnInitDialog() override;
    void DoDataExchange(DataExchange& dx) override;
    bool OnMessage(UINT msg, WPARAM wparam, LPARAM lparam, LRESULT& result) override;

private:
    void Layout(int width);
    void RecreateBrush();
    void DeleteGdiObjects();

    std::string link_target_;
    HFONT link_font_ = nullptr;
    CControl link_;
    COLORREF background_color_ = RGB(255, 255, 255);
    HBRUSH background_brush_ = nullptr;
};
