#pragma once
// An owner-drawn static text: its own font (in the language module's character set), text and
// background colours, an optional gradient background and word wrapping. Attached to a
// template's static control; the page then sets its font and background.
#include <windows.h>

#include <string>

#include "updater/framework/Control.h"

class CExStatic : public CControl {
public:
    CExStatic();
    ~CExStatic() override;

    // A font of that face, height (as a LOGFONT height), weight and underline, in the language
    // module's character set; invalidates (with erase) when redraw is set.
    void SetTextFont(const std::string& face, int height, int weight, bool underline, bool redraw);
    // The pages' plain background: solid 0xFDFDFD.
    void SetPageBackground();

    const std::string& text() const { return text_; }

    // Options no page turns on, kept for completeness.
    int transparent = 0;
    int word_wrap = 1;
    COLORREF text_color;
    int gradient_mode = 0;  // 0 solid, 1 horizontal, else vertical
    COLORREF background_color;
    COLORREF gradient_from;
    COLORREF gradient_to;
    HICON icon = nullptr;
    int emboss = 0;
    int emboss_raised = 0;
    int movable = 0;

protected:
    LRESULT OnMessage(UINT msg, WPARAM wparam, LPARAM lparam) override;
    void OnSubclassed() override;

private:
    // The control's own state; see its implementation.
    std::string text_;
};
