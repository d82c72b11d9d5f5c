#include "updater/offers/AdditionalOption.h"

#include <windows.h>

#include "updater/platform/Registry.h"
#include "updater/data/UpdateInfo.h"
#include "updater/offers/OptionXml.h"
#include "updater/platform/BasicHelpers.h"
#include "updater/platform/Download.h"
#include "updater/offers/SetupOptionIni.h"
#include "updater/platform/Shell.h"

namespace {
constexpr const char* kSection = "OptionInfo";
}

void CAdditionalOption::Validate(const std::string& product) {
    valid = !UpdateLogUrl.empty() && (!EulaURL.empty() || !EulaDownloadPath.empty());
    if (valid) product_name = product;
}

bool CAdditionalOption::LoadFromXml(const std::string& product, const std::string& option_file) {
    XmlNode root;
    if (option_file.empty() || !LoadXmlFile(option_file, &root)) return false;
    for (const auto& option : root.children) {
        if (!ElementIs(*option, "option")) continue;
        for (const auto& child : option->children) {
            std::string text;
            if (ElementIs(*child, "logurl")) {
                if (FirstChildText(*child, &text)) UpdateLogUrl = Utf8ToAnsi(TrimText(text));
            } else if (ElementIs(*child, "eula")) {
                if (const XmlAttribute* ver = child->FindAttribute("ver")) {
                    EulaRevision = LeadingNumber(ver->value);
                }
                if (FirstChildText(*child, &text)) EulaURL = Utf8ToAnsi(TrimText(text));
            }
        }
    }
    Validate(product);
    return valid;
}

bool CAdditionalOption::LoadFromIni(const std::string& product, const std::string& ini_path) {
    SetupOptionIni ini(ini_path);
    UpdateLogUrl = ini.ReadText(kSection, "UpdateLogUrl");
    EulaURL = ini.ReadText(kSection, "EulaURL");
    EulaDownloadPath = ini.ReadText(kSection, "EulaDownloadPath");
    EulaRevision = ini.ReadNumber(kSection, "EulaRevision", 0);
    Validate(product);
    return valid;
}

bool CAdditionalOption::SaveToIni(const std::string& ini_path) const {
    if (!valid) return false;
    SetupOptionIni ini(ini_path);
    IniSection keys;
    keys.Text("UpdateLogUrl", UpdateLogUrl);
    keys.Text("EulaURL", EulaURL);
    keys.Text("EulaDownloadPath", EulaDownloadPath);
    keys.Number("EulaRevision", EulaRevision);
    return ini.WriteSection(kSection, keys);
}

bool CAdditionalOption::DownloadEula() {
    if (!valid) return false;
    const std::string path = DataRoot() + "\\EULA_" + std::to_string(EulaRevision) + ".rtf";
    if (FileExists(path)) {
        EulaDownloadPath = path;
        return true;
    }
    if (EulaURL.empty()) return false;
    CreateFolderPath(path, false);
    if (!DownloadToFile(EulaURL, path, nullptr, kOutsideFileLimits)) return false;
    EulaDownloadPath = path;
    return true;
}

bool CAdditionalOption::ShouldShowEula() {
    if (!valid || !DownloadEula()) return false;
    const DWORD accepted = ReadRegDword(HKEY_LOCAL_MACHINE, "Software\\Quindel\\" + product_name,
                                        "EULAVersion", 0, false);
    return EulaRevision > 0 && accepted < static_cast<DWORD>(EulaRevision);
}

bool CAdditionalOption::SendUpdateLog(const std::string& query) const {
    if (!valid || UpdateLogUrl.empty()) return false;
    return SendLogRequest(UpdateLogUrl, query);
}
