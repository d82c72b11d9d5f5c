#pragma once
// The thin application layer Norvane builds on: one application object, a resource module that
// every later resource load uses, and the start-up/shut-down order of a dialog-based program.
#include <windows.h>

class CWinApp {
public:
    CWinApp();
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    // Returns false to end the program without a message loop.
    virtual BOOL InitInstance() { return TRUE; }
    virtual int ExitInstance() { return kDefaultExitCode; }

    // The exit code when nothing else decides it.
    static constexpr int kDefaultExitCode = 0;

    HWND main_window = nullptr;
};

namespace framework {

// The module every template, string, icon and bitmap is loaded from (the executable until the
// language module takes over).
HINSTANCE ResourceHandle();
void SetResourceHandle(HINSTANCE module);

// Runs InitInstance and, when it asks for it, a message loop; then ExitInstance, whose result
// becomes the process exit code. Nothing thrown leaves it: an exception from the start or the
// loop ends them and ExitInstance still runs; one from ExitInstance gives kDefaultExitCode.
int RunApplication(CWinApp& app);

// String resource from the resource module; empty when missing.
const char* LoadResString(UINT id, char* buffer, int size);

}  // namespace framework
