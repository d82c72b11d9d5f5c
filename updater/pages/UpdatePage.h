#pragma once
// What the update window's pages share: a modeless child dialog from the language module,
// painted on one light background (the page and every control answer WM_CTLCOLOR with it), that
// talks to the window only by posting requests to its parent.
#include <windows.h>

#include <string>

#include "updater/framework/Dialog.h"
#include "updater/pages/PageMessages.h"

class CExStatic;
class ImageButton;

class CUpdatePage : public CDialog {
public:
    explicit CUpdatePage(UINT template_id);
    ~CUpdatePage() override;

protected:
    bool OnMessage(UINT msg, WPARAM wparam, LPARAM lparam, LRESULT& result) override;
    // Each time the window shows the page; a page fills itself here rather than at creation,
    // because what it shows (the update information, the offers) arrives after all pages exist.
    virtual void OnShown() {}
    // The page's heading look: the module's bold heading font on the page background.
    static void SetHeadingStyle(CExStatic& label);
    // Posts one of the requests of PageMessages.h to the window.
    void PostToWindow(UINT request, WPARAM wparam = 0, LPARAM lparam = 0) const;
    // Attaches the button, loads its bitmaps (resource numbers, 0 for none), sizes it to the
    // normal one and centres it horizontally in the page, `x_offset` pixels to the right,
    // keeping its top. False when the control or its normal bitmap is missing.
    bool SetUpButton(ImageButton& button, int id, WORD normal, WORD pressed, WORD hover,
                     WORD disabled, int x_offset);
    HBRUSH background_brush() const { return background_brush_; }

private:
    HBRUSH background_brush_;
};

// The text of a string resource of the language module; empty when missing.
std::string ResString(UINT id);
// A string resource whose "%s" placeholders take the arguments in order ("%%" is one percent
// sign); a missing resource gives "".
std::string FormatResString(UINT id, const std::string& first, const std::string& second = "");
