#include "helper/RegistrySwitches.h"

#include <vector>

#include "common/ScopedHandle.h"
#include "helper/HelperRegistry.h"
#include "helper/SystemFacts.h"

namespace pallix {

namespace {

constexpr wchar_t kBrowserCommandKey[] = L"Applications\\iexplore.exe\\shell\\open\\command";
// All access as defined before Vista, which every system accepts.
constexpr DWORD kLegacyProcessAllAccess = 0x1F0FFF;

bool HasProductInfo() {
    HMODULE kernel = GetModuleHandleW(L"Kernel32");
    return kernel && GetProcAddress(kernel, "GetProductInfo") != nullptr;
}

HRESULT LastErrorResult() {
    const DWORD error = GetLastError();
    return error ? HRESULT_FROM_WIN32(error) : E_FAIL;
}


DWORD ShellProcessId() {
    DWORD process_id = 0;
    if (HWND shell = FindWindowW(L"Progman", nullptr)) GetWindowThreadProcessId(shell, &process_id);
    return process_id;
}

HRESULT LaunchWithShellToken(DWORD shell_process_id, const std::wstring& path,
                             std::vector<wchar_t>& command_line) {
    ScopedHandle shell(OpenProcess(kLegacyProcessAllAccess, FALSE, shell_process_id));
    if (!shell.get()) return LastErrorResult();
    ScopedHandle shell_token;
    if (!OpenProcessToken(shell.get(), TOKEN_ALL_ACCESS, shell_token.receive())) {
        return LastErrorResult();
    }
    ScopedHandle primary;
    if (!DuplicateTokenEx(shell_token.get(), TOKEN_ALL_ACCESS, nullptr, SecurityImpersonation,
                          TokenPrimary, primary.receive())) {
        return LastErrorResult();
    }
    HMODULE advapi = LoadLibraryW(L"AdvApi32");
    if (!advapi) return LastErrorResult();
    using CreateWithTokenFn = BOOL(WINAPI*)(HANDLE, DWORD, LPCWSTR, LPWSTR, DWORD, LPVOID, LPCWSTR,
                                            LPSTARTUPINFOW, LPPROCESS_INFORMATION);
    auto create = reinterpret_cast<CreateWithTokenFn>(
        reinterpret_cast<void*>(GetProcAddress(advapi, "CreateProcessWithTokenW")));
    HRESULT result = E_UNEXPECTED;
    if (create) {
        STARTUPINFOW startup = {};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION started = {};
        if (create(primary.get(), 0, path.c_str(), command_line.data(), 0, nullptr, nullptr,
                   &startup, &started)) {
            CloseHandle(started.hThread);
            CloseHandle(started.hProcess);
            result = S_OK;
        } else {
            result = LastErrorResult();
        }
    }
    FreeLibrary(advapi);
    return result;
}

}  // namespace

void RegStringSwitch(const Arguments& arguments) {
    const std::wstring& hive_word = arguments[2];
    const std::wstring& subkey = arguments[3];
    // A menu entry written for the user is the toolbar's own: its pending reinstall mark goes.
    if (IsUserMenuEntry(hive_word, subkey)) {
        DeleteRegValue(HKEY_LOCAL_MACHINE, kWendleKey, L"Reinstall");
    }
    WriteRegString(HiveWord(hive_word), subkey, arguments[4].c_str(), arguments[5]);
}

void RegDwordSwitch(const Arguments& arguments) {
    WriteRegDword(HiveWord(arguments[2]), arguments[3], arguments[4].c_str(),
                  static_cast<DWORD>(ReadDecimal(arguments[5])));
}

void DelRegKeySwitch(const Arguments& arguments) {
    DeleteRegTree(HiveWord(arguments[2]), arguments[3]);
}

void DelRegValueSwitch(const Arguments& arguments) {
    DeleteRegValue(HiveWord(arguments[2]), arguments[3], arguments[4].c_str());
}

void MoveFileSwitch(const Arguments& arguments) {
    const std::wstring& source = arguments[2];
    const std::wstring& destination = arguments[3];
    const std::wstring folder = DestinationFolder(destination);
    if (!folder.empty()) {
        WIN32_FIND_DATAW found;
        HANDLE search = FindFirstFileW(folder.c_str(), &found);
        if (search != INVALID_HANDLE_VALUE) {
            FindClose(search);
        } else {
            CreateDirectoryW(folder.c_str(), nullptr);  // only the last level
        }
    }
    MoveFileExW(source.c_str(), destination.c_str(), MOVEFILE_REPLACE_EXISTING);
}

void RunIeSwitch(const Arguments& arguments) {
    const std::wstring path =
        BrowserPathFromCommand(ReadRegString(HKEY_CLASSES_ROOT, kBrowserCommandKey, nullptr, 260));
    if (path.empty()) return;
    // Without a parameter the browser opens its own start page.
    std::wstring command_line = L"\"" + path + L"\"";
    if (arguments.size() > 2) command_line += L" " + arguments[2];
    LaunchAtShellIntegrity(path, command_line);
}

HRESULT IntegrityLevelOf(DWORD process_id, DWORD& level) {
    level = kHighIntegrity;
    if (!HasProductInfo()) return S_OK;
    ScopedHandle process(OpenProcess(kLegacyProcessAllAccess, FALSE, process_id));
    if (!process.get()) return S_OK;
    ScopedHandle token;
    if (!OpenProcessToken(process.get(), TOKEN_ALL_ACCESS, token.receive())) {
        return LastErrorResult();
    }
    DWORD size = 0;
    GetTokenInformation(token.get(), TokenIntegrityLevel, nullptr, 0, &size);
    if (size < sizeof(TOKEN_MANDATORY_LABEL)) return LastErrorResult();
    void* buffer = HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, size);
    if (!buffer) return E_OUTOFMEMORY;
    HRESULT result = S_OK;
    if (GetTokenInformation(token.get(), TokenIntegrityLevel, buffer, size, &size)) {
        PSID sid = static_cast<TOKEN_MANDATORY_LABEL*>(buffer)->Label.Sid;
        const UCHAR count = sid && IsValidSid(sid) ? *GetSidSubAuthorityCount(sid) : 0;
        if (count == 0) {
            result = E_UNEXPECTED;
        } else {
            level = *GetSidSubAuthority(sid, count - 1);
        }
    } else {
        result = LastErrorResult();
    }
    HeapFree(GetProcessHeap(), 0, buffer);
    return result;
}

namespace {

HRESULT LaunchPlainly(const std::wstring& path, std::vector<wchar_t>& line) {
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION started = {};
    if (!CreateProcessW(path.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &started)) {
        return LastErrorResult();
    }
    CloseHandle(started.hThread);
    CloseHandle(started.hProcess);
    return S_OK;
}

// CreateProcess may write into the command line.
std::vector<wchar_t> WritableLine(const std::wstring& command_line) {
    std::vector<wchar_t> line(command_line.begin(), command_line.end());
    line.push_back(L'\0');
    return line;
}

}  // namespace

HRESULT LaunchForLevels(DWORD shell_process_id, DWORD shell_level, DWORD own_level,
                        const std::wstring& path, const std::wstring& command_line) {
    std::vector<wchar_t> line = WritableLine(command_line);
    if (own_level == kHighIntegrity && shell_level == kMediumIntegrity) {
        return LaunchWithShellToken(shell_process_id, path, line);
    }
    if (own_level == kMediumIntegrity && shell_level == kHighIntegrity) return E_ACCESSDENIED;
    return LaunchPlainly(path, line);
}

HRESULT LaunchAtShellIntegrity(const std::wstring& path, const std::wstring& command_line) {
    if (HasProductInfo()) {
        const DWORD shell_process_id = ShellProcessId();
        DWORD shell_level = 0, own_level = 0;
        HRESULT result = IntegrityLevelOf(shell_process_id, shell_level);
        if (FAILED(result)) return result;
        result = IntegrityLevelOf(GetCurrentProcessId(), own_level);
        if (FAILED(result)) return result;
        return LaunchForLevels(shell_process_id, shell_level, own_level, path, command_line);
    }
    std::vector<wchar_t> line = WritableLine(command_line);
    return LaunchPlainly(path, line);
}

}  // namespace pallix
