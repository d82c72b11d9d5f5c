// Stand-in for an offered product's setup program. It does what the updater relies on and
// nothing else: it runs, takes its time, and ends with an exit code. What it was given is
// recorded for the tests. Settings come from the environment it inherits:
//   OFFER_SETUP_RECORD   file to which one line is appended: the command line after the
//                        program path
//   OFFER_SETUP_EXIT     exit code (default 0)
//   OFFER_SETUP_LINGER   milliseconds to stay before ending (default 0)
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

std::string Env(const char* name) {
    char value[1024] = {};
    DWORD length = GetEnvironmentVariableA(name, value, sizeof(value));
    return length > 0 && length < sizeof(value) ? std::string(value, length) : std::string();
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

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    const std::string record = Env("OFFER_SETUP_RECORD");
    if (!record.empty()) {
        FILE* file = fopen(record.c_str(), "ab");
        if (file) {
            fprintf(file, "%s\n", Arguments().c_str());
            fclose(file);
        }
    }
    const std::string linger = Env("OFFER_SETUP_LINGER");
    if (!linger.empty()) Sleep(static_cast<DWORD>(atoi(linger.c_str())));
    const std::string code = Env("OFFER_SETUP_EXIT");
    return code.empty() ? 0 : atoi(code.c_str());
}
