// The registry helpers and the product settings, observed through the prefix's registry.
#include <gtest/gtest.h>

#include "tests/support/TestSupport.h"
#include "updater/data/ProductSettings.h"
#include "updater/platform/Registry.h"

using namespace testsupport;

namespace {

class ProductRegistry : public ::testing::Test {
protected:
    std::string product = UniqueName("Prod");
    std::string key = "Software\\Quindel\\" + product;
    ScopedRegTree hklm32{HKEY_LOCAL_MACHINE, key, View::View32};
    ScopedRegTree hklm64{HKEY_LOCAL_MACHINE, key, View::View64};
    ScopedRegTree agent{HKEY_CURRENT_USER, "SOFTWARE\\Quindel\\Dravel\\" + product, View::Own};
};

TEST_F(ProductRegistry, VersionFoundInEitherView) {
    // A product that wrote only to the 64-bit view is found first; one that wrote only to the
    // 32-bit view is found by the second read.
    ASSERT_TRUE(SetRegString(HKEY_LOCAL_MACHINE, key, "Version", "5.1.0.2", View::View64));
    EXPECT_EQ(ReadProductVersion(product), "5.1.0.2");
    DeleteRegTree(HKEY_LOCAL_MACHINE, key, View::View64);

    ASSERT_TRUE(SetRegString(HKEY_LOCAL_MACHINE, key, "Locale", "ko-KR", View::View32));
    EXPECT_EQ(ReadProductLocale(product), "ko-KR");
    EXPECT_EQ(ReadProductVersion(product), "");

    // When both views hold a value, the 64-bit one wins.
    ASSERT_TRUE(SetRegString(HKEY_LOCAL_MACHINE, key, "LicenseType", "public", View::View32));
    ASSERT_TRUE(SetRegString(HKEY_LOCAL_MACHINE, key, "LicenseType", "corporate", View::View64));
    EXPECT_EQ(ReadProductLicenseType(product), "corporate");
}

TEST_F(ProductRegistry, RootDirReadsOnlyThe32BitView) {
    ASSERT_TRUE(SetRegString(HKEY_LOCAL_MACHINE, key, "RootDir", "C:\\Only64", View::View64));
    EXPECT_EQ(ReadProductRootDir(product), "");
    ASSERT_TRUE(SetRegString(HKEY_LOCAL_MACHINE, key, "RootDir", "C:\\Prog", View::View32));
    EXPECT_EQ(ReadProductRootDir(product), "C:\\Prog");
}

TEST_F(ProductRegistry, ValuesThatDoNotFitTheBufferReadAsDefault) {
    ASSERT_TRUE(SetRegString(HKEY_LOCAL_MACHINE, key, "Version", std::string(300, '7'), View::View32));
    EXPECT_EQ(ReadProductVersion(product), "");
    // 259 characters and the NUL fill the buffer exactly and still read whole.
    ASSERT_TRUE(SetRegString(HKEY_LOCAL_MACHINE, key, "Version", std::string(259, '8'), View::View32));
    EXPECT_EQ(ReadProductVersion(product), std::string(259, '8'));
    // Data of exactly 260 bytes without a terminating NUL must not run past the buffer.
    std::vector<BYTE> raw(260, '9');
    ASSERT_TRUE(SetRegBinary(HKEY_LOCAL_MACHINE, key, "Locale", raw, View::View32));
    EXPECT_EQ(ReadProductLocale(product), std::string(260, '9'));
}

TEST_F(ProductRegistry, ClearNewProjectValuesEmptiesOnlyWhatExists) {
    const std::string agent_key = "SOFTWARE\\Quindel\\Dravel\\" + product;
    ASSERT_TRUE(SetRegString(HKEY_CURRENT_USER, agent_key, "DownVersion", "3.2", View::Own));
    ClearNewProjectValues(product);
    EXPECT_EQ(GetRegString(HKEY_CURRENT_USER, agent_key, "DownVersion", View::Own), "");
    for (const char* absent : {"NewProject", "NewProjectName", "AfterUpdateDay"}) {
        EXPECT_FALSE(GetRegString(HKEY_CURRENT_USER, agent_key, absent, View::Own)) << absent;
    }
}

time_t LocalNoon(int year, int month, int day) {
    struct tm parts = {};
    parts.tm_year = year - 1900;
    parts.tm_mon = month - 1;
    parts.tm_mday = day;
    parts.tm_hour = 12;
    parts.tm_isdst = -1;
    return mktime(&parts);
}

time_t g_fixed_now = 0;
time_t FixedNow() { return g_fixed_now; }

TEST_F(ProductRegistry, AfterUpdateDayCrossesMonthAndYearEnds) {
    const std::string agent_key = "SOFTWARE\\Quindel\\Dravel\\" + product;
    SetNowSourceForTesting(&FixedNow);
    struct Case { int y, m, d, days; const char* expected; };
    const Case cases[] = {
        {2026, 12, 28, 7, "20270104"},  // year end
        {2026, 1, 27, 7, "20260203"},   // month end
        {2024, 2, 25, 7, "20240303"},   // leap February
        {2026, 3, 5, 1, "20260306"},
    };
    for (const Case& c : cases) {
        g_fixed_now = LocalNoon(c.y, c.m, c.d);
        ASSERT_TRUE(SetRegString(HKEY_CURRENT_USER, agent_key, "NewProject", "Fennick", View::Own));
        SetAfterUpdateDay(product, false, c.days);
        EXPECT_EQ(GetRegString(HKEY_CURRENT_USER, agent_key, "AfterUpdateDay", View::Own), c.expected);
        EXPECT_EQ(GetRegString(HKEY_CURRENT_USER, agent_key, "NewProject", View::Own), "");
    }
    SetAfterUpdateDay(product, false, 0);
    EXPECT_EQ(GetRegString(HKEY_CURRENT_USER, agent_key, "AfterUpdateDay", View::Own), "0");
    SetAfterUpdateDay(product, true, 7);
    EXPECT_EQ(GetRegString(HKEY_CURRENT_USER, agent_key, "AfterUpdateDay", View::Own), "");
    SetNowSourceForTesting(nullptr);
}

TEST(RegistryHelpers, WritersWorkUnderTheUserHiveOnly) {
    const std::string key = "Software\\Quindel\\" + UniqueName("Writers");
    ScopedRegTree cleanup(HKEY_CURRENT_USER, key, View::Own);
    EXPECT_FALSE(WriteRegString("", "Name", "x", false));  // an empty key is refused
    EXPECT_TRUE(WriteRegString(key, "", "default text", false));
    EXPECT_EQ(GetRegString(HKEY_CURRENT_USER, key, "", View::Own), "default text");
    EXPECT_TRUE(WriteRegDword(key, "Count", 7, false, false));
    EXPECT_EQ(GetRegDword(HKEY_CURRENT_USER, key, "Count", View::Own), 7u);
    EXPECT_FALSE(WriteRegDword(key, "Count", 0, true, false));  // deleting answers false
    EXPECT_FALSE(GetRegDword(HKEY_CURRENT_USER, key, "Count", View::Own));
    EXPECT_TRUE(RegValueExists(key, "", false));
    EXPECT_FALSE(RegValueExists(key, "Missing", false));
    EXPECT_EQ(ReadRegDword(HKEY_CURRENT_USER, key, "Missing", 42, false), 42u);
}

TEST(RegistryHelpers, EnumeratesMachineSubkeys) {
    const std::string key = "Software\\Quindel\\" + UniqueName("Enum");
    ScopedRegTree cleanup(HKEY_LOCAL_MACHINE, key, View::View32);
    ASSERT_TRUE(SetRegString(HKEY_LOCAL_MACHINE, key + "\\Alpha", "Version", "1", View::View32));
    std::string name;
    ASSERT_TRUE(EnumRegSubkey(key, 0, name, false));
    EXPECT_EQ(name, "Alpha");
    EXPECT_FALSE(EnumRegSubkey(key, 1, name, false));
    EXPECT_FALSE(EnumRegSubkey(key + "\\Missing", 0, name, false));
}

class LanguageSources : public ::testing::Test {
protected:
    ScopedRegValue user_language{HKEY_CURRENT_USER, "SOFTWARE\\Quindel\\Dravel", "Language", View::Own};
    ScopedRegValue machine_language{HKEY_LOCAL_MACHINE, "SOFTWARE\\Quindel\\Dravel", "Language", View::View32};
    ScopedRegValue machine_locale{HKEY_LOCAL_MACHINE, "SOFTWARE\\Quindel\\Dravel", "Locale", View::View32};
    void SetUp() override {
        DeleteRegValue(HKEY_CURRENT_USER, "SOFTWARE\\Quindel\\Dravel", "Language", View::Own);
        DeleteRegValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\Quindel\\Dravel", "Language", View::View32);
        DeleteRegValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\Quindel\\Dravel", "Locale", View::View32);
    }
};

TEST_F(LanguageSources, FirstNonEmptySourceWinsInOrder) {
    // Source 2 (the system locale) always yields a code, so 3 is reached only through the table.
    const std::string system_code = LanguageCodeFromSource(2);
    EXPECT_EQ(system_code.size(), 5u) << system_code;
    EXPECT_EQ(ResolveLanguageCode(), system_code);

    SetRegString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Quindel\\Dravel", "Locale", "ja-JP", View::View32);
    EXPECT_EQ(LanguageCodeFromSource(3), "ja-JP");
    EXPECT_EQ(ResolveLanguageCode(), system_code);

    SetRegString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Quindel\\Dravel", "Language", "en-US", View::View32);
    EXPECT_EQ(ResolveLanguageCode(), "en-US");
    SetRegString(HKEY_CURRENT_USER, "SOFTWARE\\Quindel\\Dravel", "Language", "ko-KR", View::Own);
    EXPECT_EQ(ResolveLanguageCode(), "ko-KR");
    EXPECT_EQ(LanguageCodeFromSource(4), "");
    EXPECT_EQ(LanguageCodeFromSource(-1), "");
}

TEST_F(LanguageSources, ModulePathNeedsTheFileBesideTheProgram) {
    // The test program's folder holds no ko-KR.dll.
    EXPECT_EQ(LanguageModulePath(), "");
}

// Norvane without a path of its own (GetModuleFileName cannot give one of 260 characters or
// more) has no folder: the module must not then be taken from the root of the current drive.
TEST_F(LanguageSources, NoModuleWithoutAFolderOfTheProgram) {
    TempDir folder;
    ASSERT_TRUE(WriteTextFile(folder.File("ko-KR.dll"), "module"));
    EXPECT_EQ(LanguageModulePathBeside(folder.File("Norvane.exe")), folder.File("ko-KR.dll"));

    struct RootModule {
        std::string previous_dir, path;
        ~RootModule() {
            if (!path.empty()) DeleteFileA(path.c_str());
            SetCurrentDirectoryA(previous_dir.c_str());
        }
    } root;
    char current[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, current);
    root.previous_dir = current;
    ASSERT_TRUE(SetCurrentDirectoryA(folder.path().c_str()));
    const std::string planted = folder.path().substr(0, 3) + "ko-KR.dll";  // "C:\\ko-KR.dll"
    if (PathExists(planted)) GTEST_SKIP() << planted << " exists already";
    ASSERT_TRUE(WriteTextFile(planted, "planted"));
    root.path = planted;

    EXPECT_EQ(LanguageModulePathBeside(""), "");
    EXPECT_EQ(LanguageModulePathBeside("Norvane.exe"), "");
}

}  // namespace
