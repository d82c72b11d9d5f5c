#include "updater/platform/Shell.h"

#include <objbase.h>
#include <shldisp.h>
#include <shlobj.h>

#include <vector>

#include "updater/platform/BasicHelpers.h"
#include "updater/platform/LateImports.h"

namespace {

// Verb display names of a Korean Windows (code page 949) and of an English one.
const char kPinStartKorean[] = "\xBD\xC3\xC0\xDB \xB8\xDE\xB4\xBA\xBF\xA1 \xB0\xED\xC1\xA4";
const char kUnpinStartKorean[] =
    "\xBD\xC3\xC0\xDB \xB8\xDE\xB4\xBA\xBF\xA1\xBC\xAD \xC1\xA6\xB0\xC5";
const char kPinStartEnglish[] = "Pin to Start Menu";
const char kUnpinStartEnglish[] = "Unpin from Start Menu";

// Declared here so that no import library has to provide them.
const CLSID kClsidShellApplication = {
    0x13709620, 0xC279, 0x11CE, {0xA4, 0x9E, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const IID kIidShellDispatch = {
    0xD8F015C0, 0xC278, 0x11CE, {0xA4, 0x9E, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const CLSID kClsidShellLink = {
    0x00021401, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID kIidShellLinkA = {
    0x000214EE, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID kIidPersistFile = {
    0x0000010B, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

bool ReadVersion(OSVERSIONINFOA& version) {
    ZeroMemory(&version, sizeof(version));
    version.dwOSVersionInfoSize = sizeof(version);
    return GetVersionExA(&version) != FALSE;
}

template <typename T>
void Release(T*& object) {
    if (object) object->Release();
    object = nullptr;
}

// Balanced COM initialisation for the calling thread; a thread already in another apartment
// keeps it and is not uninitialised.
class ComScope {
public:
    ComScope() : result_(CoInitialize(nullptr)) {}
    ~ComScope() {
        if (SUCCEEDED(result_)) CoUninitialize();
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;

private:
    HRESULT result_;
};

std::wstring Widen(const std::string& text, UINT code_page) {
    if (text.empty()) return std::wstring();
    int length = MultiByteToWideChar(code_page, 0, text.data(), static_cast<int>(text.size()),
                                     nullptr, 0);
    if (length <= 0) return std::wstring();
    std::vector<wchar_t> buffer(static_cast<size_t>(length) + 1, L'\0');
    if (MultiByteToWideChar(code_page, 0, text.data(), static_cast<int>(text.size()),
                            buffer.data(), length) != length)
        return std::wstring();
    return std::wstring(buffer.data(), static_cast<size_t>(length));
}

std::string Narrow(const wchar_t* text, int length) {
    if (!text || length == 0) return std::string();
    int size = WideCharToMultiByte(CP_ACP, 0, text, length, nullptr, 0, nullptr, nullptr);
    if (size <= 0) return std::string();
    std::vector<char> buffer(static_cast<size_t>(size) + 1, '\0');
    if (WideCharToMultiByte(CP_ACP, 0, text, length, buffer.data(), size, nullptr, nullptr) !=
        size)
        return std::string();
    return std::string(buffer.data(), static_cast<size_t>(size));
}

// BSTR holder that frees on scope exit.
class Bstr {
public:
    explicit Bstr(const std::wstring& text) : value_(late::SysAllocString(text.c_str())) {}
    Bstr() = default;
    ~Bstr() { late::SysFreeString(value_); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    BSTR get() const { return value_; }
    BSTR* receive() {
        late::SysFreeString(value_);
        value_ = nullptr;
        return &value_;
    }

private:
    BSTR value_ = nullptr;
};

}  // namespace

std::string GetSpecialFolder(int folder_id) {
    OSVERSIONINFOA version;
    if (!ReadVersion(version)) return "";
    HMODULE library = LoadLibraryA(version.dwMajorVersion < 5 ? "shfolder.dll" : "shell32.dll");
    if (!library) return "";
    typedef HRESULT(WINAPI * GetFolderPathFn)(HWND, int, HANDLE, DWORD, LPSTR);
    GetFolderPathFn get_folder_path =
        reinterpret_cast<GetFolderPathFn>(
            reinterpret_cast<void*>(GetProcAddress(library, "SHGetFolderPathA")));
    std::string folder;
    if (get_folder_path) {
        char buffer[MAX_PATH + 1] = {};
        if (SUCCEEDED(get_folder_path(nullptr, folder_id, nullptr, 0 /* current */, buffer)))
            folder = buffer;
    }
    FreeLibrary(library);
    return folder;
}

std::string QuickLaunchFolder() {
    std::string app_data = GetSpecialFolder(kFolderAppData);
    if (app_data.empty()) return "";
    return app_data + "\\Microsoft\\Internet Explorer\\Quick Launch";
}

std::string JoinPath(const std::string& folder, const std::string& name) {
    if (!folder.empty() && folder[folder.size() - 1] == '\\') return folder + name;
    return folder + "\\" + name;
}

std::string ParentFolder(const std::string& path) {
    size_t at = path.rfind('\\');
    if (at == std::string::npos) at = path.rfind('/');
    if (at == std::string::npos) return path;
    return path.substr(0, at);
}

std::string FileNameOf(const std::string& path) {
    size_t at = path.rfind('\\');
    if (at == std::string::npos) at = path.rfind('/');
    if (at == std::string::npos) return path;
    return path.substr(at + 1);
}

std::string CreateFolderPath(const std::string& path, bool include_last) {
    // Leading backslashes (a network or rooted path) belong to the first component; dropping
    // them would create the chain relative to the current folder instead.
    size_t start = 0;
    while (start < path.size() && path[start] == '\\') ++start;
    const std::string lead = path.substr(0, start);

    std::vector<std::string> components;
    size_t at = start;
    while (at <= path.size()) {
        size_t next = path.find('\\', at);
        if (next == std::string::npos) next = path.size();
        if (next > at) components.push_back(path.substr(at, next - at));
        at = next + 1;
    }

    std::string result;
    std::string prefix;
    for (size_t i = 0; i < components.size(); ++i) {
        prefix = i == 0 ? lead + components[0] : prefix + "\\" + components[i];
        if (i + 1 == components.size() && !include_last) break;
        if (FileExists(prefix) || CreateDirectoryA(prefix.c_str(), nullptr)) result = prefix;
    }
    return result;
}

std::string Utf8ToAnsi(const std::string& text) {
    std::wstring wide = Widen(text, CP_UTF8);
    return Narrow(wide.c_str(), static_cast<int>(wide.size()));
}

std::string OsDescription() {
    OSVERSIONINFOEXA version;
    ZeroMemory(&version, sizeof(version));
    version.dwOSVersionInfoSize = sizeof(version);
    DWORD product_type = 0;
    if (GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&version))) {
        product_type = version.wProductType;
    } else {
        version.dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
        GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&version));
    }

    SYSTEM_INFO system;
    ZeroMemory(&system, sizeof(system));
    typedef void(WINAPI * NativeInfoFn)(LPSYSTEM_INFO);
    HMODULE kernel = GetModuleHandleA("Kernel32.dll");
    NativeInfoFn native_info =
        kernel ? reinterpret_cast<NativeInfoFn>(
                     reinterpret_cast<void*>(GetProcAddress(kernel, "GetNativeSystemInfo")))
               : nullptr;
    if (native_info)
        native_info(&system);
    else
        GetSystemInfo(&system);

    char text[128];
    wsprintfA(text, "%d,%d,%d,%d,%d", static_cast<int>(version.dwMajorVersion),
              static_cast<int>(version.dwMinorVersion), static_cast<int>(version.dwPlatformId),
              static_cast<int>(product_type), static_cast<int>(system.wProcessorArchitecture));
    return text;
}

void BringWindowToForeground(HWND window) {
    if (!window || !IsWindow(window)) return;
    if (IsIconic(window)) ShowWindow(window, SW_RESTORE);
    if (GetForegroundWindow() == window) return;

    OSVERSIONINFOA version;
    bool locked_foreground = false;
    if (ReadVersion(version)) {
        const bool win98_class =
            version.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS &&
            (version.dwMajorVersion > 4 ||
             (version.dwMajorVersion == 4 && version.dwMinorVersion > 0));
        const bool win2000_class =
            version.dwPlatformId == VER_PLATFORM_WIN32_NT && version.dwMajorVersion > 4;
        locked_foreground = win98_class || win2000_class;
    }
    if (!locked_foreground) {
        BringWindowToTop(window);
        SetForegroundWindow(window);
        return;
    }

    HWND foreground = GetForegroundWindow();
    DWORD own_thread = GetWindowThreadProcessId(window, nullptr);
    DWORD foreground_thread = foreground ? GetWindowThreadProcessId(foreground, nullptr) : 0;
    const bool attach = foreground_thread != 0 && foreground_thread != own_thread;
    if (attach) AttachThreadInput(own_thread, foreground_thread, TRUE);
    BringWindowToTop(window);
    SetForegroundWindow(window);
    if (attach) AttachThreadInput(own_thread, foreground_thread, FALSE);
    if (GetForegroundWindow() == window) return;

    DWORD timeout = 0;
    SystemParametersInfoA(SPI_GETFOREGROUNDLOCKTIMEOUT, 0, &timeout, 0);
    SystemParametersInfoA(SPI_SETFOREGROUNDLOCKTIMEOUT, 0, nullptr, SPIF_SENDCHANGE);
    BringWindowToTop(window);
    SetForegroundWindow(window);
    SystemParametersInfoA(SPI_SETFOREGROUNDLOCKTIMEOUT, 0,
                          reinterpret_cast<void*>(static_cast<ULONG_PTR>(timeout)),
                          SPIF_SENDCHANGE);
}

bool IsStartMenuVerbName(const std::string& display_name, bool pin) {
    std::string plain;
    for (char c : display_name)
        if (c != '&') plain += c;
    return plain.find(pin ? kPinStartKorean : kUnpinStartKorean) != std::string::npos ||
           plain.find(pin ? kPinStartEnglish : kUnpinStartEnglish) != std::string::npos;
}

bool StartMenuVerb(const std::string& path, bool pin) {
    if (path.empty() || !FileExists(path)) return false;

    ComScope com;
    IShellDispatch* shell = nullptr;
    Folder* folder = nullptr;
    FolderItem* item = nullptr;
    FolderItemVerbs* verbs = nullptr;
    bool listed = false;

    if (SUCCEEDED(CoCreateInstance(kClsidShellApplication, nullptr, CLSCTX_INPROC_SERVER,
                                   kIidShellDispatch, reinterpret_cast<void**>(&shell))) &&
        shell) {
        VARIANT location;
        late::VariantInit(&location);
        location.vt = VT_BSTR;
        location.bstrVal = late::SysAllocString(Widen(ParentFolder(path), CP_ACP).c_str());
        if (location.bstrVal && SUCCEEDED(shell->NameSpace(location, &folder)) && folder) {
            Bstr name(Widen(FileNameOf(path), CP_ACP));
            if (SUCCEEDED(folder->ParseName(name.get(), &item)) && item &&
                SUCCEEDED(item->Verbs(&verbs)) && verbs) {
                listed = true;
                long count = 0;
                verbs->get_Count(&count);
                for (long i = 0; i < count; ++i) {
                    VARIANT index;
                    late::VariantInit(&index);
                    index.vt = VT_I4;
                    index.lVal = i;
                    FolderItemVerb* verb = nullptr;
                    if (FAILED(verbs->Item(index, &verb)) || !verb) continue;
                    Bstr verb_name;
                    if (SUCCEEDED(verb->get_Name(verb_name.receive())) && verb_name.get()) {
                        const std::string name = Narrow(
                            verb_name.get(), static_cast<int>(late::SysStringLen(verb_name.get())));
                        if (IsStartMenuVerbName(name, pin)) verb->DoIt();
                    }
                    Release(verb);
                }
            }
        }
        late::VariantClear(&location);
    }
    Release(verbs);
    Release(item);
    Release(folder);
    Release(shell);
    return listed;
}

bool PinToStartMenu(const std::string& shortcut) {
    if (FileExists(shortcut)) StartMenuVerb(shortcut, false);
    std::string app_data = GetSpecialFolder(kFolderAppData);
    if (!app_data.empty()) {
        std::string pinned = JoinPath(
            app_data, "Microsoft\\Internet Explorer\\Quick Launch\\User Pinned\\StartMenu\\" +
                          FileNameOf(shortcut));
        if (FileExists(pinned)) StartMenuVerb(pinned, false);
    }
    return StartMenuVerb(shortcut, true);
}

bool TaskbarVerb(const std::string& path, bool pin) {
    if (path.empty() || !FileExists(path)) return false;
    HINSTANCE result = late::ShellExecuteA(nullptr, pin ? "taskbarpin" : "taskbarunpin",
                                           path.c_str(), nullptr, nullptr, SW_HIDE);
    return reinterpret_cast<INT_PTR>(result) > 32;
}

bool PinToTaskbar(const std::string& path) { return TaskbarVerb(path, true); }

bool CreateShortcut(const std::string& target, const std::string& arguments,
                    const std::string& shortcut_path, const std::string& description,
                    const std::string& icon_path) {
    if (target.empty() || shortcut_path.empty()) return false;
    ComScope com;
    IShellLinkA* link = nullptr;
    IPersistFile* file = nullptr;
    HRESULT hr = CoCreateInstance(kClsidShellLink, nullptr, CLSCTX_INPROC_SERVER, kIidShellLinkA,
                                  reinterpret_cast<void**>(&link));
    if (SUCCEEDED(hr)) hr = link->SetPath(target.c_str());
    if (SUCCEEDED(hr) && !arguments.empty()) hr = link->SetArguments(arguments.c_str());
    if (SUCCEEDED(hr) && !description.empty()) hr = link->SetDescription(description.c_str());
    if (SUCCEEDED(hr)) hr = link->SetShowCmd(0);
    if (SUCCEEDED(hr) && !icon_path.empty()) hr = link->SetIconLocation(icon_path.c_str(), 0);
    if (SUCCEEDED(hr)) hr = link->QueryInterface(kIidPersistFile, reinterpret_cast<void**>(&file));
    if (SUCCEEDED(hr)) {
        DeleteFileA(shortcut_path.c_str());
        std::wstring wide = Widen(shortcut_path, CP_ACP);
        hr = wide.empty() ? E_INVALIDARG : file->Save(wide.c_str(), TRUE);
    }
    Release(file);
    Release(link);
    return SUCCEEDED(hr);
}
