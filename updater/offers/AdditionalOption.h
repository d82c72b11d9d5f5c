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

    std::string product_name;
    std::string UpdateLogUrl;
    int EulaRevision = 0;
    std::string EulaURL;
    std::string EulaDownloadPath;
    bool valid = false;

private:
    void Validate(const std::string& product);
};
