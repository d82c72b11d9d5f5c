#include "helper/CrashReportGuard.h"

#include <shlobj.h>

#include <cstdio>
#include <vector>

#include "common/process/ProcessToolkit.h"
#include "helper/HelperRegistry.h"
#include "helper/SystemFacts.h"

namespace pallix {

namespace {

constexpr wchar_t kLibraryName[] = L"Rupel.dll";
constexpr wchar_t kLanguageModuleName[] = L"Rupel_KR.dll";
constexpr wchar_t kToolbarModuleKey[] =
    L"CLSID\\{38FBE93D-4CA1-4414-AF6A-94920C5BD8DA}\\InprocServer32";

using InitializeProcessFn = int(WINAPI*)(CrashReportSettings*);
using NoArgumentFn = int(WINAPI*)();
using AppendFileFn = int(WINAPI*)(const wchar_t*);

template <class Fn>
Fn Lookup(HMODULE module, const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

}  // namespace

bool LogCollectionAllowed() {
    ScopedKey root = ToolbarSettingsRoot();
    return ReadRegDword(root.get(), kWendleKey, L"CollectUserLog", 1) != 0;
}

std::wstring OwnFolder() {
    std::vector<wchar_t> path(MAX_PATH);
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return std::wstring();
        if (length < path.size()) {
            std::wstring full(path.data(), length);
            const size_t slash = full.find_last_of(L'\\');
            return slash == std::wstring::npos ? std::wstring() : full.substr(0, slash + 1);
        }
        if (path.size() >= 32768) return std::wstring();
        path.resize(path.size() * 2);
    }
}

std::wstring ToolbarVersionText() {
    const std::wstring module = ReadRegString(HKEY_CLASSES_ROOT, kToolbarModuleKey, nullptr, 260);
    std::wstring version;
    DWORD handle = 0;
    const DWORD size = module.empty() ? 0 : GetFileVersionInfoSizeW(module.c_str(), &handle);
    if (size) {
        std::vector<BYTE> data(size);
        if (GetFileVersionInfoW(module.c_str(), 0, size, data.data())) {
            struct Translation {
                WORD language;
                WORD code_page;
            };
            Translation* translations = nullptr;
            UINT translations_size = 0;
            if (VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation",
                               reinterpret_cast<void**>(&translations), &translations_size) &&
                translations && translations_size >= sizeof(Translation)) {
                wchar_t query[64];
                swprintf(query, 64, L"\\StringFileInfo\\%04X%04X\\%ls", translations[0].language,
                         translations[0].code_page, L"ProductVersion");
                wchar_t* text = nullptr;
                UINT text_length = 0;
                if (VerQueryValueW(data.data(), query, reinterpret_cast<void**>(&text),
                                   &text_length) &&
                    text && text_length > 0) {
                    version.assign(text, wcsnlen(text, text_length));
                }
            }
        }
    }
    // Only major, minor and build are reported; the last part stands for any revision.
    if (!version.empty()) version.back() = L'x';
    return version + L" kr";
}

bool IsProtectedModeProcess() {
    if (proctool::IsIe6()) return false;
    wchar_t system[MAX_PATH] = {};
    HMODULE ieframe = nullptr;
    const UINT length = GetSystemDirectoryW(system, MAX_PATH);
    if (length > 0 && length < MAX_PATH) {
        ieframe = LoadLibraryW((std::wstring(system) + L"\\ieframe.dll").c_str());
    }
    if (!ieframe) ieframe = LoadLibraryW(L"ieframe.dll");
    if (!ieframe) return false;
    bool is_protected = false;
    using QueryFn = HRESULT(WINAPI*)(BOOL*);
    if (QueryFn query = Lookup<QueryFn>(ieframe, "IEIsProtectedModeProcess")) {
        BOOL answer = FALSE;
        HRESULT result = query(&answer);
        if (FAILED(result)) result = query(&answer);
        is_protected = SUCCEEDED(result) ? answer != FALSE : result == E_ACCESSDENIED;
    }
    FreeLibrary(ieframe);
    return is_protected;
}

std::wstring ToolbarLogFolder(bool browser_aware) {
    if (!IsVistaOrLater()) {
        wchar_t app_data[MAX_PATH] = {};
        if (FAILED(
                SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, app_data))) {
            return std::wstring();
        }
        std::wstring folder = std::wstring(app_data) + L"\\Quindel\\Wendle";
        // An existing folder is no error.
        SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
        return folder;
    }
    wchar_t temp[MAX_PATH + 1] = {};
    const DWORD length = GetTempPathW(MAX_PATH + 1, temp);
    if (length == 0 || length > MAX_PATH) return std::wstring();
    if (browser_aware && IsProtectedModeProcess()) return std::wstring(temp) + L"Quindel\\Wendle";
    return std::wstring(temp) + L"Low\\Quindel\\Wendle";
}

std::wstring TodaysLogPath(bool browser_aware) {
    const std::wstring folder = ToolbarLogFolder(browser_aware);
    if (folder.empty()) return std::wstring();
    SYSTEMTIME now = {};
    GetLocalTime(&now);
    wchar_t name[32];
    swprintf(name, 32, L"\\%4.4d%2.2d%2.2d.log", now.wYear, now.wMonth, now.wDay);
    return folder + L"\\Log" + name;
}

int WINAPI CrashReportCallback(void*) {
    // The library calls this from its own frames: nothing may be thrown back into them. Should
    // building the paths fail, the report goes without the log.
    try {
        if (!LogCollectionAllowed()) return 0;
        const std::wstring log = TodaysLogPath(true);
        const std::wstring folder = OwnFolder();
        // Only the copy already loaded from our folder is asked; no second one is loaded here.
        HMODULE library = folder.empty() ? nullptr : GetModuleHandleW((folder + kLibraryName).c_str());
        if (library && !log.empty()) {
            if (AppendFileFn append = Lookup<AppendFileFn>(library, "RupelAppendFileW")) {
                append(log.c_str());
            }
        }
    } catch (...) {
    }
    return 2;
}

CrashReportGuard::CrashReportGuard() {
    if (!LogCollectionAllowed()) return;
    folder_ = OwnFolder();
    if (folder_.empty()) return;
    library_ = LoadLibraryW((folder_ + kLibraryName).c_str());
    if (!library_) return;
    auto initialize_process = Lookup<InitializeProcessFn>(library_, "RupelProcessInitializeW");
    auto initialize_thread = Lookup<NoArgumentFn>(library_, "RupelThreadInitializeW");

    version_text_ = ToolbarVersionText();
    language_module_ = folder_ + kLanguageModuleName;
    settings_.application_name = L"Wendle";
    settings_.version_text = version_text_.c_str();
    settings_.folder = folder_.c_str();
    settings_.language_module = language_module_.c_str();
    settings_.crash_callback = &CrashReportCallback;

    if (initialize_process) {
        initialize_process(&settings_);
        if (initialize_thread) initialize_thread();
    }
}

CrashReportGuard::~CrashReportGuard() {
    Finalize();
}

void CrashReportGuard::Finalize() {
    if (!library_) return;
    auto finalize_thread = Lookup<NoArgumentFn>(library_, "RupelThreadFinalizeW");
    auto finalize_process = Lookup<NoArgumentFn>(library_, "RupelProcessFinalizeW");
    if (finalize_thread) {
        finalize_thread();
        if (finalize_process) finalize_process();
    }
    FreeLibrary(library_);
    library_ = nullptr;
}

}  // namespace pallix
