#pragma once
// Symbolic links made on the machine that runs Wine: Wine has no junctions, and its
// CreateSymbolicLink succeeds without making anything, but it shows a Unix symbolic link to a
// folder as a reparse point and follows it like a junction. (A link to a file it shows as a
// plain file, and DeleteFile removes the file it points at: no stand-in for anything Windows
// does, so tests link folders only.) Links are made and removed by the machine's
// own ln and rm, which Wine starts like any other program.
#include <windows.h>

#include <string>

#include "tests/support/TestSupport.h"

namespace testsupport {

// The machine's path of a Windows path; "" when Wine cannot tell (or this is not Wine).
inline std::string UnixPathOf(const std::string& windows_path) {
    using UnixNameFn = char*(CDECL*)(const wchar_t*);
    const UnixNameFn unix_name = reinterpret_cast<UnixNameFn>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    if (!unix_name) return "";
    const std::wstring wide(windows_path.begin(), windows_path.end());  // ASCII test paths
    char* name = unix_name(wide.c_str());
    if (!name) return "";
    std::string result(name);
    HeapFree(GetProcessHeap(), 0, name);
    return result;
}

// Runs a program of the machine; Wine splits the line into its arguments by the Windows rules
// (double quotes). True when it ran.
inline bool RunUnixTool(const std::string& tool, const std::string& arguments) {
    std::string line = "Z:\\bin\\" + tool + " " + arguments;
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &info)) {
        return false;
    }
    WaitForSingleObject(info.hProcess, 30000);
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    return true;
}

// Makes `link` a symbolic link to the folder `target` (both Windows paths; the target and the
// link's folder must exist, the link must not). True when the link is there afterwards.
inline bool MakeUnixLink(const std::string& target, const std::string& link) {
    const std::string unix_target = UnixPathOf(target);
    const std::string unix_folder = UnixPathOf(link.substr(0, link.find_last_of('\\')));
    if (unix_target.empty() || unix_folder.empty()) return false;
    const std::string unix_link = unix_folder + "/" + link.substr(link.find_last_of('\\') + 1);
    RunUnixTool("ln", "-s \"" + unix_target + "\" \"" + unix_link + "\"");
    // Wine's handle to a machine program may signal before the program is done.
    return WaitUntil([&] { return GetFileAttributesA(link.c_str()) != INVALID_FILE_ATTRIBUTES; },
                     10000);
}

// Removes the link itself (never what it points at).
inline void RemoveUnixLink(const std::string& link) {
    const std::string unix_folder = UnixPathOf(link.substr(0, link.find_last_of('\\')));
    if (unix_folder.empty()) return;
    RunUnixTool("rm", "-f \"" + unix_folder + "/" + link.substr(link.find_last_of('\\') + 1) + "\"");
    WaitUntil([&] { return GetFileAttributesA(link.c_str()) == INVALID_FILE_ATTRIBUTES; }, 10000);
}

// A link that removes itself at the end of its scope, however the test ends.
class ScopedUnixLink {
public:
    ScopedUnixLink(const std::string& target, const std::string& link)
        : link_(link), made_(MakeUnixLink(target, link)) {}
    ~ScopedUnixLink() { RemoveUnixLink(link_); }
    ScopedUnixLink(const ScopedUnixLink&) = delete;
    ScopedUnixLink& operator=(const ScopedUnixLink&) = delete;
    bool made() const { return made_; }

private:
    std::string link_;
    bool made_;
};

}  // namespace testsupport
