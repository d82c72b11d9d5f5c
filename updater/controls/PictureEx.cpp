#include "updater/controls/PictureEx.h"

#include "updater/framework/Thread.h"

#include <ole2.h>
#include <olectl.h>

#include <cstring>
#include <new>

#include "updater/framework/WinApp.h"
#include "updater/controls/GifBlocks.h"
#include "updater/platform/LateImports.h"

namespace {

constexpr WORD kAnimationId = 146;
constexpr char kAnimationType[] = "GIFANI";
constexpr DWORD kThreadExitCode = 4386;
constexpr DWORD kTerminatedExitCode = 4626;
constexpr DWORD kStopWaitMs = 5000;
// Frames that ask for less than 5 hundredths of a second (and frames that ask nothing at all)
// are shown this long.
constexpr DWORD kShortFrameMs = 100;

// A picture from a stream over the block. With `owned` the stream frees the block when it is
// released, also when loading fails.
IPicture* LoadPicture(HGLOBAL block, DWORD size, bool owned) {
    IStream* stream = nullptr;
    if (FAILED(CreateStreamOnHGlobal(block, owned ? TRUE : FALSE, &stream)) || !stream) {
        if (owned) GlobalFree(block);
        return nullptr;
    }
    IPicture* picture = nullptr;
    const HRESULT result = late::OleLoadPicture(stream, static_cast<LONG>(size), FALSE,
                                                IID_IPicture, reinterpret_cast<void**>(&picture));
    stream->Release();
    if (FAILED(result)) return nullptr;
    return picture;
}

SIZE HimetricSize(IPicture* picture) {
    OLE_XSIZE_HIMETRIC width = 0;
    OLE_YSIZE_HIMETRIC height = 0;
    picture->get_Width(&width);
    picture->get_Height(&height);
    return SIZE{width, height};
}

// Renders the whole picture into the rectangle; HIMETRIC runs bottom up, hence the flipped
// source.
bool RenderPicture(IPicture* picture, HDC dc, LONG x, LONG y, LONG width, LONG height) {
    const SIZE source = HimetricSize(picture);
    return SUCCEEDED(
        picture->Render(dc, x, y, width, height, 0, source.cy, source.cx, -source.cy, nullptr));
}

class ScopedLock {
public:
    explicit ScopedLock(CRITICAL_SECTION& lock) : lock_(lock) { EnterCriticalSection(&lock_); }
    ~ScopedLock() { LeaveCriticalSection(&lock_); }
    ScopedLock(const ScopedLock&) = delete;
    ScopedLock& operator=(const ScopedLock&) = delete;

private:
    CRITICAL_SECTION& lock_;
};

}  // namespace

CPictureEx::CPictureEx() {
    InitializeCriticalSection(&lock_);
    stop_event_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
}

CPictureEx::~CPictureEx() {
    Clear();
    Unsubclass();
    if (stop_event_) CloseHandle(stop_event_);
    DeleteCriticalSection(&lock_);
}

bool CPictureEx::LoadFromResource() {
    HGLOBAL block = nullptr;
    try {
        HMODULE module = framework::ResourceHandle();
        HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(kAnimationId), kAnimationType);
        if (!found) return false;
        const DWORD size = SizeofResource(module, found);
        HGLOBAL resource = LoadResource(module, found);
        const void* bytes = resource ? LockResource(resource) : nullptr;
        if (!bytes || !size) return false;
        block = GlobalAlloc(GMEM_MOVEABLE, size);
        void* copy = block ? GlobalLock(block) : nullptr;
        if (!copy) {
            if (block) GlobalFree(block);
            return false;
        }
        std::memcpy(copy, bytes, size);
        GlobalUnlock(block);
        const bool loaded = LoadFromMemory(block, size);
        GlobalFree(block);
        return loaded;
    } catch (...) {
        if (block) GlobalFree(block);
        return false;
    }
}

bool CPictureEx::LoadFromMemory(HGLOBAL block, DWORD size) {
    if (loaded_) return false;
    Release();
    if (!block || !size) return false;
    // The caller's size never lets us read past the block itself.
    const SIZE_T block_size = GlobalSize(block);
    if (block_size < size) size = static_cast<DWORD>(block_size);
    const BYTE* data = static_cast<const BYTE*>(GlobalLock(block));
    if (!data || !size) {
        if (data) GlobalUnlock(block);
        return false;
    }

    bool ok = false;
    try {
        if (!gif::IsGif(data, size)) {
            GlobalUnlock(block);
            data = nullptr;
            ok = LoadStill(block, size);
        } else {
            ok = LoadFrames(data, size);
            if (ok && frames_.empty()) {
                // One frame: the loader shows the whole GIF as it is.
                GlobalUnlock(block);
                data = nullptr;
                still_picture_ = LoadPicture(block, size, false);
                ok = still_picture_ != nullptr;
            }
        }
        if (ok) {
            loaded_ = true;
            ok = PrepareMemoryContext();
        }
    } catch (...) {
        ok = false;
    }
    if (data) GlobalUnlock(block);
    if (!ok) Clear();
    return ok;
}

bool CPictureEx::LoadStill(HGLOBAL block, DWORD size) {
    still_picture_ = LoadPicture(block, size, false);
    if (!still_picture_) return false;
    const SIZE himetric = HimetricSize(still_picture_);
    HDC screen = GetDC(hwnd());
    if (!screen) return false;
    width_ = MulDiv(himetric.cx, GetDeviceCaps(screen, LOGPIXELSX), 2540);
    height_ = MulDiv(himetric.cy, GetDeviceCaps(screen, LOGPIXELSY), 2540);
    ReleaseDC(hwnd(), screen);
    return true;
}

// Reads the screen and walks the frames. With one frame nothing is stored (the caller loads the
// whole GIF as a still picture); with more, every frame is decoded on its own.
bool CPictureEx::LoadFrames(const BYTE* data, size_t size) {
    gif::Screen screen;
    if (!gif::ReadScreen(data, size, &screen)) return false;
    is_gif_ = true;
    width_ = screen.width;
    height_ = screen.height;
    color_table_size_ = screen.color_table_size;
    if (screen.has_background) {
        background_color_ =
            RGB(screen.background_red, screen.background_green, screen.background_blue);
    }

    const std::vector<gif::Frame> walked = gif::Frames(data, size, screen);
    if (walked.empty()) return false;
    if (walked.size() == 1) return true;

    frames_.reserve(walked.size());
    for (const gif::Frame& frame : walked) {
        const std::vector<uint8_t> single = gif::SingleFrameGif(data, size, screen, frame);
        if (single.empty()) continue;
        HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, single.size());
        void* bytes = block ? GlobalLock(block) : nullptr;
        if (!bytes) {
            if (block) GlobalFree(block);
            continue;
        }
        std::memcpy(bytes, single.data(), single.size());
        GlobalUnlock(block);
        IPicture* picture = LoadPicture(block, static_cast<DWORD>(single.size()), true);
        if (!picture) continue;
        Frame record = {picture,     frame.width, frame.height,  frame.left,
                        frame.top,   frame.delay, frame.disposal};
        try {
            frames_.push_back(record);
        } catch (...) {
            picture->Release();
            throw;
        }
    }
    return !frames_.empty();
}

bool CPictureEx::PrepareMemoryContext() {
    if (hwnd()) {
        SetWindowPos(hwnd(), nullptr, 0, 0, width_, height_, SWP_NOMOVE | SWP_NOZORDER);
    }
    HDC screen = GetDC(hwnd());
    if (!screen) return false;
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = memory ? CreateCompatibleBitmap(screen, width_, height_) : nullptr;
    ReleaseDC(hwnd(), screen);
    if (!bitmap) {
        if (memory) DeleteDC(memory);
        return false;
    }
    memory_dc_ = memory;
    memory_bitmap_ = bitmap;
    old_bitmap_ = SelectObject(memory_dc_, memory_bitmap_);
    background_color_ = GetSysColor(COLOR_BTNFACE);
    RECT all = {0, 0, width_, height_};
    FillRect(memory_dc_, &all, reinterpret_cast<HBRUSH>(COLOR_MENU + 1));
    dc_ready_ = true;
    return true;
}

bool CPictureEx::StartPlayback() {
    if (is_playing_ || !dc_ready_) return false;
    is_playing_ = true;
    if (is_gif_ && frames_.size() > 1) {
        DWORD id = 0;
        thread_ = CreateThread(nullptr, 0, &CPictureEx::ThreadProc, this, CREATE_SUSPENDED, &id);
        if (!thread_) {
            is_playing_ = false;
            return false;
        }
        thread_suspended_ = true;
        if (ResumeThread(thread_) != static_cast<DWORD>(-1)) thread_suspended_ = false;
        return true;
    }
    if (still_picture_) {
        ScopedLock lock(lock_);
        RenderPicture(still_picture_, memory_dc_, 0, 0, width_, height_);
    }
    if (hwnd()) InvalidateRect(hwnd(), nullptr, FALSE);
    return true;
}

void CPictureEx::StopPlayback() {
    if (is_playing_) {
        is_playing_ = false;
        InterlockedExchange(&stop_requested_, 1);
        if (stop_event_) SetEvent(stop_event_);
    }
    if (thread_) {
        if (thread_suspended_) {
            ResumeThread(thread_);
            thread_suspended_ = false;
        }
        if (WaitForSingleObject(thread_, kStopWaitMs) != WAIT_OBJECT_0) {
            TerminateThread(thread_, kTerminatedExitCode);
            WaitForSingleObject(thread_, kStopWaitMs);
            // The thread may have died holding the lock: nobody else uses it now, so start
            // with a fresh one rather than leave the painting locked out for good.
            DeleteCriticalSection(&lock_);
            InitializeCriticalSection(&lock_);
        }
        CloseHandle(thread_);
        thread_ = nullptr;
        thread_suspended_ = true;
    }
    if (stop_event_) ResetEvent(stop_event_);
    InterlockedExchange(&stop_requested_, 0);
}

void CPictureEx::Release() {
    if (!loaded_) return;
    Clear();
}

void CPictureEx::Clear() {
    StopPlayback();
    for (Frame& frame : frames_) {
        if (frame.picture) frame.picture->Release();
    }
    frames_.clear();
    if (still_picture_) {
        still_picture_->Release();
        still_picture_ = nullptr;
    }
    if (restore_dc_) {
        SelectObject(restore_dc_, restore_old_bitmap_);
        DeleteDC(restore_dc_);
        restore_dc_ = nullptr;
    }
    if (restore_bitmap_) {
        DeleteObject(restore_bitmap_);
        restore_bitmap_ = nullptr;
    }
    restore_old_bitmap_ = nullptr;
    if (memory_dc_) {
        SelectObject(memory_dc_, old_bitmap_);
        DeleteDC(memory_dc_);
        memory_dc_ = nullptr;
    }
    if (memory_bitmap_) {
        DeleteObject(memory_bitmap_);
        memory_bitmap_ = nullptr;
    }
    old_bitmap_ = nullptr;
    width_ = height_ = 0;
    color_table_size_ = 0;
    current_frame_ = 0;
    is_gif_ = is_playing_ = dc_ready_ = loaded_ = false;
    thread_suspended_ = true;
    background_color_ = 0xFFFFFF;
    SetRectEmpty(&paint_rect_);
}

LRESULT CPictureEx::OnMessage(UINT msg, WPARAM wparam, LPARAM lparam) {
    switch (msg) {
    case WM_PAINT:
        if (!dc_ready_) break;
        Paint();
        return 0;
    case WM_DESTROY:
        StopPlayback();
        break;
    default:
        break;
    }
    return Default(msg, wparam, lparam);
}

void CPictureEx::Paint() {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(hwnd(), &paint);
    if (!dc) return;
    // While the worker draws a frame the copy is skipped: it invalidates the control when the
    // frame is done, and the window thread never waits on the worker.
    if (TryEnterCriticalSection(&lock_)) {
        if (IsRectEmpty(&paint_rect_)) {
            BitBlt(dc, 0, 0, width_, height_, memory_dc_, 0, 0, SRCCOPY);
        } else {
            BitBlt(dc, 0, 0, paint_rect_.right - paint_rect_.left,
                   paint_rect_.bottom - paint_rect_.top, memory_dc_, paint_rect_.left,
                   paint_rect_.top, SRCCOPY);
        }
        LeaveCriticalSection(&lock_);
    }
    EndPaint(hwnd(), &paint);
}

DWORD WINAPI CPictureEx::ThreadProc(LPVOID self) {
    // An exception must not cross the thread's start: the animation simply ends.
    try {
        static_cast<CPictureEx*>(self)->Animate();
    } catch (...) {
        return framework::kThreadFailed;
    }
    return kThreadExitCode;
}

bool CPictureEx::Stopping() const { return InterlockedCompareExchange(
    const_cast<volatile LONG*>(&stop_requested_), 0, 0) != 0; }

void CPictureEx::Animate() {
    if (frames_.empty()) return;
    HWND window = hwnd();
    if (current_frame_ >= frames_.size()) current_frame_ = 0;
    DisposeFrame(frames_[current_frame_]);
    while (!Stopping()) {
        Frame& frame = frames_[current_frame_];
        if (frame.picture && RenderFrame(frame) && window) InvalidateRect(window, nullptr, FALSE);
        if (Stopping()) break;
        const DWORD wait = (frame.delay == gif::kNoDelay || frame.delay < 5)
                               ? kShortFrameMs
                               : frame.delay * 10;
        WaitForSingleObject(stop_event_, wait);
        if (Stopping()) break;
        DisposeFrame(frame);
        if (++current_frame_ >= frames_.size()) {
            current_frame_ = 0;
            ScopedLock lock(lock_);
            FillBackground(RECT{0, 0, width_, height_});
        }
    }
}

bool CPictureEx::RenderFrame(Frame& frame) {
    ScopedLock lock(lock_);
    const int left = static_cast<int>(frame.left), top = static_cast<int>(frame.top);
    const int width = static_cast<int>(frame.width), height = static_cast<int>(frame.height);
    if (frame.disposal == 3) {
        // What lies under the frame comes back when the frame is disposed of.
        if (restore_dc_) {
            SelectObject(restore_dc_, restore_old_bitmap_);
            DeleteDC(restore_dc_);
            DeleteObject(restore_bitmap_);
            restore_dc_ = nullptr;
            restore_bitmap_ = nullptr;
        }
        restore_dc_ = CreateCompatibleDC(memory_dc_);
        restore_bitmap_ = restore_dc_ ? CreateCompatibleBitmap(memory_dc_, width, height) : nullptr;
        if (restore_bitmap_) {
            restore_old_bitmap_ = SelectObject(restore_dc_, restore_bitmap_);
            BitBlt(restore_dc_, 0, 0, width, height, memory_dc_, left, top, SRCCOPY);
        } else if (restore_dc_) {
            DeleteDC(restore_dc_);
            restore_dc_ = nullptr;
        }
    }
    return RenderPicture(frame.picture, memory_dc_, left, top, width, height);
}

void CPictureEx::DisposeFrame(const Frame& frame) {
    ScopedLock lock(lock_);
    const int left = static_cast<int>(frame.left), top = static_cast<int>(frame.top);
    const int width = static_cast<int>(frame.width), height = static_cast<int>(frame.height);
    if (frame.disposal == 2) {
        FillBackground(RECT{left, top, left + width, top + height});
    } else if (frame.disposal == 3 && restore_dc_) {
        BitBlt(memory_dc_, left, top, width, height, restore_dc_, 0, 0, SRCCOPY);
        SelectObject(restore_dc_, restore_old_bitmap_);
        DeleteDC(restore_dc_);
        DeleteObject(restore_bitmap_);
        restore_dc_ = nullptr;
        restore_bitmap_ = nullptr;
        restore_old_bitmap_ = nullptr;
    }
}

void CPictureEx::FillBackground(const RECT& rect) {
    HBRUSH brush = CreateSolidBrush(background_color_);
    if (!brush) return;
    FillRect(memory_dc_, &rect, brush);
    DeleteObject(brush);
}
