#include "updater/offers/ToolbarChecks.h"

#include <exdisp.h>
#include <objbase.h>
#include <shlwapi.h>

#include <algorithm>
#include <cstring>

#include "updater/platform/Registry.h"
#include "updater/platform/BasicHelpers.h"
#include "updater/platform/LateImports.h"

const char kWendleBandClsid[] = "{38FBE93D-4CA1-4414-AF6A-94920C5BD8DA}";
const char kWendleHelperClsid[] = "{7F1A79F9-78D1-4186-9F60-EE0B63DF042A}";
const char kWendleServerClsid[] = "{332D49D5-832C-4EB2-8911-C596F580D14A}";

namespace {

const char kWendleKey[] = "software\\Quindel\\Wendle";
const char kBrowserToolbarKey[] = "software\\Microsoft\\Internet Explorer\\Toolbar";
const char kAddonSettingsKey[] = "software\\Microsoft\\Windows\\CurrentVersion\\Ext\\Settings\\";
const char kHelperObjectsKey[] =
    "software\\Microsoft\\Windows\\CurrentVersion\\explorer\\Browser Helper Objects";
const char kLayoutKey[] = "Software\\Microsoft\\Internet Explorer\\Toolbar\\WebBrowser";

constexpr size_t kLayoutBuffer = 1000;
constexpr size_t kVisibilityOffset = 16;
constexpr size_t kFirstSlotOffset = 276;
constexpr int kSlotCount = 15;


bool IsStringType(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ; }

// The value exists and is of a string type; its text (cut at the buffer) in `text`.
bool ReadString(HKEY key, const char* name, std::string* text) {
    char buffer[MAX_PATH * 2 + 1] = {};
    DWORD size = sizeof(buffer) - 1;
    DWORD type = 0;
    const LONG status = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
    if (status != ERROR_SUCCESS || !IsStringType(type)) return false;
    if (text) *text = buffer;
    return true;
}

bool ServerFileExists(const std::string& subkey) {
    ScopedRegKey key;
    if (!key.Open(HKEY_CLASSES_ROOT, subkey, KEY_READ)) return false;
    std::string path;
    if (!ReadString(key.get(), nullptr, &path)) return false;
    path.erase(std::remove(path.begin(), path.end(), '\''), path.end());
    return FileExists(path);  // double quotes are removed there
}

bool SwitchedOffInAddonSettings(const char* clsid) {
    ScopedRegKey key;
    if (!key.Open(HKEY_CURRENT_USER, std::string(kAddonSettingsKey) + clsid, KEY_READ)) return false;
    DWORD flags = 0;
    DWORD size = sizeof(flags);
    DWORD type = 0;
    return RegQueryValueExA(key.get(), "Flags", nullptr, &type, reinterpret_cast<BYTE*>(&flags),
                            &size) == ERROR_SUCCESS &&
           type == REG_DWORD && flags == 1;
}

bool ParseClsid(const char* text, GUID* guid) {
    wchar_t wide[64] = {};
    MultiByteToWideChar(CP_ACP, 0, text, -1, wide, 64);
    return SUCCEEDED(CLSIDFromString(wide, guid));
}

}  // namespace

bool IsWendleRegistered() {
    {
        ScopedRegKey key;
        if (!key.Open(HKEY_LOCAL_MACHINE, kWendleKey, KEY_READ)) return false;
        if (!ReadString(key.get(), "RootDir", nullptr) || !ReadString(key.get(), "Version", nullptr)) {
            return false;
        }
    }
    return ServerFileExists(std::string("CLSID\\") + kWendleBandClsid + "\\InprocServer32") &&
           ServerFileExists(std::string("CLSID\\") + kWendleHelperClsid + "\\InprocServer32") &&
           ServerFileExists(std::string("CLSID\\") + kWendleServerClsid + "\\LocalServer32");
}

bool IsWendleSwitchedOff(const std::string& product_name, bool offer_loaded) {
    if (!offer_loaded || lstrcmpiA(product_name.c_str(), "Wendle") != 0 || !IsWendleRegistered()) {
        return false;
    }
    {
        ScopedRegKey toolbar;
        if (!toolbar.Open(HKEY_LOCAL_MACHINE, kBrowserToolbarKey, KEY_READ)) return true;
        if (!ReadString(toolbar.get(), kWendleBandClsid, nullptr)) return true;
    }
    if (SwitchedOffInAddonSettings(kWendleBandClsid) || SwitchedOffInAddonSettings(kWendleHelperClsid)) {
        return true;
    }
    ScopedRegKey helper;
    if (helper.Open(HKEY_LOCAL_MACHINE, std::string(kHelperObjectsKey) + "\\" + kWendleHelperClsid,
                    KEY_READ) &&
        IsWendleBandShown()) {
        return false;
    }
    return true;
}

bool BandShownInLayout(const BYTE* layout, size_t size, const GUID& band) {
    size = std::min(size, kLayoutBuffer);
    for (int slot = 0; slot < kSlotCount; ++slot) {
        const size_t offset = kFirstSlotOffset + 16 * static_cast<size_t>(slot);
        if (offset + sizeof(GUID) > size) break;
        if (memcmp(layout + offset, &band, sizeof(GUID)) != 0) continue;
        if (kVisibilityOffset + sizeof(DWORD) > size) return false;
        DWORD visibility = 0;
        memcpy(&visibility, layout + kVisibilityOffset, sizeof(visibility));
        return ((visibility >> 16) >> slot) & 1;
    }
    return false;
}

bool IsWendleBandShown() {
    std::string version;
    {
        ScopedRegKey browser;
        if (browser.Open(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Internet Explorer", KEY_READ)) {
            char buffer[51] = {};
            DWORD size = 50;
            if (RegQueryValueExA(browser.get(), "Version", nullptr, nullptr,
                                 reinterpret_cast<BYTE*>(buffer), &size) == ERROR_SUCCESS) {
                version = buffer;
            }
        }
    }
    const char* value_name =
        version.size() < 6 || version[0] < '7' ? "ITBarLayout" : "ITBar7Layout";

    ScopedRegKey layout_key;
    if (!layout_key.Open(HKEY_CURRENT_USER, kLayoutKey, KEY_READ)) return false;
    BYTE layout[kLayoutBuffer] = {};
    DWORD size = sizeof(layout);
    DWORD type = 0;
    if (RegQueryValueExA(layout_key.get(), value_name, nullptr, &type, layout, &size) !=
            ERROR_SUCCESS ||
        type != REG_BINARY) {
        return false;
    }
    GUID band;
    if (!ParseClsid(kWendleBandClsid, &band)) return false;
    return BandShownInLayout(layout, size, band);
}

void SwitchWendleOn() {
    for (const char* clsid : {kWendleBandClsid, kWendleHelperClsid}) {
        const std::string settings = std::string(kAddonSettingsKey) + clsid;
        late::SHDeleteKeyA(HKEY_CURRENT_USER, settings.c_str());
    }
    {
        ScopedRegKey wendle;
        if (wendle.Open(HKEY_LOCAL_MACHINE, "SOFTWARE\\Quindel\\Wendle", KEY_WRITE)) {
            RegSetValueExA(wendle.get(), "Reinstall", 0, REG_SZ, reinterpret_cast<const BYTE*>("1"), 2);
        }
    }
    {
        ScopedRegKey toolbar;
        if (toolbar.Create(HKEY_LOCAL_MACHINE, kBrowserToolbarKey)) {
            RegSetValueExA(toolbar.get(), kWendleBandClsid, 0, REG_SZ,
                           reinterpret_cast<const BYTE*>("Wendle"), 7);
        }
    }
    {
        ScopedRegKey helpers;
        if (helpers.Create(HKEY_LOCAL_MACHINE, kHelperObjectsKey)) {
            ScopedRegKey helper;
            if (helper.Create(helpers.get(), kWendleHelperClsid)) {
                RegSetValueExA(helper.get(), nullptr, 0, REG_SZ,
                               reinterpret_cast<const BYTE*>("Wendle BHO"), 11);
            }
        }
    }

    // Showing the band through the browser itself makes it record the band as visible.
    const HRESULT com = CoInitialize(nullptr);
    IWebBrowser2* browser = nullptr;
    if (SUCCEEDED(CoCreateInstance(CLSID_InternetExplorer, nullptr, CLSCTX_LOCAL_SERVER,
                                   IID_IWebBrowser2, reinterpret_cast<void**>(&browser))) &&
        browser) {
        browser->put_Visible(VARIANT_FALSE);
        wchar_t clsid[64] = {};
        MultiByteToWideChar(CP_ACP, 0, kWendleBandClsid, -1, clsid, 64);
        VARIANT band, show, size;
        late::VariantInit(&band);
        late::VariantInit(&show);
        late::VariantInit(&size);
        band.vt = VT_BSTR;
        band.bstrVal = late::SysAllocString(clsid);
        show.vt = VT_BOOL;
        show.boolVal = VARIANT_TRUE;
        size.vt = VT_I4;
        size.lVal = 1;
        browser->ShowBrowserBar(&band, &show, &size);
        late::VariantClear(&band);
        browser->Quit();
        browser->Release();
    }
    if (SUCCEEDED(com)) CoUninitialize();
}
