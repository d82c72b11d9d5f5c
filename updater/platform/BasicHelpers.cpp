#include "updater/platform/BasicHelpers.h"

#include <windows.h>
#include <wininet.h>

#include <algorithm>

#include "updater/platform/AddressRules.h"

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
    // WinInet would also open ftp: and file: addresses; a report goes to a web server only.
    if (!IsFetchableAddress(url)) return kHttpGetFailed;
    HINTERNET root = InternetOpenA(nullptr, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    if (!root) return kHttpGetFailed;
    HINTERNET request = InternetOpenUrlA(root, url.c_str(), nullptr, 0, INTERNET_FLAG_RELOAD, 0);
    if (!request) {
        InternetCloseHandle(root);
        return kHttpGetFailed;
    }
    InternetCloseHandle(request);
    InternetCloseHandle(root);
    return kHttpGetSent;
}
