#include "tests/support/TestSupport.h"

#include <shlobj.h>
#include <shlwapi.h>
#include <tlhelp32.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace testsupport {

namespace {

std::string EnvPath(const char* name) {
    const char* value = std::getenv(name);
    return value ? WindowsPath(value) : std::string();
}

REGSAM ViewFlag(View view) {
    switch (view) {
    case View::View32: return KEY_WOW64_32KEY;
    case View::View64: return KEY_WOW64_64KEY;
    default: return 0;
    }
}

bool OpenForWrite(HKEY root, const std::string& subkey, View view, HKEY* key) {
    return RegCreateKeyExA(root, subkey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | ViewFlag(view),
                           nullptr, key, nullptr) == ERROR_SUCCESS;
}

bool SetValue(HKEY root, const std::string& subkey, const std::string& name, DWORD type,
              const void* data, DWORD size, View view) {
    HKEY key = nullptr;
    if (!OpenForWrite(root, subkey, view, &key)) return false;
    const bool ok = RegSetValueExA(key, name.empty() ? nullptr : name.c_str(), 0, type,
                                   static_cast<const BYTE*>(data), size) == ERROR_SUCCESS;
    RegCloseKey(key);
    return ok;
}

bool QueryValue(HKEY root, const std::string& subkey, const std::string& name, View view,
                DWORD* type, std::vector<BYTE>* data) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, subkey.c_str(), 0, KEY_READ | ViewFlag(view), &key) != ERROR_SUCCESS) {
        return false;
    }
    DWORD size = 0;
    LONG status = RegQueryValueExA(key, name.empty() ? nullptr : name.c_str(), nullptr, type,
                                   nullptr, &size);
    if (status == ERROR_SUCCESS) {
        data->assign(size, 0);
        status = RegQueryValueExA(key, name.empty() ? nullptr : name.c_str(), nullptr, type,
                                  data->data(), &size);
        data->resize(size);
    }
    RegCloseKey(key);
    return status == ERROR_SUCCESS;
}

}  // namespace

std::string WindowsPath(const std::string& unix_path) {
    if (unix_path.empty() || unix_path[0] != '/') return unix_path;
    std::string path = "Z:" + unix_path;
    for (char& c : path) {
        if (c == '/') c = '\\';
    }
    return path;
}

std::string BinDir() { return EnvPath("OSTREY_BIN_DIR"); }
std::string DoublesDir() { return EnvPath("OSTREY_DOUBLES_DIR"); }
std::string SourceDir() { return EnvPath("OSTREY_SOURCE_DIR"); }
std::string ArtifactDir() { return EnvPath("OSTREY_ARTIFACT_DIR"); }

std::string Join(const std::string& folder, const std::string& name) {
    if (folder.empty()) return name;
    if (folder.back() == '\\' || folder.back() == '/') return folder + name;
    return folder + "\\" + name;
}

std::string UniqueName(const std::string& prefix) {
    static std::atomic<unsigned> counter{0};
    char text[64];
    snprintf(text, sizeof(text), "_%lu_%lu_%u", GetCurrentProcessId(), GetTickCount(), ++counter);
    return prefix + text;
}

TempDir::TempDir() {
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    path_ = Join(temp, UniqueName("ostrey_test"));
    CreateDirectoryA(path_.c_str(), nullptr);
}

TempDir::~TempDir() { RemoveTree(path_); }

bool RemoveTree(const std::string& path) {
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA(Join(path, "*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = data.cFileName;
            if (name == "." || name == "..") continue;
            const std::string child = Join(path, name);
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(child);
            } else {
                SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileA(child.c_str());
            }
        } while (FindNextFileA(find, &data));
        FindClose(find);
    }
    return RemoveDirectoryA(path.c_str()) != FALSE;
}

bool CopyInto(const std::string& file, const std::string& folder, const std::string& new_name) {
    std::string name = new_name;
    if (name.empty()) {
        const size_t cut = file.find_last_of("\\/");
        name = cut == std::string::npos ? file : file.substr(cut + 1);
    }
    return CopyFileA(file.c_str(), Join(folder, name).c_str(), FALSE) != FALSE;
}

bool WriteTextFile(const std::string& path, const std::string& text) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const bool ok = WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
                    written == text.size();
    CloseHandle(file);
    return ok;
}

std::optional<std::string> ReadTextFile(const std::string& path) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return std::nullopt;
    std::string text;
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(file, buffer, sizeof(buffer), &read, nullptr) && read > 0) text.append(buffer, read);
    CloseHandle(file);
    return text;
}

bool PathExists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool MakeFolders(const std::string& path) {
    const int result = SHCreateDirectoryExA(nullptr, path.c_str(), nullptr);
    if (result != ERROR_SUCCESS && result != ERROR_ALREADY_EXISTS) return false;
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool SetRegString(HKEY root, const std::string& subkey, const std::string& name,
                  const std::string& value, View view) {
    return SetValue(root, subkey, name, REG_SZ, value.c_str(), static_cast<DWORD>(value.size() + 1),
                    view);
}

bool SetRegDword(HKEY root, const std::string& subkey, const std::string& name, DWORD value,
                 View view) {
    return SetValue(root, subkey, name, REG_DWORD, &value, sizeof(value), view);
}

bool SetRegBinary(HKEY root, const std::string& subkey, const std::string& name,
                  const std::vector<BYTE>& value, View view) {
    return SetValue(root, subkey, name, REG_BINARY, value.data(), static_cast<DWORD>(value.size()),
                    view);
}

std::optional<std::string> GetRegString(HKEY root, const std::string& subkey,
                                        const std::string& name, View view) {
    DWORD type = 0;
    std::vector<BYTE> data;
    if (!QueryValue(root, subkey, name, view, &type, &data)) return std::nullopt;
    if (type != REG_SZ && type != REG_EXPAND_SZ) return std::nullopt;
    std::string text(data.begin(), data.end());
    const size_t nul = text.find('\0');
    if (nul != std::string::npos) text.resize(nul);
    return text;
}

std::optional<DWORD> GetRegDword(HKEY root, const std::string& subkey, const std::string& name,
                                 View view) {
    DWORD type = 0;
    std::vector<BYTE> data;
    if (!QueryValue(root, subkey, name, view, &type, &data)) return std::nullopt;
    if (type != REG_DWORD || data.size() != 4) return std::nullopt;
    DWORD value = 0;
    memcpy(&value, data.data(), 4);
    return value;
}

bool RegKeyExists(HKEY root, const std::string& subkey, View view) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, subkey.c_str(), 0, KEY_READ | ViewFlag(view), &key) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(key);
    return true;
}

bool DeleteRegValue(HKEY root, const std::string& subkey, const std::string& name, View view) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, subkey.c_str(), 0, KEY_SET_VALUE | ViewFlag(view), &key) !=
        ERROR_SUCCESS) {
        return false;
    }
    const bool ok = RegDeleteValueA(key, name.c_str()) == ERROR_SUCCESS;
    RegCloseKey(key);
    return ok;
}

bool DeleteRegTree(HKEY root, const std::string& subkey, View view) {
    const size_t cut = subkey.rfind('\\');
    const std::string parent = cut == std::string::npos ? "" : subkey.substr(0, cut);
    const std::string leaf = cut == std::string::npos ? subkey : subkey.substr(cut + 1);
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, parent.c_str(), 0, KEY_ALL_ACCESS | ViewFlag(view), &key) !=
        ERROR_SUCCESS) {
        return false;
    }
    const bool ok = RegDeleteTreeA(key, leaf.c_str()) == ERROR_SUCCESS;
    RegDeleteKeyExA(key, leaf.c_str(), ViewFlag(view), 0);
    RegCloseKey(key);
    return ok;
}

ScopedRegValue::ScopedRegValue(HKEY root, std::string subkey, std::string name, View view)
    : root_(root), subkey_(std::move(subkey)), name_(std::move(name)), view_(view) {
    existed_ = QueryValue(root_, subkey_, name_, view_, &type_, &data_);
}

ScopedRegValue::~ScopedRegValue() {
    if (existed_) {
        SetValue(root_, subkey_, name_, type_, data_.data(), static_cast<DWORD>(data_.size()), view_);
    } else {
        DeleteRegValue(root_, subkey_, name_, view_);
    }
}

ScopedRegTree::ScopedRegTree(HKEY root, std::string subkey, View view)
    : root_(root), subkey_(std::move(subkey)), view_(view) {}

ScopedRegTree::~ScopedRegTree() { DeleteRegTree(root_, subkey_, view_); }

PathAside::PathAside(std::string path) : path_(std::move(path)) {
    if (!PathExists(path_)) {
        ok_ = true;
        return;
    }
    aside_ = path_ + "." + UniqueName("aside");
    ok_ = MoveFileA(path_.c_str(), aside_.c_str()) != FALSE;
    if (!ok_) aside_.clear();
}

PathAside::~PathAside() {
    if (!ok_) return;
    const DWORD attributes = GetFileAttributesA(path_.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
            RemoveTree(path_);
        } else {
            SetFileAttributesA(path_.c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileA(path_.c_str());
        }
    }
    if (!aside_.empty()) MoveFileA(aside_.c_str(), path_.c_str());
}

Process::~Process() {
    Terminate();
    if (handle_) CloseHandle(handle_);
}

Process::Process(Process&& other) noexcept : handle_(other.handle_), pid_(other.pid_) {
    other.handle_ = nullptr;
    other.pid_ = 0;
}

Process& Process::operator=(Process&& other) noexcept {
    if (this != &other) {
        Terminate();
        if (handle_) CloseHandle(handle_);
        handle_ = other.handle_;
        pid_ = other.pid_;
        other.handle_ = nullptr;
        other.pid_ = 0;
    }
    return *this;
}

namespace {

// Our environment with the extra entries added (or replaced), as a Windows environment block.
std::vector<char> EnvironmentWith(const std::vector<std::string>& extra) {
    std::vector<std::string> entries;
    char* block = GetEnvironmentStringsA();
    for (const char* entry = block; entry && *entry; entry += strlen(entry) + 1) {
        std::string text(entry);
        bool replaced = false;
        for (const std::string& add : extra) {
            const size_t eq = add.find('=');
            if (eq != std::string::npos && text.compare(0, eq + 1, add, 0, eq + 1) == 0) replaced = true;
        }
        if (!replaced) entries.push_back(text);
    }
    if (block) FreeEnvironmentStringsA(block);
    entries.insert(entries.end(), extra.begin(), extra.end());
    std::vector<char> result;
    for (const std::string& entry : entries) {
        result.insert(result.end(), entry.begin(), entry.end());
        result.push_back('\0');
    }
    result.push_back('\0');
    return result;
}

HANDLE LimitedPrimaryToken() {
    HANDLE own = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &own)) return nullptr;
    TOKEN_LINKED_TOKEN linked = {};
    DWORD size = 0;
    const BOOL ok = GetTokenInformation(own, TokenLinkedToken, &linked, sizeof(linked), &size);
    CloseHandle(own);
    if (!ok || !linked.LinkedToken) return nullptr;
    HANDLE primary = nullptr;
    DuplicateTokenEx(linked.LinkedToken, MAXIMUM_ALLOWED, nullptr, SecurityImpersonation,
                     TokenPrimary, &primary);
    CloseHandle(linked.LinkedToken);
    return primary;
}

}  // namespace

bool Process::Start(const std::string& command_line, const Options& options) {
    Terminate();
    if (handle_) CloseHandle(handle_);
    handle_ = nullptr;
    pid_ = 0;

    std::vector<char> line(command_line.begin(), command_line.end());
    line.push_back('\0');
    std::vector<char> environment;
    if (!options.extra_environment.empty()) environment = EnvironmentWith(options.extra_environment);
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    const char* dir = options.current_dir.empty() ? nullptr : options.current_dir.c_str();
    void* env = environment.empty() ? nullptr : environment.data();
    BOOL ok = FALSE;
    // A loaded Wine session now and then refuses a process start outright (seen once in a whole
    // run, right after a crashing stand-in brought up the debugger); the program under test has
    // not run at all then, so a second try is no retry of anything it did.
    for (int attempt = 0; attempt < 3 && !ok; ++attempt) {
        if (attempt > 0) Sleep(500);
        if (options.limited_token) {
            HANDLE token = LimitedPrimaryToken();
            if (!token) return false;
            ok = CreateProcessAsUserA(token, nullptr, line.data(), nullptr, nullptr, FALSE, 0, env,
                                      dir, &startup, &info);
            CloseHandle(token);
        } else {
            ok = CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, env, dir,
                                &startup, &info);
        }
        if (!ok) {
            fprintf(stderr, "process start refused (error %lu): %s\n", GetLastError(),
                    command_line.c_str());
        }
    }
    if (!ok) return false;
    // A program of the machine running Wine (ImageMagick) gets no Windows process: Wine leaves
    // no process handle and something that is not a thread handle of ours in hThread; closing
    // that closed one of this process's handles (its standard output, for one).
    if (!info.hProcess) return true;
    CloseHandle(info.hThread);
    handle_ = info.hProcess;
    pid_ = info.dwProcessId;
    return true;
}

std::optional<DWORD> Process::Wait(DWORD timeout_ms) {
    if (!handle_) return std::nullopt;
    if (WaitForSingleObject(handle_, timeout_ms) != WAIT_OBJECT_0) return std::nullopt;
    DWORD code = 0;
    GetExitCodeProcess(handle_, &code);
    return code;
}

bool Process::Running() const {
    return handle_ && WaitForSingleObject(handle_, 0) == WAIT_TIMEOUT;
}

void Process::Terminate() {
    if (Running()) {
        TerminateProcess(handle_, 1);
        WaitForSingleObject(handle_, 5000);
    }
}

std::string ProgramOf(HANDLE process) {
    char path[MAX_PATH * 2] = {};
    DWORD size = sizeof(path);
    if (!process || !QueryFullProcessImageNameA(process, 0, path, &size)) return "";
    return std::string(path, size);
}

namespace {

constexpr DWORD kOwnAccess = PROCESS_TERMINATE | SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION;

bool StillRuns(HANDLE process) { return WaitForSingleObject(process, 0) == WAIT_TIMEOUT; }

bool SameFile(const std::string& a, const std::string& b) {
    return !a.empty() && lstrcmpiA(a.c_str(), b.c_str()) == 0;
}

bool StartsWithFolder(const std::string& path, const std::string& folder) {
    if (folder.empty() || path.size() <= folder.size()) return false;
    const char next = path[folder.size()];
    if (folder.back() != '\\' && next != '\\') return false;
    return CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, path.c_str(),
                          static_cast<int>(folder.size()), folder.c_str(),
                          static_cast<int>(folder.size())) == CSTR_EQUAL;
}

void EndAndClose(HANDLE process) {
    if (StillRuns(process)) {
        TerminateProcess(process, 1);
        WaitForSingleObject(process, 5000);
    }
    CloseHandle(process);
}

}  // namespace

ProcessOwner::~ProcessOwner() { EndAll(); }

bool ProcessOwner::Owns(DWORD pid) const {
    for (const auto& entry : owned_) {
        if (entry.first == pid) return true;
    }
    return false;
}

bool ProcessOwner::Own(DWORD pid, const std::string& program) {
    if (pid == 0 || pid == GetCurrentProcessId()) return false;
    if (Owns(pid)) return true;
    HANDLE process = OpenProcess(kOwnAccess, FALSE, pid);
    if (!process) return false;
    if (!program.empty() && !SameFile(ProgramOf(process), program)) {
        CloseHandle(process);
        return false;
    }
    owned_.emplace_back(pid, process);
    return true;
}

bool ProcessOwner::Own(HANDLE process) {
    if (!process) return false;
    const DWORD pid = GetProcessId(process);
    if (pid == 0 || pid == GetCurrentProcessId()) return false;
    if (Owns(pid)) return true;
    HANDLE copy = nullptr;
    if (!DuplicateHandle(GetCurrentProcess(), process, GetCurrentProcess(), &copy, kOwnAccess,
                         FALSE, 0)) {
        return false;
    }
    owned_.emplace_back(pid, copy);
    return true;
}

size_t ProcessOwner::OwnCopiesOf(const std::string& program) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return 0;
    size_t added = 0;
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
        if (entry.th32ProcessID == GetCurrentProcessId() || Owns(entry.th32ProcessID)) continue;
        if (Own(entry.th32ProcessID, program)) ++added;
    }
    CloseHandle(snapshot);
    return added;
}

void ProcessOwner::Watch(const std::string& folder) { folders_.push_back(folder); }

void ProcessOwner::EndAll() {
    for (const auto& entry : owned_) EndAndClose(entry.second);
    owned_.clear();
    for (int round = 0; round < 5; ++round) {
        bool found = false;
        for (const std::string& folder : folders_) {
            for (DWORD pid : ProcessesUnder(folder)) {
                HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid);
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
        HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ProcessID);
        if (!process) continue;
        const std::string program = ProgramOf(process);
        CloseHandle(process);
        if (StartsWithFolder(program, folder)) found.push_back(entry.th32ProcessID);
    }
    CloseHandle(snapshot);
    return found;
}

size_t ProcessOwner::Running() const {
    size_t count = 0;
    for (const auto& entry : owned_) {
        if (StillRuns(entry.second)) ++count;
    }
    return count;
}

HeldMutex::HeldMutex(const std::string& name) {
    handle_ = CreateMutexA(nullptr, FALSE, name.c_str());
    if (!handle_) return;
    const DWORD wait = WaitForSingleObject(handle_, 0);
    held_ = wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED;
}

void HeldMutex::Release() {
    if (held_) ReleaseMutex(handle_);
    held_ = false;
    if (handle_) CloseHandle(handle_);
    handle_ = nullptr;
}

std::string Quote(const std::string& text) { return "\"" + text + "\""; }

std::optional<StartRecord> WaitForStartRecord(const std::string& path, DWORD timeout_ms) {
    if (!WaitUntil([&] { return PathExists(path); }, timeout_ms)) return std::nullopt;
    const std::optional<std::string> text = ReadTextFile(path);
    if (!text || text->compare(0, 4, "pid=") != 0) return std::nullopt;
    const size_t line_end = text->find("\r\n");
    if (line_end == std::string::npos || text->compare(line_end + 2, 4, "cmd=") != 0) {
        return std::nullopt;
    }
    StartRecord record;
    record.pid = strtoul(text->c_str() + 4, nullptr, 10);
    record.command_line = text->substr(line_end + 6);
    return record;
}

WatchedRun WaitWatchingWindows(Process& process, DWORD timeout_ms) {
    WatchedRun run;
    const DWORD start = GetTickCount();
    for (;;) {
        for (HWND window : WindowsOfProcess(process.pid())) {
            if (IsWindowVisible(window)) run.showed_window = true;
        }
        run.exit_code = process.Wait(10);
        if (run.exit_code || GetTickCount() - start >= timeout_ms) return run;
    }
}

bool StartDoubleCopy(Process& process, const TempDir& folder, const std::string& file_name,
                     const std::string& options, const std::string& double_name) {
    const std::string path = folder.File(file_name);
    if (!PathExists(path) && !CopyInto(Join(DoublesDir(), double_name), folder.path(), file_name)) {
        return false;
    }
    if (!process.Start(Quote(path) + " " + options)) return false;
    return WaitForWindow(process.pid(), 15000) != nullptr;
}

std::optional<DWORD> RunToEnd(const std::string& command_line, DWORD timeout_ms,
                         const Process::Options& options) {
    Process process;
    if (!process.Start(command_line, options)) return std::nullopt;
    auto code = process.Wait(timeout_ms);
    if (!code) process.Terminate();
    return code;
}

namespace {
struct WindowSearch {
    DWORD pid;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectWindow(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<WindowSearch*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == search->pid) search->found.push_back(window);
    return TRUE;
}
}  // namespace

std::vector<HWND> WindowsOfProcess(DWORD pid) {
    WindowSearch search{pid, {}};
    EnumWindows(&CollectWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND WaitForWindow(DWORD pid, DWORD timeout_ms, bool (*accept)(HWND)) {
    HWND result = nullptr;
    WaitUntil(
        [&] {
            for (HWND window : WindowsOfProcess(pid)) {
                if (accept ? accept(window) : IsWindowVisible(window) != FALSE) {
                    result = window;
                    return true;
                }
            }
            return false;
        },
        timeout_ms);
    return result;
}

std::string WindowText(HWND window) {
    char text[1024] = {};
    SendMessageTimeoutA(window, WM_GETTEXT, sizeof(text), reinterpret_cast<LPARAM>(text),
                        SMTO_ABORTIFHUNG, 2000, nullptr);
    return text;
}

std::string ClassName(HWND window) {
    char name[256] = {};
    GetClassNameA(window, name, sizeof(name));
    return name;
}

bool SaveScreenshot(const std::string& name) {
    const char* dir = std::getenv("OSTREY_ARTIFACT_DIR");
    if (!dir) return false;
    const std::string unix_path = std::string(dir) + "/" + name;
    const std::string windows_path = WindowsPath(unix_path);
    DeleteFileA(windows_path.c_str());
    // Wine starts programs of the machine it runs on when given their path, but does not wait
    // for them: the screenshot is there once its file has stopped growing.
    Process import;
    if (!import.Start("/usr/bin/import -window root " + unix_path)) return false;
    LONGLONG last_size = -1;
    return WaitUntil(
        [&] {
            WIN32_FILE_ATTRIBUTE_DATA data;
            if (!GetFileAttributesExA(windows_path.c_str(), GetFileExInfoStandard, &data)) return false;
            const LONGLONG size = (static_cast<LONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
            const bool stable = size > 0 && size == last_size;
            last_size = size;
            return stable;
        },
        30000);
}

bool IsElevated() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
    TOKEN_ELEVATION elevation = {};
    DWORD size = 0;
    const BOOL ok = GetTokenInformation(token, TokenElevation, &elevation, sizeof(elevation), &size);
    CloseHandle(token);
    return ok && elevation.TokenIsElevated;
}

}  // namespace testsupport
