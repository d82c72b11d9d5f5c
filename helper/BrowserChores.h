#pragma once
// The browser integration the toolbar needs set up or torn down from outside the browser: the
// new-tab provider, the start page, context-menu entries, search scopes, the custom search
// engine and the toolbar's own switches.
#include <windows.h>

#include <string>

#include "helper/Dispatcher.h"

namespace pallix {

void SetNewTabProvider();
// Puts back the start page the toolbar replaced, and forgets it in any case.
void RestoreStartPage();
// Deletes "New_Tab_Provider" under HKCU, then HKLM.
void RemoveNewTabProvider();
void RegisterContextMenu();
void RegisterSearchScope(HKEY hive, const std::wstring& scope, const std::wstring& display_name,
                         const std::wstring& url, long make_default);
// "-registsearchscope": the given scope with six or more arguments, else the built-in one;
// HKCU first, then HKLM.
void RegisterSearchScopes(const Arguments& arguments);
void RenameCustomKivuEngine();
void ClearToolbars();
void DeleteCommonSettings();

// The built-in default scope.
extern const wchar_t kDefaultScopeKey[];
extern const wchar_t kDefaultScopeName[];
extern const wchar_t kDefaultScopeUrl[];

}  // namespace pallix
