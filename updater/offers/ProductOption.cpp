#include "updater/offers/ProductOption.h"

#include <cstdio>

#include "updater/offers/SetupOptionIni.h"

namespace {

constexpr const char* kSection = "ProductOption";

bool CanOpen(const std::string& path, const char* mode) {
    std::FILE* file = std::fopen(path.c_str(), mode);
    if (!file) return false;
    std::fclose(file);
    return true;
}

}  // namespace

bool ProductOption::LoadStatesFromIni(const std::string& ini_path) {
    if (entries.empty() || !CanOpen(ini_path, "rb")) return false;
    SetupOptionIni ini(ini_path);
    for (auto& [number, entry] : entries) {
        entry.state = ini.ReadNumber(kSection, std::to_string(number).c_str(), 0);
    }
    return true;
}

bool ProductOption::SaveStatesToIni(const std::string& ini_path) const {
    // Opening for appending creates nothing new the ini writes would not create anyway, and
    // tells a read-only file apart before any key is attempted.
    if (entries.empty() || !CanOpen(ini_path, "ab")) return false;
    SetupOptionIni ini(ini_path);
    for (const auto& [number, entry] : entries) {
        if (!ini.WriteNumber(kSection, std::to_string(number).c_str(), entry.state)) return false;
    }
    return true;
}
