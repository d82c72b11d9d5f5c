#pragma once
// What Norvane reads of an installed product, what it writes back to the agent's per-product
// state, which language applies and where the language module lies.
#include <windows.h>

#include <ctime>
#include <string>

// The product's installation data as read when the update window is built.
struct ProductSettings {
    std::string product_name;
    std::string version;
    std::string locale;
    std::string license_type;

    static ProductSettings Read(const std::string& product);
};

// "Software\\Quindel\\%s" under HKEY_LOCAL_MACHINE. Under WOW64 the 64-bit view is read first and
// the 32-bit view when that gives nothing.
std::string ReadProductVersion(const std::string& product);
std::string ReadProductLocale(const std::string& product);
std::string ReadProductLicenseType(const std::string& product);
std::string ReadProductRootDir(const std::string& product);  // 32-bit view only

// Empties the agent's pending-product values that exist; creates nothing.
void ClearNewProjectValues(const std::string& product);
// Empties "NewProject" and sets "AfterUpdateDay" to "" (clear), "0" (no days) or the local date
// `days` ahead as "YYYYMMDD".
void SetAfterUpdateDay(const std::string& product, bool clear, int days);
// The date source of SetAfterUpdateDay; tests put a fixed moment in. Null restores the clock.
void SetNowSourceForTesting(time_t (*now)());

// Language code sources 0 to 3 (suite setting, machine setting, system locale, machine locale).
std::string LanguageCodeFromSource(int index);
// The first non-empty source, or "ko-KR".
std::string ResolveLanguageCode();
// "<folder of Norvane.exe>\\ko-KR.dll" when a language source names a code and the file exists;
// otherwise "".
std::string LanguageModulePath();
// The same for a program at program_path (LanguageModulePath passes Norvane's own path).
std::string LanguageModulePathBeside(const std::string& program_path);
// Character set for the fonts Norvane creates (string 10086 of the language module; 1 if empty).
BYTE FontCharset();
