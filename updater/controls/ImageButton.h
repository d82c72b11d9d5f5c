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
