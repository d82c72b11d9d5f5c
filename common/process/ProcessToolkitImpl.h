#pragma once
// The template implementation behind ProcessToolkit.h. Included only by ProcessNarrow.cpp and
// ProcessWide.cpp, which instantiate it for one character type each.
#include <windows.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstring>
#include <new>

#include "common/process/ProcessToolkit.h"

namespace proctool {

// Full access as defined before Windows Vista; newer headers define a larger mask that older
// systems refuse.
constexpr DWORD kLegacyAllAccess = 2035711;  // 0x1F0FFF
constexpr DWORD kProcessWaitMs = 5000;

// GetProcAddress answers with a generic function type; the cast goes through void* so that the
// compiler accepts the change of signature we know to be right.
template <class Fn>
Fn ProcAs(FARPROC address) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(address));
}

template <class Ch>
struct CharTraits;

template <>
struct CharTraits<char> {
    using ProcessRecord = tagPROCESSENTRY32;
    static constexpr const char* kProcessFirst = "Process32First";
    static constexpr const char* kProcessNext = "Process32Next";
    static constexpr const char* kModuleFirst = "Module32First";
    static constexpr const char* kModuleNext = "Module32Next";
    static constexpr const char* kModuleFileName = "GetModuleFileNameExA";
    static constexpr const char* kDash = "-";
    static constexpr const char* kDialogClass = "#32770";
    static void Lower(std::string& text) {
        // The system code page's lower-casing, multibyte characters included.
        if (!text.empty()) CharLowerBuffA(&text[0], static_cast<DWORD>(text.size()));
    }
    static HANDLE OpenMutexT(const char* name) { return OpenMutexA(MUTEX_ALL_ACCESS, FALSE, name); }
    static HWND FindWindowExT(HWND parent, HWND after, const char* cls) {
        return FindWindowExA(parent, after, cls, nullptr);
    }
    static int ClassNameOf(HWND window, char* buffer, int size) {
        return GetClassNameA(window, buffer, size);
    }
};

template <>
struct CharTraits<wchar_t> {
    using ProcessRecord = tagPROCESSENTRY32W;
    static constexpr const char* kProcessFirst = "Process32FirstW";
    static constexpr const char* kProcessNext = "Process32NextW";
    static constexpr const char* kModuleFirst = "Module32FirstW";
    static constexpr const char* kModuleNext = "Module32NextW";
    static constexpr const char* kModuleFileName = "GetModuleFileNameExW";
    static constexpr const wchar_t* kDash = L"-";
    static constexpr const wchar_t* kDialogClass = L"#32770";
    static void Lower(std::wstring& text) {
        if (!text.empty()) CharLowerBuffW(&text[0], static_cast<DWORD>(text.size()));
    }
    static HANDLE OpenMutexT(const wchar_t* name) {
        return OpenMutexW(MUTEX_ALL_ACCESS, FALSE, name);
    }
    static HWND FindWindowExT(HWND parent, HWND after, const wchar_t* cls) {
        return FindWindowExW(parent, after, cls, nullptr);
    }
    static int ClassNameOf(HWND window, wchar_t* buffer, int size) {
        return GetClassNameW(window, buffer, size);
    }
};

template <class Ch>
struct ProcessListProvider<Ch>::Functions {
    using Record = typename CharTraits<Ch>::ProcessRecord;
    // tool-help
    HANDLE(WINAPI* create_snapshot)(DWORD, DWORD) = nullptr;
    BOOL(WINAPI* process_first)(HANDLE, Record*) = nullptr;
    BOOL(WINAPI* process_next)(HANDLE, Record*) = nullptr;
    FARPROC module_first = nullptr;
    FARPROC module_next = nullptr;
    // process-status
    DWORD(WINAPI* module_file_name)(HANDLE, HMODULE, Ch*, DWORD) = nullptr;
    BOOL(WINAPI* enum_process_modules)(HANDLE, HMODULE*, DWORD, DWORD*) = nullptr;
    BOOL(WINAPI* enum_processes)(DWORD*, DWORD, DWORD*) = nullptr;
    FARPROC module_information = nullptr;
};

template <class Ch>
ProcessListProvider<Ch>::ProcessListProvider(BackEndOptions options)
    : options_(std::move(options)), functions_(new Functions) {}

template <class Ch>
ProcessListProvider<Ch>::~ProcessListProvider() {
    Release();
}

template <class Ch>
void ProcessListProvider<Ch>::Release() {
    if (library_) FreeLibrary(library_);
    library_ = nullptr;
    back_end_ = BackEnd::None;
    *functions_ = Functions{};
}

template <class Ch>
bool ProcessListProvider<Ch>::IsMissing(const char* library, const char* function) const {
    std::string wanted = library;
    if (function) wanted += std::string("!") + function;
    for (const std::string& item : options_.missing) {
        if (lstrcmpiA(item.c_str(), wanted.c_str()) == 0) return true;
    }
    return false;
}

template <class Ch>
FARPROC ProcessListProvider<Ch>::Resolve(HMODULE module, const char* library,
                                         const char* function) const {
    if (IsMissing(library, function)) return nullptr;
    return GetProcAddress(module, function);
}

template <class Ch>
bool ProcessListProvider<Ch>::TryToolHelp() {
    static const char kLibrary[] = "kernel32.dll";
    if (IsMissing(kLibrary, nullptr)) return false;
    HMODULE module = LoadLibraryA(kLibrary);
    if (!module) return false;
    using T = CharTraits<Ch>;
    Functions& f = *functions_;
    f.create_snapshot =
        ProcAs<decltype(f.create_snapshot)>(Resolve(module, kLibrary, "CreateToolhelp32Snapshot"));
    f.process_first =
        ProcAs<decltype(f.process_first)>(Resolve(module, kLibrary, T::kProcessFirst));
    f.process_next = ProcAs<decltype(f.process_next)>(Resolve(module, kLibrary, T::kProcessNext));
    f.module_first = Resolve(module, kLibrary, T::kModuleFirst);
    f.module_next = Resolve(module, kLibrary, T::kModuleNext);
    if (!f.create_snapshot || !f.process_first || !f.process_next || !f.module_first ||
        !f.module_next) {
        FreeLibrary(module);
        f = Functions{};
        status_ = kListIncompleteBackEnd;
        return false;
    }
    library_ = module;
    back_end_ = BackEnd::ToolHelp;
    return true;
}

template <class Ch>
bool ProcessListProvider<Ch>::TryProcessStatus() {
    static const char kLibrary[] = "psapi.dll";
    if (IsMissing(kLibrary, nullptr)) return false;
    HMODULE module = LoadLibraryA(kLibrary);
    if (!module) return false;
    using T = CharTraits<Ch>;
    Functions& f = *functions_;
    f.module_file_name =
        ProcAs<decltype(f.module_file_name)>(Resolve(module, kLibrary, T::kModuleFileName));
    f.enum_process_modules =
        ProcAs<decltype(f.enum_process_modules)>(Resolve(module, kLibrary, "EnumProcessModules"));
    f.enum_processes =
        ProcAs<decltype(f.enum_processes)>(Resolve(module, kLibrary, "EnumProcesses"));
    f.module_information = Resolve(module, kLibrary, "GetModuleInformation");
    if (!f.module_file_name || !f.enum_process_modules || !f.enum_processes ||
        !f.module_information) {
        FreeLibrary(module);
        f = Functions{};
        status_ = kListIncompleteBackEnd;
        return false;
    }
    library_ = module;
    back_end_ = BackEnd::ProcessStatus;
    return true;
}

template <class Ch>
bool ProcessListProvider<Ch>::LoadBackEnd(bool prefer_process_status) {
    Release();
    const bool loaded = prefer_process_status ? (TryProcessStatus() || TryToolHelp())
                                              : (TryToolHelp() || TryProcessStatus());
    status_ = loaded ? kListSuccess : kListNoBackEnd;
    return loaded;
}

template <class Ch>
bool ProcessListProvider<Ch>::EnumerateToolHelp(ProcessList<Ch>& list) {
    const Functions& f = *functions_;
    HANDLE snapshot = f.create_snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE || snapshot == nullptr) return false;
    list.entries_.clear();
    list.cursor_ = 0;
    typename CharTraits<Ch>::ProcessRecord record;
    std::memset(&record, 0, sizeof(record));
    record.dwSize = sizeof(record);
    for (BOOL more = f.process_first(snapshot, &record); more;
         more = f.process_next(snapshot, &record)) {
        ProcessEntry<Ch> entry;
        entry.process_id = record.th32ProcessID;
        const size_t capacity = sizeof(record.szExeFile) / sizeof(record.szExeFile[0]);
        const Ch* name = record.szExeFile;
        entry.image_name.assign(name, std::find(name, name + capacity, Ch(0)));
        list.entries_.push_back(std::move(entry));
        record.dwSize = sizeof(record);
    }
    CloseHandle(snapshot);
    return true;
}

template <class Ch>
bool ProcessListProvider<Ch>::EnumerateProcessStatus(ProcessList<Ch>& list) {
    const Functions& f = *functions_;
    constexpr DWORD kIdBufferBytes = 0x4000;
    std::vector<DWORD> ids(kIdBufferBytes / sizeof(DWORD));
    DWORD returned = 0;
    if (!f.enum_processes(ids.data(), kIdBufferBytes, &returned)) return false;
    const size_t count = std::min<size_t>(returned / sizeof(DWORD), ids.size());
    list.entries_.clear();
    for (size_t i = 0; i < count; ++i) {
        HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, ids[i]);
        if (!process) continue;
        ProcessEntry<Ch> entry;
        entry.process_id = ids[i];
        HMODULE first = nullptr;
        DWORD needed = 0;
        if (f.enum_process_modules(process, &first, sizeof(first), &needed)) {
            Ch path[MAX_PATH + 1] = {};
            const DWORD length = f.module_file_name(process, first, path, MAX_PATH);
            entry.image_name.assign(path, std::min<DWORD>(length, MAX_PATH));
        } else {
            entry.image_name = CharTraits<Ch>::kDash;
        }
        CloseHandle(process);
        list.entries_.push_back(std::move(entry));
    }
    list.cursor_ = 0;
    return true;
}

template <class Ch>
std::unique_ptr<ProcessList<Ch>> ProcessListProvider<Ch>::CreateList() {
    try {
        std::unique_ptr<ProcessList<Ch>> list(new ProcessList<Ch>);
        bool enumerated = false;
        if (back_end_ == BackEnd::ProcessStatus) {
            enumerated = EnumerateProcessStatus(*list);
        } else if (back_end_ == BackEnd::ToolHelp) {
            enumerated = EnumerateToolHelp(*list);
        }
        if (!enumerated) {
            list->entries_.clear();
            list->cursor_ = 0;
        }
        status_ = enumerated ? kListSuccess : kListEnumerationFailed;
        return list;
    } catch (const std::bad_alloc&) {
        status_ = kListOutOfMemory;
        return nullptr;
    }
}

template <class Ch>
bool ProcessListProvider<Ch>::NextEntry(ProcessList<Ch>& list, ProcessEntry<Ch>& entry) {
    if (list.cursor_ == list.entries_.size()) {
        status_ = kListAtEnd;
        return false;
    }
    if (list.cursor_ > list.entries_.size()) {
        status_ = kListBeyondEnd;
        return false;
    }
    entry = list.entries_[list.cursor_++];
    status_ = kListSuccess;
    return true;
}

template <class Ch>
bool NamedMutexExists(const Ch* name) {
    if (!name || !name[0]) return false;
    HANDLE mutex = CharTraits<Ch>::OpenMutexT(name);
    if (!mutex) return false;
    CloseHandle(mutex);
    return true;
}

namespace detail {

inline size_t Length(const char* text) {
    return std::strlen(text);
}
inline size_t Length(const wchar_t* text) {
    return wcslen(text);
}

// Walks a fresh process list; the callback returns false to stop. False when no back end.
template <class Ch, class Fn>
bool ForEachProcess(const BackEndOptions& options, Fn&& fn) {
    ProcessListProvider<Ch> provider(options);
    if (!provider.LoadBackEnd(false)) return false;
    std::unique_ptr<ProcessList<Ch>> list = provider.CreateList();
    if (!list) return true;
    EnableDebugPrivilege();
    ProcessEntry<Ch> entry;
    while (provider.NextEntry(*list, entry)) {
        if (!fn(entry)) break;
    }
    return true;
}

template <class Ch>
bool ContainsFragment(std::basic_string<Ch> image_name, const Ch* fragment) {
    CharTraits<Ch>::Lower(image_name);
    return image_name.find(fragment) != std::basic_string<Ch>::npos;
}

}  // namespace detail

template <class Ch>
bool IsProcessRunning(const Ch* fragment, const BackEndOptions& options) {
    if (!fragment || !fragment[0]) return false;
    bool running = false;
    detail::ForEachProcess<Ch>(options, [&](const ProcessEntry<Ch>& entry) {
        if (!detail::ContainsFragment(entry.image_name, fragment)) return true;
        HANDLE process = OpenProcess(kLegacyAllAccess, FALSE, entry.process_id);
        if (!process) return true;  // a match we may not touch does not count
        CloseHandle(process);
        running = true;
        return false;
    });
    return running;
}

namespace detail {

// Asks the process to close, gives it kProcessWaitMs and terminates it when it still runs. True
// when it ended either way; false when it could not be opened.
inline bool CloseOrTerminate(DWORD process_id) {
    HANDLE process = OpenProcess(kLegacyAllAccess, FALSE, process_id);
    if (!process) return false;
    bool closed = false;
    PostToProcessWindows(process_id);
    if (WaitForSingleObject(process, kProcessWaitMs) == WAIT_OBJECT_0) closed = true;
    DWORD code = 0;
    if (!GetExitCodeProcess(process, &code) || code == STILL_ACTIVE) {
        TerminateProcess(process, 0);
        closed = true;
    }
    CloseHandle(process);
    return closed;
}

// The image name's file name, lower-cased, equals the wanted name (already lower-cased).
template <class Ch>
bool FileNameEquals(const std::basic_string<Ch>& image_name, const std::basic_string<Ch>& wanted) {
    const size_t slash = image_name.find_last_of(static_cast<Ch>('\\'));
    std::basic_string<Ch> name =
        slash == std::basic_string<Ch>::npos ? image_name : image_name.substr(slash + 1);
    CharTraits<Ch>::Lower(name);
    return name == wanted;
}

}  // namespace detail

template <class Ch>
bool CloseProcessesByName(const Ch* fragment, const BackEndOptions& options) {
    if (!fragment || !fragment[0]) return false;
    bool closed = false;
    const DWORD self = GetCurrentProcessId();
    detail::ForEachProcess<Ch>(options, [&](const ProcessEntry<Ch>& entry) {
        // A fragment that happens to match our own name must not end the caller.
        if (entry.process_id == self) return true;
        if (!detail::ContainsFragment(entry.image_name, fragment)) return true;
        if (detail::CloseOrTerminate(entry.process_id)) closed = true;
        return true;
    });
    return closed;
}

template <class Ch>
bool IsPlainImageName(const Ch* name) {
    if (!name || !name[0]) return false;
    const std::basic_string<Ch> text(name);
    for (Ch c : text) {
        if (c == static_cast<Ch>('\\') || c == static_cast<Ch>('/') || c == static_cast<Ch>(':'))
            return false;
    }
    const Ch dots[] = {'.', '.', 0};
    return text.find(dots) == std::basic_string<Ch>::npos;
}

template <class Ch>
bool IsProcessRunningByExactName(const Ch* image_name, const BackEndOptions& options) {
    if (!IsPlainImageName(image_name)) return false;
    std::basic_string<Ch> wanted(image_name);
    CharTraits<Ch>::Lower(wanted);
    bool running = false;
    detail::ForEachProcess<Ch>(options, [&](const ProcessEntry<Ch>& entry) {
        if (!detail::FileNameEquals(entry.image_name, wanted)) return true;
        if (!InOwnSession(entry.process_id)) return true;
        HANDLE process = OpenProcess(kLegacyAllAccess, FALSE, entry.process_id);
        if (!process) return true;  // a match we may not touch does not count
        CloseHandle(process);
        running = true;
        return false;
    });
    return running;
}

template <class Ch>
bool CloseProcessesByExactName(const Ch* image_name, const BackEndOptions& options) {
    if (!IsPlainImageName(image_name)) return false;
    std::basic_string<Ch> wanted(image_name);
    CharTraits<Ch>::Lower(wanted);
    bool closed = false;
    const DWORD self = GetCurrentProcessId();
    detail::ForEachProcess<Ch>(options, [&](const ProcessEntry<Ch>& entry) {
        if (entry.process_id == self) return true;
        if (!detail::FileNameEquals(entry.image_name, wanted)) return true;
        // Another user's copy of the product is that user's business.
        if (!InOwnSession(entry.process_id)) return true;
        if (detail::CloseOrTerminate(entry.process_id)) closed = true;
        return true;
    });
    return closed;
}

template <class Ch>
bool TerminateProcessesByExactName(const Ch* image_name, const BackEndOptions& options) {
    if (!image_name) return false;
    std::basic_string<Ch> wanted(image_name);
    CharTraits<Ch>::Lower(wanted);
    const DWORD self = GetCurrentProcessId();
    return detail::ForEachProcess<Ch>(options, [&](const ProcessEntry<Ch>& entry) {
        if (entry.process_id == self) return true;
        std::basic_string<Ch> name = entry.image_name;
        CharTraits<Ch>::Lower(name);
        if (name != wanted) return true;
        HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, entry.process_id);
        if (!process) return true;
        WaitForSingleObject(process, kProcessWaitMs);
        DWORD code = 0;
        if (!GetExitCodeProcess(process, &code) || code == STILL_ACTIVE)
            TerminateProcess(process, 0);
        CloseHandle(process);
        return true;
    });
}

template <class Ch>
std::vector<HWND> FindWindowsByClass(HWND parent, const Ch* class_name) {
    std::vector<HWND> windows;
    if (!class_name) return windows;
    // A window list that changes while we walk it could cycle; no desktop holds this many.
    constexpr size_t kLimit = 65536;
    for (HWND window = CharTraits<Ch>::FindWindowExT(parent, nullptr, class_name);
         window && windows.size() < kLimit;
         window = CharTraits<Ch>::FindWindowExT(parent, window, class_name)) {
        windows.push_back(window);
    }
    return windows;
}

namespace detail {

template <class Ch>
struct ChildClassSearch {
    const Ch* wanted;
    bool found;
    static BOOL CALLBACK Visit(HWND child, LPARAM param) {
        ChildClassSearch& search = *reinterpret_cast<ChildClassSearch*>(param);
        Ch name[101] = {};
        CharTraits<Ch>::ClassNameOf(child, name, 100);
        if (std::basic_string<Ch>(name) == search.wanted) {
            search.found = true;
            return FALSE;
        }
        return TRUE;
    }
};

}  // namespace detail

template <class Ch>
HWND FindDialogHostingChild(const Ch* child_class) {
    if (!child_class) return nullptr;
    for (HWND dialog : FindWindowsByClass<Ch>(nullptr, CharTraits<Ch>::kDialogClass)) {
        detail::ChildClassSearch<Ch> search{child_class, false};
        EnumChildWindows(dialog, &detail::ChildClassSearch<Ch>::Visit,
                         reinterpret_cast<LPARAM>(&search));
        if (search.found) return dialog;
    }
    return nullptr;
}

#define PROCTOOL_INSTANTIATE(Ch)                                                       \
    template class ProcessListProvider<Ch>;                                            \
    template bool NamedMutexExists<Ch>(const Ch*);                                     \
    template bool IsProcessRunning<Ch>(const Ch*, const BackEndOptions&);              \
    template bool CloseProcessesByName<Ch>(const Ch*, const BackEndOptions&);          \
    template bool TerminateProcessesByExactName<Ch>(const Ch*, const BackEndOptions&); \
    template bool IsPlainImageName<Ch>(const Ch*);                                     \
    template bool IsProcessRunningByExactName<Ch>(const Ch*, const BackEndOptions&);   \
    template bool CloseProcessesByExactName<Ch>(const Ch*, const BackEndOptions&);     \
    template std::vector<HWND> FindWindowsByClass<Ch>(HWND, const Ch*);                \
    template HWND FindDialogHostingChild<Ch>(const Ch*);

}  // namespace proctool
