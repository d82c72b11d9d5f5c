#pragma once
// Brackets Pallix's whole run with the crash-report library, when the toolbar's settings allow
// log collection and the library lies beside Pallix.
#include <windows.h>

namespace pallix {

class CrashReportGuard {
public:
    CrashReportGuard();
    ~CrashReportGuard();
    CrashReportGuard(const CrashReportGuard&) = delete;
    CrashReportGuard& operator=(const CrashReportGuard&) = delete;

    // Unregisters and unloads the library; safe to call more than once.
    void Finalize();
    bool active() const { return library_ != nullptr; }

private:
    HMODULE library_ = nullptr;
};

}  // namespace pallix
