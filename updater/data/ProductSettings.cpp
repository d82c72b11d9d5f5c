#include "updater/data/ProductSettings.h"

#include <cstdio>
#include <cstring>

#include "updater/platform/Registry.h"
#include "updater/platform/ResourceModule.h"
#include "updater/platform/BasicHelpers.h"

namespace {

const char kDravelUserKey[] = "SOFTWARE\\Quindel\\Dravel";

time_t (*g_now_source)() = nullptr;

time_t Now() { return g_now_source ? g_now_source() : time(nullptr); }

std::string ProductKey(const std::string& product) { return "Software\\Quindel\\" + product; }

std::string AgentProductKey(const std::string& product) {
    return std::string(kDravelUserKey) + "\\" + product;
}

std::string ReadProductValue(const std::string& product, const char* value_name) {
    const std::string key = ProductKey(product);
    if (IsRunningUnderWow64()) {
        std::string value = ReadRegString(HKEY_LOCAL_MACHINE, key, value_name, "", true);
        if (!value.empty()) return value;
    }
    return ReadRegString(HKEY_LOCAL_MACHINE, key, value_name, "", false);
}

}  // namespace

ProductSettings ProductSettings::Read(const std::string& product) {
    return ProductSettings{product, ReadProductVersion(product), ReadProductLocale(product),
                           ReadProductLicenseType(product)};
}

std::string ReadProductVersion(const std::string& product) {
    return ReadProductValue(product, "Version");
}

std::string ReadProductLocale(const std::string& product) {
    return ReadProductValue(product, "Locale");
}

std::string ReadProductLicenseType(const std::string& product) {
    return ReadProductValue(product, "LicenseType");
}

std::string ReadProductRootDir(const std::string& product) {
    return ReadRegString(HKEY_LOCAL_MACHINE, ProductKey(product), "RootDir", "", false);
}

void ClearNewProjectValues(const std::string& product) {
    const std::string key = AgentProductKey(product);
    for (const char* name : {"NewProject", "NewProjectName", "DownVersion", "AfterUpdateDay"}) {
        if (RegValueExists(key, name, false)) WriteRegString(key, name, "", false);
    }
}

void SetAfterUpdateDay(const std::string& product, bool clear, int days) {
    const std::string key = AgentProductKey(product);
    WriteRegString(key, "NewProject", "", false);
    std::string day;
    if (clear) {
        day = "";
    } else if (days == 0) {
        day = "0";
    } else {
        time_t then = Now() + static_cast<time_t>(days) * 86400;
        struct tm local = {};
        struct tm* parts = localtime(&then);
        if (parts) local = *parts;
        char text[32];
        snprintf(text, sizeof(text), "%4.4d%2.2d%2.2d", local.tm_year + 1900, local.tm_mon + 1,
                 local.tm_mday);
        day = text;
    }
    WriteRegString(key, "AfterUpdateDay", day, false);
}

void SetNowSourceForTesting(time_t (*now)()) { g_now_source = now; }

std::string LanguageCodeFromSource(int index) {
    switch (index) {
    case 0:
        return ReadRegString(HKEY_CURRENT_USER, kDravelUserKey, "Language", "", false);
    case 1:
        return ReadRegString(HKEY_LOCAL_MACHINE, kDravelUserKey, "Language", "", false);
    case 2: {
        char language[255] = {};
        char country[255] = {};
        GetLocaleInfoA(LOCALE_SYSTEM_DEFAULT, LOCALE_SISO639LANGNAME, language, sizeof(language));
        GetLocaleInfoA(LOCALE_SYSTEM_DEFAULT, LOCALE_SISO3166CTRYNAME, country, sizeof(country));
        if (!language[0] && !country[0]) return "";
        return std::string(language) + "-" + country;
    }
    case 3:
        return ReadRegString(HKEY_LOCAL_MACHINE, kDravelUserKey, "Locale", "", false);
    default:
        return "";
    }
}

std::string ResolveLanguageCode() {
    for (int index = 0; index < 4; ++index) {
        std::string code = LanguageCodeFromSource(index);
        if (!code.empty()) return code;
    }
    return "ko-KR";
}

std::string LanguageModulePath() { return LanguageModulePathBeside(OwnModulePath()); }

std::string LanguageModulePathBeside(const std::string& program_path) {
    // Without a folder of its own (no path, or one too long for GetModuleFileName), "\\ko-KR.dll"
    // would name the root of the current drive: no module is better than someone else's.
    const size_t cut = program_path.rfind('\\');
    if (cut == std::string::npos || cut == 0) return "";
    const std::string path = program_path.substr(0, cut) + "\\ko-KR.dll";
    for (int index = 0; index < 4; ++index) {
        if (!LanguageCodeFromSource(index).empty() && FileExists(path)) return path;
    }
    return "";
}

BYTE FontCharset() {
    char text[64];
    LoadModuleString(10086, text, sizeof(text));
    if (!text[0]) return DEFAULT_CHARSET;
    unsigned value = 0;
    for (const char* digit = text; *digit >= '0' && *digit <= '9'; ++digit) {
        value = value * 10 + static_cast<unsigned>(*digit - '0');
        if (value > 0xFFFF) break;  // a character set is one byte; stop before overflowing
    }
    return static_cast<BYTE>(value);
}
