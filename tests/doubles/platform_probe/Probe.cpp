// Runs Norvane's launch and rights checks inside a process of its own, so that tests can vary
// what only a process start decides: the token (limited or elevated) and the Windows version
// Wine reports for this executable's name. Answers through the exit code:
//   rights            bit 0 IsProcessElevated, bit 1 IsVistaOrLater, bit 2 IsXpOrLater,
//                     bit 3 IsLowIntegrity
//   shellexec <file>  ShellExecuteAndWait(waiting, elevation asked): the child's process id, or
//                     the shell's result when it is 32 or below
//   run <file>        RunProgram(waiting, elevation asked): 1 started, 0 not
#include <windows.h>

#include <cstring>
#include <string>

#include "updater/platform/Launch.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    int count = 0;
    LPWSTR* args = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!args) return 255;
    auto narrow = [](const wchar_t* text) {
        char buffer[MAX_PATH * 2] = {};
        WideCharToMultiByte(CP_ACP, 0, text, -1, buffer, sizeof(buffer) - 1, nullptr, nullptr);
        return std::string(buffer);
    };
    const std::string mode = count > 1 ? narrow(args[1]) : std::string("rights");
    const std::string file = count > 2 ? narrow(args[2]) : std::string();
    LocalFree(args);

    if (mode == "rights") {
        return (IsProcessElevated() ? 1 : 0) | (IsVistaOrLater() ? 2 : 0) |
               (IsXpOrLater() ? 4 : 0) | (IsLowIntegrity() ? 8 : 0);
    }
    if (mode == "shellexec") {
        DWORD pid = 0;
        int result = ShellExecuteAndWait(&pid, file, "", true, true);
        return result > 32 ? static_cast<int>(pid) : result;
    }
    if (mode == "run") return RunProgram(file, "", true, true) ? 1 : 0;
    if (mode == "medium") {
        HANDLE started = RunAsMediumIntegrity(file);
        if (!started) return 253;
        DWORD code = 252;
        if (WaitForSingleObject(started, 20000) == WAIT_OBJECT_0) GetExitCodeProcess(started, &code);
        else TerminateProcess(started, 252);
        CloseHandle(started);
        return static_cast<int>(code);
    }
    return 254;
}
