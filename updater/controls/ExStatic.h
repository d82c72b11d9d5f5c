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
    using GradientFillFn = BOOL(WINAPI*)(HDC, PTRIVERTEX, ULONG, PVOID, ULONG, ULONG);

    void Draw(const DRAWITEMSTRUCT& item);
    void DrawBackground(HDC dc, const RECT& rect);
    // The gradient library is loaded by the first gradient drawn, not with every control: most
    // never draw one, and the first window is made before anything is drawn.
    GradientFillFn LoadGradientFill();
    void DrawLines(HDC dc, const RECT& rect);
    UINT TextFormat() const;
    void ReadText();
    // The solid brush follows background_color, which callers may change at any time.
    HBRUSH BackgroundBrush();
    void ReplaceFont(const LOGFONTA& description);
    void OnDropFiles(HDROP drop);
    void TrackMove(WPARAM flags, LPARAM point);

    std::string text_;
    DWORD saved_style_ = 0;
    HFONT font_ = nullptr;
    HBRUSH background_brush_ = nullptr;
    COLORREF brush_color_ = 0;
    HMODULE gradient_library_ = nullptr;
    GradientFillFn gradient_fill_ = nullptr;
    bool gradient_looked_up_ = false;
    int bitmap_mode_ = 0;
    HBITMAP bitmap_ = nullptr;
    BITMAP bitmap_info_ = {};
    std::string bitmap_path_;
};
