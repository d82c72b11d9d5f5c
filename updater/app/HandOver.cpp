#include "updater/app/HandOver.h"

#include "updater/data/UpdateInfo.h"
#include "updater/platform/DebugTrace.h"

namespace {

void Trace(const std::string& text) {
    if (IsDebugTraceEnabled()) DebugTrace(text.c_str());
}

}  // namespace

UINT HandOverTakenMessage() {
    static const UINT message = RegisterWindowMessageA("NorvaneHandOverTaken");
    return message;
}

bool IsUsableDataFolder(const std::string& folder) {
    if (!IsAbsoluteLocalFolderText(folder)) return false;
    const DWORD attributes = GetFileAttributesA(folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        return false;
    }
    const std::string root = folder.substr(0, 3);
    const UINT drive = GetDriveTypeA(root.c_str());
    return drive == DRIVE_FIXED || drive == DRIVE_REMOVABLE || drive == DRIVE_RAMDISK;
}

bool CheckHandOverInputs(const HandOverArguments& arguments, const std::string& product) {
    if (!arguments.valid) {
        Trace("Hand-over refused : arguments after the product name are not understood");
        return false;
    }
    if (!arguments.data_folder.empty()) {
        if (!IsUsableDataFolder(arguments.data_folder)) {
            Trace("Hand-over refused : no local data folder " + arguments.data_folder);
            return false;
        }
        // Elevated as another account, this copy's own application data is that account's.
        UseDataRoot(arguments.data_folder);
    }
    CUpdateInfo info;
    if (!LoadUpdateInfo(info, product)) {
        Trace("Hand-over refused : no update information in " + DataRoot());
        return false;
    }
    return true;
}

void AnnounceTakeOver(const HandOverArguments& arguments) {
    if (arguments.window == 0) return;
    HWND window = reinterpret_cast<HWND>(static_cast<UINT_PTR>(arguments.window));
    if (!IsWindow(window)) return;
    PostMessageA(window, HandOverTakenMessage(), GetCurrentProcessId(), 0);
}

std::string InstanceWindowProperty(const std::string& product) {
    return "NorvaneWindow_" + product;
}

namespace {

struct WindowSearch {
    std::string property;
    HWND found = nullptr;
};

BOOL CALLBACK FindInstanceWindow(HWND window, LPARAM context) {
    WindowSearch* search = reinterpret_cast<WindowSearch*>(context);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == GetCurrentProcessId()) return TRUE;
    if (!GetPropA(window, search->property.c_str())) return TRUE;
    search->found = window;
    return FALSE;
}

}  // namespace

bool BringInstanceWindowToFront(const std::string& product) {
    WindowSearch search;
    search.property = InstanceWindowProperty(product);
    EnumWindows(FindInstanceWindow, reinterpret_cast<LPARAM>(&search));
    if (!search.found) return false;
    // The window's own process is not in the foreground; a restore posted to it would wait for
    // its queue, so the restore is asked of the window directly and the front taken for it.
    if (IsIconic(search.found)) ShowWindowAsync(search.found, SW_RESTORE);
    SetForegroundWindow(search.found);
    return true;
}
