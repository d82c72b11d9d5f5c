#pragma once
// Functions of the shell, the shell's utilities and OLE automation, looked up in the system
// folder's libraries when first called instead of being imported. Nothing before the window
// shows needs them, and having the loader map shell32, shlwapi and oleaut32 (with what they
// bring) at start-up took about 4 % of the time to the first page.
//
// Each behaves as the system function of the same name. Should a library or function be
// missing, the call fails as that function reports failure (FALSE, 0, null, an error code), and
// the functions without a result do nothing; VariantInit still empties the variant.
#include <windows.h>
#include <ole2.h>
#include <olectl.h>
#include <shellapi.h>
#include <shlwapi.h>

namespace late {

// Loads a library of the system folder by its full path, never one found elsewhere on the search
// path (the program may run elevated from a folder others can write to); null when it is not
// there. Each call counts a reference, as LoadLibrary does.
HMODULE LoadSystemLibrary(const char* file_name);

BOOL ShellExecuteExA(SHELLEXECUTEINFOA* info);
HINSTANCE ShellExecuteA(HWND window, LPCSTR verb, LPCSTR file, LPCSTR parameters, LPCSTR folder,
                        INT show);
void DragAcceptFiles(HWND window, BOOL accept);
UINT DragQueryFileA(HDROP drop, UINT index, LPSTR file, UINT size);
void DragFinish(HDROP drop);

int StrCmpNIA(LPCSTR first, LPCSTR second, int count);
HRESULT AssocQueryStringA(ASSOCF flags, ASSOCSTR what, LPCSTR association, LPCSTR extra,
                          LPSTR out, DWORD* out_size);
LPSTR PathFindExtensionA(LPCSTR path);
LSTATUS SHDeleteKeyA(HKEY key, LPCSTR sub_key);

HRESULT OleLoadPicture(IStream* stream, LONG size, BOOL run_mode, REFIID iid, void** picture);
BSTR SysAllocString(const OLECHAR* text);
void SysFreeString(BSTR text);
UINT SysStringLen(BSTR text);
void VariantInit(VARIANT* variant);
HRESULT VariantClear(VARIANT* variant);
SAFEARRAY* SafeArrayCreateVector(VARTYPE type, LONG low, ULONG count);
HRESULT SafeArrayAccessData(SAFEARRAY* array, void** data);
HRESULT SafeArrayUnaccessData(SAFEARRAY* array);
HRESULT SafeArrayGetLBound(SAFEARRAY* array, UINT dimension, LONG* bound);
HRESULT SafeArrayGetUBound(SAFEARRAY* array, UINT dimension, LONG* bound);

}  // namespace late
