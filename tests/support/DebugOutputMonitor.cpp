#include "tests/support/DebugOutputMonitor.h"

#include <cstring>

namespace testsupport {

DebugOutputMonitor::DebugOutputMonitor() {
    buffer_ready_ = CreateEventA(nullptr, FALSE, FALSE, "DBWIN_BUFFER_READY");
    data_ready_ = CreateEventA(nullptr, FALSE, FALSE, "DBWIN_DATA_READY");
    mapping_ = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4096, "DBWIN_BUFFER");
    if (!buffer_ready_ || !data_ready_ || !mapping_) return;
    view_ = static_cast<const char*>(MapViewOfFile(mapping_, FILE_MAP_READ, 0, 0, 4096));
    if (!view_) return;
    SetEvent(buffer_ready_);
    thread_ = std::thread([this] { Loop(); });
}

DebugOutputMonitor::~DebugOutputMonitor() {
    stopping_ = true;
    if (thread_.joinable()) thread_.join();
    if (view_) UnmapViewOfFile(view_);
    for (HANDLE handle : {buffer_ready_, data_ready_, mapping_}) {
        if (handle) CloseHandle(handle);
    }
}

void DebugOutputMonitor::Loop() {
    while (!stopping_) {
        if (WaitForSingleObject(data_ready_, 50) != WAIT_OBJECT_0) continue;
        DWORD pid = 0;
        memcpy(&pid, view_, sizeof(pid));
        std::string text(view_ + sizeof(DWORD), strnlen(view_ + sizeof(DWORD), 4096 - sizeof(DWORD)));
        {
            std::lock_guard<std::mutex> lock(mutex_);
            lines_.emplace_back(pid, text);
        }
        SetEvent(buffer_ready_);
    }
}

std::vector<std::string> DebugOutputMonitor::Lines(DWORD pid) const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<std::string> result;
    for (const auto& line : lines_) {
        if (pid == 0 || line.first == pid) result.push_back(line.second);
    }
    return result;
}

std::string DebugOutputMonitor::Joined(DWORD pid) const {
    std::string result;
    for (const std::string& line : Lines(pid)) result += line;
    return result;
}

}  // namespace testsupport
