#pragma once
// A kernel handle closed when it goes out of scope; null and INVALID_HANDLE_VALUE both mean
// "none". Not copyable, so a handle is never closed twice.
#include <windows.h>

class ScopedHandle {
public:
    ScopedHandle() = default;
    explicit ScopedHandle(HANDLE handle) : handle_(handle) {}
    ~ScopedHandle() {
        if (valid()) CloseHandle(handle_);
    }
    ScopedHandle(const ScopedHandle&) = delete;
    ScopedHandle& operator=(const ScopedHandle&) = delete;

    HANDLE get() const { return handle_; }
    HANDLE* receive() { return &handle_; }
    bool valid() const { return handle_ && handle_ != INVALID_HANDLE_VALUE; }
    // Closes the handle held (if any) and holds `handle` instead.
    void reset(HANDLE handle = nullptr) {
        if (valid()) CloseHandle(handle_);
        handle_ = handle;
    }

private:
    HANDLE handle_ = nullptr;
};
