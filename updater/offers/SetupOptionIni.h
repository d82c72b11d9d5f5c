#pragma once
// Reading and writing SetupOption.ini through the private-profile functions, with the value
// forms of IniValues.h.
#include <string>

#include "updater/offers/IniValues.h"

// "<roaming application data>\\Quindel\\Dravel\\<product>\\SetupOption.ini"; "" when the
// folder is unknown.
std::string SetupOptionIniPath(const std::string& product);

class SetupOptionIni {
public:
    explicit SetupOptionIni(std::string path) : path_(std::move(path)) {}
    const std::string& path() const { return path_; }

    std::string ReadText(const char* section, const char* key) const;
    // A decimal number (optionally signed, blanks around it allowed) that fits an int.
    int ReadNumber(const char* section, const char* key, int default_value) const;
    // "1" gives 1 and "0" gives 0; anything else gives the default.
    int ReadFlag(const char* section, const char* key, int default_value) const;

    // Replaces the section with these keys, all at once; false when the system refused the
    // write (the section is then not written).
    bool WriteSection(const char* section, const IniSection& keys) const;

private:
    std::string path_;
};
