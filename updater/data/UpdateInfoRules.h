#pragma once
// What Norvane concludes from the values of UpdateInfo.ini, apart from reading the file: line
// breaks in the texts, whether the record is usable for the product, and the logo's file name.
#include <string>

#include "updater/data/UpdateInfo.h"

// The agent writes line breaks as the two characters backslash and "n"; each becomes a line
// feed, from left to right.
std::string ExpandLineBreaks(std::string text);

// The product names compared as the system's case-insensitive comparison does for ASCII.
bool SameProductName(const std::string& a, const std::string& b);

// True when EngName is the product and every required value is there.
bool UpdateInfoUsable(const UpdateInfoFields& info, const std::string& product);

// "UpdateImage_<version>.bmp"; "" when the version would name another folder or a stream
// (a separator, a drive colon or "..").
std::string LogoFileName(const std::string& version);

// MainApp as a path inside the product's folder, with backslashes: "" when it is empty, rooted,
// names a drive or a stream (a colon), holds ".." or has an empty or "." component, so that joining
// it to the product's folder can never lead out of that folder.
std::string MainAppRelativePath(const std::string& main_app);

// The file name of the product's program, by which its running copies are found and ended:
// the last component of MainAppRelativePath, "" when that is "".
std::string MainAppImageName(const std::string& main_app);
