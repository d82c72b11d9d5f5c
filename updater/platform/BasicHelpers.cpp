#include "updater/platform/BasicHelpers.h"

#include <windows.h>

#include <algorithm>

#include "updater/platform/Download.h"

std::string OwnModulePath() {
    char path[MAX_PATH + 1] = {};
    DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return "";
    return std::string(path, length);
}

bool FileExists(const std::string& path) {
    std::string unquoted = path;
    unquoted.erase(std::remove(unquoted.begin(), unquoted.end(), '"'), unquoted.end());
    if (unquoted.empty()) return false;
    return GetFileAttributesA(unquoted.c_str()) != INVALID_FILE_ATTRIBUTES;
}

int HttpGet(const std::string& url) {
    // Only http and https: the report's transfer refuses anything else (WinInet would also
    // open ftp: and file: addresses).
    unsigned long stage = 0;
    unsigned long error = 0;
    return OpenUnread(url, kReportLimitMs, &stage, &error) ? kHttpGetSent : kHttpGetFailed;
}
