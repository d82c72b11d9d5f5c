// Pallix: the toolbar's windowless install helper. One switch per run, exit code always 0.
#include <windows.h>

#include "helper/CrashReportGuard.h"
#include "helper/Dispatcher.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    // Pallix always ends with 0, whatever is thrown; the chores catch their own exceptions, so
    // this is for the guard and the command line around them.
    try {
        // The guard comes first so that a crash anywhere in the chore is reported.
        pallix::CrashReportGuard guard;
        pallix::RunDispatcher();
        guard.Finalize();
    } catch (...) {
    }
    return 0;
}
