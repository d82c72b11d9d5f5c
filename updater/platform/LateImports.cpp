#include "updater/platform/LateImports.h"

#include <cstring>
#include <string>

namespace {

enum Library { kShell, kShellUtilities, kAutomation, kLibraryCount };

// Loaded once and kept for the life of the process.
HMODULE SystemLibrary(Library which) {
    static HMODULE volatile modules[kLibraryCount] = {};
    static const char* const names[kLibraryCount] = {"shell32.dll", "shlwapi.dll", "oleaut32.dll"};
    if (HMODULE known = modules[which]) return known;
    HMODULE module = late::LoadSystemLibrary(names[which]);
    // Two threads may load it at once: the system counts references, so the second load is
    // simply given back.
    if (module && InterlockedCompareExchangePointer(
                      reinterpret_cast<void* volatile*>(&modules[which]), module, nullptr) != nullptr) {
        FreeLibrary(module);
        module = modules[which];
    }
    return module;
}

template <typename Fn>
Fn Find(Library which, const char* name) {
    HMODULE module = SystemLibrary(which);
    return module ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)))
                  : nullptr;
}

}  // namespace

// The address found first is kept: a function's address never changes while its library stays.
#define LATE_FUNCTION(library, name) \
    static const auto function = Find<decltype(&::name)>(library, #name)

namespace late {

HMODULE LoadSystemLibrary(const char* file_name) {
    char folder[MAX_PATH] = {};
    const UINT length = GetSystemDirectoryA(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return nullptr;
    return LoadLibraryA((std::string(folder) + "\\" + file_name).c_str());
}

BOOL ShellExecuteExA(SHELLEXECUTEINFOA* info) {
    LATE_FUNCTION(kShell, ShellExecuteExA);
    if (function) return function(info);
    SetLastError(ERROR_PROC_NOT_FOUND);
    return FALSE;
}

HINSTANCE ShellExecuteA(HWND window, LPCSTR verb, LPCSTR file, LPCSTR parameters, LPCSTR folder,
                        INT show) {
    LATE_FUNCTION(kShell, ShellExecuteA);
    if (function) return function(window, verb, file, parameters, folder, show);
    return reinterpret_cast<HINSTANCE>(static_cast<INT_PTR>(SE_ERR_DLLNOTFOUND));
}

void DragAcceptFiles(HWND window, BOOL accept) {
    LATE_FUNCTION(kShell, DragAcceptFiles);
    if (function) function(window, accept);
}

UINT DragQueryFileA(HDROP drop, UINT index, LPSTR file, UINT size) {
    LATE_FUNCTION(kShell, DragQueryFileA);
    return function ? function(drop, index, file, size) : 0;
}

void DragFinish(HDROP drop) {
    LATE_FUNCTION(kShell, DragFinish);
    if (function) function(drop);
}

int StrCmpNIA(LPCSTR first, LPCSTR second, int count) {
    LATE_FUNCTION(kShellUtilities, StrCmpNIA);
    if (function) return function(first, second, count);
    // The comparison is never left undecided: the runtime's case-blind one answers the same for
    // the ASCII prefixes it is asked about.
    return _strnicmp(first, second, count);
}

HRESULT AssocQueryStringA(ASSOCF flags, ASSOCSTR what, LPCSTR association, LPCSTR extra,
                          LPSTR out, DWORD* out_size) {
    LATE_FUNCTION(kShellUtilities, AssocQueryStringA);
    if (function) return function(flags, what, association, extra, out, out_size);
    return HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);
}

LPSTR PathFindExtensionA(LPCSTR path) {
    LATE_FUNCTION(kShellUtilities, PathFindExtensionA);
    if (function) return function(path);
    // Without the library nothing has an extension: the end of the path.
    return const_cast<LPSTR>(path + lstrlenA(path));
}

LSTATUS SHDeleteKeyA(HKEY key, LPCSTR sub_key) {
    LATE_FUNCTION(kShellUtilities, SHDeleteKeyA);
    return function ? function(key, sub_key) : ERROR_PROC_NOT_FOUND;
}

HRESULT OleLoadPicture(IStream* stream, LONG size, BOOL run_mode, REFIID iid, void** picture) {
    LATE_FUNCTION(kAutomation, OleLoadPicture);
    if (function) return function(stream, size, run_mode, iid, picture);
    if (picture) *picture = nullptr;
    return HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);
}

BSTR SysAllocString(const OLECHAR* text) {
    LATE_FUNCTION(kAutomation, SysAllocString);
    return function ? function(text) : nullptr;
}

void SysFreeString(BSTR text) {
    LATE_FUNCTION(kAutomation, SysFreeString);
    if (function) function(text);
}

UINT SysStringLen(BSTR text) {
    LATE_FUNCTION(kAutomation, SysStringLen);
    return function ? function(text) : 0;
}

void VariantInit(VARIANT* variant) {
    LATE_FUNCTION(kAutomation, VariantInit);
    if (function) {
        function(variant);
    } else if (variant) {
        variant->vt = VT_EMPTY;
    }
}

HRESULT VariantClear(VARIANT* variant) {
    LATE_FUNCTION(kAutomation, VariantClear);
    return function ? function(variant) : HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);
}

SAFEARRAY* SafeArrayCreateVector(VARTYPE type, LONG low, ULONG count) {
    LATE_FUNCTION(kAutomation, SafeArrayCreateVector);
    return function ? function(type, low, count) : nullptr;
}

HRESULT SafeArrayAccessData(SAFEARRAY* array, void** data) {
    LATE_FUNCTION(kAutomation, SafeArrayAccessData);
    return function ? function(array, data) : HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);
}

HRESULT SafeArrayUnaccessData(SAFEARRAY* array) {
    LATE_FUNCTION(kAutomation, SafeArrayUnaccessData);
    return function ? function(array) : HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);
}

HRESULT SafeArrayGetLBound(SAFEARRAY* array, UINT dimension, LONG* bound) {
    LATE_FUNCTION(kAutomation, SafeArrayGetLBound);
    return function ? function(array, dimension, bound) : HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);
}

HRESULT SafeArrayGetUBound(SAFEARRAY* array, UINT dimension, LONG* bound) {
    LATE_FUNCTION(kAutomation, SafeArrayGetUBound);
    return function ? function(array, dimension, bound) : HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);
}

}  // namespace late
