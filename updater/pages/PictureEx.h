#pragma once
// A picture control that shows a still picture or plays an animated GIF on a worker thread,
// each frame decoded once at load time.
#include <windows.h>

#include <vector>

#include "updater/framework/Control.h"

struct IPicture;

class CPictureEx : public CControl {
public:
    CPictureEx();
    ~CPictureEx() override;

    // The language module's loading animation (146, type "GIFANI").
    bool LoadFromResource();
    // GIF data (or any picture the system loader knows) in a global memory block.
    bool LoadFromMemory(HGLOBAL block, DWORD size);
    bool StartPlayback();
    void StopPlayback();
    void Release();

    int width() const { return width_; }
    int height() const { return height_; }
    bool is_playing() const { return is_playing_; }
    // Frames stored for an animation (0 for a still picture).
    int frame_count() const { return static_cast<int>(frames_.size()); }

protected:
    LRESULT OnMessage(UINT msg, WPARAM wparam, LPARAM lparam) override;

private:
    struct Frame {
        IPicture* picture;
        DWORD width, height, left, top, delay, disposal;
    };
    // Implementation details are the control's own.
    int width_ = 0;
    int height_ = 0;
    bool is_playing_ = false;
    std::vector<Frame> frames_;
};
