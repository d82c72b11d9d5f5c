#pragma once
// The value forms of SetupOption.ini, apart from the file functions: texts of at most 2047
// characters, flags written "1" or "0", numbers in decimal. A value that is missing or not in
// its form reads as the caller's default.
#include <cstddef>
#include <string>

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

// Parses a whole decimal number (optionally signed, blanks around it allowed); false for
// anything else (also on overflow).
bool ParseDecimal(const std::string& text, int* number);
// The number a stored text stands for, or the default.
int NumberOrDefault(const std::string& text, int default_value);
// "1" gives 1 and "0" gives 0 (as numbers, so " 01 " too); anything else gives the default.
int FlagOrDefault(const std::string& text, int default_value);
// How many entries of a counted list are read: none for a negative count, at most
// kIniMaxListCount.
int CappedListCount(int count);

// The text as it must stand in the file so that a read gives it back: line breaks, which would
// end the value and let the rest pose as keys or sections, become blanks; a value with white
// space at either end (also a control or non-ASCII byte, which some reader or code page may
// take for it) or enclosed in quotes is put in double quotes, which reading removes.
std::string IniValueForm(const std::string& text);
