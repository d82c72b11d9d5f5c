#include "updater/platform/Launch.h"

#include <shellapi.h>
#include <shlwapi.h>

#include <vector>

#include "common/ScopedHandle.h"
#include "updater/platform/AddressRules.h"
#include "updater/platform/BasicHelpers.h"
#include "updater/platform/CommandLineText.h"
#include "updater/platform/DebugTrace.h"
#include "updater/platform/MessageWait.h"
#include "updater/platform/LateImports.h"

namespace {

// Declarations the XP-level headers lack.
constexpr int kTokenLinkedToken = 19;
constexpr int kTokenElevation = 20;
constexpr int kTokenIntegrityLevel = 25;
constexpr DWORD kGroupIntegrity = 0x00000020;  // SE_GROUP_INTEGRITY
constexpr DWORD kMediumIntegrityRid = 0x2000;
const char kMediumIntegritySid[] = "S-1-16-8192";
const char kLowIntegritySid[] = "S-1-16-4096";

struct MandatoryLabel {  // TOKEN_MANDATORY_LABEL
    SID_AND_ATTRIBUTES Label;
};

typedef BOOL(WINAPI* OpenProcessTokenFn)(HANDLE, DWORD, PHANDLE);
typedef BOOL(WINAPI* GetTokenInformationFn)(HANDLE, int, LPVOID, DWORD, PDWORD);
typedef BOOL(WINAPI* DuplicateTokenExFn)(HANDLE, DWORD, LPSECURITY_ATTRIBUTES,
                                         SECURITY_IMPERSONATION_LEVEL, TOKEN_TYPE, PHANDLE);
typedef BOOL(WINAPI* ConvertStringSidToSidFn)(LPCSTR, PSID*);
typedef BOOL(WINAPI* SetTokenInformationFn)(HANDLE, int, LPVOID, DWORD);
typedef DWORD(WINAPI* GetLengthSidFn)(PSID);
typedef BOOL(WINAPI* CreateProcessAsUserFn)(HANDLE, LPCSTR, LPSTR, LPSECURITY_ATTRIBUTES,
                                            LPSECURITY_ATTRIBUTES, BOOL, DWORD, LPVOID, LPCSTR,
                                            LPSTARTUPINFOA, LPPROCESS_INFORMATION);
typedef BOOL(WINAPI* CreateProcessWithTokenFn)(HANDLE, DWORD, LPCWSTR, LPWSTR, DWORD, LPVOID,
                                               LPCWSTR, LPSTARTUPINFOW, LPPROCESS_INFORMATION);
typedef PDWORD(WINAPI* GetSidSubAuthorityFn)(PSID, DWORD);
typedef PUCHAR(WINAPI* GetSidSubAuthorityCountFn)(PSID);

// The security library for the span of one operation: the loaded module when there is one,
// else a reference of our own that is held until the functions looked up are no longer used.
class SecurityLibrary {
public:
    SecurityLibrary() {
        module_ = GetModuleHandleA("advapi32.dll");
        if (!module_) {
            module_ = LoadLibraryA("advapi32.dll");
            loaded_ = module_ != nullptr;
        }
    }
    ~SecurityLibrary() {
        if (loaded_) FreeLibrary(module_);
    }
    SecurityLibrary(const SecurityLibrary&) = delete;
    SecurityLibrary& operator=(const SecurityLibrary&) = delete;

    template <typename Fn>
    Fn Find(const char* name) const {
        return module_ ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module_, name)))
                       : nullptr;
    }

private:
    HMODULE module_ = nullptr;
    bool loaded_ = false;
};


bool ReadVersion(OSVERSIONINFOEXA& version) {
    ZeroMemory(&version, sizeof(version));
    version.dwOSVersionInfoSize = sizeof(version);
    return GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&version)) != FALSE;
}

// The token's elevation (false where the system has none, so before Vista).
bool TokenIsElevated(const SecurityLibrary& security, HANDLE token) {
    GetTokenInformationFn get_information =
        security.Find<GetTokenInformationFn>("GetTokenInformation");
    DWORD elevation = 0;
    DWORD size = 0;
    return get_information &&
           get_information(token, kTokenElevation, &elevation, sizeof(elevation), &size) &&
           elevation != 0;
}

bool OwnTokenIsElevated() {
    SecurityLibrary security;
    OpenProcessTokenFn open_token = security.Find<OpenProcessTokenFn>("OpenProcessToken");
    ScopedHandle token;
    return open_token && open_token(GetCurrentProcess(), TOKEN_QUERY, token.receive()) &&
           TokenIsElevated(security, token.get());
}

// Starts the command line with a primary token: as that token's user where we may assign it,
// otherwise through the secondary logon service, which an elevated administrator may use for
// another process's token (Vista and later).
HANDLE StartWithToken(const SecurityLibrary& security, HANDLE token,
                      const std::string& command_line) {
    CreateProcessAsUserFn create_as_user =
        security.Find<CreateProcessAsUserFn>("CreateProcessAsUserA");
    PROCESS_INFORMATION info;
    ZeroMemory(&info, sizeof(info));
    if (create_as_user) {
        std::vector<char> line(command_line.begin(), command_line.end());
        line.push_back('\0');
        STARTUPINFOA startup;
        ZeroMemory(&startup, sizeof(startup));
        startup.cb = sizeof(startup);
        if (create_as_user(token, nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                           nullptr, &startup, &info)) {
            CloseHandle(info.hThread);
            return info.hProcess;
        }
    }
    CreateProcessWithTokenFn create_with_token =
        security.Find<CreateProcessWithTokenFn>("CreateProcessWithTokenW");
    if (!create_with_token) return nullptr;
    const int length = MultiByteToWideChar(CP_ACP, 0, command_line.c_str(), -1, nullptr, 0);
    if (length <= 0) return nullptr;
    std::vector<wchar_t> line(static_cast<size_t>(length));
    MultiByteToWideChar(CP_ACP, 0, command_line.c_str(), -1, line.data(), length);
    STARTUPINFOW startup;
    ZeroMemory(&startup, sizeof(startup));
    startup.cb = sizeof(startup);
    if (!create_with_token(token, 0, nullptr, line.data(), 0, nullptr, nullptr, &startup, &info))
        return nullptr;
    CloseHandle(info.hThread);
    return info.hProcess;
}

// The non-elevated token an elevated token is linked to. Windows hands it out at identification
// level unless the caller may act as the system, so the duplication below fails there and the
// shell's token is tried next.
HANDLE StartWithLinkedToken(const std::string& command_line) {
    SecurityLibrary security;
    OpenProcessTokenFn open_token = security.Find<OpenProcessTokenFn>("OpenProcessToken");
    GetTokenInformationFn get_information =
        security.Find<GetTokenInformationFn>("GetTokenInformation");
    DuplicateTokenExFn duplicate = security.Find<DuplicateTokenExFn>("DuplicateTokenEx");
    if (!open_token || !get_information || !duplicate) return nullptr;

    ScopedHandle own_token;
    if (!open_token(GetCurrentProcess(), TOKEN_QUERY, own_token.receive())) return nullptr;
    HANDLE linked_handle = nullptr;
    DWORD size = 0;
    if (!get_information(own_token.get(), kTokenLinkedToken, &linked_handle,
                         sizeof(linked_handle), &size))
        return nullptr;
    ScopedHandle linked(linked_handle);
    // Only a limited token is of use; a token without elevation is linked to the elevated one.
    if (!linked.valid() || TokenIsElevated(security, linked.get())) return nullptr;
    ScopedHandle primary;
    if (!duplicate(linked.get(), MAXIMUM_ALLOWED, nullptr, SecurityImpersonation, TokenPrimary,
                   primary.receive()))
        return nullptr;
    return StartWithToken(security, primary.get(), command_line);
}

// The process that owns the desktop shell's window, 0 when there is none.
DWORD ShellProcessId() {
    typedef HWND(WINAPI * GetShellWindowFn)();
    HMODULE user = GetModuleHandleA("user32.dll");
    GetShellWindowFn get_shell_window =
        user ? reinterpret_cast<GetShellWindowFn>(
                   reinterpret_cast<void*>(GetProcAddress(user, "GetShellWindow")))
             : nullptr;
    HWND shell = get_shell_window ? get_shell_window() : nullptr;
    DWORD process_id = 0;
    if (shell) GetWindowThreadProcessId(shell, &process_id);
    return process_id;
}

HANDLE RunWithIntegrity(const std::string& path, const std::string& parameters,
                        const char* sid_text) {
    SecurityLibrary security;
    OpenProcessTokenFn open_token = security.Find<OpenProcessTokenFn>("OpenProcessToken");
    DuplicateTokenExFn duplicate = security.Find<DuplicateTokenExFn>("DuplicateTokenEx");
    ConvertStringSidToSidFn convert_sid =
        security.Find<ConvertStringSidToSidFn>("ConvertStringSidToSidA");
    SetTokenInformationFn set_information =
        security.Find<SetTokenInformationFn>("SetTokenInformation");
    GetLengthSidFn sid_length = security.Find<GetLengthSidFn>("GetLengthSid");
    CreateProcessAsUserFn create_process =
        security.Find<CreateProcessAsUserFn>("CreateProcessAsUserA");
    if (!open_token || !duplicate || !convert_sid || !set_information || !sid_length ||
        !create_process)
        return nullptr;

    ScopedHandle own_token;
    if (!open_token(GetCurrentProcess(), MAXIMUM_ALLOWED, own_token.receive())) return nullptr;
    ScopedHandle token;
    if (!duplicate(own_token.get(), MAXIMUM_ALLOWED, nullptr, SecurityImpersonation, TokenPrimary,
                   token.receive()))
        return nullptr;

    PSID sid = nullptr;
    if (!convert_sid(sid_text, &sid) || !sid) return nullptr;
    MandatoryLabel label;
    label.Label.Sid = sid;
    label.Label.Attributes = kGroupIntegrity;
    HANDLE process = nullptr;
    if (set_information(token.get(), kTokenIntegrityLevel, &label,
                        static_cast<DWORD>(sizeof(label)) + sid_length(sid))) {
        const std::string command = CommandLineOf(path, parameters);
        std::vector<char> line(command.begin(), command.end());
        line.push_back('\0');
        STARTUPINFOA startup;
        ZeroMemory(&startup, sizeof(startup));
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION info;
        ZeroMemory(&info, sizeof(info));
        if (create_process(token.get(), nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                           nullptr, &startup, &info)) {
            CloseHandle(info.hThread);
            process = info.hProcess;
        }
    }
    LocalFree(sid);
    return process;
}

}  // namespace

bool IsVistaOrLater() {
    OSVERSIONINFOEXA version;
    return ReadVersion(version) && version.dwPlatformId == VER_PLATFORM_WIN32_NT &&
           version.dwMajorVersion > 5;
}

bool IsPostVistaMinorVersion() {
    OSVERSIONINFOEXA version;
    return ReadVersion(version) && version.dwPlatformId == VER_PLATFORM_WIN32_NT &&
           version.dwMajorVersion > 5 && version.dwMinorVersion != 0;
}

bool IsXpOrLater() {
    OSVERSIONINFOEXA version;
    return ReadVersion(version) &&
           (version.dwMajorVersion > 5 ||
            (version.dwMajorVersion == 5 && version.dwMinorVersion >= 1));
}

bool IsProcessElevated() {
    if (!IsVistaOrLater()) return true;
    SecurityLibrary security;
    OpenProcessTokenFn open_token = security.Find<OpenProcessTokenFn>("OpenProcessToken");
    GetTokenInformationFn get_information =
        security.Find<GetTokenInformationFn>("GetTokenInformation");
    if (!open_token || !get_information) return true;
    ScopedHandle token;
    if (!open_token(GetCurrentProcess(), TOKEN_QUERY, token.receive())) return false;
    DWORD elevation = 0;
    DWORD size = 0;
    return get_information(token.get(), kTokenElevation, &elevation, sizeof(elevation), &size) &&
           elevation != 0;
}

bool IsLowIntegrity() {
    if (!IsVistaOrLater()) return false;
    SecurityLibrary security;
    OpenProcessTokenFn open_token = security.Find<OpenProcessTokenFn>("OpenProcessToken");
    GetTokenInformationFn get_information =
        security.Find<GetTokenInformationFn>("GetTokenInformation");
    GetSidSubAuthorityFn sub_authority = security.Find<GetSidSubAuthorityFn>("GetSidSubAuthority");
    GetSidSubAuthorityCountFn sub_authority_count =
        security.Find<GetSidSubAuthorityCountFn>("GetSidSubAuthorityCount");
    if (!open_token || !get_information || !sub_authority || !sub_authority_count) return false;

    ScopedHandle token;
    if (!open_token(GetCurrentProcess(), TOKEN_QUERY | TOKEN_QUERY_SOURCE, token.receive()))
        return false;
    DWORD size = 0;
    if (get_information(token.get(), kTokenIntegrityLevel, nullptr, 0, &size) ||
        GetLastError() != ERROR_INSUFFICIENT_BUFFER || size < sizeof(MandatoryLabel))
        return false;
    std::vector<unsigned char> buffer(size);
    if (!get_information(token.get(), kTokenIntegrityLevel, buffer.data(), size, &size))
        return false;
    PSID sid = reinterpret_cast<MandatoryLabel*>(buffer.data())->Label.Sid;
    PUCHAR count = sub_authority_count(sid);
    if (!count || *count == 0) return false;
    PDWORD level = sub_authority(sid, static_cast<DWORD>(*count - 1));
    return level && *level < kMediumIntegrityRid;
}

bool RunProgram(const std::string& path, const std::string& parameters, bool wait, bool elevate) {
    if (path.empty()) return false;
    // Absolute drive paths are checked here; other forms are left to the shell.
    if (path.size() >= 4 && path[1] == ':' && path[2] == '\\' && !FileExists(path)) return false;

    SHELLEXECUTEINFOA info;
    ZeroMemory(&info, sizeof(info));
    info.cbSize = sizeof(info);
    // Failures are the caller's to report; the shell must not show its own error box.
    info.fMask = SEE_MASK_FLAG_NO_UI | (wait ? SEE_MASK_NOCLOSEPROCESS : 0);
    info.lpVerb = elevate && IsVistaOrLater() ? "runas" : "open";
    info.lpFile = path.c_str();
    info.lpParameters = parameters.c_str();
    info.nShow = SW_SHOW;
    const bool started = late::ShellExecuteExA(&info) != FALSE;

    // The application must still end once the program has: a quit message is kept for then.
    if (wait && info.hProcess) WaitDispatchingMessages(info.hProcess, INFINITE);
    if (info.hProcess) CloseHandle(info.hProcess);
    return started;
}

namespace {

// ShellExecuteAndWait's steps; with `kept` the process handle goes to the caller instead of
// being closed.
int ShellStart(DWORD* process_id, HANDLE* kept, const std::string& path,
               const std::string& parameters, bool wait, bool elevate) {
    if (process_id) *process_id = kNoProcessId;
    if (kept) *kept = nullptr;
    if (!FileExists(path)) return 0;

    SHELLEXECUTEINFOA info;
    ZeroMemory(&info, sizeof(info));
    info.cbSize = sizeof(info);
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    info.lpVerb = elevate && IsVistaOrLater() ? "runas" : "open";
    info.lpFile = path.c_str();
    info.lpParameters = parameters.c_str();
    info.nShow = SW_SHOWNORMAL;
    const BOOL started = late::ShellExecuteExA(&info);
    const DWORD error = started ? ERROR_SUCCESS : GetLastError();
    int result = static_cast<int>(reinterpret_cast<INT_PTR>(info.hInstApp));
    if (!started) {
        if (info.hProcess) CloseHandle(info.hProcess);
        return ShellFailureResult(result, error);
    }

    if (info.hProcess) {
        if (process_id) *process_id = GetProcessIdOf(info.hProcess);
        if (wait) WaitDispatchingMessages(info.hProcess, INFINITE);
        if (kept) {
            *kept = info.hProcess;
        } else {
            CloseHandle(info.hProcess);
        }
    }
    return result;
}

}  // namespace

int ShellExecuteAndWait(DWORD* process_id, const std::string& path,
                        const std::string& parameters, bool wait, bool elevate) {
    return ShellStart(process_id, nullptr, path, parameters, wait, elevate);
}

int ShellExecuteKeepingProcess(HANDLE* process, DWORD* process_id, const std::string& path,
                               const std::string& parameters, bool elevate) {
    return ShellStart(process_id, process, path, parameters, false, elevate);
}

int ShellFailureResult(int shell_code, DWORD last_error) {
    // The shell reports a refused elevation prompt as a cancelled operation.
    if (last_error == ERROR_CANCELLED) return SE_ERR_ACCESSDENIED;
    // 5 is the refusal's answer alone: the hand-over stops there instead of carrying on here.
    if (shell_code > 0 && shell_code <= 32 && shell_code != SE_ERR_ACCESSDENIED) return shell_code;
    return kShellGeneralFailure;
}

HANDLE RunWithTokenOfProcess(DWORD process_id, const std::string& command_line) {
    if (process_id == 0) return nullptr;
    SecurityLibrary security;
    OpenProcessTokenFn open_token = security.Find<OpenProcessTokenFn>("OpenProcessToken");
    DuplicateTokenExFn duplicate = security.Find<DuplicateTokenExFn>("DuplicateTokenEx");
    if (!open_token || !duplicate) return nullptr;
    ScopedHandle process(OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, process_id));
    if (!process.valid()) return nullptr;
    ScopedHandle token;
    if (!open_token(process.get(), TOKEN_DUPLICATE | TOKEN_QUERY, token.receive())) return nullptr;
    ScopedHandle primary;
    if (!duplicate(token.get(), MAXIMUM_ALLOWED, nullptr, SecurityImpersonation, TokenPrimary,
                   primary.receive()))
        return nullptr;
    return StartWithToken(security, primary.get(), command_line);
}

DWORD GetProcessIdOf(HANDLE process) {
    OSVERSIONINFOEXA version;
    const bool have_version = ReadVersion(version);
    const bool use_kernel =
        have_version && ((version.dwMajorVersion == 5 && version.dwMinorVersion == 1) ||
                         version.dwMajorVersion >= 6);
    if (use_kernel) {
        typedef DWORD(WINAPI * GetProcessIdFn)(HANDLE);
        HMODULE kernel = GetModuleHandleA("Kernel32.dll");
        GetProcessIdFn get_id =
            kernel ? reinterpret_cast<GetProcessIdFn>(
                         reinterpret_cast<void*>(GetProcAddress(kernel, "GetProcessId")))
                   : nullptr;
        if (get_id) {
            DWORD id = get_id(process);
            return id != 0 ? id : kNoProcessId;
        }
    }

    // PROCESS_BASIC_INFORMATION: six pointer-sized fields (24 bytes in a 32-bit process); the
    // fifth is the process identifier.
    struct BasicInformation {
        ULONG_PTR exit_status;
        ULONG_PTR peb;
        ULONG_PTR affinity;
        ULONG_PTR base_priority;
        ULONG_PTR process_id;
        ULONG_PTR parent_id;
    };
    typedef LONG(WINAPI * QueryProcessFn)(HANDLE, int, PVOID, ULONG, PULONG);
    HMODULE ntdll = LoadLibraryA("ntdll.dll");
    if (!ntdll) return kNoProcessId;
    DWORD id = kNoProcessId;
    QueryProcessFn query = reinterpret_cast<QueryProcessFn>(
        reinterpret_cast<void*>(GetProcAddress(ntdll, "ZwQueryInformationProcess")));
    BasicInformation information = {};
    if (query && query(process, 0, &information, sizeof(information), nullptr) == 0)
        id = static_cast<DWORD>(information.process_id);
    FreeLibrary(ntdll);
    return id;
}

namespace {

void TraceNotStarted(const std::string& command_line) {
    if (!IsDebugTraceEnabled()) return;
    const std::string line = "Not started, no token of the user's to start it with : " + command_line;
    DebugTrace(line.c_str());
}

// The user's own token: the one the elevated token is linked to, else the desktop shell's.
// Never the own token: an elevated token keeps the Administrators group and its privileges
// whatever its integrity label says.
HANDLE StartWithUserToken(const std::string& command_line) {
    if (HANDLE process = StartWithLinkedToken(command_line)) return process;
    if (HANDLE process = RunWithTokenOfProcess(ShellProcessId(), command_line)) return process;
    TraceNotStarted(command_line);
    return nullptr;
}

bool IsAbsoluteDrivePath(const std::string& path) {
    return path.size() >= 4 && path[1] == ':' && path[2] == '\\';
}

}  // namespace

namespace {

HANDLE StartWithUserRights(const std::string& path, const std::string& parameters) {
    if (OwnTokenIsElevated()) return StartWithUserToken(CommandLineOf(path, parameters));
    return RunWithIntegrity(path, parameters, kMediumIntegritySid);
}

}  // namespace

HANDLE RunAsMediumIntegrity(const std::string& path) { return StartWithUserRights(path, ""); }

bool StartForUser(const std::string& path, const std::string& parameters) {
    if (path.empty()) return false;
    if (IsAbsoluteDrivePath(path) && !FileExists(path)) return false;
    if (!IsVistaOrLater()) return RunProgram(path, parameters, false, false);
    HANDLE process = StartWithUserRights(path, parameters);
    if (!process) return false;
    CloseHandle(process);
    return true;
}

std::string BrowserCommandFor(const std::string& command_template, const std::string& url) {
    if (command_template.empty() || url.empty()) return "";
    for (char c : url) {
        if (static_cast<unsigned char>(c) <= ' ' || c == '"' || c == 0x7F) return "";
    }
    // One pass over the template: the address itself may hold "%1" or "%L" (a percent escape).
    std::string command;
    bool placed = false;
    for (size_t at = 0; at < command_template.size(); ++at) {
        const char next = at + 1 < command_template.size() ? command_template[at + 1] : '\0';
        if (command_template[at] == '%' && (next == '1' || next == 'l' || next == 'L')) {
            command += url;
            placed = true;
            ++at;
        } else {
            command += command_template[at];
        }
    }
    return placed ? command : command + " \"" + url + "\"";
}

bool OpenWebPageForUser(const std::string& url) {
    if (!IsFetchableAddress(url)) return false;
    if (!IsVistaOrLater() || !OwnTokenIsElevated()) {
        SHELLEXECUTEINFOA info;
        ZeroMemory(&info, sizeof(info));
        info.cbSize = sizeof(info);
        info.fMask = SEE_MASK_FLAG_NO_UI;
        info.lpVerb = "open";
        info.lpFile = url.c_str();
        info.nShow = SW_SHOWNORMAL;
        return late::ShellExecuteExA(&info) != FALSE;
    }
    // The shell would open the page with this process's token; the browser's own command can
    // be started with the user's.
    char command[2048] = {};
    DWORD size = sizeof(command);
    const char* scheme = late::StrCmpNIA(url.c_str(), "https://", 8) == 0 ? "https" : "http";
    if (FAILED(late::AssocQueryStringA(ASSOCF_NOTRUNCATE, ASSOCSTR_COMMAND, scheme, "open",
                                       command, &size))) {
        TraceNotStarted(url);
        return false;
    }
    const std::string line = BrowserCommandFor(command, url);
    if (line.empty()) return false;
    HANDLE process = StartWithUserToken(line);
    if (!process) return false;
    CloseHandle(process);
    return true;
}

HANDLE RunAsLowIntegrity(const std::string& path, const std::string& parameters) {
    return RunWithIntegrity(path, parameters, kLowIntegritySid);
}
