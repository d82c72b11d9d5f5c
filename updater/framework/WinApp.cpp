#include "updater/framework/WinApp.h"

#include "updater/platform/ResourceModule.h"

CWinApp::CWinApp() = default;
CWinApp::~CWinApp() = default;

namespace framework {

HINSTANCE ResourceHandle() { return ResourceModule(); }

void SetResourceHandle(HINSTANCE module) { SetResourceModule(module); }

int RunApplication(CWinApp& app) {
    // A start that throws ends like a failed one: ExitInstance still runs and gives the code.
    try {
        if (app.InitInstance()) {
            MSG msg;
            while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
                TranslateMessage(&msg);
                DispatchMessageA(&msg);
            }
        }
    } catch (...) {
    }
    try {
        return app.ExitInstance();
    } catch (...) {
        return CWinApp::kDefaultExitCode;
    }
}

const char* LoadResString(UINT id, char* buffer, int size) {
    return LoadModuleString(id, buffer, size);
}

}  // namespace framework
