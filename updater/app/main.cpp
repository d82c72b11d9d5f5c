// Norvane's entry point: narrows the DLL search path before anything is loaded, then runs the
// one application object.
#include <windows.h>

#include "updater/app/NorvaneApp.h"
#include "updater/pages/SetupMessages.h"
#include "updater/platform/Hardening.h"

namespace {
CNorvaneApp the_app;
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    // RunApplication lets nothing through; this catches what could come before it.
    try {
        NarrowDllSearchPath();
        // Before anything runs, so that the window and the progress page agree on the numbers.
        RegisterSetupMessages();
        return framework::RunApplication(the_app);
    } catch (...) {
        return CWinApp::kDefaultExitCode;
    }
}
