#pragma once
// The user's installation choices, set on the option page and used when the product's setup
// program is started.
#include <string>

#include "updater/offers/SettingReaderWriter.h"

class CSetupOptions : public CSettingReaderWriter {
public:
    // Section "SetupOptionInfo".
    bool LoadFromIni(const std::string& ini_path);
    bool SaveToIni(const std::string& ini_path) const;

    int RunAfterSetup = 1;
    int CreateDesktopIcon = 0;
    int CreateStartMenuIcon = 0;
    int CreateQuickLaunchIcon = 0;
    int OpenOstreyWeb = 0;
};
