// Pallix: the toolbar's windowless install helper. One switch per run, exit code always 0.
#include <windows.h>

#include "helper/CrashReportGuard.h"
#include "helper/Dispatcher.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    // The guard comes first so that a crash anywhere in the chore is reported.
    pallix::CrashReportGuard guard;
    const int result = pallix::RunDispatcher();
    guard.Finalize();
    return result;
}
