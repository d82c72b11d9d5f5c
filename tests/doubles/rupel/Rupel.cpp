// Stand-in for the crash-report library. Appends one line per call to the file named by the
// environment variable RUPEL_DOUBLE_RECORD (UTF-8), including every field of the settings record
// it receives. With RUPEL_DOUBLE_CALLBACK=1 it calls the crash callback right after process
// initialisation, as it would while preparing a report, and records the result.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

struct Settings {
    const wchar_t* application_name;
    const wchar_t* version_text;
    const wchar_t* folder;
    const wchar_t* language_module;
    int(WINAPI* crash_callback)(void*);
    UINT_PTR reserved[3];
};

std::string Utf8(const wchar_t* text) {
    if (!text) return "(null)";
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string out(bytes > 0 ? bytes - 1 : 0, '\0');
    if (bytes > 1) WideCharToMultiByte(CP_UTF8, 0, text, -1, &out[0], bytes, nullptr, nullptr);
    return out;
}

std::wstring Environment(const wchar_t* name) {
    wchar_t value[1024] = {};
    const DWORD length = GetEnvironmentVariableW(name, value, 1024);
    return length > 0 && length < 1024 ? value : L"";
}

void Record(const std::string& line) {
    const std::wstring file_name = Environment(L"RUPEL_DOUBLE_RECORD");
    if (file_name.empty()) return;
    HANDLE file =
        CreateFileW(file_name.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    const std::string text = line + "\r\n";
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
}

}  // namespace

extern "C" {

__declspec(dllexport) int WINAPI RupelProcessInitializeW(Settings* settings) {
    Record("ProcessInitialize");
    if (!settings) return 0;
    Record("name=" + Utf8(settings->application_name));
    Record("version=" + Utf8(settings->version_text));
    Record("folder=" + Utf8(settings->folder));
    Record("language=" + Utf8(settings->language_module));
    Record(std::string("callback=") + (settings->crash_callback ? "set" : "none"));
    char reserved[96];
    std::snprintf(reserved, sizeof(reserved), "reserved=%llu,%llu,%llu",
                  static_cast<unsigned long long>(settings->reserved[0]),
                  static_cast<unsigned long long>(settings->reserved[1]),
                  static_cast<unsigned long long>(settings->reserved[2]));
    Record(reserved);
    if (Environment(L"RUPEL_DOUBLE_CALLBACK") == L"1" && settings->crash_callback) {
        const int result = settings->crash_callback(nullptr);
        Record("callback returned " + std::to_string(result));
    }
    return 1;
}

#ifndef RUPEL_WITHOUT_THREAD_START
__declspec(dllexport) int WINAPI RupelThreadInitializeW() {
    Record("ThreadInitialize");
    return 1;
}
#endif

__declspec(dllexport) int WINAPI RupelAppendFileW(const wchar_t* path) {
    Record("AppendFile " + Utf8(path));
    return 1;
}

__declspec(dllexport) int WINAPI RupelThreadFinalizeW() {
    Record("ThreadFinalize");
    return 1;
}

__declspec(dllexport) int WINAPI RupelProcessFinalizeW() {
    Record("ProcessFinalize");
    return 1;
}

}  // extern "C"
