#pragma once
// An owner-drawn push button painted from four bitmaps of the language module: normal,
// pressed, hover (while the pointer is over it) and disabled.
#include <windows.h>

#include "updater/framework/Control.h"

class ImageButton : public CControl {
public:
    ImageButton() = default;
    ~ImageButton() override;

    // Resource numbers, 0 for none. Loads from the resource module; when the normal bitmap
    // loads, the button takes its size. Returns whether it did.
    bool LoadButtonBitmaps(WORD normal, WORD pressed, WORD hover, WORD disabled);

    // Whether a drawing of the button shows the keyboard focus: it has the focus (the drawing
    // request's state) and Windows shows focus cues in its window now (neither the request
    // nor the window's UI state, WM_QUERYUISTATE, hides them: with the system's "hide
    // keyboard cues" setting they appear once the user works with the keyboard).
    static bool ShowsFocusCue(UINT item_state, LRESULT ui_state);

protected:
    LRESULT OnMessage(UINT msg, WPARAM wparam, LPARAM lparam) override;

private:
    void DeleteBitmaps();
    void Draw(const DRAWITEMSTRUCT& item);
    void TrackHover();

    HBITMAP normal_ = nullptr;
    HBITMAP pressed_ = nullptr;
    HBITMAP hover_ = nullptr;
    HBITMAP disabled_ = nullptr;
};
