#pragma once
// The option record of the option file: where the update result is logged and which licence
// text applies.
#include <string>

#include "updater/offers/SettingReaderWriter.h"

class CAdditionalOption : public CSettingReaderWriter {
public:
    // Every "option" element of the file, later ones overwriting earlier values.
    bool LoadFromXml(const std::string& product, const std::string& option_file);
    // Section "OptionInfo".
    bool LoadFromIni(const std::string& product, const std::string& ini_path);
    bool SaveToIni(const std::string& ini_path) const;

    // Makes the licence text available as "<data folder>\EULA_<revision>.rtf": the file already
    // there, or downloaded from EulaURL. Sets EulaDownloadPath.
    bool DownloadEula();
    // The licence page is shown when its revision is newer than the one the installed product
    // accepted ("EULAVersion" of the product's key).
    bool ShouldShowEula();
    // Sends the update log: UpdateLogUrl with the query appended.
    bool SendUpdateLog(const std::string& query) const;

    std::string product_name;
    std::string UpdateLogUrl;
    int EulaRevision = 0;
    std::string EulaURL;
    std::string EulaDownloadPath;
    bool valid = false;

private:
    void Validate(const std::string& product);
};
