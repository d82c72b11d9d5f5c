#include "updater/app/NorvaneApp.h"

#include <commctrl.h>
#include <ole2.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "updater/app/HandOver.h"
#include "updater/app/ModeSwitches.h"
#include "updater/app/NorvaneDlg.h"
#include "updater/app/UpdateMode.h"
#include "updater/data/ProductSettings.h"
#include "updater/platform/BasicHelpers.h"
#include "updater/platform/DebugTrace.h"
#include "updater/platform/ModuleImage.h"

namespace {
// A previous holder of the product's mutex (the copy that handed over to an elevated one) gets
// this long to end.
constexpr DWORD kMutexWaitMs = 3000;

// The first `limit` bytes of the file (all of it when it is shorter) and the file's size.
bool ReadFileStart(const std::string& path, std::size_t limit, std::string* start,
                   std::uint64_t* size) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER length = {};
    bool read = GetFileSizeEx(file, &length) != FALSE && length.QuadPart >= 0;
    if (read) {
        *size = static_cast<std::uint64_t>(length.QuadPart);
        start->assign(static_cast<std::size_t>(std::min<std::uint64_t>(*size, limit)), '\0');
        std::size_t got = 0;
        while (read && got < start->size()) {
            DWORD chunk = 0;
            read = ReadFile(file, &(*start)[got], static_cast<DWORD>(start->size() - got), &chunk,
                            nullptr) != FALSE &&
                   chunk != 0;
            got += chunk;
        }
    }
    CloseHandle(file);
    return read;
}
}  // namespace

CNorvaneApp::~CNorvaneApp() {
    if (instance_mutex && instance_mutex != INVALID_HANDLE_VALUE) {
        ReleaseMutex(instance_mutex);
        CloseHandle(instance_mutex);
        instance_mutex = nullptr;
    }
    if (language_module) {
        FreeLibrary(language_module);
        language_module = nullptr;
    }
}

BOOL CNorvaneApp::InitInstance() {
    INITCOMMONCONTROLSEX controls = {};
    controls.dwSize = 8;
    controls.dwICC = 0xFF;
    InitCommonControlsEx(&controls);

    // The completion page hosts the web browser control, which needs OLE on this thread.
    ole_initialized_ = SUCCEEDED(OleInitialize(nullptr));

    if (!ParseCommandLine(__argc, __argv)) return FALSE;
    if (mode == AdminProgress) {
        // The copy that started this one keeps its window until it hears from this one, and
        // holds the mutex until then: everything is checked, and the answer sent, before the
        // wait for that mutex.
        const HandOverArguments hand_over = ReadHandOverArguments(__argc, __argv);
        if (!CheckHandOverInputs(hand_over, product_name) || !LoadLanguageModule()) {
            // A copy started by hand ends as every start-up failure does; one started for a
            // hand-over says why in its exit code.
            hand_over_refused_ = hand_over.given;
            return FALSE;
        }
        AnnounceTakeOver(hand_over);
    }
    if (!AcquireInstanceMutex()) return FALSE;
    if (!language_module && !LoadLanguageModule()) return FALSE;
    RunUpdateWindow();
    return FALSE;
}

void CNorvaneApp::RunUpdateWindow() {
    CNorvaneDlg window(product_name, mode);
    window.DoModal(nullptr);
    main_window = nullptr;
}

int CNorvaneApp::ExitInstance() {
    if (ole_initialized_) {
        OleUninitialize();
        ole_initialized_ = false;
    }
    const int framework_result = CWinApp::ExitInstance();
    if (hand_over_refused_) return kHandOverRefusedExit;
    return mode == SendLog ? sendlog_result : framework_result;
}

bool CNorvaneApp::ParseCommandLine(int argc, char** argv) {
    const ModeCommand command = ReadModeCommand(argc, argv);
    if (!command.complete) return false;
    mode = command.mode;
    if (mode >= ExplicitUpdate && mode <= BgPrepare) {
        product_name = command.argument;
        return command.HasProduct();
    }
    if (mode == SendLog) {
        // A request that breaks off (it can only throw for want of memory) did not go out.
        sendlog_result = kHttpGetFailed;
        sendlog_result = HttpGet(argv[2]);
        if (IsDebugTraceEnabled()) {
            const char* format = "[Sendlog result of protected mode] Send URL : %s\nSend Result : %d";
            std::vector<char> text(strlen(argv[2]) + strlen(format) + 32);
            snprintf(text.data(), text.size(), format, argv[2], sendlog_result);
            DebugTrace(text.data());
        }
        return false;
    }
    return false;
}

bool CNorvaneApp::AcquireInstanceMutex() {
    std::string name = "NorvaneMutex_" + product_name;
    if (mode == BgPrepare) name += "_Prepare";

    HANDLE existing = OpenMutexA(MUTEX_ALL_ACCESS, FALSE, name.c_str());
    if (existing) {
        // A second request for a product whose window is open: the user sees that window. The
        // elevated copy waits for the copy that handed over instead, whose window is going.
        if (mode == ExplicitUpdate || mode == UpdateNotice) BringInstanceWindowToFront(product_name);
        const DWORD wait = WaitForSingleObject(existing, kMutexWaitMs);
        if (wait == WAIT_OBJECT_0) {
            instance_mutex = existing;
            return true;
        }
        CloseHandle(existing);
        instance_mutex = nullptr;
        return false;
    }
    instance_mutex = CreateMutexA(nullptr, TRUE, name.c_str());
    if (GetLastError() == ERROR_ALREADY_EXISTS) return false;
    return instance_mutex != nullptr;
}

bool CNorvaneApp::LoadLanguageModule() {
    if (language_module) {
        FreeLibrary(language_module);
        language_module = nullptr;
    }
    const std::string path = LanguageModulePath();
    if (path.empty()) return false;
    // A cut or damaged module is mapped all the same, and the first resource past its end
    // faults inside the system: such a module counts as missing. Its headers tell where its
    // sections lie, so they and the file's size are enough to know.
    std::string headers;
    std::uint64_t size = 0;
    if (!ReadFileStart(path, kModuleHeadersCap, &headers, &size) ||
        !ModuleImageIsWhole(headers, size)) {
        return false;
    }
    // Only resources are taken from the module, and Norvane may be elevated: as a data file its
    // code never runs, whoever put it there. (LOAD_LIBRARY_AS_DATAFILE is the flag XP knows.)
    language_module = LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!language_module) return false;
    framework::SetResourceHandle(language_module);
    return true;
}
