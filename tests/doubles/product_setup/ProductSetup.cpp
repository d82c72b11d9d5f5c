// Stand-in for a product's silent setup program. It does what the updater relies on: it takes
// the window handle from "/H=<decimal>" and reports its progress and its end to that window with
// the registered messages "QDL_PROGRESSLEN", "QDL_PROGRESSPOS" and "QDL_EXITCODE" (its own
// process id in wParam), or with WM_USER+1, +2 and +4. Settings come from the environment it
// inherits from Norvane:
//   PRODUCT_SETUP_RECORD  file written once the program has read its command line:
//                         "pid=<id>\nelevated=<0|1>\ncmd=<arguments>\n" (written to a temporary
//                         name and renamed, so a reader never sees half of it)
//   PRODUCT_SETUP_MODE    registered (default), wm_user, window (the registered messages to the
//                         window's top-level ancestor), wrong_pid (reports under another id),
//                         silent (reports nothing and ends), hang (reports the range, then never
//                         ends), crash (reports the range, then crashes), wait (reports nothing
//                         and never ends: the test reports in its place)
//   PRODUCT_SETUP_STEPS   progress steps before the end (default 4)
//   PRODUCT_SETUP_DELAY   milliseconds between messages (default 50)
//   PRODUCT_SETUP_EXIT    exit code (default 0)
//   PRODUCT_SETUP_GATE    a file: the end is reported only once it exists (the test opens the
//                         gate when it has seen what it wants of the run); the program says that
//                         it waits there, every report before the end posted, by making
//                         "<file>.reached"; a gate that stays shut for ten minutes ends it
//                         without the report
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

std::string Env(const char* name) {
    char value[1024] = {};
    DWORD length = GetEnvironmentVariableA(name, value, sizeof(value));
    return length > 0 && length < sizeof(value) ? std::string(value, length) : std::string();
}

int EnvNumber(const char* name, int fallback) {
    const std::string text = Env(name);
    return text.empty() ? fallback : atoi(text.c_str());
}

// The command line without the program path (which may be quoted).
std::string Arguments() {
    const char* line = GetCommandLineA();
    if (*line == '"') {
        ++line;
        while (*line && *line != '"') ++line;
        if (*line) ++line;
    } else {
        while (*line && *line != ' ' && *line != '\t') ++line;
    }
    while (*line == ' ' || *line == '\t') ++line;
    return line;
}

bool Elevated() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
    DWORD elevation = 0, size = 0;
    const bool read = GetTokenInformation(token, static_cast<TOKEN_INFORMATION_CLASS>(20),
                                          &elevation, sizeof(elevation), &size) != FALSE;
    CloseHandle(token);
    return read && elevation != 0;
}

void WriteRecord(const std::string& path, const std::string& arguments) {
    const std::string temporary = path + ".part";
    FILE* file = fopen(temporary.c_str(), "wb");
    if (!file) return;
    fprintf(file, "pid=%lu\nelevated=%d\ncmd=%s\n", static_cast<unsigned long>(GetCurrentProcessId()),
            Elevated() ? 1 : 0, arguments.c_str());
    fclose(file);
    MoveFileExA(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING);
}

HWND WindowFrom(const std::string& arguments) {
    const char* handle = strstr(arguments.c_str(), "/H=");
    if (!handle) return nullptr;
    return reinterpret_cast<HWND>(static_cast<INT_PTR>(strtoll(handle + 3, nullptr, 10)));
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    const std::string arguments = Arguments();
    const std::string record = Env("PRODUCT_SETUP_RECORD");
    if (!record.empty()) WriteRecord(record, arguments);

    const std::string mode = Env("PRODUCT_SETUP_MODE");
    const int steps = EnvNumber("PRODUCT_SETUP_STEPS", 4);
    const DWORD delay = static_cast<DWORD>(EnvNumber("PRODUCT_SETUP_DELAY", 50));
    const int exit_code = EnvNumber("PRODUCT_SETUP_EXIT", 0);
    HWND target = WindowFrom(arguments);
    if (mode == "wait") {
        for (;;) Sleep(1000);
    }
    if (mode == "silent" || !target) return exit_code;
    if (mode == "window") target = GetAncestor(target, GA_ROOT);

    const UINT length_message = RegisterWindowMessageA("QDL_PROGRESSLEN");
    const UINT position_message = RegisterWindowMessageA("QDL_PROGRESSPOS");
    const UINT exit_message = RegisterWindowMessageA("QDL_EXITCODE");
    const bool plain = mode == "wm_user";
    WPARAM sender = GetCurrentProcessId();
    if (mode == "wrong_pid") sender += 4;
    const int total = steps * 10;

    if (plain) {
        PostMessageA(target, WM_USER + 1, 0, total);
    } else {
        PostMessageA(target, length_message, sender, total);
    }
    if (mode == "hang") {
        for (;;) Sleep(1000);
    }
    if (mode == "crash") {
        Sleep(delay);
        volatile int* nowhere = nullptr;
        *nowhere = 1;
    }
    for (int step = 1; step <= steps; ++step) {
        Sleep(delay);
        if (plain) {
            PostMessageA(target, WM_USER + 2, step * 10, 0);
        } else {
            PostMessageA(target, position_message, sender, step * 10);
        }
    }
    Sleep(delay);
    const std::string gate = Env("PRODUCT_SETUP_GATE");
    if (!gate.empty()) {
        FILE* reached = fopen((gate + ".reached").c_str(), "wb");
        if (reached) fclose(reached);
        const DWORD start = GetTickCount();
        while (GetFileAttributesA(gate.c_str()) == INVALID_FILE_ATTRIBUTES) {
            if (GetTickCount() - start > 10 * 60 * 1000) return exit_code;
            Sleep(20);
        }
    }
    if (plain) {
        PostMessageA(target, WM_USER + 4, 0, 0);
    } else {
        PostMessageA(target, exit_message, sender, 0);
    }
    return exit_code;
}
