// The animated picture: the module's loading animation, GIFs made here frame by frame, still
// pictures, and stopping, watched through the pixels the control shows.
#include <windows.h>

#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "tests/controls/ControlsTestSupport.h"
#include "tests/controls/GifBuilder.h"
#include "updater/controls/PictureEx.h"

namespace {

using controlstest::Capture;
using controlstest::TestDialog;
using giftest::Colour;
using giftest::GifBuilder;

constexpr int kPictureId = 1224;
const std::vector<Colour> kPalette = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}};
constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kGreen = RGB(0, 255, 0);
constexpr COLORREF kBlue = RGB(0, 0, 255);

// Loads bytes the way the pages hand them over: a movable global block, freed afterwards.
bool Load(CPictureEx& picture, const std::vector<uint8_t>& bytes) {
    HGLOBAL block = controlstest::ToGlobal(bytes);
    const bool loaded = picture.LoadFromMemory(block, static_cast<DWORD>(bytes.size()));
    GlobalFree(block);
    return loaded;
}

// The thread that appeared between two looks at the process, opened to read its exit code.
HANDLE OpenNewThread(const std::set<DWORD>& before) {
    for (DWORD id : controlstest::ThreadIds()) {
        if (!before.count(id)) return OpenThread(THREAD_ALL_ACCESS, FALSE, id);
    }
    return nullptr;
}

DWORD ExitCodeOf(HANDLE thread) {
    WaitForSingleObject(thread, 10000);
    DWORD code = 0;
    GetExitCodeThread(thread, &code);
    return code;
}

class PictureTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(nullptr, module_.module());
        ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
        ASSERT_NE(nullptr, dialog_.hwnd());
        // As the loading page makes it: a static with an empty rectangle.
        control_ = dialog_.AddControl("Static", "loading_gif", 0, kPictureId, 10, 10, 0, 0);
        ASSERT_NE(nullptr, control_);
    }
    void TearDown() override {
        picture_.Release();
        CoUninitialize();
    }

    // Samples the control every few milliseconds for `ms`, pumping messages in between.
    std::vector<Capture> Watch(DWORD ms, DWORD step = 10) {
        std::vector<Capture> shots;
        const DWORD start = GetTickCount();
        while (GetTickCount() - start < ms) {
            controlstest::Pump(step);
            shots.emplace_back(control_);
        }
        return shots;
    }

    controlstest::ModuleScope module_;
    TestDialog dialog_{40, 40, 200, 120};
    HWND control_ = nullptr;
    CPictureEx picture_;
};

TEST_F(PictureTest, ModuleAnimationPlaysAndStops) {
    ASSERT_TRUE(picture_.Subclass(control_));
    ASSERT_TRUE(picture_.LoadFromResource());
    EXPECT_EQ(32, picture_.width());
    EXPECT_EQ(32, picture_.height());
    EXPECT_EQ(12, picture_.frame_count());
    RECT r;
    GetClientRect(control_, &r);
    EXPECT_EQ(32, r.right);
    EXPECT_EQ(32, r.bottom);
    EXPECT_FALSE(picture_.LoadFromResource());  // loaded already

    const auto before = controlstest::ThreadIds();
    ASSERT_TRUE(picture_.StartPlayback());
    EXPECT_TRUE(picture_.is_playing());
    EXPECT_FALSE(picture_.StartPlayback());
    HANDLE worker = OpenNewThread(before);
    ASSERT_NE(nullptr, worker);

    // Twelve frames of 80 ms: in two seconds the control shows several different pictures.
    const auto shots = Watch(2000, 40);
    std::vector<const Capture*> distinct;
    for (const auto& shot : shots) {
        bool seen = false;
        for (const Capture* d : distinct) seen = seen || *d == shot;
        if (!seen) distinct.push_back(&shot);
    }
    EXPECT_GE(distinct.size(), 4u);

    picture_.StopPlayback();
    EXPECT_FALSE(picture_.is_playing());
    EXPECT_EQ(4386u, ExitCodeOf(worker));
    CloseHandle(worker);
    controlstest::Pump(50);
    const Capture stopped(control_);
    controlstest::Pump(300);
    EXPECT_TRUE(stopped == Capture(control_));

    // Playing again after a stop works, and Release leaves nothing loaded.
    EXPECT_TRUE(picture_.StartPlayback());
    picture_.Release();
    EXPECT_FALSE(picture_.is_playing());
    EXPECT_EQ(0, picture_.width());
    EXPECT_EQ(0, picture_.frame_count());
    EXPECT_TRUE(picture_.LoadFromResource());
}

// Three frames: red over the whole picture, green in the middle with the given disposal, then a
// blue corner. While the corner shows, the middle shows what the disposal left.
COLORREF MiddleWhileTheCornerShows(CPictureEx& picture, HWND control, int disposal,
                                   int* samples) {
    GifBuilder gif(16, 16, kPalette);
    gif.Control(15, 1).Image(0, 0, 16, 16, 0);
    gif.Control(15, disposal).Image(4, 4, 8, 8, 1);
    gif.Control(15, 1).Image(0, 0, 2, 2, 2);
    gif.Trailer();
    if (!Load(picture, gif.bytes()) || !picture.StartPlayback()) return CLR_INVALID;
    std::set<COLORREF> middles;
    *samples = 0;
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < 1500) {
        controlstest::Pump(10);
        const Capture shot(control);
        if (shot.At(0, 0) == kBlue) {
            ++*samples;
            middles.insert(shot.At(8, 8));
        }
    }
    picture.Release();
    return middles.size() == 1 ? *middles.begin() : CLR_INVALID;
}

TEST_F(PictureTest, DisposalRestoresBackgroundOrPreviousPixels) {
    ASSERT_TRUE(picture_.Subclass(control_));
    int samples = 0;
    EXPECT_EQ(kGreen, MiddleWhileTheCornerShows(picture_, control_, 1, &samples));
    EXPECT_GT(samples, 0);
    EXPECT_EQ(GetSysColor(COLOR_BTNFACE),
              MiddleWhileTheCornerShows(picture_, control_, 2, &samples));
    EXPECT_GT(samples, 0);
    EXPECT_EQ(kRed, MiddleWhileTheCornerShows(picture_, control_, 3, &samples));
    EXPECT_GT(samples, 0);
}

// Counts how often the colour at (0,0) changes while two frames alternate, and the time it
// took.
int Alternations(CPictureEx& picture, HWND control, GifBuilder& gif, DWORD* elapsed) {
    if (!Load(picture, gif.bytes()) || !picture.StartPlayback()) return -1;
    int changes = 0;
    COLORREF last = CLR_INVALID;
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < 1500) {
        controlstest::Pump(5);
        const COLORREF now = Capture(control).At(0, 0);
        if (now != kRed && now != kGreen) continue;
        if (last != CLR_INVALID && now != last) ++changes;
        last = now;
    }
    *elapsed = GetTickCount() - start;
    picture.Release();
    return changes;
}

TEST_F(PictureTest, ShortAndMissingDelaysShowAFrameFor100Ms) {
    ASSERT_TRUE(picture_.Subclass(control_));
    DWORD elapsed = 0;
    // Delays 0 and 4 hundredths: 100 ms each, so at most one change per 50 ms (half of that).
    GifBuilder fast(8, 8, kPalette);
    fast.Control(0, 1).Image(0, 0, 8, 8, 0).Control(4, 1).Image(0, 0, 8, 8, 1).Trailer();
    int changes = Alternations(picture_, control_, fast, &elapsed);
    EXPECT_GE(changes, 2);
    EXPECT_LE(changes, static_cast<int>(elapsed / 50) + 1);

    // Frames without a control extension are shown 100 ms too (not "forever").
    GifBuilder bare(8, 8, kPalette);
    bare.Image(0, 0, 8, 8, 0).Image(0, 0, 8, 8, 1).Trailer();
    changes = Alternations(picture_, control_, bare, &elapsed);
    EXPECT_GE(changes, 2);
    EXPECT_LE(changes, static_cast<int>(elapsed / 50) + 1);
}

TEST_F(PictureTest, SingleFrameGifAndBitmapStayStillWithoutAThread) {
    ASSERT_TRUE(picture_.Subclass(control_));
    GifBuilder gif(10, 6, kPalette);
    gif.Control(5, 0).Image(0, 0, 10, 6, 2).Trailer();
    ASSERT_TRUE(Load(picture_, gif.bytes()));
    EXPECT_EQ(0, picture_.frame_count());
    EXPECT_EQ(10, picture_.width());
    EXPECT_EQ(6, picture_.height());
    auto before = controlstest::ThreadIds();
    ASSERT_TRUE(picture_.StartPlayback());
    EXPECT_TRUE(picture_.is_playing());
    controlstest::Pump(100);
    EXPECT_EQ(before, controlstest::ThreadIds());
    Capture shot(control_);
    EXPECT_EQ(10, shot.width());
    EXPECT_EQ(kBlue, shot.At(0, 0));
    EXPECT_EQ(kBlue, shot.At(9, 5));
    picture_.StopPlayback();
    EXPECT_FALSE(picture_.is_playing());

    // A second load needs a Release first.
    EXPECT_FALSE(Load(picture_, gif.bytes()));
    picture_.Release();

    // A bitmap: sized from the picture itself.
    const auto bmp = controlstest::SolidBmp(20, 12, RGB(0, 128, 255));
    ASSERT_TRUE(Load(picture_, bmp));
    EXPECT_EQ(20, picture_.width());
    EXPECT_EQ(12, picture_.height());
    EXPECT_EQ(0, picture_.frame_count());
    before = controlstest::ThreadIds();
    ASSERT_TRUE(picture_.StartPlayback());
    controlstest::Pump(100);
    EXPECT_EQ(before, controlstest::ThreadIds());
    shot = Capture(control_);
    EXPECT_EQ(20, shot.width());
    EXPECT_EQ(12, shot.height());
    EXPECT_EQ(RGB(0, 128, 255), shot.At(0, 0));
    EXPECT_EQ(RGB(0, 128, 255), shot.At(19, 11));
}

TEST_F(PictureTest, BadDataFailsAndLeavesNothingLoaded) {
    ASSERT_TRUE(picture_.Subclass(control_));
    EXPECT_FALSE(picture_.LoadFromMemory(nullptr, 100));
    EXPECT_FALSE(Load(picture_, {'n', 'o', 't', ' ', 'a', ' ', 'p', 'i', 'c'}));
    EXPECT_FALSE(Load(picture_, {'G', 'I', 'F', '8', '9', 'a'}));
    // Nothing but extensions: no frame.
    EXPECT_FALSE(Load(picture_, GifBuilder(4, 4, kPalette).Comment("x").Trailer().bytes()));
    EXPECT_EQ(0, picture_.width());
    EXPECT_FALSE(picture_.StartPlayback());

    // A logical screen too large for a bitmap: the memory context cannot be made, so the load
    // fails and leaves nothing behind.
    GifBuilder huge(65535, 65535, kPalette);
    huge.Control(5, 0).Image(0, 0, 4, 4, 0).Control(5, 0).Image(0, 0, 4, 4, 1).Trailer();
    EXPECT_FALSE(Load(picture_, huge.bytes()));
    EXPECT_EQ(0, picture_.width());
    EXPECT_EQ(0, picture_.frame_count());

    // A size larger than the block is held to the block.
    GifBuilder two(4, 4, kPalette);
    two.Control(5, 0).Image(0, 0, 4, 4, 0).Control(5, 0).Image(0, 0, 4, 4, 1).Trailer();
    HGLOBAL block = controlstest::ToGlobal(two.bytes());
    EXPECT_TRUE(picture_.LoadFromMemory(block, 1u << 30));
    GlobalFree(block);
    EXPECT_EQ(2, picture_.frame_count());
    picture_.Release();

    // Every cut of a three-frame GIF loads at most its whole frames, or fails.
    GifBuilder three(8, 8, kPalette);
    for (int i = 0; i < 3; ++i) three.Control(5, 2).Comment("c").Image(i, i, 4, 4, uint8_t(i));
    three.Trailer();
    const auto& full = three.bytes();
    for (size_t n = 0; n <= full.size(); n += 3) {
        const std::vector<uint8_t> cut(full.begin(), full.begin() + n);
        if (Load(picture_, cut)) {
            EXPECT_LE(picture_.frame_count(), 3) << n;
            EXPECT_TRUE(picture_.StartPlayback()) << n;
        }
        picture_.Release();
        EXPECT_EQ(0, picture_.width()) << n;
    }
}

TEST_F(PictureTest, StoppingAStuckWorkerEndsItAfterFiveSeconds) {
    ASSERT_TRUE(picture_.Subclass(control_));
    // Long frames, so that the worker sits in its wait when it is suspended.
    GifBuilder gif(8, 8, kPalette);
    gif.Control(3000, 1).Image(0, 0, 8, 8, 0).Control(3000, 1).Image(0, 0, 8, 8, 1).Trailer();
    ASSERT_TRUE(Load(picture_, gif.bytes()));
    const auto before = controlstest::ThreadIds();
    ASSERT_TRUE(picture_.StartPlayback());
    HANDLE worker = OpenNewThread(before);
    ASSERT_NE(nullptr, worker);
    controlstest::Pump(300);
    ASSERT_NE(static_cast<DWORD>(-1), SuspendThread(worker));

    const DWORD start = GetTickCount();
    picture_.StopPlayback();
    const DWORD took = GetTickCount() - start;
    EXPECT_GE(took, 2500u);  // it did wait for the worker, not give up at once
    EXPECT_FALSE(picture_.is_playing());
    EXPECT_EQ(4626u, ExitCodeOf(worker));
    CloseHandle(worker);

    // The control still paints, and plays and stops again.
    InvalidateRect(control_, nullptr, FALSE);
    controlstest::Pump(50);
    EXPECT_EQ(kRed, Capture(control_).At(4, 4));
    const auto again = controlstest::ThreadIds();
    ASSERT_TRUE(picture_.StartPlayback());
    HANDLE second = OpenNewThread(again);
    ASSERT_NE(nullptr, second);
    controlstest::Pump(100);
    picture_.StopPlayback();
    EXPECT_EQ(4386u, ExitCodeOf(second));
    CloseHandle(second);
}

TEST_F(PictureTest, DestroyingTheWindowStopsThePlayback) {
    ASSERT_TRUE(picture_.Subclass(control_));
    ASSERT_TRUE(picture_.LoadFromResource());
    const auto before = controlstest::ThreadIds();
    ASSERT_TRUE(picture_.StartPlayback());
    HANDLE worker = OpenNewThread(before);
    ASSERT_NE(nullptr, worker);
    controlstest::Pump(100);
    DestroyWindow(control_);
    EXPECT_FALSE(picture_.is_playing());
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(worker, 0));
    EXPECT_EQ(4386u, ExitCodeOf(worker));
    CloseHandle(worker);
}

}  // namespace
