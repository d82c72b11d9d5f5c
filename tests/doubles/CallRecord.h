#pragma once
// How a stand-in started by Norvane tells a test that it ran: one record per run beside its own
// executable, "<exe>.<pid>.call", holding
//
//   pid=<process id>
//   elevated=<0 or 1>
//   cmd=<the command line as the process received it>
//
// The record is written to a temporary name and renamed, so a test that sees the file can read
// all of it; it is written first thing, so that a stand-in that then crashes or never ends can
// still be found and ended by its id.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace calls {

inline bool RunsElevated() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
    TOKEN_ELEVATION elevation = {};
    DWORD size = 0;
    const BOOL ok = GetTokenInformation(token, TokenElevation, &elevation, sizeof(elevation), &size);
    CloseHandle(token);
    return ok && elevation.TokenIsElevated != 0;
}

inline std::string OwnPath() {
    char path[MAX_PATH * 2] = {};
    const DWORD length = GetModuleFileNameA(nullptr, path, sizeof(path));
    return length > 0 && length < sizeof(path) ? std::string(path, length) : std::string();
}

inline std::string OwnFolder() {
    const std::string path = OwnPath();
    const size_t cut = path.find_last_of('\\');
    return cut == std::string::npos ? std::string() : path.substr(0, cut);
}

inline bool WriteWhole(const std::string& path, const std::string& text) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const BOOL ok = WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == text.size();
}

// Writes `text` to a temporary name beside `path` and moves it into place.
inline bool WriteByRename(const std::string& path, const std::string& text) {
    const std::string temporary = path + ".partial";
    if (!WriteWhole(temporary, text)) return false;
    if (MoveFileExA(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING)) return true;
    DeleteFileA(temporary.c_str());
    return false;
}

inline bool WriteCallRecord() {
    const std::string own = OwnPath();
    if (own.empty()) return false;
    char head[96];
    std::snprintf(head, sizeof(head), "pid=%lu\r\nelevated=%d\r\ncmd=",
                  static_cast<unsigned long>(GetCurrentProcessId()), RunsElevated() ? 1 : 0);
    char name[32];
    std::snprintf(name, sizeof(name), ".%lu.call", static_cast<unsigned long>(GetCurrentProcessId()));
    return WriteByRename(own + name, std::string(head) + GetCommandLineA() + "\r\n");
}

}  // namespace calls
