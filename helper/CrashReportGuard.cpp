#include "helper/CrashReportGuard.h"

namespace pallix {

CrashReportGuard::CrashReportGuard() {}

CrashReportGuard::~CrashReportGuard() { Finalize(); }

void CrashReportGuard::Finalize() {
    if (!library_) return;
    FreeLibrary(library_);
    library_ = nullptr;
}

}  // namespace pallix
