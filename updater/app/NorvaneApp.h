#pragma once
// Norvane's process entry: command line, command mode, one instance per product, the language
// module, and either the one-shot log request or the modal update window.
#include <windows.h>

#include <string>

#include "updater/app/ModeSwitches.h"
#include "updater/framework/WinApp.h"

class CNorvaneApp : public CWinApp {
public:
    CNorvaneApp() = default;
    ~CNorvaneApp() override;

    BOOL InitInstance() override;
    int ExitInstance() override;

    int mode = -1;
    std::string product_name;
    HANDLE instance_mutex = nullptr;
    HMODULE language_module = nullptr;
    int sendlog_result = 0;

    // Exposed for tests that drive start-up with their own arguments.
    bool ParseCommandLine(int argc, char** argv);
    bool AcquireInstanceMutex();
    bool LoadLanguageModule();

private:
    // Runs the update window; a seam so that the window can grow without touching start-up.
    void RunUpdateWindow();
    bool ole_initialized_ = false;
    bool hand_over_refused_ = false;  // an "/adminprogress" copy that could not take over
};
