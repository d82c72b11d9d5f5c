#include "updater/offers/SetupOptionIni.h"

#include <windows.h>

#include "updater/data/UpdateInfo.h"
#include "updater/platform/Shell.h"

std::string SetupOptionIniPath(const std::string& product) {
    const std::string root = DataRoot();
    if (root.empty()) return std::string();
    return JoinPath(root, product + "\\SetupOption.ini");
}

std::string SetupOptionIni::ReadText(const char* section, const char* key) const {
    char buffer[kIniTextLimit + 1] = {};
    GetPrivateProfileStringA(section, key, "", buffer, sizeof(buffer), path_.c_str());
    buffer[kIniTextLimit] = '\0';
    return buffer;
}

int SetupOptionIni::ReadNumber(const char* section, const char* key, int default_value) const {
    return NumberOrDefault(ReadText(section, key), default_value);
}

int SetupOptionIni::ReadFlag(const char* section, const char* key, int default_value) const {
    return FlagOrDefault(ReadText(section, key), default_value);
}

bool SetupOptionIni::WriteSection(const char* section, const IniSection& keys) const {
    const std::string block = keys.Block();
    return WritePrivateProfileSectionA(section, block.c_str(), path_.c_str()) != FALSE;
}
