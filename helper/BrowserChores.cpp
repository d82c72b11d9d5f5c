#include "helper/BrowserChores.h"

#include <cwchar>

#include "common/process/ProcessToolkit.h"
#include "helper/HelperRegistry.h"
#include "helper/SystemFacts.h"

namespace pallix {

const wchar_t kDefaultScopeKey[] = L"{84C512AE-3420-41f9-B4BF-D3FE943FB55D}";
const wchar_t kDefaultScopeName[] = L"\uC5F4\uB9B0\uC8FC\uC18C\uCC3D";
// The search partner's host and distribution values are our own settings.
const wchar_t kDefaultScopeUrl[] =
    L"http://search.quindel.example/search.html?keyword={searchTerms}"
    L"&prov=quindel&dist=wendle_tb&ss=kr";

namespace {

constexpr wchar_t kSmartPageKey[] = L"SoftWare\\Quindel\\Wendle\\SmartPage";
constexpr wchar_t kHelperObjectKey[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\explorer\\Browser Helper Objects"
    L"\\{BDDB5A00-D1EB-49D5-B197-72A06DF78AA1}";
constexpr wchar_t kContextMenuModuleKey[] =
    L"CLSID\\{973F6B07-9147-459f-9ABE-34BF2E9A927A}\\InprocServer32";
constexpr wchar_t kMenuExtKey[] = L"Software\\Microsoft\\Internet Explorer\\MenuExt\\";
constexpr wchar_t kSearchScopesKey[] = L"Software\\Microsoft\\Internet Explorer\\SearchScopes";
constexpr wchar_t kUserPreferencesKey[] =
    L"Software\\Microsoft\\Internet Explorer\\User Preferences";
constexpr wchar_t kCustomSearchKey[] = L"SoftWare\\Quindel\\Wendle\\CustomSearchEngine";

constexpr DWORD kStartPageBytes = 2084;
constexpr DWORD kModulePathBytes = 260;
constexpr DWORD kKivuBytes = 4168;

// The per-user toolbar keys some chores read outside the settings root.
std::wstring PerUserWendleKey() {
    return IsVistaOrLater() ? L"Software\\AppDataLow\\Software\\Quindel\\Wendle"
                            : L"Software\\Quindel\\Wendle";
}

bool IsToolbarStartPage(const std::wstring& page) {
    return page == L"about:smarthome" || page == L"about:smartkivu" || page == L"about:kivu";
}

}  // namespace

void SetNewTabProvider() {
    const std::wstring version =
        ReadRegString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Quindel\\Wendle", L"Version", 260);
    // "2.22.1.5" reads as 2.22: the number ends where the text stops being one.
    const double v = version.empty() ? 0.0 : wcstod(version.c_str(), nullptr);

    DWORD provider = ReadRegDword(HKEY_LOCAL_MACHINE, kIeMainKey, L"New_Tab_Provider", 0);
    const bool helper_object = RegKeyOpensForReading(HKEY_LOCAL_MACHINE, kHelperObjectKey);
    if (!helper_object) provider = 1;

    if (v >= 1.0 && v < 2.23) {
        provider = 1;
        const DWORD smart_tab =
            ReadRegDword(HKEY_CURRENT_USER, PerUserWendleKey() + L"\\SmartPage", L"UseSmartTab", 1);
        WriteRegDword(HKEY_CURRENT_USER, kIeMainKey, L"New_Tab_Provider", smart_tab != 0 ? 1 : 0);
    } else if (v > 2.22) {
        if (provider == 0) provider = 1;
    } else if (helper_object) {
        provider = 2;
    }
    WriteRegDword(HKEY_LOCAL_MACHINE, kIeMainKey, L"New_Tab_Provider", provider);
}

void RestoreStartPage() {
    const std::wstring start_page =
        ReadRegString(HKEY_CURRENT_USER, kIeMainKey, L"Start Page", kStartPageBytes);
    if (!start_page.empty() && IsToolbarStartPage(start_page)) {
        // The saved page is the user's, whatever its length: read whole, and forgotten only once
        // it is back in place (or was nothing to put back).
        std::wstring old_page;
        const StringRead read =
            ReadRegStringWhole(HKEY_CURRENT_USER, kSmartPageKey, L"OldStartPage", old_page);
        if (read == StringRead::TooLong || read == StringRead::Unreadable) return;
        if (!old_page.empty() && !IsToolbarStartPage(old_page) &&
            !WriteRegString(HKEY_CURRENT_USER, kIeMainKey, L"Start Page", old_page)) {
            return;
        }
    }
    WriteRegString(HKEY_CURRENT_USER, kSmartPageKey, L"OldStartPage", L"");
}

void RemoveNewTabProvider() {
    DeleteRegValue(HKEY_CURRENT_USER, kIeMainKey, L"New_Tab_Provider");
    DeleteRegValue(HKEY_LOCAL_MACHINE, kIeMainKey, L"New_Tab_Provider");
}

void RegisterContextMenu() {
    const std::wstring module =
        ReadRegString(HKEY_CLASSES_ROOT, kContextMenuModuleKey, nullptr, kModulePathBytes);
    if (module.empty()) return;
    const DWORD quick_search = ReadRegDword(HKEY_CURRENT_USER, PerUserWendleKey(), L"iectxmenu", 1);

    const std::wstring menu_ext = kMenuExtKey;
    if (quick_search != 0) {
        WriteRegString(HKEY_CURRENT_USER, menu_ext + L"\uC6EC\uB4E4 \uBE60\uB978\uAC80\uC0C9(&Q)",
                       nullptr, L"res://" + module + L"/23/SEARCH.HTML");
    }
    WriteRegString(HKEY_CURRENT_USER,
                   menu_ext + L"\uC6EC\uB4E4\uB85C \uC8FC\uC18C \uBCF4\uB0B4\uAE30", nullptr,
                   L"res://" + module + L"/23/LINKTOSNS.HTML");
    const std::wstring image_entry =
        menu_ext + L"\uC6EC\uB4E4\uB85C \uC774\uBBF8\uC9C0 \uBCF4\uB0B4\uAE30";
    WriteRegString(HKEY_CURRENT_USER, image_entry, nullptr,
                   L"res://" + module + L"/23/IMAGETOSNS.HTML");
    // Images and controls only.
    WriteRegDword(HKEY_CURRENT_USER, image_entry, L"Contexts", 6);
}

void RegisterSearchScope(HKEY hive, const std::wstring& scope, const std::wstring& display_name,
                         const std::wstring& url, long make_default) {
    // Without a name the values would land in the scope list's own key.
    if (scope.empty()) return;
    const std::wstring key = std::wstring(kSearchScopesKey) + L"\\" + scope;
    WriteRegDword(hive, key, L"CodePage", 949);
    WriteRegString(hive, key, L"DisplayName", display_name);
    WriteRegString(hive, key, L"URL", url);
    DeleteRegValue(hive, key, L"Deleted");
    if (make_default != 0) {
        if (proctool::IsIe8OrLater()) DeleteRegTree(hive, kUserPreferencesKey);
        WriteRegString(hive, kSearchScopesKey, L"DefaultScope", scope);
    }
}

void RegisterSearchScopes(const Arguments& arguments) {
    for (HKEY hive : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
        if (arguments.size() >= 6) {
            RegisterSearchScope(hive, arguments[2], arguments[3], arguments[4],
                                ReadDecimal(arguments[5]));
        } else {
            RegisterSearchScope(hive, kDefaultScopeKey, kDefaultScopeName, kDefaultScopeUrl, 1);
        }
    }
}

void RenameCustomKivuEngine() {
    ScopedKey root = ToolbarSettingsRoot();
    std::wstring kivu;
    const StringRead old_read =
        ReadRegStringChecked(root.get(), kCustomSearchKey, L"kivu", kKivuBytes, kivu);
    // An entry too long to copy is left where it is rather than lost; one that is no text is no
    // entry and goes as written.
    if (old_read == StringRead::TooLong) return;
    if (!kivu.empty()) {
        std::wstring kivu2;
        // A missing, empty or non-text new entry is filled; a long or unreadable one is still
        // the user's.
        const StringRead new_read =
            ReadRegStringChecked(root.get(), kCustomSearchKey, L"kivu2", kKivuBytes, kivu2);
        if (new_read != StringRead::TooLong && new_read != StringRead::Unreadable &&
            kivu2.empty()) {
            WriteRegString(root.get(), kCustomSearchKey, L"kivu2", kivu);
        }
    }
    DeleteRegValue(root.get(), kCustomSearchKey, L"kivu");
}

void ClearToolbars() {
    ScopedKey root = ToolbarSettingsRoot();
    WriteRegDword(root.get(), kWendleKey, L"TurnOffAllToolbar", 1);
}

void DeleteCommonSettings() {
    ScopedKey root = ToolbarSettingsRoot();
    DeleteRegTree(root.get(), L"SoftWare\\Quindel\\Wendle\\common");
}

}  // namespace pallix
