#include "updater/offers/AdditionalInstall.h"

#include <windows.h>

#include "updater/data/ProductSettings.h"
#include "updater/offers/OptionXml.h"
#include "updater/offers/SetupOptionIni.h"
#include "updater/platform/Launch.h"
#include "updater/platform/Shell.h"

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
    return ini.WriteText(section, "ProductName", info.ProductName) &&
           ini.WriteText(section, "ProductLocalName", info.ProductLocalName) &&
           ini.WriteText(section, "version", info.version) &&
           ini.WriteText(section, "SetupURL", info.SetupURL) &&
           ini.WriteText(section, "SetupChecksum", info.SetupChecksum) &&
           ini.WriteText(section, "SetupDownloadPath", info.SetupDownloadPath) &&
           ini.WriteFlag(section, "CheckboxDefault", info.CheckboxDefault) &&
           ini.WriteText(section, "TitleNew", info.TitleNew) &&
           ini.WriteText(section, "TitleUpdate", info.TitleUpdate) &&
           ini.WriteText(section, "TitleEnabale", info.TitleEnabale) &&
           ini.WriteFlag(section, "CheckboxUserState", info.CheckboxUserState);
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
            if (ElementIs(*info, "productinfo")) products->push_back(ReadProductInfo(*info));
        }
    }
    return true;
}

bool CAdditionalInstall::IsInstalled() {
    return !ReadProductLocale(selected.ProductName).empty() ||
           !ReadProductVersion(selected.ProductName).empty();
}

bool CAdditionalInstall::NeedsUpdate() {
    if (!loaded) return false;
    return CompareVersions(ReadProductVersion(selected.ProductName), selected.version) < 0;
}

// ---- middle offer ----

bool CMediumInstall::LoadFromXml(const std::string& product, const std::string& option_file) {
    if (!IsXpOrLater()) return false;
    if (!ReadOfferProducts(option_file, "middle", &products)) return false;
    // SELECTION STEP: choosing `selected` from `products` (not installed first, then needing an
    // update or the switched-off toolbar), its field check and `checkbox_shown` plug in here;
    // they come with the offers' installation. Until then an option file alone yields no
    // selected middle product, and nothing of the middle offer is saved.
    parent_product = product;
    return !products.empty();
}

bool CMediumInstall::LoadFromIni(const std::string& product, const std::string& ini_path) {
    if (!IsXpOrLater()) return false;
    SetupOptionIni ini(ini_path);
    AdditionalInstallInfo info = ReadOfferSection(ini, kMiddleSection);
    if (!IsValidIniRecord(info)) return false;
    // The offers' own checks on the selected product (and `checkbox_shown`) plug in here too.
    selected = info;
    parent_product = product;
    loaded = true;
    return true;
}

bool CMediumInstall::SaveToIni(const std::string& ini_path) {
    if (!loaded) return false;
    return WriteOfferSection(SetupOptionIni(ini_path), kMiddleSection, selected);
}

// Captions and installation belong to the offers' own issue; until it lands an offer has no
// caption and installs nothing.
std::string CMediumInstall::GetTitle() { return std::string(); }
bool CMediumInstall::Install() { return false; }

// ---- end offers ----

bool CEndInstall::LoadFromXml(const std::string& product, const std::string& option_file) {
    if (!IsXpOrLater()) return false;
    if (!ReadOfferProducts(option_file, "end", &products)) return false;
    parent_product = product;
    loaded = !products.empty();
    // CHECKS STEP: `checkbox_shown` (and later `SelectEndOffer`) plug in here with the offers'
    // installation.
    return loaded;
}

bool CEndInstall::LoadFromIni(const std::string& product, const std::string& ini_path) {
    SetupOptionIni ini(ini_path);
    int count = ini.ReadNumber(kEndCountSection, "InfoCount", 0);
    if (count > kIniMaxListCount) count = kIniMaxListCount;
    for (int number = 1; number <= count; ++number) {
        AdditionalInstallInfo info = ReadOfferSection(ini, EndSectionName(number).c_str());
        if (IsValidIniRecord(info)) products.push_back(info);
    }
    parent_product = product;
    loaded = !products.empty();
    return loaded;
}

bool CEndInstall::SaveToIni(const std::string& ini_path) {
    if (!loaded) return false;
    SetupOptionIni ini(ini_path);
    if (!ini.WriteNumber(kEndCountSection, "InfoCount", static_cast<int>(products.size()))) {
        return false;
    }
    int number = 1;
    for (const AdditionalInstallInfo& info : products) {
        if (!WriteOfferSection(ini, EndSectionName(number++).c_str(), info)) return false;
    }
    return true;
}

std::string CEndInstall::GetTitle() { return std::string(); }
bool CEndInstall::Install() { return false; }
