#pragma once
// Watches whether a window of another thread or process keeps answering: a thread of its own
// sends it a message after another, each with a time bound, until stopped, and keeps every
// answer's round trip. A message that is not answered within the bound while the window is
// still shown is a miss; a hidden window is not asked, and one that has gone ends the probing.
#include <windows.h>

#include <atomic>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace testsupport {

class AnswerProbe {
public:
    // Starts at once; `gap_ms` is the pause between one answer and the next message.
    AnswerProbe(HWND window, DWORD bound_ms, DWORD gap_ms = 20);
    ~AnswerProbe();  // stops
    AnswerProbe(const AnswerProbe&) = delete;
    AnswerProbe& operator=(const AnswerProbe&) = delete;

    // Ends the probing; what was seen stays readable. Messages sent to the calling thread's own
    // windows meanwhile are answered, so that a probe of one of them ends at once.
    void Stop();
    size_t answered() const;
    size_t misses() const;
    // Round trips of the answered messages, in milliseconds, in the order sent.
    std::vector<double> round_trips_ms() const;
    // When each unanswered message was sent, in milliseconds after the probe began.
    std::vector<double> misses_at_ms() const;
    // When each answer slower than slow_ms was asked for (after the probe began) and how long it
    // took, both in milliseconds: to tell which step of a walk keeps the window busy.
    std::vector<std::pair<double, double>> slow_answers(double slow_ms) const;
    // Milliseconds since the probe began, on the clock of the figures above.
    double elapsed_ms() const;

private:
    void Run();

    const HWND window_;
    const DWORD bound_ms_;
    const DWORD gap_ms_;
    std::atomic<bool> stopping_{false};
    HANDLE finished_;  // set when the probing thread is done
    mutable std::mutex mutex_;
    LARGE_INTEGER frequency_;
    LARGE_INTEGER start_;
    std::vector<double> round_trips_ms_;
    std::vector<double> sent_at_ms_;  // of each answered message
    std::vector<double> misses_at_ms_;
    std::thread thread_;
};

}  // namespace testsupport
