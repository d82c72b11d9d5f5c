#include "tests/support/AnswerProbe.h"

namespace testsupport {

AnswerProbe::AnswerProbe(HWND window, DWORD bound_ms, DWORD gap_ms)
    : window_(window),
      bound_ms_(bound_ms),
      gap_ms_(gap_ms),
      finished_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {
    QueryPerformanceFrequency(&frequency_);
    QueryPerformanceCounter(&start_);
    thread_ = std::thread([this] {
        Run();
        SetEvent(finished_);
    });
}

double AnswerProbe::elapsed_ms() const {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return 1000.0 * static_cast<double>(now.QuadPart - start_.QuadPart) /
           static_cast<double>(frequency_.QuadPart);
}

std::vector<std::pair<double, double>> AnswerProbe::slow_answers(double slow_ms) const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<std::pair<double, double>> slow;
    for (size_t i = 0; i < round_trips_ms_.size(); ++i) {
        if (round_trips_ms_[i] > slow_ms) slow.emplace_back(sent_at_ms_[i], round_trips_ms_[i]);
    }
    return slow;
}

AnswerProbe::~AnswerProbe() {
    Stop();
    CloseHandle(finished_);
}

void AnswerProbe::Stop() {
    stopping_ = true;
    if (!thread_.joinable()) return;
    // The probe may be waiting for this very thread to answer: answer sent messages until it
    // has finished, instead of blocking in the join.
    while (MsgWaitForMultipleObjects(1, &finished_, FALSE, INFINITE, QS_SENDMESSAGE) !=
           WAIT_OBJECT_0) {
        MSG message;
        PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
    thread_.join();
}

size_t AnswerProbe::answered() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return round_trips_ms_.size();
}

size_t AnswerProbe::misses() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return misses_at_ms_.size();
}

std::vector<double> AnswerProbe::misses_at_ms() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return misses_at_ms_;
}

std::vector<double> AnswerProbe::round_trips_ms() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return round_trips_ms_;
}

void AnswerProbe::Run() {
    const LARGE_INTEGER frequency = frequency_;
    const LARGE_INTEGER start = start_;
    const auto ms = [&](const LARGE_INTEGER& from, const LARGE_INTEGER& to) {
        return 1000.0 * static_cast<double>(to.QuadPart - from.QuadPart) /
               static_cast<double>(frequency.QuadPart);
    };
    while (!stopping_ && IsWindow(window_)) {
        // A hidden window is not watched: the user waits on nothing there (the update's last
        // steps run behind a hidden window, after the user has finished).
        if (!IsWindowVisible(window_)) {
            Sleep(gap_ms_);
            continue;
        }
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
                round_trips_ms_.push_back(ms(before, after));
                sent_at_ms_.push_back(ms(start, before));
            } else if (IsWindow(window_) && IsWindowVisible(window_)) {
                misses_at_ms_.push_back(ms(start, before));
            }
        }
        Sleep(gap_ms_);
    }
}

}  // namespace testsupport
