#include "updater/offers/ProductOption.h"

#include <windows.h>

#include "resources/ResourceIds.h"
#include "updater/data/Registry.h"
#include "updater/framework/WinApp.h"

namespace {

const char kAntiPhishingValue[] = "PhishingAlarm2";

std::string ResString(UINT id) {
    char text[1024];
    return framework::LoadResString(id, text, sizeof(text));
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
    entries_.clear();
    if (lstrcmpiA(product_name.c_str(), "Wendle") != 0) return false;

    const std::string title1 = ResString(IDS_OPTION1_TITLE);
    if (!title1.empty() && ReadAntiPhishing() == 0) {
        entries_[1] = ProductOptionEntry{title1, ResString(IDS_OPTION1_TEXT1),
                                         ResString(IDS_OPTION1_TEXT2), ResString(IDS_OPTION1_TEXT3), 0};
    }
    const std::string title2 = ResString(IDS_OPTION2_TITLE);
    if (!title2.empty()) entries_[2] = ProductOptionEntry{title2, "", "", "", 1};
    return !entries_.empty();
}

const ProductOptionEntry* ProductOption::Find(int number) const {
    auto found = entries_.find(number);
    return found == entries_.end() ? nullptr : &found->second;
}

bool ProductOption::HasOption(int number) const { return Find(number) != nullptr; }

int ProductOption::GetOptionState(int number) const {
    const ProductOptionEntry* entry = Find(number);
    return entry ? entry->state : 0;
}

bool ProductOption::SetOptionState(int number, int state) {
    auto found = entries_.find(number);
    if (found == entries_.end()) return false;
    if (number == 1 &&
        !WriteRegDword(AntiPhishingKey(), kAntiPhishingValue, state != 0 ? 1 : 0, false, false)) {
        return false;
    }
    found->second.state = state;
    return true;
}

void ProductOption::RestoreState(int number, int state) {
    auto found = entries_.find(number);
    if (found != entries_.end()) found->second.state = state;
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
