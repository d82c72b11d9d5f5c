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

    bool LoadStill(HGLOBAL block, DWORD size);
    bool LoadFrames(const BYTE* data, size_t size);
    bool PrepareMemoryContext();
    // Frees everything that loading made, whether or not the load finished.
    void Clear();
    void Paint();

    static DWORD WINAPI ThreadProc(LPVOID self);
    void Animate();
    // Draws the frame into the memory context; true when something was drawn.
    bool RenderFrame(Frame& frame);
    void DisposeFrame(const Frame& frame);
    void FillBackground(const RECT& rect);
    bool Stopping() const;

    int width_ = 0;
    int height_ = 0;
    RECT paint_rect_ = {};  // empty: the whole picture
    COLORREF background_color_ = 0xFFFFFF;
    size_t color_table_size_ = 0;
    unsigned current_frame_ = 0;
    std::vector<Frame> frames_;
    IPicture* still_picture_ = nullptr;

    bool is_gif_ = false;
    bool is_playing_ = false;
    volatile LONG stop_requested_ = 0;
    bool dc_ready_ = false;
    bool loaded_ = false;
    bool thread_suspended_ = true;

    // The off-screen picture: the worker draws into it, WM_PAINT copies from it. `lock_` guards
    // it and the restore copy.
    CRITICAL_SECTION lock_;
    HDC memory_dc_ = nullptr;
    HBITMAP memory_bitmap_ = nullptr;
    HGDIOBJ old_bitmap_ = nullptr;
    HDC restore_dc_ = nullptr;
    HBITMAP restore_bitmap_ = nullptr;
    HGDIOBJ restore_old_bitmap_ = nullptr;

    HANDLE thread_ = nullptr;
    HANDLE stop_event_ = nullptr;
};
