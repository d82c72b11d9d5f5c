#pragma once
// Whether the suite's browser toolbar, Wendle, is installed and visible, and switching it back
// on. An installed toolbar may still be switched off in the browser's add-on settings or hidden
// in its toolbar layout; the middle offer then offers to switch it on instead of installing it.
#include <windows.h>

#include <string>

// Class ids the checks look for.
extern const char kWendleBandClsid[];    // the toolbar band
extern const char kWendleHelperClsid[];  // its browser helper object
extern const char kWendleServerClsid[];  // its out-of-process server

// Installed: its registry key with "RootDir" and "Version", and the three COM servers' files.
bool IsWendleRegistered();
// For an offer of "Wendle" that is loaded: installed but not registered with the browser,
// switched off in the add-on settings, or missing from the visible toolbar layout.
bool IsWendleSwitchedOff(const std::string& product_name, bool offer_loaded);
// The band's visibility bit in the browser's toolbar layout.
bool IsWendleBandShown();
// Every step runs whatever the previous ones gave: add-on settings cleared, "Reinstall" set,
// band and helper registered with the browser, and the band shown through the browser itself.
void SwitchWendleOn();

// The visibility bit of the band in a layout value as the browser stores it (at most the first
// 1000 bytes are looked at; offsets beyond the data count as not shown).
bool BandShownInLayout(const BYTE* layout, size_t size, const GUID& band);
