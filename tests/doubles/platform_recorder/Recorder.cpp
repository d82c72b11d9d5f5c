// Stand-in for any program Norvane starts: appends "pid=<id> cmd=<command line>" to the file
// named by PLATFORM_RECORD_FILE, optionally sleeps ("--sleep=ms") and ends with "--exit=code".
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    const char* line = GetCommandLineA();
    char record[MAX_PATH] = {};
    if (GetEnvironmentVariableA("PLATFORM_RECORD_FILE", record, MAX_PATH) > 0) {
        HANDLE file = CreateFileA(record, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            char head[64];
            int length = std::snprintf(head, sizeof(head), "pid=%lu cmd=",
                                       static_cast<unsigned long>(GetCurrentProcessId()));
            DWORD written = 0;
            WriteFile(file, head, static_cast<DWORD>(length), &written, nullptr);
            WriteFile(file, line, static_cast<DWORD>(std::strlen(line)), &written, nullptr);
            WriteFile(file, "\n", 1, &written, nullptr);
            CloseHandle(file);
        }
    }
    if (const char* sleep = std::strstr(line, "--sleep=")) Sleep(std::atoi(sleep + 8));
    if (const char* code = std::strstr(line, "--exit=")) return std::atoi(code + 7);
    return 0;
}
