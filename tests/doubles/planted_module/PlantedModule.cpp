// A language module someone planted beside Norvane: every resource of the real one, and code
// that runs as soon as a process loads it as a library. The code only leaves a mark, in the file
// named by PLANTED_MODULE_MARK, so that a test can tell whether it ran.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (reason != DLL_PROCESS_ATTACH) return TRUE;
    char mark[MAX_PATH] = {};
    if (GetEnvironmentVariableA("PLANTED_MODULE_MARK", mark, MAX_PATH) == 0) return TRUE;
    HANDLE file = CreateFileA(mark, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        WriteFile(file, "ran", 3, &written, nullptr);
        CloseHandle(file);
    }
    return TRUE;
}
