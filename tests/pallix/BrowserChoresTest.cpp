// The browser and registry chores: new-tab provider, start page, context menu, search scopes,
// the custom search engine and the toolbar's settings switches.
#include <gtest/gtest.h>

#include "tests/pallix/PallixTestSupport.h"

using namespace testsupport;
using namespace pallixtest;

namespace {

const char kIeMain[] = "Software\\Microsoft\\Internet Explorer\\Main";
const char kWendleMachine[] = "SOFTWARE\\Quindel\\Wendle";
const char kHelperObject[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\explorer\\Browser Helper Objects\\"
    "{BDDB5A00-D1EB-49D5-B197-72A06DF78AA1}";
const char kLowSmartPage[] = "Software\\AppDataLow\\Software\\Quindel\\Wendle\\SmartPage";
const char kSmartPage[] = "SoftWare\\Quindel\\Wendle\\SmartPage";

}  // namespace

TEST(PreInstall, ProviderFollowsToolbarVersionHelperObjectAndSmartTab) {
    struct Case {
        const char* version;  // nullptr: no toolbar version
        bool helper_object;
        std::optional<DWORD> machine_before;
        std::optional<DWORD> use_smart_tab;
        DWORD machine_after;
        std::optional<DWORD> user_after;  // nullopt: left untouched (absent)
    };
    const Case cases[] = {
        {"2.22", true, 2, std::nullopt, 1, 1},
        {"2.22", true, 2, 0, 1, 0},
        {"2.22.1.5", true, 0, 5, 1, 1},
        {"1", false, std::nullopt, std::nullopt, 1, 1},
        {"2.23", true, 2, 0, 2, std::nullopt},
        {"2.5", true, 2, std::nullopt, 2, std::nullopt},
        {"2.5", true, std::nullopt, std::nullopt, 1, std::nullopt},
        {"2.5", false, 2, std::nullopt, 1, std::nullopt},
        {nullptr, true, std::nullopt, std::nullopt, 2, std::nullopt},
        {nullptr, false, 2, std::nullopt, 1, std::nullopt},
        {"0.9", true, 0, 0, 2, std::nullopt},
        {"0.9", false, std::nullopt, std::nullopt, 1, std::nullopt},
        {"abc", true, 0, std::nullopt, 2, std::nullopt},
    };
    LowSettingsRoot low_root;
    ScopedRegValue version(HKEY_LOCAL_MACHINE, kWendleMachine, "Version");
    ScopedRegValue machine(HKEY_LOCAL_MACHINE, kIeMain, "New_Tab_Provider");
    ScopedRegValue user(HKEY_CURRENT_USER, kIeMain, "New_Tab_Provider");
    ScopedRegValue smart(HKEY_CURRENT_USER, kLowSmartPage, "UseSmartTab");
    ScopedRegTree helper(HKEY_LOCAL_MACHINE, kHelperObject);
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.version ? c.version : "(none)") +
                     (c.helper_object ? " with helper object" : " without helper object"));
        if (c.version)
            SetRegString(HKEY_LOCAL_MACHINE, kWendleMachine, "Version", c.version);
        else
            DeleteRegValue(HKEY_LOCAL_MACHINE, kWendleMachine, "Version");
        if (c.helper_object)
            SetRegString(HKEY_LOCAL_MACHINE, kHelperObject, "", "");
        else
            DeleteRegTree(HKEY_LOCAL_MACHINE, kHelperObject);
        if (c.machine_before)
            SetRegDword(HKEY_LOCAL_MACHINE, kIeMain, "New_Tab_Provider", *c.machine_before);
        else
            DeleteRegValue(HKEY_LOCAL_MACHINE, kIeMain, "New_Tab_Provider");
        if (c.use_smart_tab)
            SetRegDword(HKEY_CURRENT_USER, kLowSmartPage, "UseSmartTab", *c.use_smart_tab);
        else
            DeleteRegValue(HKEY_CURRENT_USER, kLowSmartPage, "UseSmartTab");
        DeleteRegValue(HKEY_CURRENT_USER, kIeMain, "New_Tab_Provider");

        EXPECT_EQ(RunPallix("-preinstall"), std::optional<DWORD>(0));
        EXPECT_EQ(GetRegDword(HKEY_LOCAL_MACHINE, kIeMain, "New_Tab_Provider"),
                  std::optional<DWORD>(c.machine_after));
        EXPECT_EQ(GetRegDword(HKEY_CURRENT_USER, kIeMain, "New_Tab_Provider"), c.user_after);
    }
}

TEST(UninstallRegistry, StartPageIsRestoredOnlyFromAToolbarPageToAUserPage) {
    struct Case {
        const char* start_page;
        const char* old_page;  // nullptr: missing
        const char* expected_start_page;
    };
    const Case cases[] = {
        {"about:kivu", "http://portal.example/", "http://portal.example/"},
        {"about:smarthome", "http://portal.example/", "http://portal.example/"},
        {"about:smartkivu", "http://portal.example/", "http://portal.example/"},
        {"about:kivu", "about:smarthome", "about:kivu"},
        {"about:kivu", "", "about:kivu"},
        {"about:kivu", nullptr, "about:kivu"},
        {"About:Kivu", "http://portal.example/", "About:Kivu"},
        {"http://mine.example/", "http://portal.example/", "http://mine.example/"},
    };
    ScopedRegValue start(HKEY_CURRENT_USER, kIeMain, "Start Page");
    ScopedRegValue old(HKEY_CURRENT_USER, kSmartPage, "OldStartPage");
    ScopedRegValue user(HKEY_CURRENT_USER, kIeMain, "New_Tab_Provider");
    ScopedRegValue machine(HKEY_LOCAL_MACHINE, kIeMain, "New_Tab_Provider");
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.start_page) + " / " + (c.old_page ? c.old_page : "(missing)"));
        SetRegString(HKEY_CURRENT_USER, kIeMain, "Start Page", c.start_page);
        DeleteRegTree(HKEY_CURRENT_USER, kSmartPage);
        if (c.old_page) SetRegString(HKEY_CURRENT_USER, kSmartPage, "OldStartPage", c.old_page);
        SetRegDword(HKEY_CURRENT_USER, kIeMain, "New_Tab_Provider", 1);
        SetRegDword(HKEY_LOCAL_MACHINE, kIeMain, "New_Tab_Provider", 2);

        EXPECT_EQ(RunPallix("-uninstall"), std::optional<DWORD>(0));
        EXPECT_EQ(GetRegString(HKEY_CURRENT_USER, kIeMain, "Start Page"),
                  std::optional<std::string>(c.expected_start_page));
        // Forgotten in every case, the key made when missing.
        EXPECT_EQ(GetRegString(HKEY_CURRENT_USER, kSmartPage, "OldStartPage"),
                  std::optional<std::string>(""));
        EXPECT_FALSE(GetRegDword(HKEY_CURRENT_USER, kIeMain, "New_Tab_Provider").has_value());
        EXPECT_FALSE(GetRegDword(HKEY_LOCAL_MACHINE, kIeMain, "New_Tab_Provider").has_value());
    }
}

// A saved page longer than the 2084 bytes once read (1042 characters or more) is still the
// user's page: it is put back whole, not lost.
TEST(UninstallRegistry, LongSavedStartPageIsRestoredWhole) {
    ScopedRegValue start(HKEY_CURRENT_USER, kIeMain, "Start Page");
    ScopedRegValue old(HKEY_CURRENT_USER, kSmartPage, "OldStartPage");
    ScopedRegValue user(HKEY_CURRENT_USER, kIeMain, "New_Tab_Provider");
    ScopedRegValue machine(HKEY_LOCAL_MACHINE, kIeMain, "New_Tab_Provider");
    for (size_t length : {1041u, 1042u, 5000u}) {
        const std::string page = "http://portal.example/?q=" + std::string(length - 25, 'p');
        SCOPED_TRACE(length);
        SetRegString(HKEY_CURRENT_USER, kIeMain, "Start Page", "about:smarthome");
        SetRegString(HKEY_CURRENT_USER, kSmartPage, "OldStartPage", page);
        EXPECT_EQ(RunPallix("-uninstall"), std::optional<DWORD>(0));
        EXPECT_EQ(GetRegString(HKEY_CURRENT_USER, kIeMain, "Start Page"),
                  std::optional<std::string>(page));
        EXPECT_EQ(GetRegString(HKEY_CURRENT_USER, kSmartPage, "OldStartPage"),
                  std::optional<std::string>(""));
    }
}

// A page that could not be put back stays saved.
TEST(UninstallRegistry, SavedStartPageStaysWhenItCannotBePutBack) {
    ScopedRegValue start(HKEY_CURRENT_USER, kIeMain, "Start Page");
    ScopedRegValue old(HKEY_CURRENT_USER, kSmartPage, "OldStartPage");
    ScopedRegValue user(HKEY_CURRENT_USER, kIeMain, "New_Tab_Provider");
    ScopedRegValue machine(HKEY_LOCAL_MACHINE, kIeMain, "New_Tab_Provider");
    SetRegString(HKEY_CURRENT_USER, kIeMain, "Start Page", "about:kivu");
    SetRegString(HKEY_CURRENT_USER, kSmartPage, "OldStartPage", "http://portal.example/");
    {
        ReadOnlyKey locked(HKEY_CURRENT_USER, kIeMain);
        ASSERT_TRUE(locked.ok()) << "the system does not enforce a key's security";
        EXPECT_EQ(RunPallix("-uninstall"), std::optional<DWORD>(0));
    }
    EXPECT_EQ(GetRegString(HKEY_CURRENT_USER, kIeMain, "Start Page"),
              std::optional<std::string>("about:kivu"));
    EXPECT_EQ(GetRegString(HKEY_CURRENT_USER, kSmartPage, "OldStartPage"),
              std::optional<std::string>("http://portal.example/"));
}

class ContextMenu : public ::testing::Test {
protected:
    const std::string module_key = "CLSID\\{973F6B07-9147-459f-9ABE-34BF2E9A927A}\\InprocServer32";
    const std::wstring menu_ext = L"Software\\Microsoft\\Internet Explorer\\MenuExt\\";
    const std::wstring quick = menu_ext + L"\uC6EC\uB4E4 \uBE60\uB978\uAC80\uC0C9(&Q)";
    const std::wstring link = menu_ext + L"\uC6EC\uB4E4\uB85C \uC8FC\uC18C \uBCF4\uB0B4\uAE30";
    const std::wstring image =
        menu_ext + L"\uC6EC\uB4E4\uB85C \uC774\uBBF8\uC9C0 \uBCF4\uB0B4\uAE30";
    LowSettingsRoot low_root;
    ScopedRegTree module_cleanup{HKEY_CLASSES_ROOT,
                                 "CLSID\\{973F6B07-9147-459f-9ABE-34BF2E9A927A}"};
    ScopedRegValue iectxmenu{HKEY_CURRENT_USER, "Software\\AppDataLow\\Software\\Quindel\\Wendle",
                             "iectxmenu"};

    void SetUp() override { RemoveEntries(); }
    void TearDown() override { RemoveEntries(); }
    void RemoveEntries() {
        for (const std::wstring* key : {&quick, &link, &image})
            DeleteRegTreeW(HKEY_CURRENT_USER, *key);
    }
    std::wstring Default(const std::wstring& key) {
        auto value = GetRegValueW(HKEY_CURRENT_USER, key, nullptr);
        return value ? value->text : L"(missing)";
    }
};

TEST_F(ContextMenu, WithoutTheToolbarModuleNothingIsWritten) {
    EXPECT_EQ(RunPallix("-regcontextmenu"), std::optional<DWORD>(0));
    for (const std::wstring* key : {&quick, &link, &image}) {
        EXPECT_FALSE(RegKeyExistsW(HKEY_CURRENT_USER, *key));
    }
}

TEST_F(ContextMenu, ThreeEntriesPointIntoTheModuleAndOnlyTheImageEntryHasContexts) {
    SetRegString(HKEY_CLASSES_ROOT, module_key, "", "C:\\Wendle\\WendleToolbar.dll");
    EXPECT_EQ(RunPallix("-regcontextmenu"), std::optional<DWORD>(0));
    EXPECT_EQ(Default(quick), L"res://C:\\Wendle\\WendleToolbar.dll/23/SEARCH.HTML");
    EXPECT_EQ(Default(link), L"res://C:\\Wendle\\WendleToolbar.dll/23/LINKTOSNS.HTML");
    EXPECT_EQ(Default(image), L"res://C:\\Wendle\\WendleToolbar.dll/23/IMAGETOSNS.HTML");
    auto contexts = GetRegValueW(HKEY_CURRENT_USER, image, L"Contexts");
    ASSERT_TRUE(contexts.has_value());
    EXPECT_EQ(contexts->type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(contexts->number, 6u);
    EXPECT_FALSE(GetRegValueW(HKEY_CURRENT_USER, quick, L"Contexts").has_value());
    EXPECT_FALSE(GetRegValueW(HKEY_CURRENT_USER, link, L"Contexts").has_value());
}

TEST_F(ContextMenu, QuickSearchEntryIsLeftOutWhenTheUserTurnedItOff) {
    SetRegString(HKEY_CLASSES_ROOT, module_key, "", "C:\\Wendle\\WendleToolbar.dll");
    SetRegDword(HKEY_CURRENT_USER, "Software\\AppDataLow\\Software\\Quindel\\Wendle", "iectxmenu",
                0);
    EXPECT_EQ(RunPallix("-regcontextmenu"), std::optional<DWORD>(0));
    EXPECT_FALSE(RegKeyExistsW(HKEY_CURRENT_USER, quick));
    EXPECT_EQ(Default(link), L"res://C:\\Wendle\\WendleToolbar.dll/23/LINKTOSNS.HTML");
    EXPECT_EQ(Default(image), L"res://C:\\Wendle\\WendleToolbar.dll/23/IMAGETOSNS.HTML");

    SetRegDword(HKEY_CURRENT_USER, "Software\\AppDataLow\\Software\\Quindel\\Wendle", "iectxmenu",
                1);
    EXPECT_EQ(RunPallix("-regcontextmenu"), std::optional<DWORD>(0));
    EXPECT_TRUE(RegKeyExistsW(HKEY_CURRENT_USER, quick));
}

class SearchScope : public ::testing::Test {
protected:
    const std::string scopes = "Software\\Microsoft\\Internet Explorer\\SearchScopes";
    const std::string preferences = "Software\\Microsoft\\Internet Explorer\\User Preferences";
    const std::string scope = UniqueName("{Scope") + "}";
    const std::string builtin = "{84C512AE-3420-41f9-B4BF-D3FE943FB55D}";
    ScopedRegValue user_default{HKEY_CURRENT_USER, scopes, "DefaultScope"};
    ScopedRegValue machine_default{HKEY_LOCAL_MACHINE, scopes, "DefaultScope"};
    ScopedRegTree user_scope{HKEY_CURRENT_USER, scopes + "\\" + scope};
    ScopedRegTree machine_scope{HKEY_LOCAL_MACHINE, scopes + "\\" + scope};
    ScopedRegTree user_builtin{HKEY_CURRENT_USER, scopes + "\\" + builtin};
    ScopedRegTree machine_builtin{HKEY_LOCAL_MACHINE, scopes + "\\" + builtin};
    ScopedRegTree user_preferences{HKEY_CURRENT_USER, preferences};
    ScopedRegTree machine_preferences{HKEY_LOCAL_MACHINE, preferences};

    void SeedDefaultsAndPreferences() {
        for (HKEY hive : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
            SetRegString(hive, scopes, "DefaultScope", "{Previous}");
            SetRegDword(hive, preferences + "\\Sub", "Kept", 1);
            SetRegDword(hive, scopes + "\\" + scope, "Deleted", 1);
        }
    }
};

TEST_F(SearchScope, GivenScopeWithoutMakeDefaultLeavesTheDefaultAlone) {
    BrowserVersion version("9.11.9600.18376");
    SeedDefaultsAndPreferences();
    EXPECT_EQ(RunPallix("-registsearchscope " + scope +
                        " \"Portal search\" "
                        "\"http://find.example/?q={searchTerms}\" 0"),
              std::optional<DWORD>(0));
    for (HKEY hive : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
        SCOPED_TRACE(hive == HKEY_CURRENT_USER ? "HKCU" : "HKLM");
        const std::string key = scopes + "\\" + scope;
        EXPECT_EQ(GetRegDword(hive, key, "CodePage"), std::optional<DWORD>(949));
        EXPECT_EQ(GetRegString(hive, key, "DisplayName"),
                  std::optional<std::string>("Portal search"));
        EXPECT_EQ(GetRegString(hive, key, "URL"),
                  std::optional<std::string>("http://find.example/?q={searchTerms}"));
        EXPECT_FALSE(GetRegDword(hive, key, "Deleted").has_value());
        EXPECT_EQ(GetRegString(hive, scopes, "DefaultScope"),
                  std::optional<std::string>("{Previous}"));
        EXPECT_TRUE(RegKeyExists(hive, preferences + "\\Sub"));
    }
}

TEST_F(SearchScope, MakeDefaultRemovesUserPreferencesOnlyFromVersionEight) {
    {
        BrowserVersion version("9.11.9600.18376");
        SeedDefaultsAndPreferences();
        EXPECT_EQ(RunPallix("-registsearchscope " + scope + " Name http://u.example/ 1"),
                  std::optional<DWORD>(0));
        for (HKEY hive : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
            EXPECT_EQ(GetRegString(hive, scopes, "DefaultScope"),
                      std::optional<std::string>(scope));
            EXPECT_FALSE(RegKeyExists(hive, preferences));
        }
    }
    {
        BrowserVersion version("7.0.6000.16386");
        SeedDefaultsAndPreferences();
        EXPECT_EQ(RunPallix("-registsearchscope " + scope + " Name http://u.example/ 12abc"),
                  std::optional<DWORD>(0));
        for (HKEY hive : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
            EXPECT_EQ(GetRegString(hive, scopes, "DefaultScope"),
                      std::optional<std::string>(scope));
            EXPECT_TRUE(RegKeyExists(hive, preferences + "\\Sub"));
        }
    }
}

TEST_F(SearchScope, FewerThanSixArgumentsRegisterTheBuiltInScopeAsDefault) {
    BrowserVersion version("9.11.9600.18376");
    SeedDefaultsAndPreferences();
    EXPECT_EQ(RunPallix("-registsearchscope " + scope + " \"Ignored name\""),
              std::optional<DWORD>(0));
    for (HKEY hive : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
        SCOPED_TRACE(hive == HKEY_CURRENT_USER ? "HKCU" : "HKLM");
        const std::wstring key = L"Software\\Microsoft\\Internet Explorer\\SearchScopes\\" +
                                 std::wstring(builtin.begin(), builtin.end());
        auto name = GetRegValueW(hive, key, L"DisplayName");
        ASSERT_TRUE(name.has_value());
        EXPECT_EQ(name->text, L"\uC5F4\uB9B0\uC8FC\uC18C\uCC3D");
        EXPECT_EQ(name->size, (name->text.size() + 1) * sizeof(wchar_t));
        auto url = GetRegValueW(hive, key, L"URL");
        ASSERT_TRUE(url.has_value());
        EXPECT_EQ(url->text.find(L"/search.html?keyword={searchTerms}&prov="),
                  url->text.find(L'/', 8))
            << std::string(url->text.begin(), url->text.end());
        EXPECT_NE(url->text.find(L"&dist="), std::wstring::npos);
        EXPECT_NE(url->text.find(L"&ss="), std::wstring::npos);
        EXPECT_EQ(GetRegString(hive, scopes, "DefaultScope"), std::optional<std::string>(builtin));
        EXPECT_FALSE(GetRegString(hive, scopes + "\\" + scope, "DisplayName").has_value());
    }
}

TEST_F(SearchScope, EmptyScopeNameWritesNothingIntoTheScopeList) {
    EXPECT_EQ(RunPallix("-registsearchscope \"\" Name http://u.example/ 1"),
              std::optional<DWORD>(0));
    EXPECT_FALSE(GetRegString(HKEY_CURRENT_USER, scopes, "URL").has_value());
    EXPECT_FALSE(GetRegString(HKEY_CURRENT_USER, scopes, "DefaultScope").has_value());
}

class ToolbarSettings : public ::testing::Test {
protected:
    const std::string low_wendle = "Software\\AppDataLow\\SoftWare\\Quindel\\Wendle";
    const std::string engines = low_wendle + "\\CustomSearchEngine";
};

TEST_F(ToolbarSettings, KivuMovesToKivu2WithoutOverwritingIt) {
    LowSettingsRoot low_root;
    ScopedRegTree cleanup(HKEY_CURRENT_USER, engines);

    SetRegString(HKEY_CURRENT_USER, engines, "kivu", "http://kivu.example/?q=");
    EXPECT_EQ(RunPallix("-renamecustomkivuengine"), std::optional<DWORD>(0));
    EXPECT_EQ(GetRegString(HKEY_CURRENT_USER, engines, "kivu2"),
              std::optional<std::string>("http://kivu.example/?q="));
    EXPECT_FALSE(GetRegString(HKEY_CURRENT_USER, engines, "kivu").has_value());

    SetRegString(HKEY_CURRENT_USER, engines, "kivu", "http://newer.example/");
    EXPECT_EQ(RunPallix("-renamecustomkivuengine"), std::optional<DWORD>(0));
    EXPECT_EQ(GetRegString(HKEY_CURRENT_USER, engines, "kivu2"),
              std::optional<std::string>("http://kivu.example/?q="));
    EXPECT_FALSE(GetRegString(HKEY_CURRENT_USER, engines, "kivu").has_value());

    // An empty old entry is deleted all the same.
    SetRegString(HKEY_CURRENT_USER, engines, "kivu", "");
    EXPECT_EQ(RunPallix("-renamecustomkivuengine"), std::optional<DWORD>(0));
    EXPECT_FALSE(GetRegString(HKEY_CURRENT_USER, engines, "kivu").has_value());

    // An entry too long to copy is kept rather than lost, and a long kivu2 is not overwritten.
    const std::string long_entry = "http://long.example/?" + std::string(2100, 'a');
    SetRegString(HKEY_CURRENT_USER, engines, "kivu", long_entry);
    EXPECT_EQ(RunPallix("-renamecustomkivuengine"), std::optional<DWORD>(0));
    EXPECT_EQ(GetRegString(HKEY_CURRENT_USER, engines, "kivu"),
              std::optional<std::string>(long_entry));
    SetRegString(HKEY_CURRENT_USER, engines, "kivu2", long_entry);
    SetRegString(HKEY_CURRENT_USER, engines, "kivu", "short");
    EXPECT_EQ(RunPallix("-renamecustomkivuengine"), std::optional<DWORD>(0));
    EXPECT_EQ(GetRegString(HKEY_CURRENT_USER, engines, "kivu2"),
              std::optional<std::string>(long_entry));
}

// Only an entry too long to copy is kept; one that is no text at all is deleted as any other,
// and a "kivu2" that is no text is replaced.
TEST_F(ToolbarSettings, KivuThatIsNoTextIsDeleted) {
    LowSettingsRoot low_root;
    ScopedRegTree cleanup(HKEY_CURRENT_USER, engines);
    const std::wstring wide_engines(engines.begin(), engines.end());

    SetRegDword(HKEY_CURRENT_USER, engines, "kivu", 5);
    EXPECT_EQ(RunPallix("-renamecustomkivuengine"), std::optional<DWORD>(0));
    EXPECT_FALSE(GetRegValueW(HKEY_CURRENT_USER, wide_engines, L"kivu").has_value());
    EXPECT_FALSE(GetRegValueW(HKEY_CURRENT_USER, wide_engines, L"kivu2").has_value());

    // Longer than the text buffer, but not text either.
    SetRegBinary(HKEY_CURRENT_USER, engines, "kivu", std::vector<BYTE>(6000, 'k'));
    EXPECT_EQ(RunPallix("-renamecustomkivuengine"), std::optional<DWORD>(0));
    EXPECT_FALSE(GetRegValueW(HKEY_CURRENT_USER, wide_engines, L"kivu").has_value());
    EXPECT_FALSE(GetRegValueW(HKEY_CURRENT_USER, wide_engines, L"kivu2").has_value());

    SetRegDword(HKEY_CURRENT_USER, engines, "kivu2", 1);
    SetRegString(HKEY_CURRENT_USER, engines, "kivu", "http://kivu.example/?q=");
    EXPECT_EQ(RunPallix("-renamecustomkivuengine"), std::optional<DWORD>(0));
    EXPECT_EQ(GetRegString(HKEY_CURRENT_USER, engines, "kivu2"),
              std::optional<std::string>("http://kivu.example/?q="));
    EXPECT_FALSE(GetRegValueW(HKEY_CURRENT_USER, wide_engines, L"kivu").has_value());
}

TEST_F(ToolbarSettings, SettingsRootIsAppDataLowWhenItExistsAndTheUserKeyOtherwise) {
    ScopedRegTree plain(HKEY_CURRENT_USER, "SoftWare\\Quindel\\Wendle");
    {
        LowSettingsRoot low_root;
        ScopedRegTree cleanup(HKEY_CURRENT_USER, low_wendle);
        SetRegDword(HKEY_CURRENT_USER, low_wendle + "\\common\\Deep", "Setting", 1);
        EXPECT_EQ(RunPallix("-cleartoolbars"), std::optional<DWORD>(0));
        EXPECT_EQ(RunPallix("-delcommonreg"), std::optional<DWORD>(0));
        EXPECT_EQ(GetRegDword(HKEY_CURRENT_USER, low_wendle, "TurnOffAllToolbar"),
                  std::optional<DWORD>(1));
        EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, low_wendle + "\\common"));
        EXPECT_FALSE(
            GetRegDword(HKEY_CURRENT_USER, "SoftWare\\Quindel\\Wendle", "TurnOffAllToolbar"));
    }
    if (RegKeyExists(HKEY_CURRENT_USER, LowSettingsRoot::kKey)) GTEST_SKIP() << "AppDataLow exists";
    SetRegDword(HKEY_CURRENT_USER, "SoftWare\\Quindel\\Wendle\\common", "Setting", 1);
    EXPECT_EQ(RunPallix("-cleartoolbars"), std::optional<DWORD>(0));
    EXPECT_EQ(RunPallix("-delcommonreg"), std::optional<DWORD>(0));
    EXPECT_EQ(GetRegDword(HKEY_CURRENT_USER, "SoftWare\\Quindel\\Wendle", "TurnOffAllToolbar"),
              std::optional<DWORD>(1));
    EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, "SoftWare\\Quindel\\Wendle\\common"));
    EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, LowSettingsRoot::kKey));
}
