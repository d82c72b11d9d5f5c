#include "tests/support/ProcessOwner.h"

#include <tlhelp32.h>

namespace testsupport {

namespace {

constexpr DWORD kEndWaitMs = 5000;

bool StartsWithFolder(const std::string& path, const std::string& folder) {
    if (folder.empty() || path.size() <= folder.size()) return false;
    const char next = path[folder.size()];
    if (folder.back() != '\\' && next != '\\') return false;
    return CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, path.c_str(),
                          static_cast<int>(folder.size()), folder.c_str(),
                          static_cast<int>(folder.size())) == CSTR_EQUAL;
}

std::string ImagePath(DWORD pid) {
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (!process) return "";
    char path[MAX_PATH * 2] = {};
    DWORD size = sizeof(path);
    const BOOL ok = QueryFullProcessImageNameA(process, 0, path, &size);
    CloseHandle(process);
    return ok ? std::string(path, size) : std::string();
}

void EndAndClose(HANDLE process) {
    if (WaitForSingleObject(process, 0) == WAIT_TIMEOUT) {
        TerminateProcess(process, 1);
        WaitForSingleObject(process, kEndWaitMs);
    }
    CloseHandle(process);
}

}  // namespace

ProcessOwner::~ProcessOwner() { EndAll(); }

void ProcessOwner::Adopt(DWORD pid) {
    if (pid == 0 || pid == GetCurrentProcessId()) return;
    HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION,
                                 FALSE, pid);
    if (process) handles_.push_back(process);
}

void ProcessOwner::Watch(const std::string& folder) { folders_.push_back(folder); }

void ProcessOwner::EndAll() {
    for (HANDLE process : handles_) EndAndClose(process);
    handles_.clear();
    // A process being ended may just have started another one: look again until a round finds
    // nothing (a few rounds at most).
    for (int round = 0; round < 5; ++round) {
        bool found = false;
        for (const std::string& folder : folders_) {
            for (DWORD pid : ProcessesUnder(folder)) {
                HANDLE process =
                    OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid);
                if (!process) continue;
                found = true;
                EndAndClose(process);
            }
        }
        if (!found) break;
    }
}

std::vector<DWORD> ProcessOwner::ProcessesUnder(const std::string& folder) {
    std::vector<DWORD> found;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return found;
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
        if (entry.th32ProcessID == 0 || entry.th32ProcessID == GetCurrentProcessId()) continue;
        if (StartsWithFolder(ImagePath(entry.th32ProcessID), folder)) {
            found.push_back(entry.th32ProcessID);
        }
    }
    CloseHandle(snapshot);
    return found;
}

}  // namespace testsupport
