#pragma once
// Reading and writing SetupOption.ini through the private-profile functions, with the value
// forms the file uses: texts of at most 2047 characters, flags written "1" or "0", numbers in
// decimal. A value that is missing or not in its form reads as the caller's default.
#include <string>

// "<roaming application data>\\Quindel\\Dravel\\<product>\\SetupOption.ini"; "" when the
// folder is unknown.
std::string SetupOptionIniPath(const std::string& product);

// Longest text a read returns (the rest is cut off).
constexpr std::size_t kIniTextLimit = 2047;
// Most entries a counted list ("InfoCount", "ItemCount") is read for. A damaged count must not
// keep Norvane reading keys for hours.
constexpr int kIniMaxListCount = 512;

// The keys of one section, in the order they are added, with the value forms of the file:
// texts in IniValueForm, flags "1" or "0", numbers in decimal. Written by one call, so that
// saving costs one rewrite of the file per section rather than one per key.
class IniSection {
public:
    // Up to its first NUL byte, as a C string would end it.
    void Text(const char* key, const std::string& text);
    void Number(const char* key, int number);
    // "1" when the value equals 1, "0" otherwise.
    void Flag(const char* key, int value);
    // "key=value" strings, each ended by a NUL, the whole ended by one more.
    std::string Block() const { return block_ + '\0'; }

private:
    void Add(const char* key, const std::string& value);
    std::string block_;
};

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

// Parses a whole decimal number; false for anything else (also on overflow).
bool ParseDecimal(const std::string& text, int* number);
// The text as it must stand in the file so that a read gives it back: line breaks, which would
// end the value and let the rest pose as keys or sections, become blanks; a value with white
// space at either end or enclosed in quotes is put in double quotes, which reading removes.
std::string IniValueForm(const std::string& text);
