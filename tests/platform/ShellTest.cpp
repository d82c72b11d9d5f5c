// Version comparison, URL encoding, paths and folder chains, text conversion and shortcut
// files: the shared services whose results decide whether an update runs and where files go.
#include <gtest/gtest.h>
#include <objbase.h>
#include <shlobj.h>

#include "tests/support/TestSupport.h"
#include "updater/platform/BasicHelpers.h"
#include "updater/platform/Shell.h"
#include "updater/platform/UrlEncode.h"

using namespace testsupport;

namespace {

struct VersionCase {
    const char* a;
    const char* b;
    int expected;
};

TEST(CompareVersions, DecidesByMajorAndMinorThenByKindAndSuffix) {
    const VersionCase cases[] = {
        {"3.5.0.2", "3.5.0.1", 0},  // only two components take part
        {"3.6", "3.5.9", 1},
        {"3.5.9", "3.6", -1},
        {"V2.0", "2.0", 0},         // "v" and blanks are dropped
        {" v 2 . 0 ", "2.0", 0},
        {"1.5b2", "1.5", -1},       // beta before release
        {"1.5", "1.5b2", 1},
        {"1.5b3", "1.5b2", 1},
        {"1.5b2", "1.5b3", -1},
        {"1.5B2", "1.5b2", 0},
        {"1.5beta2", "1.5a2", 0},   // "beta" contains an "a" and reads as alpha
        {"1.5a9", "1.5b1", -1},     // alpha before beta
        {"1.5b1", "1.5a9", 1},
        {"1.5a1", "1.5", -1},
        {"3.10", "3.1", 0},         // the minor part is a decimal fraction
        {"2", "1.9", 1},
        {"10.0", "9.9", 1},
        {"", "", 0},
        {"", "0.1", -1},
    };
    for (const VersionCase& c : cases) {
        EXPECT_EQ(CompareVersions(c.a, c.b), c.expected) << c.a << " vs " << c.b;
        EXPECT_EQ(CompareVersions(c.b, c.a), -c.expected) << c.b << " vs " << c.a;
    }
}

TEST(CompareVersions, GarbageIsReadWithoutFaultsAndNeverAsInfinityOrNotANumber) {
    const char* garbage[] = {"nan",       "inf",          "-inf", "0x1p9", "1e9.0", "....",
                             "a.b.c",     "bbbbb",        "1.a",  "1.b",   "1.5b99999999999999",
                             "\xff\xfe.", "1.5beta-2147483649", "\t\n", "abc.def.ghi"};
    for (const char* text : garbage) {
        const ParsedVersion parsed = ParseVersion(text);
        EXPECT_TRUE(parsed.number == parsed.number) << text;  // not NaN
        EXPECT_LT(parsed.number, 1e9f) << text;
        EXPECT_EQ(CompareVersions(text, text), 0) << text;
    }
    EXPECT_EQ(ParseVersion("1.5b99999999999999").suffix, 2147483647);
    EXPECT_EQ(CompareVersions("inf", "1.0"), -1);  // reads as 0
    const std::string long_text(100000, '9');
    EXPECT_EQ(CompareVersions(long_text, long_text + ".1"), 0);
}

TEST(UrlEncode, KeepsOnlyLettersAndDigits) {
    EXPECT_EQ(UrlEncode("a b-c"), "a%20b%2dc");
    EXPECT_EQ(UrlEncode("\xE9"), "%e9");
    EXPECT_EQ(UrlEncode("AZaz09._~"), "AZaz09%2e%5f%7e");
    EXPECT_EQ(UrlEncode(std::string("\0/", 2)), "%00%2f");
    EXPECT_EQ(UrlEncode(""), "");
}

TEST(Paths, JoinParentAndFileName) {
    EXPECT_EQ(JoinPath("C:\\", "a"), "C:\\a");
    EXPECT_EQ(JoinPath("C:\\d", "a"), "C:\\d\\a");
    EXPECT_EQ(ParentFolder("C:\\a\\b.txt"), "C:\\a");
    EXPECT_EQ(ParentFolder("http://host/x/logo.bmp"), "http://host/x");
    EXPECT_EQ(ParentFolder("C:\\a/b\\c"), "C:\\a/b");  // a backslash wins over a slash
    EXPECT_EQ(ParentFolder("plain"), "plain");
    EXPECT_EQ(FileNameOf("C:\\a\\b.txt"), "b.txt");
    EXPECT_EQ(FileNameOf("http://host/x/logo.bmp"), "logo.bmp");
    EXPECT_EQ(FileNameOf("plain"), "plain");
}

TEST(Paths, CreateFolderPathBuildsTheChainWithOrWithoutTheLastComponent) {
    TempDir temp;
    const std::string file = temp.path() + "\\a\\\\b\\c.txt";  // the empty component is skipped
    EXPECT_EQ(CreateFolderPath(file, false), temp.path() + "\\a\\b");
    EXPECT_TRUE(PathExists(temp.File("a\\b")));
    EXPECT_FALSE(PathExists(temp.File("a\\b\\c.txt")));

    EXPECT_EQ(CreateFolderPath(temp.File("x\\y"), true), temp.File("x\\y"));
    EXPECT_NE(GetFileAttributesA(temp.File("x\\y").c_str()) & FILE_ATTRIBUTE_DIRECTORY, 0u);
    // Existing folders count as the result too.
    EXPECT_EQ(CreateFolderPath(temp.File("x\\y"), true), temp.File("x\\y"));

    // A file in the way stops the chain without harm to the file.
    ASSERT_TRUE(WriteTextFile(temp.File("blocker"), "x"));
    EXPECT_EQ(CreateFolderPath(temp.File("blocker\\sub\\f.txt"), false), temp.File("blocker"));
    EXPECT_FALSE(PathExists(temp.File("blocker\\sub")));
    EXPECT_EQ(ReadTextFile(temp.File("blocker")).value_or(""), "x");
    EXPECT_EQ(CreateFolderPath("", true), "");
}

TEST(Text, Utf8ToAnsiAndOsDescription) {
    EXPECT_EQ(Utf8ToAnsi("plain text"), "plain text");
    EXPECT_EQ(Utf8ToAnsi(""), "");
    const std::string converted = Utf8ToAnsi("caf\xC3\xA9");
    char expected[8] = {};
    WideCharToMultiByte(CP_ACP, 0, L"caf\x00E9", -1, expected, sizeof(expected), nullptr, nullptr);
    EXPECT_EQ(converted, expected);

    // Wine's default prefix: Windows 7 workstation on x64 (architecture 9).
    EXPECT_EQ(OsDescription(), "6,1,2,1,9");
}

TEST(Folders, SpecialFoldersAndQuickLaunch) {
    const std::string app_data = GetSpecialFolder(kFolderAppData);
    ASSERT_FALSE(app_data.empty());
    EXPECT_TRUE(FileExists(app_data));
    EXPECT_EQ(QuickLaunchFolder(), app_data + "\\Microsoft\\Internet Explorer\\Quick Launch");
    EXPECT_FALSE(GetSpecialFolder(kFolderProgramFiles).empty());
    EXPECT_EQ(GetSpecialFolder(0x7FFF), "");
}

TEST(Shortcut, WindowsResolvesTargetArgumentsAndIcon) {
    TempDir temp;
    const std::string target = Join(BinDir(), "Norvane.exe");
    const std::string icon = Join(BinDir(), "ko-KR.dll");
    const std::string link_path = temp.File("Norvane.lnk");
    ASSERT_TRUE(WriteTextFile(link_path, "an old file in the way"));
    ASSERT_TRUE(CreateShortcut(target, "/explicitupdate Prod", link_path, "Update", icon));

    ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
    IShellLinkA* link = nullptr;
    ASSERT_TRUE(SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                           IID_IShellLinkA, reinterpret_cast<void**>(&link))));
    IPersistFile* file = nullptr;
    ASSERT_TRUE(SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))));
    wchar_t wide[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, link_path.c_str(), -1, wide, MAX_PATH);
    ASSERT_TRUE(SUCCEEDED(file->Load(wide, STGM_READ)));
    char text[MAX_PATH] = {};
    EXPECT_TRUE(SUCCEEDED(link->GetPath(text, MAX_PATH, nullptr, 0)));
    EXPECT_EQ(lstrcmpiA(text, target.c_str()), 0) << text;
    EXPECT_TRUE(SUCCEEDED(link->GetArguments(text, MAX_PATH)));
    EXPECT_STREQ(text, "/explicitupdate Prod");
    EXPECT_TRUE(SUCCEEDED(link->GetDescription(text, MAX_PATH)));
    EXPECT_STREQ(text, "Update");
    int index = -1;
    EXPECT_TRUE(SUCCEEDED(link->GetIconLocation(text, MAX_PATH, &index)));
    EXPECT_EQ(lstrcmpiA(text, icon.c_str()), 0) << text;
    EXPECT_EQ(index, 0);
    file->Release();
    link->Release();
    CoUninitialize();

    EXPECT_FALSE(CreateShortcut("", "", temp.File("x.lnk"), "", ""));
    EXPECT_FALSE(CreateShortcut(target, "", "", "", ""));
    EXPECT_FALSE(PathExists(temp.File("x.lnk")));
}

TEST(Pinning, MissingFilesAreRefusedAndAnExistingOneListsItsVerbs) {
    TempDir temp;
    EXPECT_FALSE(StartMenuVerb("", true));
    EXPECT_FALSE(StartMenuVerb(temp.File("missing.lnk"), true));
    EXPECT_FALSE(TaskbarVerb(temp.File("missing.lnk"), true));
    EXPECT_FALSE(PinToTaskbar(""));
    EXPECT_FALSE(PinToStartMenu(temp.File("missing.lnk")));

    // An existing shortcut has a verb list; Wine has no pin verb, so nothing else happens.
    const std::string shortcut = temp.File("Norvane.lnk");
    ASSERT_TRUE(CreateShortcut(Join(BinDir(), "Norvane.exe"), "", shortcut, "", ""));
    EXPECT_TRUE(StartMenuVerb(shortcut, true));
    EXPECT_TRUE(PinToStartMenu(shortcut));
    EXPECT_TRUE(PathExists(shortcut));
}

TEST(Pinning, VerbNamesMatchWithoutAmpersandsInBothLanguages) {
    const char pin_korean[] = "\xBD\xC3\xC0\xDB \xB8\xDE\xB4\xBA\xBF\xA1 \xB0\xED\xC1\xA4";
    const char unpin_korean[] =
        "\xBD\xC3\xC0\xDB \xB8\xDE\xB4\xBA\xBF\xA1\xBC\xAD \xC1\xA6\xB0\xC5";
    EXPECT_TRUE(IsStartMenuVerbName("&Pin to Start Menu", true));
    EXPECT_TRUE(IsStartMenuVerbName("Pin to Start Men&u (all users)", true));
    EXPECT_FALSE(IsStartMenuVerbName("&Pin to Start Menu", false));
    EXPECT_TRUE(IsStartMenuVerbName("Unpin from Start Men&u", false));
    EXPECT_FALSE(IsStartMenuVerbName("Unpin from Start Menu", true));
    EXPECT_TRUE(IsStartMenuVerbName(std::string(pin_korean) + "(&U)", true));
    EXPECT_FALSE(IsStartMenuVerbName(pin_korean, false));
    EXPECT_TRUE(IsStartMenuVerbName(unpin_korean, false));
    EXPECT_FALSE(IsStartMenuVerbName(unpin_korean, true));
    EXPECT_FALSE(IsStartMenuVerbName("&Open", true));
    EXPECT_FALSE(IsStartMenuVerbName("", false));
}

}  // namespace
