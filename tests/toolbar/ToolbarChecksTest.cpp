// The toolbar checks observed through the registry a real toolbar install leaves behind.
#include <gtest/gtest.h>

#include <objbase.h>

#include <cstring>

#include "tests/support/TestSupport.h"
#include "updater/offers/ToolbarChecks.h"

using namespace testsupport;

namespace {

GUID Band() {
    GUID guid;
    CLSIDFromString(L"{38FBE93D-4CA1-4414-AF6A-94920C5BD8DA}", &guid);
    return guid;
}

// A layout value with the band in `slot` and the visibility bit of that slot as given.
std::vector<BYTE> Layout(int slot, bool visible, size_t size = 1000) {
    std::vector<BYTE> layout(size, 0);
    GUID band = Band();
    const size_t offset = 276 + 16 * static_cast<size_t>(slot);
    if (offset + 16 <= size) memcpy(layout.data() + offset, &band, 16);
    DWORD bits = visible ? (1u << (16 + slot)) : 0;
    // Other slots' bits must not matter.
    bits |= visible ? 0 : 0xFFFF0000u & ~(1u << (16 + slot));
    if (size >= 20) memcpy(layout.data() + 16, &bits, 4);
    return layout;
}

TEST(ToolbarLayout, VisibilityBitOfTheBandsSlot) {
    const GUID band = Band();
    for (int slot : {0, 7, 14}) {
        auto shown = Layout(slot, true);
        auto hidden = Layout(slot, false);
        EXPECT_TRUE(BandShownInLayout(shown.data(), shown.size(), band)) << slot;
        EXPECT_FALSE(BandShownInLayout(hidden.data(), hidden.size(), band)) << slot;
    }
    // A band in no slot, and a value too short to reach the slots, are not shown.
    std::vector<BYTE> empty(1000, 0);
    memset(empty.data() + 16, 0xFF, 4);
    EXPECT_FALSE(BandShownInLayout(empty.data(), empty.size(), band));
    auto short_value = Layout(14, true, 276 + 16 * 14 + 8);
    EXPECT_FALSE(BandShownInLayout(short_value.data(), short_value.size(), band));
    auto tiny = Layout(0, true, 10);
    EXPECT_FALSE(BandShownInLayout(tiny.data(), tiny.size(), band));
}

// A registered toolbar: its key, three server files and the browser's registrations.
class Toolbar : public ::testing::Test {
protected:
    TempDir files;
    ScopedRegTree wendle{HKEY_LOCAL_MACHINE, "Software\\Quindel\\Wendle"};
    ScopedRegTree band_class{HKEY_CLASSES_ROOT, "CLSID\\{38FBE93D-4CA1-4414-AF6A-94920C5BD8DA}"};
    ScopedRegTree helper_class{HKEY_CLASSES_ROOT, "CLSID\\{7F1A79F9-78D1-4186-9F60-EE0B63DF042A}"};
    ScopedRegTree server_class{HKEY_CLASSES_ROOT, "CLSID\\{332D49D5-832C-4EB2-8911-C596F580D14A}"};
    ScopedRegValue browser_toolbar{HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Internet Explorer\\Toolbar",
                                   "{38FBE93D-4CA1-4414-AF6A-94920C5BD8DA}"};
    ScopedRegTree helper_object{HKEY_LOCAL_MACHINE,
        "Software\\Microsoft\\Windows\\CurrentVersion\\explorer\\Browser Helper Objects\\"
        "{7F1A79F9-78D1-4186-9F60-EE0B63DF042A}"};
    ScopedRegTree band_settings{HKEY_CURRENT_USER,
        "Software\\Microsoft\\Windows\\CurrentVersion\\Ext\\Settings\\{38FBE93D-4CA1-4414-AF6A-94920C5BD8DA}",
        View::Own};
    ScopedRegTree helper_settings{HKEY_CURRENT_USER,
        "Software\\Microsoft\\Windows\\CurrentVersion\\Ext\\Settings\\{7F1A79F9-78D1-4186-9F60-EE0B63DF042A}",
        View::Own};
    ScopedRegValue layout7{HKEY_CURRENT_USER, "Software\\Microsoft\\Internet Explorer\\Toolbar\\WebBrowser",
                           "ITBar7Layout", View::Own};
    ScopedRegValue layout6{HKEY_CURRENT_USER, "Software\\Microsoft\\Internet Explorer\\Toolbar\\WebBrowser",
                           "ITBarLayout", View::Own};
    ScopedRegValue ie_version{HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Internet Explorer", "Version"};

    void SetUp() override {
        for (const char* name : {"band.dll", "helper.dll", "server.exe"}) {
            ASSERT_TRUE(WriteTextFile(files.File(name), "MZ"));
        }
        SetRegString(HKEY_LOCAL_MACHINE, "Software\\Quindel\\Wendle", "RootDir", files.path());
        SetRegString(HKEY_LOCAL_MACHINE, "Software\\Quindel\\Wendle", "Version", "2.5.0.1");
        // Servers are often registered with quotes around the path.
        SetRegString(HKEY_CLASSES_ROOT, "CLSID\\{38FBE93D-4CA1-4414-AF6A-94920C5BD8DA}\\InprocServer32", "",
                     "\"" + files.File("band.dll") + "\"");
        SetRegString(HKEY_CLASSES_ROOT, "CLSID\\{7F1A79F9-78D1-4186-9F60-EE0B63DF042A}\\InprocServer32", "",
                     "'" + files.File("helper.dll") + "'");
        SetRegString(HKEY_CLASSES_ROOT, "CLSID\\{332D49D5-832C-4EB2-8911-C596F580D14A}\\LocalServer32", "",
                     files.File("server.exe"));
        SetRegString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Internet Explorer", "Version", "9.11.9600.18376");
    }

    // Everything the browser needs to show the band.
    void RegisterWithBrowser(bool visible) {
        SetRegString(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Internet Explorer\\Toolbar",
                     "{38FBE93D-4CA1-4414-AF6A-94920C5BD8DA}", "Wendle");
        SetRegString(HKEY_LOCAL_MACHINE,
                     "Software\\Microsoft\\Windows\\CurrentVersion\\explorer\\Browser Helper Objects\\"
                     "{7F1A79F9-78D1-4186-9F60-EE0B63DF042A}", "", "Wendle BHO");
        SetRegBinary(HKEY_CURRENT_USER, "Software\\Microsoft\\Internet Explorer\\Toolbar\\WebBrowser",
                     "ITBar7Layout", Layout(3, visible), View::Own);
    }
};

TEST_F(Toolbar, RegisteredNeedsKeyValuesAndAllThreeServerFiles) {
    EXPECT_TRUE(IsWendleRegistered());
    DeleteFileA(files.File("server.exe").c_str());
    EXPECT_FALSE(IsWendleRegistered());
    WriteTextFile(files.File("server.exe"), "MZ");
    // "Version" of a non-string type does not count.
    SetRegDword(HKEY_LOCAL_MACHINE, "Software\\Quindel\\Wendle", "Version", 2);
    EXPECT_FALSE(IsWendleRegistered());
}

TEST_F(Toolbar, VisibleRegisteredBandIsNotSwitchedOff) {
    RegisterWithBrowser(true);
    EXPECT_TRUE(IsWendleBandShown());
    EXPECT_FALSE(IsWendleSwitchedOff("Wendle", true));
    // Another product, an offer not loaded, a toolbar not installed: never switched off.
    EXPECT_FALSE(IsWendleSwitchedOff("Fennick", true));
    RegisterWithBrowser(false);
    EXPECT_FALSE(IsWendleSwitchedOff("Wendle", false));
    EXPECT_TRUE(IsWendleSwitchedOff("WENDLE", true));
    DeleteRegTree(HKEY_LOCAL_MACHINE, "Software\\Quindel\\Wendle");
    EXPECT_FALSE(IsWendleSwitchedOff("Wendle", true));
}

TEST_F(Toolbar, EachWayOfBeingSwitchedOff) {
    // Missing from the browser's toolbar list, or listed with a non-string value.
    EXPECT_TRUE(IsWendleSwitchedOff("Wendle", true));
    RegisterWithBrowser(true);
    SetRegDword(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Internet Explorer\\Toolbar",
                "{38FBE93D-4CA1-4414-AF6A-94920C5BD8DA}", 1);
    EXPECT_TRUE(IsWendleSwitchedOff("Wendle", true));

    // "Flags" 1 under either add-on settings key, whatever the layout says; other types ignored.
    RegisterWithBrowser(true);
    const std::string settings = "Software\\Microsoft\\Windows\\CurrentVersion\\Ext\\Settings\\";
    SetRegString(HKEY_CURRENT_USER, settings + "{7F1A79F9-78D1-4186-9F60-EE0B63DF042A}", "Flags", "1", View::Own);
    EXPECT_FALSE(IsWendleSwitchedOff("Wendle", true));
    SetRegDword(HKEY_CURRENT_USER, settings + "{7F1A79F9-78D1-4186-9F60-EE0B63DF042A}", "Flags", 1, View::Own);
    EXPECT_TRUE(IsWendleSwitchedOff("Wendle", true));
    DeleteRegTree(HKEY_CURRENT_USER, settings + "{7F1A79F9-78D1-4186-9F60-EE0B63DF042A}", View::Own);
    SetRegDword(HKEY_CURRENT_USER, settings + "{38FBE93D-4CA1-4414-AF6A-94920C5BD8DA}", "Flags", 1, View::Own);
    EXPECT_TRUE(IsWendleSwitchedOff("Wendle", true));
    DeleteRegTree(HKEY_CURRENT_USER, settings + "{38FBE93D-4CA1-4414-AF6A-94920C5BD8DA}", View::Own);

    // The band missing from the layout counts as switched off even without "Flags".
    SetRegBinary(HKEY_CURRENT_USER, "Software\\Microsoft\\Internet Explorer\\Toolbar\\WebBrowser",
                 "ITBar7Layout", std::vector<BYTE>(1000, 0), View::Own);
    EXPECT_TRUE(IsWendleSwitchedOff("Wendle", true));
    // Without the helper object's registration, a visible band does not help either.
    RegisterWithBrowser(true);
    DeleteRegTree(HKEY_LOCAL_MACHINE,
                  "Software\\Microsoft\\Windows\\CurrentVersion\\explorer\\Browser Helper Objects\\"
                  "{7F1A79F9-78D1-4186-9F60-EE0B63DF042A}");
    EXPECT_TRUE(IsWendleSwitchedOff("Wendle", true));
}

TEST_F(Toolbar, OlderBrowsersKeepTheOlderLayoutValue) {
    SetRegBinary(HKEY_CURRENT_USER, "Software\\Microsoft\\Internet Explorer\\Toolbar\\WebBrowser",
                 "ITBarLayout", Layout(2, true), View::Own);
    SetRegBinary(HKEY_CURRENT_USER, "Software\\Microsoft\\Internet Explorer\\Toolbar\\WebBrowser",
                 "ITBar7Layout", Layout(2, false), View::Own);
    SetRegString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Internet Explorer", "Version", "6.0.2900.5512");
    EXPECT_TRUE(IsWendleBandShown());
    SetRegString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Internet Explorer", "Version", "7.0.6000.16386");
    EXPECT_FALSE(IsWendleBandShown());
    // A layout value of the wrong type is not read.
    SetRegString(HKEY_CURRENT_USER, "Software\\Microsoft\\Internet Explorer\\Toolbar\\WebBrowser",
                 "ITBar7Layout", std::string(400, 'x'), View::Own);
    EXPECT_FALSE(IsWendleBandShown());
}

// Wine's browser registers an application object whose start never completes here; the
// browser step is then made to fail fast, as on a system without the browser's COM server, so
// that the registry steps can be seen to run regardless.
class ToolbarWithoutBrowserServer : public Toolbar {
protected:
    ScopedRegValue ie_server{HKEY_CLASSES_ROOT,
                             "CLSID\\{0002DF01-0000-0000-C000-000000000046}\\LocalServer32", "", View::Own};
    void SetUp() override {
        Toolbar::SetUp();
        SetRegString(HKEY_CLASSES_ROOT, "CLSID\\{0002DF01-0000-0000-C000-000000000046}\\LocalServer32", "",
                     files.File("no-browser.exe"), View::Own);
    }
};

TEST_F(ToolbarWithoutBrowserServer, SwitchingOnRegistersEverythingAgain) {
    const std::string settings = "Software\\Microsoft\\Windows\\CurrentVersion\\Ext\\Settings\\";
    SetRegDword(HKEY_CURRENT_USER, settings + "{38FBE93D-4CA1-4414-AF6A-94920C5BD8DA}", "Flags", 1, View::Own);
    SetRegDword(HKEY_CURRENT_USER, settings + "{7F1A79F9-78D1-4186-9F60-EE0B63DF042A}\\Sub", "Flags", 1, View::Own);
    SwitchWendleOn();
    EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, settings + "{38FBE93D-4CA1-4414-AF6A-94920C5BD8DA}", View::Own));
    EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, settings + "{7F1A79F9-78D1-4186-9F60-EE0B63DF042A}", View::Own));
    EXPECT_EQ(GetRegString(HKEY_LOCAL_MACHINE, "Software\\Quindel\\Wendle", "Reinstall"), "1");
    EXPECT_EQ(GetRegString(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Internet Explorer\\Toolbar",
                           "{38FBE93D-4CA1-4414-AF6A-94920C5BD8DA}"), "Wendle");
    EXPECT_EQ(GetRegString(HKEY_LOCAL_MACHINE,
                           "Software\\Microsoft\\Windows\\CurrentVersion\\explorer\\Browser Helper Objects\\"
                           "{7F1A79F9-78D1-4186-9F60-EE0B63DF042A}", ""), "Wendle BHO");
}

TEST_F(ToolbarWithoutBrowserServer, SwitchingOnWithoutTheToolbarKeyStillRegistersWithTheBrowser) {
    DeleteRegTree(HKEY_LOCAL_MACHINE, "Software\\Quindel\\Wendle");
    SwitchWendleOn();
    // "Reinstall" is only set in an existing key; the next steps run regardless.
    EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, "Software\\Quindel\\Wendle"));
    EXPECT_EQ(GetRegString(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Internet Explorer\\Toolbar",
                           "{38FBE93D-4CA1-4414-AF6A-94920C5BD8DA}"), "Wendle");
}

}  // namespace
