// The registry and file switches and the browser start.
#include <gtest/gtest.h>

#include "helper/RegistrySwitches.h"
#include "tests/pallix/PallixTestSupport.h"

using namespace testsupport;
using namespace pallixtest;

namespace {

class RegistrySwitches : public ::testing::Test {
protected:
    const std::string subkey = "Software\\" + UniqueName("PallixSwitch");
    ScopedRegTree user_cleanup{HKEY_CURRENT_USER, subkey};
    ScopedRegTree machine_cleanup{HKEY_LOCAL_MACHINE, subkey};
};

}  // namespace

TEST_F(RegistrySwitches, RegStringCreatesTheKeyAndStoresTheTerminator) {
    EXPECT_EQ(RunPallix("-regstring hkcu " + subkey + "\\New\\Deeper Name \"two words\""),
              std::optional<DWORD>(0));
    EXPECT_EQ(GetRegString(HKEY_CURRENT_USER, subkey + "\\New\\Deeper", "Name"),
              std::optional<std::string>("two words"));
    const std::wstring wide_key(subkey.begin(), subkey.end());
    EXPECT_EQ(GetRegValueW(HKEY_CURRENT_USER, wide_key + L"\\New\\Deeper", L"Name")->size, 20u);

    EXPECT_EQ(RunPallix("-regstring hklm " + subkey + " Machine value"), std::optional<DWORD>(0));
    EXPECT_EQ(GetRegString(HKEY_LOCAL_MACHINE, subkey, "Machine"),
              std::optional<std::string>("value"));
    EXPECT_FALSE(GetRegString(HKEY_CURRENT_USER, subkey, "Machine").has_value());

    EXPECT_EQ(RunPallix("-regstring hkcu " + subkey + " Empty \"\""), std::optional<DWORD>(0));
    auto empty = GetRegValueW(HKEY_CURRENT_USER, wide_key, L"Empty");
    ASSERT_TRUE(empty.has_value());
    EXPECT_EQ(empty->type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(empty->size, 2u);
}

TEST_F(RegistrySwitches, MenuExtensionWriteForTheUserDropsTheReinstallMark) {
    const std::string menu =
        "Software\\Microsoft\\Internet Explorer\\MenuExt\\" + UniqueName("Entry");
    ScopedRegTree menu_cleanup(HKEY_CURRENT_USER, menu);
    ScopedRegValue reinstall(HKEY_LOCAL_MACHINE, "SoftWare\\Quindel\\Wendle", "Reinstall");

    SetRegString(HKEY_LOCAL_MACHINE, "SoftWare\\Quindel\\Wendle", "Reinstall", "1");
    EXPECT_EQ(RunPallix("-regstring HKCU \"" + menu + "\" \"\" res://x/1"),
              std::optional<DWORD>(0));
    EXPECT_EQ(GetRegString(HKEY_CURRENT_USER, menu, ""), std::optional<std::string>("res://x/1"));
    EXPECT_TRUE(GetRegString(HKEY_LOCAL_MACHINE, "SoftWare\\Quindel\\Wendle", "Reinstall"));

    EXPECT_EQ(RunPallix("-regstring hkcu \"" + menu + "\" \"\" res://x/2"),
              std::optional<DWORD>(0));
    EXPECT_EQ(GetRegString(HKEY_CURRENT_USER, menu, ""), std::optional<std::string>("res://x/2"));
    EXPECT_FALSE(GetRegString(HKEY_LOCAL_MACHINE, "SoftWare\\Quindel\\Wendle", "Reinstall"));
}

TEST_F(RegistrySwitches, RegDwordReadsTheLeadingDecimalNumber) {
    const std::pair<const char*, DWORD> cases[] = {
        {"12abc", 12},
        {"abc", 0},
        {"\"  7\"", 7},
        {"-5", 0xFFFFFFFBu},
        {"99999999999", 0x7FFFFFFFu},
        {"\"\"", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.first);
        EXPECT_EQ(RunPallix("-regdword hkcu " + subkey + " Number " + c.first),
                  std::optional<DWORD>(0));
        EXPECT_EQ(GetRegDword(HKEY_CURRENT_USER, subkey, "Number"), std::optional<DWORD>(c.second));
    }
}

TEST_F(RegistrySwitches, DeletionsActUnderTheHiveTheWordSelects) {
    SetRegDword(HKEY_CURRENT_USER, subkey + "\\Child", "Value", 1);
    SetRegDword(HKEY_LOCAL_MACHINE, subkey + "\\Child", "Value", 1);
    EXPECT_EQ(RunPallix("-delregkey HKLM " + subkey), std::optional<DWORD>(0));
    EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, subkey));
    EXPECT_TRUE(RegKeyExists(HKEY_LOCAL_MACHINE, subkey + "\\Child"));
    EXPECT_EQ(RunPallix("-delregkey hklm " + subkey), std::optional<DWORD>(0));
    EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, subkey));
    // A missing key, or no key name at all (which would mean the whole hive), does nothing.
    EXPECT_EQ(RunPallix("-delregkey hkcu " + subkey), std::optional<DWORD>(0));
    EXPECT_EQ(RunPallix("-delregkey hkcu \"\""), std::optional<DWORD>(0));
    EXPECT_EQ(RunPallix("-delregkey hkcu \"\\\\\""), std::optional<DWORD>(0));
    EXPECT_TRUE(RegKeyExists(HKEY_CURRENT_USER, "Software"));

    SetRegDword(HKEY_CURRENT_USER, subkey, "Gone", 1);
    SetRegDword(HKEY_CURRENT_USER, subkey, "Stays", 1);
    EXPECT_EQ(RunPallix("-delregvalue whatever " + subkey + " Gone"), std::optional<DWORD>(0));
    EXPECT_FALSE(GetRegDword(HKEY_CURRENT_USER, subkey, "Gone").has_value());
    EXPECT_TRUE(GetRegDword(HKEY_CURRENT_USER, subkey, "Stays").has_value());
    EXPECT_EQ(RunPallix("-delregvalue hkcu " + subkey + "\\Missing Gone"), std::optional<DWORD>(0));
}

// Deleting a key needs no right on its parent: a parent that may only be read must not stop it.
TEST_F(RegistrySwitches, KeyBelowAReadOnlyParentIsDeleted) {
    const std::string parent = subkey + "\\Guarded";
    SetRegDword(HKEY_CURRENT_USER, parent + "\\Leaf\\Deep", "Value", 1);
    SetRegDword(HKEY_CURRENT_USER, parent + "\\Kept", "Value", 1);
    ReadOnlyKey guard(HKEY_CURRENT_USER, parent);
    ASSERT_TRUE(guard.ok()) << "the system does not enforce a key's security";

    EXPECT_EQ(RunPallix("-delregkey hkcu " + parent + "\\Leaf"), std::optional<DWORD>(0));
    EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, parent + "\\Leaf"));
    EXPECT_TRUE(RegKeyExists(HKEY_CURRENT_USER, parent + "\\Kept"));
}

TEST(FileMove, CreatesOneFolderLevelAndReplacesAnExistingFile) {
    TempDir folder;
    ASSERT_TRUE(WriteTextFile(folder.File("source.txt"), "moved"));
    const std::string target = folder.File("new\\target.txt");
    EXPECT_EQ(RunPallix("-movefile " + Quote(folder.File("source.txt")) + " " + Quote(target)),
              std::optional<DWORD>(0));
    EXPECT_EQ(ReadTextFile(target), std::optional<std::string>("moved"));
    EXPECT_FALSE(PathExists(folder.File("source.txt")));

    ASSERT_TRUE(WriteTextFile(folder.File("second.txt"), "newer"));
    EXPECT_EQ(RunPallix("-movefile " + Quote(folder.File("second.txt")) + " " + Quote(target)),
              std::optional<DWORD>(0));
    EXPECT_EQ(ReadTextFile(target), std::optional<std::string>("newer"));

    // Only the last level is made: with its parent missing nothing moves.
    ASSERT_TRUE(WriteTextFile(folder.File("third.txt"), "stays"));
    EXPECT_EQ(RunPallix("-movefile " + Quote(folder.File("third.txt")) + " " +
                        Quote(folder.File("a\\b\\third.txt"))),
              std::optional<DWORD>(0));
    EXPECT_TRUE(PathExists(folder.File("third.txt")));
    EXPECT_FALSE(PathExists(folder.File("a")));

    // A missing source leaves the destination as it was.
    EXPECT_EQ(RunPallix("-movefile " + Quote(folder.File("none.txt")) + " " + Quote(target)),
              std::optional<DWORD>(0));
    EXPECT_EQ(ReadTextFile(target), std::optional<std::string>("newer"));
}

TEST(FileMove, BareDestinationNameLandsInTheCurrentFolder) {
    TempDir source_folder, current;
    ASSERT_TRUE(WriteTextFile(source_folder.File("bare.txt"), "bare"));
    Process::Options options;
    options.current_dir = current.path();
    EXPECT_EQ(RunToEnd(Quote(PallixPath()) + " -movefile " + Quote(source_folder.File("bare.txt")) +
                           " renamed.txt",
                       30000, options),
              std::optional<DWORD>(0));
    EXPECT_EQ(ReadTextFile(current.File("renamed.txt")), std::optional<std::string>("bare"));
}

TEST(RunIe, StartsTheRegisteredBrowserWithTheQuotedPathAndTheArgument) {
    TempDir folder;
    ASSERT_TRUE(CopyInto(Join(DoublesDir(), "iexplore.exe"), folder.path()));
    const std::string browser = folder.File("iexplore.exe");
    const std::string key = "Applications\\iexplore.exe\\shell\\open\\command";
    ScopedRegValue restore(HKEY_CLASSES_ROOT, key, "");
    SetRegString(HKEY_CLASSES_ROOT, key, "", "\"" + browser + "\" %1");

    // The browsers Pallix starts; they stay open until asked, so each round ends its own.
    ProcessOwner started;
    const std::string recorded = browser + ".cmdline.txt";
    auto started_with = [&](const std::string& arguments) -> std::optional<std::string> {
        DeleteFileA(recorded.c_str());
        const auto code = RunPallix(arguments);
        // Pallix has started the browser before it ends: it runs by now, record or not.
        started.OwnCopiesOf(browser);
        auto record = WaitForStartRecord(recorded, 10000);
        if (record) started.Own(record->pid, browser);
        started.EndAll();
        if (code != std::optional<DWORD>(0) || !record) return std::nullopt;
        return record->command_line;
    };
    EXPECT_EQ(started_with("-runie http://start.example/"),
              std::optional<std::string>("\"" + browser + "\" http://start.example/"));
    EXPECT_EQ(started_with("-runie \"two words\" ignored"),
              std::optional<std::string>("\"" + browser + "\" two words"));
    EXPECT_EQ(started_with("-runie"), std::optional<std::string>("\"" + browser + "\""));

    // Fewer than two quotes: no browser path, nothing starts.
    SetRegString(HKEY_CLASSES_ROOT, key, "", browser + " %1");
    DeleteFileA(recorded.c_str());
    EXPECT_EQ(RunPallix("-runie http://start.example/"), std::optional<DWORD>(0));
    EXPECT_EQ(started.OwnCopiesOf(browser), 0u);
    EXPECT_FALSE(PathExists(recorded));
}

TEST(Integrity, LevelsReadAsHighWhereTheyCannotBeRead) {
    DWORD level = 0;
    // Wine starts every process elevated.
    EXPECT_EQ(pallix::IntegrityLevelOf(GetCurrentProcessId(), level), S_OK);
    EXPECT_EQ(level, pallix::kHighIntegrity);
    level = 0;
    EXPECT_EQ(pallix::IntegrityLevelOf(0, level), S_OK);  // no such process
    EXPECT_EQ(level, pallix::kHighIntegrity);
    EXPECT_EQ(pallix::BrowserPathFromCommand(L"\"C:\\a b\\ie.exe\" -x \"%1\""),
              L"C:\\a b\\ie.exe\" -x \"%1");
    EXPECT_EQ(pallix::BrowserPathFromCommand(L"\"C:\\ie.exe\" %1"), L"C:\\ie.exe");
    EXPECT_EQ(pallix::BrowserPathFromCommand(L"C:\\ie.exe\" %1"), L"");
    EXPECT_EQ(pallix::BrowserPathFromCommand(L""), L"");
}

TEST(Integrity, LaunchAtEqualLevelsStartsThePlainWay) {
    TempDir folder;
    ASSERT_TRUE(CopyInto(Join(DoublesDir(), "iexplore.exe"), folder.path()));
    const std::string path = folder.File("iexplore.exe");
    const std::wstring browser(path.begin(), path.end());
    ProcessOwner started;
    const HRESULT result =
        pallix::LaunchAtShellIntegrity(browser, L"\"" + browser + L"\" --tabs 0 plain");
    started.OwnCopiesOf(path);
    EXPECT_EQ(result, S_OK);
    const auto record = WaitForStartRecord(path + ".cmdline.txt", 10000);
    ASSERT_TRUE(record.has_value());
    EXPECT_TRUE(started.Own(record->pid, path));
    EXPECT_EQ(record->command_line, "\"" + path + "\" --tabs 0 plain");
    started.EndAll();

    const HRESULT missing = pallix::LaunchAtShellIntegrity(L"C:\\no\\such\\program.exe", L"x");
    EXPECT_TRUE(missing == HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND) ||
                missing == HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND))
        << std::hex << missing;
}

// Wine reads every process as high, so the decision is driven here with the levels given.
TEST(Integrity, HighUnderAMediumShellStartsWithTheShellsToken) {
    TempDir folder;
    ASSERT_TRUE(CopyInto(Join(DoublesDir(), "iexplore.exe"), folder.path()));
    const std::string path = folder.File("iexplore.exe");
    const std::wstring browser(path.begin(), path.end());
    const std::string recorded = path + ".cmdline.txt";
    ProcessOwner started;
    Process shell;
    ASSERT_TRUE(StartDoubleCopy(shell, folder, "shell.exe", "--class Progman --title Program"));

    HRESULT result = pallix::LaunchForLevels(shell.pid(), pallix::kMediumIntegrity,
                                             pallix::kHighIntegrity, browser,
                                             L"\"" + browser + L"\" --tabs 1 token");
    started.OwnCopiesOf(path);
    EXPECT_EQ(result, S_OK);
    const auto record = WaitForStartRecord(recorded, 10000);
    ASSERT_TRUE(record.has_value());
    EXPECT_TRUE(started.Own(record->pid, path));
    EXPECT_EQ(record->command_line, "\"" + path + "\" --tabs 1 token");
    started.EndAll();

    // A medium Pallix under a high shell may not hand anything down: nothing starts.
    DeleteFileA(recorded.c_str());
    result = pallix::LaunchForLevels(shell.pid(), pallix::kHighIntegrity, pallix::kMediumIntegrity,
                                     browser, L"\"" + browser + L"\"");
    EXPECT_EQ(started.OwnCopiesOf(path), 0u);
    EXPECT_EQ(result, E_ACCESSDENIED);
    // A shell that cannot be opened fails the token path without a fallback.
    result = pallix::LaunchForLevels(0, pallix::kMediumIntegrity, pallix::kHighIntegrity, browser,
                                     L"\"" + browser + L"\"");
    EXPECT_EQ(started.OwnCopiesOf(path), 0u);
    EXPECT_TRUE(FAILED(result));
    EXPECT_FALSE(PathExists(recorded));
}
