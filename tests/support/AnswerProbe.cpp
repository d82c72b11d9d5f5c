#include "tests/support/AnswerProbe.h"

namespace testsupport {

AnswerProbe::AnswerProbe(HWND window, DWORD bound_ms, DWORD gap_ms)
    : window_(window), bound_ms_(bound_ms), gap_ms_(gap_ms), thread_([this] { Run(); }) {}

AnswerProbe::~AnswerProbe() { Stop(); }

void AnswerProbe::Stop() {
    stopping_ = true;
    if (thread_.joinable()) thread_.join();
}

size_t AnswerProbe::answered() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return round_trips_ms_.size();
}

size_t AnswerProbe::misses() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return misses_;
}

std::vector<double> AnswerProbe::round_trips_ms() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return round_trips_ms_;
}

void AnswerProbe::Run() {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    while (!stopping_ && IsWindow(window_)) {
        LARGE_INTEGER before, after;
        QueryPerformanceCounter(&before);
        DWORD_PTR ignored = 0;
        // Not SMTO_ABORTIFHUNG: a window the system already counts as hung is a miss too, and
        // the bound alone decides.
        const LRESULT answered =
            SendMessageTimeoutA(window_, WM_NULL, 0, 0, SMTO_NORMAL, bound_ms_, &ignored);
        QueryPerformanceCounter(&after);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (answered) {
                round_trips_ms_.push_back(1000.0 * static_cast<double>(after.QuadPart -
                                                                       before.QuadPart) /
                                          static_cast<double>(frequency.QuadPart));
            } else if (IsWindow(window_)) {
                ++misses_;
            }
        }
        Sleep(gap_ms_);
    }
}

}  // namespace testsupport
