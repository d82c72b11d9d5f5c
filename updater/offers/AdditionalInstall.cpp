#include "updater/offers/AdditionalInstall.h"

#include <windows.h>

#include <shellapi.h>

#include <cstdio>

#include "updater/data/ProductSettings.h"
#include "updater/data/UpdateInfo.h"
#include "updater/offers/FileDigest.h"
#include "updater/offers/OptionXml.h"
#include "updater/offers/SetupOptionIni.h"
#include "updater/offers/ToolbarChecks.h"
#include "updater/offers/UpdateLogQuery.h"
#include "updater/platform/BasicHelpers.h"
#include "updater/platform/CommandLineText.h"
#include "updater/platform/Download.h"
#include "updater/platform/Launch.h"
#include "updater/platform/MessageWait.h"
#include "updater/platform/SafeFolder.h"
#include "updater/platform/Shell.h"
#include "updater/platform/VersionCompare.h"
#include "updater/platform/LateImports.h"

bool AdditionalInstallInfo::operator==(const AdditionalInstallInfo& o) const {
    return ProductName == o.ProductName && ProductLocalName == o.ProductLocalName &&
           version == o.version && SetupURL == o.SetupURL &&
           SetupDownloadPath == o.SetupDownloadPath && SetupChecksum == o.SetupChecksum &&
           CheckboxDefault == o.CheckboxDefault && TitleNew == o.TitleNew &&
           TitleUpdate == o.TitleUpdate && TitleEnabale == o.TitleEnabale &&
           CheckboxUserState == o.CheckboxUserState;
}

bool IsValidIniRecord(const AdditionalInstallInfo& info) {
    if (info.ProductName.empty() || info.ProductLocalName.empty() || info.version.empty() ||
        info.SetupChecksum.empty())
        return false;
    if (info.SetupDownloadPath.empty() && info.SetupURL.empty()) return false;
    if (info.TitleNew.empty() || info.TitleUpdate.empty()) return false;
    // The toolbar can also be offered for switching back on, which needs its own caption.
    if (lstrcmpiA(info.ProductName.c_str(), "Wendle") == 0 && info.TitleEnabale.empty()) return false;
    return true;
}

std::string EndSectionName(int number) {
    return std::string(kEndCountSection) + std::to_string(number);
}

AdditionalInstallInfo ReadOfferSection(const SetupOptionIni& ini, const char* section) {
    AdditionalInstallInfo info;
    info.ProductName = ini.ReadText(section, "ProductName");
    info.ProductLocalName = ini.ReadText(section, "ProductLocalName");
    info.version = ini.ReadText(section, "version");
    info.SetupURL = ini.ReadText(section, "SetupURL");
    info.SetupChecksum = ini.ReadText(section, "SetupChecksum");
    info.SetupDownloadPath = ini.ReadText(section, "SetupDownloadPath");
    info.CheckboxDefault = ini.ReadFlag(section, "CheckboxDefault", 1);
    info.TitleNew = ini.ReadText(section, "TitleNew");
    info.TitleUpdate = ini.ReadText(section, "TitleUpdate");
    info.TitleEnabale = ini.ReadText(section, "TitleEnabale");
    info.CheckboxUserState = ini.ReadFlag(section, "CheckboxUserState", 0);
    return info;
}

bool WriteOfferSection(const SetupOptionIni& ini, const char* section,
                       const AdditionalInstallInfo& info) {
    IniSection keys;
    keys.Text("ProductName", info.ProductName);
    keys.Text("ProductLocalName", info.ProductLocalName);
    keys.Text("version", info.version);
    keys.Text("SetupURL", info.SetupURL);
    keys.Text("SetupChecksum", info.SetupChecksum);
    keys.Text("SetupDownloadPath", info.SetupDownloadPath);
    keys.Flag("CheckboxDefault", info.CheckboxDefault);
    keys.Text("TitleNew", info.TitleNew);
    keys.Text("TitleUpdate", info.TitleUpdate);
    keys.Text("TitleEnabale", info.TitleEnabale);
    keys.Flag("CheckboxUserState", info.CheckboxUserState);
    return ini.WriteSection(section, keys);
}

namespace {

// A caption or address: the first child's text, trimmed and converted; no child leaves the
// field as it was.
void TakeFirstChildText(const XmlNode& node, std::string* field) {
    std::string text;
    if (FirstChildText(node, &text)) *field = Utf8ToAnsi(TrimText(text));
}

AdditionalInstallInfo ReadProductInfo(const XmlNode& productinfo) {
    AdditionalInstallInfo info;
    for (const auto& child : productinfo.children) {
        const XmlNode& e = *child;
        if (ElementIs(e, "name")) {
            info.ProductName = Utf8ToAnsi(e.value);
        } else if (ElementIs(e, "namelocal")) {
            info.ProductLocalName = Utf8ToAnsi(e.value);
        } else if (ElementIs(e, "ver")) {
            info.version = Utf8ToAnsi(e.value);
        } else if (ElementIs(e, "url")) {
            if (const XmlAttribute* checksum = e.FindAttribute("checksum")) {
                info.SetupChecksum = checksum->value;
            }
            TakeFirstChildText(e, &info.SetupURL);
        } else if (ElementIs(e, "setcheckbox")) {
            info.CheckboxDefault = FlagOf(e);
        } else if (ElementIs(e, "textadd")) {
            TakeFirstChildText(e, &info.TitleNew);
        } else if (ElementIs(e, "textupdate")) {
            TakeFirstChildText(e, &info.TitleUpdate);
        } else if (ElementIs(e, "textenable")) {
            TakeFirstChildText(e, &info.TitleEnabale);
        }
    }
    info.CheckboxUserState = 0;
    return info;
}

}  // namespace

bool ReadOfferProducts(const std::string& option_file, const char* offer_type,
                       std::vector<AdditionalInstallInfo>* products) {
    XmlNode root;
    if (option_file.empty() || !LoadXmlFile(option_file, &root)) return false;
    for (const auto& child : root.children) {
        if (!ElementIs(*child, "addproduct")) continue;
        const XmlAttribute* type = child->FindAttribute("type");
        if (!type || lstrcmpiA(type->value.c_str(), offer_type) != 0) continue;
        for (const auto& info : child->children) {
            if (!ElementIs(*info, "productinfo")) continue;
            // No more than the ini file's lists are read for: saving and reading back stay
            // bounded whatever the server sends.
            if (products->size() >= static_cast<std::size_t>(kIniMaxListCount)) return true;
            products->push_back(ReadProductInfo(*info));
        }
    }
    return true;
}

bool IsProductInstalled(const std::string& product_name) {
    return !ReadProductLocale(product_name).empty() || !ReadProductVersion(product_name).empty();
}

bool ProductNeedsUpdate(const std::string& product_name, const std::string& version) {
    return CompareVersions(ReadProductVersion(product_name), version) < 0;
}

namespace {

constexpr const char* kToolbarName = "Wendle";

bool SameName(const std::string& a, const std::string& b) {
    return lstrcmpiA(a.c_str(), b.c_str()) == 0;
}

bool IsToolbar(const std::string& product_name) { return SameName(product_name, kToolbarName); }

char UpperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// Windows opens a device, not a file, for these names, whatever the extension and however many
// dots and blanks follow the name ("nul.exe", "COM1 .exe"): "NUL" swallows a download and
// reports success, a port would receive the setup's bytes.
bool IsDeviceName(const std::string& name) {
    std::string base = name.substr(0, name.find('.'));
    while (!base.empty() && (base.back() == ' ' || base.back() == '.')) base.pop_back();
    std::size_t lead = 0;
    while (lead < base.size() && base[lead] == ' ') ++lead;
    base.erase(0, lead);
    for (char& c : base) c = UpperAscii(c);
    if (base == "CON" || base == "PRN" || base == "AUX" || base == "NUL" || base == "CONIN$" ||
        base == "CONOUT$") {
        return true;
    }
    if (base.size() != 4 || (base.compare(0, 3, "COM") != 0 && base.compare(0, 3, "LPT") != 0)) {
        return false;
    }
    // A digit, or a superscript one, two or three as the Western code page writes them.
    const unsigned char last = static_cast<unsigned char>(base[3]);
    return (last >= '0' && last <= '9') || last == 0xB9 || last == 0xB2 || last == 0xB3;
}

// The product name becomes a file name in the offer's folder; a name that would lead out of
// that folder, name a device, or is no file name at all is refused.
bool IsSafeFileName(const std::string& name) {
    if (name.empty() || name == "." || name == "..") return false;
    if (name.find_first_of("\\/:*?\"<>|") != std::string::npos) return false;
    return !IsDeviceName(name);
}

bool HasRequiredFields(const AdditionalInstallInfo& info) {
    if (info.ProductName.empty() || info.ProductLocalName.empty() || info.version.empty() ||
        info.SetupChecksum.empty() || info.TitleNew.empty() || info.TitleUpdate.empty()) {
        return false;
    }
    return !IsToolbar(info.ProductName) || !info.TitleEnabale.empty();
}

// Shell-starts a setup program hidden; the process handle in `process`.
bool StartHidden(const std::string& path, const std::string& parameters, HANDLE* process) {
    SHELLEXECUTEINFOA info = {};
    info.cbSize = sizeof(info);
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    info.lpVerb = "open";
    info.lpFile = path.c_str();
    info.lpParameters = parameters.c_str();
    info.nShow = SW_HIDE;
    if (!late::ShellExecuteExA(&info)) return false;
    *process = info.hProcess;
    return true;
}

}  // namespace

bool CAdditionalInstall::IsInstalled() { return IsProductInstalled(selected.ProductName); }

bool CAdditionalInstall::NeedsUpdate() {
    if (!loaded) return false;
    return ProductNeedsUpdate(selected.ProductName, selected.version);
}

std::string CAdditionalInstall::UpdateLogFields(char prefix) const {
    return OfferLogFields(prefix, LogOffer());
}

UpdateLogOffer CAdditionalInstall::LogOffer() const {
    UpdateLogOffer fields;
    fields.name = selected.ProductName;
    fields.version = selected.version;
    fields.shown = loaded && checkbox_shown;
    fields.checkbox_default = selected.CheckboxDefault == 1;
    fields.user_choice = selected.CheckboxUserState == 1;
    fields.install_result = install_result;
    return fields;
}

std::string CAdditionalInstall::SetupFolder() const {
    return JoinPath(DataRoot(), FolderName());
}

bool CAdditionalInstall::DownloadSetup(IBindStatusCallback* progress, LockedSetupFile* held) {
    if (held) held->Release();
    if (!IsSafeFileName(selected.ProductName)) return false;
    const std::string path = SetupFolder() + "\\" + selected.ProductName + ".exe";
    if (FileExists(path) && DigestMatches(FileMd5Hex(path), selected.SetupChecksum)) {
        if (!held || held->Open(path)) {
            selected.SetupDownloadPath = path;
            return true;
        }
    }
    DeleteFileA(path.c_str());
    if (selected.SetupURL.empty()) return false;
    CreateFolderPath(path, false);
    // An elevated copy downloads here too: a folder made a junction would take the setup
    // anywhere.
    if (!FolderChainIsPlain(GetSpecialFolder(kFolderAppData), SetupFolder())) return false;
    if (held) {
        HANDLE written = INVALID_HANDLE_VALUE;
        if (!DownloadToHeldFile(selected.SetupURL, path, progress,
                                reinterpret_cast<void**>(&written)) ||
            !held->TakeWritten(written, path)) {
            DeleteFileA(path.c_str());
            return false;
        }
    } else if (!DownloadToFile(selected.SetupURL, path, progress)) {
        if (!KeepsPartialDownload()) DeleteFileA(path.c_str());
        return false;
    }
    selected.SetupDownloadPath = path;
    return true;
}

HANDLE CAdditionalInstall::StartCheckedSetup(const std::string& parameters, bool digest_required,
                                             LockedSetupFile* held) {
    if (!loaded || selected.SetupDownloadPath.empty() || !FileExists(selected.SetupDownloadPath)) {
        return nullptr;
    }
    // The file stays locked against changes from the digest check until its process runs.
    LockedSetupFile own;
    LockedSetupFile& file = held && held->is_open() ? *held : own;
    if (!file.is_open() && !file.Open(selected.SetupDownloadPath)) return nullptr;
    if ((digest_required || !selected.SetupChecksum.empty()) &&
        !DigestMatches(file.Digest(), selected.SetupChecksum)) {
        file.Release();
        DeleteFileA(selected.SetupDownloadPath.c_str());
        return nullptr;
    }
    HANDLE process = nullptr;
    if (!StartHidden(selected.SetupDownloadPath, parameters, &process)) return nullptr;
    return process ? process : INVALID_HANDLE_VALUE;
}

// ---- middle offer ----

bool CMediumInstall::IsSwitchedOffToolbar(const std::string& product_name) const {
    // While the offer is being read the product list counts as loaded: otherwise a switched-off
    // toolbar could never be chosen from the option file.
    return IsToolbar(product_name) && IsWendleSwitchedOff(product_name, true);
}

void CMediumInstall::UpdateCheckboxShown() {
    checkbox_shown = loaded && !SameName(selected.ProductName, parent_product) &&
                     (!IsInstalled() || NeedsUpdate() || IsSwitchedOffToolbar(selected.ProductName));
}

bool CMediumInstall::SelectFromProducts() {
    const AdditionalInstallInfo* chosen = nullptr;
    for (const AdditionalInstallInfo& info : products) {
        if (!SameName(info.ProductName, parent_product) && !IsProductInstalled(info.ProductName)) {
            chosen = &info;
            break;
        }
    }
    if (!chosen) {
        for (const AdditionalInstallInfo& info : products) {
            if (SameName(info.ProductName, parent_product)) continue;
            if (ProductNeedsUpdate(info.ProductName, info.version) ||
                IsSwitchedOffToolbar(info.ProductName)) {
                chosen = &info;
                break;
            }
        }
    }
    if (!chosen || !HasRequiredFields(*chosen)) return false;
    selected = *chosen;
    return true;
}

bool CMediumInstall::LoadFromXml(const std::string& product, const std::string& option_file) {
    if (!IsXpOrLater()) return false;
    if (!ReadOfferProducts(option_file, "middle", &products)) return false;
    parent_product = product;
    if (products.empty() || !SelectFromProducts()) return false;
    loaded = true;
    UpdateCheckboxShown();
    return true;
}

bool CMediumInstall::LoadFromIni(const std::string& product, const std::string& ini_path) {
    if (!IsXpOrLater()) return false;
    SetupOptionIni ini(ini_path);
    AdditionalInstallInfo info = ReadOfferSection(ini, kMiddleSection);
    if (!IsValidIniRecord(info) || !HasRequiredFields(info)) return false;
    selected = info;
    parent_product = product;
    loaded = true;
    UpdateCheckboxShown();
    return true;
}

bool CMediumInstall::SaveToIni(const std::string& ini_path) {
    if (!loaded) return false;
    return WriteOfferSection(SetupOptionIni(ini_path), kMiddleSection, selected);
}

std::string CMediumInstall::GetTitle() {
    if (!loaded) return "";
    if (!IsInstalled()) return selected.TitleNew;
    if (NeedsUpdate()) return selected.TitleUpdate;
    if (IsSwitchedOffToolbar(selected.ProductName)) return selected.TitleEnabale;
    return "";
}

bool CMediumInstall::RunsBeforeSetup() {
    return IsInstalled() && !NeedsUpdate() && IsSwitchedOffToolbar(selected.ProductName);
}

bool CMediumInstall::RunSetup() {
    // An empty digest never matches: a middle setup always runs checked.
    HANDLE process = StartCheckedSetup("/verysilent /norestart /addothersetup /NOINSTDRAVEL", true);
    // Without a process handle the exit code cannot be read, and only exit code 0 counts.
    if (!process || process == INVALID_HANDLE_VALUE) return false;
    WaitDispatchingMessages(process, INFINITE);
    DWORD exit_code = 1;
    const bool read = GetExitCodeProcess(process, &exit_code) != FALSE;
    CloseHandle(process);
    // Used once: a setup left in the user's profile is only something to plant a file over.
    DeleteFileA(selected.SetupDownloadPath.c_str());
    return read && exit_code == 0;
}

bool CMediumInstall::Install() {
    if (!loaded) return false;
    install_result = 0;
    int result_to_record = 1;
    if (IsInstalled()) {
        if (!NeedsUpdate()) {
            if (!IsSwitchedOffToolbar(selected.ProductName)) return false;
            SwitchWendleOn();
            install_result = 3;
            return true;
        }
        result_to_record = 2;
    }
    if (!DownloadSetup() || !RunSetup()) return false;
    install_result = result_to_record;
    return true;
}

// ---- end offers ----

void CEndInstall::UpdateCheckboxShown() {
    checkbox_shown = loaded && !SameName(selected.ProductName, parent_product) && !IsInstalled();
}

bool CEndInstall::LoadFromXml(const std::string& product, const std::string& option_file) {
    if (!IsXpOrLater()) return false;
    if (!ReadOfferProducts(option_file, "end", &products)) return false;
    parent_product = product;
    loaded = !products.empty();
    UpdateCheckboxShown();
    return loaded;
}

bool CEndInstall::LoadFromIni(const std::string& product, const std::string& ini_path) {
    SetupOptionIni ini(ini_path);
    const int count = CappedListCount(ini.ReadNumber(kEndCountSection, "InfoCount", 0));
    for (int number = 1; number <= count; ++number) {
        AdditionalInstallInfo info = ReadOfferSection(ini, EndSectionName(number).c_str());
        if (IsValidIniRecord(info)) products.push_back(info);
    }
    parent_product = product;
    loaded = !products.empty();
    UpdateCheckboxShown();
    return loaded;
}

bool CEndInstall::SaveToIni(const std::string& ini_path) {
    if (!loaded) return false;
    SetupOptionIni ini(ini_path);
    IniSection count;
    count.Number("InfoCount", static_cast<int>(products.size()));
    if (!ini.WriteSection(kEndCountSection, count)) return false;
    int number = 1;
    for (const AdditionalInstallInfo& info : products) {
        if (!WriteOfferSection(ini, EndSectionName(number++).c_str(), info)) return false;
    }
    return true;
}

void CEndInstall::SelectEndOffer() {
    if (!loaded || products.empty()) return;
    const AdditionalInstallInfo* chosen = &products.front();
    for (const AdditionalInstallInfo& info : products) {
        if (!SameName(info.ProductName, parent_product) && !IsProductInstalled(info.ProductName)) {
            chosen = &info;
            break;
        }
    }
    selected = *chosen;
    UpdateCheckboxShown();
}

bool CEndInstall::SetEndOffer(const AdditionalInstallInfo& record, const std::string& product) {
    if (!IsXpOrLater()) return false;
    if (record.ProductName.empty() || record.SetupURL.empty() || record.ProductLocalName.empty()) {
        return false;
    }
    selected = record;
    loaded = true;
    parent_product = product;
    UpdateCheckboxShown();
    return true;
}

std::string CEndInstall::GetTitle() {
    if (!loaded) return "";
    if (!IsInstalled()) return selected.TitleNew;
    if (NeedsUpdate()) return selected.TitleUpdate;
    return "";
}

bool CEndInstall::RunSetup(LockedSetupFile* held) {
    // An end offer (which may come from the advertisement page) without a digest runs unchecked:
    // only holding it from its download to its start keeps it the file that was downloaded.
    HANDLE process = StartCheckedSetup(EndOfferParameters(parent_product), false, held);
    if (held) held->Release();
    if (!process) return false;
    if (process != INVALID_HANDLE_VALUE) {
        // Every window of this thread answers meanwhile, not only the owner.
        WaitDispatchingMessages(process, INFINITE);
        CloseHandle(process);
    }
    DeleteFileA(selected.SetupDownloadPath.c_str());
    return true;
}

bool CEndInstall::Install() { return InstallWithProgress(nullptr); }

bool CEndInstall::InstallWithProgress(IBindStatusCallback* progress) {
    if (!loaded) return false;
    install_result = 0;
    if (IsInstalled()) return false;
    LockedSetupFile held;
    if (!DownloadSetup(progress, &held) || !RunSetup(&held)) return false;
    install_result = 1;
    return true;
}
