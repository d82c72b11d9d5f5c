#include "updater/offers/ProductOption.h"

#include <windows.h>

#include <cstdio>

#include "resources/ResourceIds.h"
#include "updater/platform/Registry.h"
#include "updater/platform/ResourceModule.h"
#include "updater/offers/SetupOptionIni.h"

namespace {

const char kAntiPhishingValue[] = "PhishingAlarm2";

std::string ResString(UINT id) {
    char text[1024];
    return LoadModuleString(id, text, sizeof(text));
}

bool MajorVersionAbove5() {
    OSVERSIONINFOA info = {};
    info.dwOSVersionInfoSize = sizeof(info);
    return GetVersionExA(&info) && info.dwMajorVersion > 5;
}

}  // namespace

std::string ProductOption::AntiPhishingKey() {
    // From Vista on the toolbar runs at low integrity and keeps its settings where it can write.
    return MajorVersionAbove5() ? "Software\\AppDataLow\\Software\\Quindel\\Wendle"
                                : "Software\\Quindel\\Wendle";
}

unsigned ProductOption::ReadAntiPhishing() {
    return ReadRegDword(HKEY_CURRENT_USER, AntiPhishingKey(), kAntiPhishingValue, 0, false);
}

bool ProductOption::BuildProductOptions(const std::string& product_name) {
    entries.clear();
    if (lstrcmpiA(product_name.c_str(), "Wendle") != 0) return false;

    const std::string title1 = ResString(IDS_OPTION1_TITLE);
    if (!title1.empty() && ReadAntiPhishing() == 0) {
        entries[1] = ProductOptionEntry{title1, ResString(IDS_OPTION1_TEXT1),
                                         ResString(IDS_OPTION1_TEXT2), ResString(IDS_OPTION1_TEXT3), 0};
    }
    const std::string title2 = ResString(IDS_OPTION2_TITLE);
    if (!title2.empty()) entries[2] = ProductOptionEntry{title2, "", "", "", 1};
    return !entries.empty();
}

const ProductOptionEntry* ProductOption::Find(int number) const {
    auto found = entries.find(number);
    return found == entries.end() ? nullptr : &found->second;
}

bool ProductOption::HasOption(int number) const { return Find(number) != nullptr; }

int ProductOption::GetOptionState(int number) const {
    const ProductOptionEntry* entry = Find(number);
    return entry ? entry->state : 0;
}

bool ProductOption::SetOptionState(int number, int state) {
    auto found = entries.find(number);
    if (found == entries.end()) return false;
    if (number == 1 &&
        !WriteRegDword(AntiPhishingKey(), kAntiPhishingValue, state != 0 ? 1 : 0, false, false)) {
        return false;
    }
    found->second.state = state;
    return true;
}

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
    // Opening for appending creates nothing the ini writes would not create anyway, and tells a
    // read-only file apart before any key is attempted.
    if (entries.empty() || !CanOpen(ini_path, "ab")) return false;
    IniSection keys;
    for (const auto& [number, entry] : entries) keys.Number(std::to_string(number).c_str(), entry.state);
    return SetupOptionIni(ini_path).WriteSection(kSection, keys);
}

std::string ProductOption::GetOptionTitle(int number) const {
    const ProductOptionEntry* entry = Find(number);
    return entry ? entry->title : "";
}

std::string ProductOption::GetOptionText1(int number) const {
    const ProductOptionEntry* entry = Find(number);
    return entry ? entry->text1 : "";
}

std::string ProductOption::GetOptionText2(int number) const {
    const ProductOptionEntry* entry = Find(number);
    return entry ? entry->text2 : "";
}

std::string ProductOption::GetOptionText3(int number) const {
    const ProductOptionEntry* entry = Find(number);
    return entry ? entry->text3 : "";
}
