#pragma once
// Collects the debugger-output lines (OutputDebugString) of every process while it exists,
// through the system-wide DBWIN buffer a debug monitor uses. Only one monitor per session can
// listen, so tests that use it must not overlap.
#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace testsupport {

class DebugOutputMonitor {
public:
    DebugOutputMonitor();
    ~DebugOutputMonitor();
    DebugOutputMonitor(const DebugOutputMonitor&) = delete;
    DebugOutputMonitor& operator=(const DebugOutputMonitor&) = delete;

    bool ok() const { return view_ != nullptr; }
    // Texts received from the process, in order (all processes when pid is 0).
    std::vector<std::string> Lines(DWORD pid = 0) const;
    std::string Joined(DWORD pid = 0) const;

private:
    void Loop();

    HANDLE buffer_ready_ = nullptr;
    HANDLE data_ready_ = nullptr;
    HANDLE mapping_ = nullptr;
    const char* view_ = nullptr;
    std::atomic<bool> stopping_{false};
    std::thread thread_;
    mutable std::mutex mutex_;
    std::vector<std::pair<DWORD, std::string>> lines_;
};

}  // namespace testsupport
