#include "updater/offers/SetupOptions.h"

#include "updater/offers/SetupOptionIni.h"

namespace {
constexpr const char* kSection = "SetupOptionInfo";
}

bool CSetupOptions::LoadFromIni(const std::string& ini_path) {
    SetupOptionIni ini(ini_path);
    RunAfterSetup = ini.ReadFlag(kSection, "RunAfterSetup", 1);
    CreateDesktopIcon = ini.ReadFlag(kSection, "CreateDesktopIcon", 0);
    CreateStartMenuIcon = ini.ReadFlag(kSection, "CreateStartMenuIcon", 0);
    CreateQuickLaunchIcon = ini.ReadFlag(kSection, "CreateQuickLaunchIcon", 0);
    OpenOstreyWeb = ini.ReadFlag(kSection, "OpenOstreyWeb", 0);
    return true;
}

bool CSetupOptions::SaveToIni(const std::string& ini_path) const {
    SetupOptionIni ini(ini_path);
    IniSection keys;
    keys.Flag("RunAfterSetup", RunAfterSetup);
    keys.Flag("CreateDesktopIcon", CreateDesktopIcon);
    keys.Flag("CreateStartMenuIcon", CreateStartMenuIcon);
    keys.Flag("CreateQuickLaunchIcon", CreateQuickLaunchIcon);
    keys.Flag("OpenOstreyWeb", OpenOstreyWeb);
    return ini.WriteSection(kSection, keys);
}
