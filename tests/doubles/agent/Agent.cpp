// Stand-in for the update agent, Dravel.exe. Every run leaves a call record beside the executable
// (tests/doubles/CallRecord.h), also the "/AlwaysOnTop Ostrey" restart after an update.
//
// "/checkupdate <product>" plays the scenario a test put beside the executable:
//   Dravel.UpdateInfo.ini   copied byte for byte to the product's UpdateInfo.ini in the agent's
//                           data folder (%APPDATA%\Quindel\Dravel\<product>), through a
//                           temporary name; without it that file is deleted (a check that wrote
//                           nothing)
//   Dravel.scenario.ini     [Check] DelayMs=<wait before writing>
//                                   End=exit | crash | hang (default exit)
//                                   ExitCode=<code of a normal end> (default 0)
// "crash" is a real access violation, not an exit; "hang" never ends on its own.
#include <windows.h>
#include <shlobj.h>

#include <string>

#include "tests/doubles/CallRecord.h"

namespace {

std::string Scenario(const char* key, const char* fallback) {
    const std::string ini = calls::OwnFolder() + "\\Dravel.scenario.ini";
    char value[256] = {};
    GetPrivateProfileStringA("Check", key, fallback, value, sizeof(value), ini.c_str());
    return value;
}

std::string ReadWhole(const std::string& path, bool* found) {
    *found = false;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return "";
    std::string text;
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(file, buffer, sizeof(buffer), &read, nullptr) && read > 0) text.append(buffer, read);
    CloseHandle(file);
    *found = true;
    return text;
}

void WriteUpdateInfo(const std::string& product) {
    char appdata[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathA(nullptr, CSIDL_APPDATA, nullptr, 0, appdata))) return;
    std::string folder = std::string(appdata) + "\\Quindel";
    CreateDirectoryA(folder.c_str(), nullptr);
    folder += "\\Dravel";
    CreateDirectoryA(folder.c_str(), nullptr);
    folder += "\\" + product;
    CreateDirectoryA(folder.c_str(), nullptr);
    const std::string target = folder + "\\UpdateInfo.ini";

    bool found = false;
    const std::string text = ReadWhole(calls::OwnFolder() + "\\Dravel.UpdateInfo.ini", &found);
    if (found) {
        calls::WriteByRename(target, text);
    } else {
        DeleteFileA(target.c_str());
    }
}

void Crash() {
    // Through a volatile pointer, so that the compiler keeps the faulting write.
    volatile int* nowhere = nullptr;
    *nowhere = 1;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    calls::WriteCallRecord();

    int count = 0;
    LPWSTR* args = CommandLineToArgvW(GetCommandLineW(), &count);
    std::string command, product;
    if (args && count >= 3) {
        char text[MAX_PATH] = {};
        WideCharToMultiByte(CP_ACP, 0, args[1], -1, text, sizeof(text) - 1, nullptr, nullptr);
        command = text;
        WideCharToMultiByte(CP_ACP, 0, args[2], -1, text, sizeof(text) - 1, nullptr, nullptr);
        product = text;
    }
    if (args) LocalFree(args);
    if (lstrcmpiA(command.c_str(), "/checkupdate") != 0 || product.empty()) return 0;

    const DWORD delay = strtoul(Scenario("DelayMs", "0").c_str(), nullptr, 10);
    if (delay) Sleep(delay);
    WriteUpdateInfo(product);

    const std::string end = Scenario("End", "exit");
    if (end == "crash") Crash();
    if (end == "hang") {
        for (;;) Sleep(1000);
    }
    return static_cast<int>(strtol(Scenario("ExitCode", "0").c_str(), nullptr, 10));
}
