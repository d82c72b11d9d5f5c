#include "updater/adview/AdFormData.h"

#include <cstdio>

namespace {

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameKeyName(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (Lower(a[i]) != Lower(b[i])) return false;
    }
    return true;
}

bool Contains(const std::vector<std::string>& names, const std::string& name) {
    for (const std::string& taken : names) {
        if (SameKeyName(taken, name)) return true;
    }
    return false;
}

// The entry announcing that some antivirus product was found: its licence field is the word
// for "public" in code page 949, as the server expects it.
constexpr char kAntivirusFoundEntry[] = "notgorsk#0.0#\xB0\xF8\xB0\xB3\xBF\xEB#ko-kr|";
static_assert(sizeof(kAntivirusFoundEntry) - 1 == 26, "the server reads a 26-byte entry");

}  // namespace

std::vector<std::string> SuiteProductKeyNames(const std::vector<std::string>& first,
                                              const std::vector<std::string>& second) {
    std::vector<std::string> names;
    for (const auto* list : {&first, &second}) {
        for (const std::string& name : *list) {
            if (SameKeyName(name, "Dravel") || Contains(names, name)) continue;
            names.push_back(name);
        }
    }
    return names;
}

std::string BuildAdFormData(const AdProductFields& product, const AdSystemFields& system,
                            const std::vector<SuiteProductFields>& installed, int antivirus_bits) {
    std::string text = "p=" + product.name + "#" + product.version + "#" + product.locale + "#" +
                       product.license_type;

    char os[80];
    snprintf(os, sizeof(os), "&o=%02x%02x%02x%02x%02x%04x%04x", system.major, system.minor,
             system.service_pack_major, system.product_type, system.processor_architecture,
             system.build, system.suite_mask);
    text += os;

    text += "&i=";
    for (const SuiteProductFields& entry : installed) {
        if (entry.version.empty() || entry.license_type.empty() || entry.locale.empty()) continue;
        text += entry.key_name + "#" + entry.version + "#" + entry.license_type + "#" +
                entry.locale + "|";
    }
    if (antivirus_bits & (kAntivirusInternational | kAntivirusDomestic)) {
        text += kAntivirusFoundEntry;
    }
    if (antivirus_bits & kAntivirusInternational) text += "international_avs#0.0#public#ko-kr|";
    if (antivirus_bits & kAntivirusDomestic) text += "domestic_avs#0.0#public#ko-kr|";
    return text;
}
