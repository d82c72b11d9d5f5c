#include "updater/framework/WinApp.h"

#include <string>

namespace {
HINSTANCE g_resource_handle = nullptr;
}

CWinApp::CWinApp() = default;
CWinApp::~CWinApp() = default;

namespace framework {

HINSTANCE ResourceHandle() {
    return g_resource_handle ? g_resource_handle : GetModuleHandleA(nullptr);
}

void SetResourceHandle(HINSTANCE module) { g_resource_handle = module; }

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
    if (size <= 0) return buffer;
    buffer[0] = '\0';
    LoadStringA(ResourceHandle(), id, buffer, size);
    return buffer;
}

}  // namespace framework
