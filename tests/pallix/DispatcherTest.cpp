// The command line: which switch runs, with how many arguments, and that the run always ends
// with exit code 0.
#include <gtest/gtest.h>

#include <new>

#include "helper/Dispatcher.h"
#include "tests/pallix/PallixTestSupport.h"

using namespace testsupport;
using namespace pallixtest;

TEST(DispatcherRules, HiveWordsAndNumbers) {
    EXPECT_EQ(pallix::HiveWord(L"hklm"), HKEY_LOCAL_MACHINE);
    EXPECT_EQ(pallix::HiveWord(L"hkcu"), HKEY_CURRENT_USER);
    EXPECT_EQ(pallix::HiveWord(L"HKLM"), HKEY_CURRENT_USER);
    EXPECT_EQ(pallix::HiveWord(L"hklm "), HKEY_CURRENT_USER);
    EXPECT_EQ(pallix::HiveWord(L""), HKEY_CURRENT_USER);

    EXPECT_EQ(pallix::ReadDecimal(L"12abc"), 12);
    EXPECT_EQ(pallix::ReadDecimal(L"abc"), 0);
    EXPECT_EQ(pallix::ReadDecimal(L"   42"), 42);
    EXPECT_EQ(pallix::ReadDecimal(L"-7"), -7);
    EXPECT_EQ(pallix::ReadDecimal(L""), 0);
    EXPECT_EQ(pallix::ReadDecimal(L"99999999999999999999"), 2147483647);
    EXPECT_EQ(pallix::ReadDecimal(L"-99999999999999999999"), -2147483647 - 1);
    EXPECT_EQ(pallix::ReadDecimal(L"0x10"), 0);
}

TEST(DispatcherRules, EverySwitchIsKnownWithItsThreshold) {
    // A switch missing from the table, or with a lower threshold, would act on too few arguments.
    const std::pair<const wchar_t*, size_t> expected[] = {
        {L"-preinstall", 2},
        {L"-closeallbrowser", 2},
        {L"-regcontextmenu", 2},
        {L"-renamecustomkivuengine", 2},
        {L"-runie", 2},
        {L"-registsearchscope", 2},
        {L"-delcommonreg", 2},
        {L"-closedaemon", 2},
        {L"-closegrelby", 2},
        {L"-closescourel", 2},
        {L"-closedownloadmanager", 2},
        {L"-closemediadownloader", 2},
        {L"-closedictionary", 2},
        {L"-closesimplejoin", 2},
        {L"-closetwitter", 2},
        {L"-uninstall", 2},
        {L"-regstring", 6},
        {L"-regdword", 6},
        {L"-delregkey", 4},
        {L"-delregvalue", 5},
        {L"-movefile", 4},
        {L"-cleartoolbars", 2},
        {L"-Rupel", 2},
    };
    const auto& table = pallix::SwitchTable();
    ASSERT_EQ(table.size(), sizeof(expected) / sizeof(expected[0]));
    for (size_t i = 0; i < table.size(); ++i) {
        EXPECT_STREQ(table[i].literal, expected[i].first);
        EXPECT_EQ(table[i].minimum_count, expected[i].second);
    }
}

// A chore that throws ends there; Pallix still answers 0 and a later run is unaffected.
int g_chore_runs = 0;
void ThrowingChore(const pallix::Arguments&) {
    ++g_chore_runs;
    throw std::bad_alloc();
}

TEST(DispatcherRules, ChoreThatThrowsEndsWithZero) {
    const std::vector<pallix::SwitchEntry> table = {{L"-fail", 2, &ThrowingChore}};
    g_chore_runs = 0;
    EXPECT_EQ(pallix::Dispatch({L"pallix.exe", L"-fail"}, table), 0);
    EXPECT_EQ(pallix::Dispatch({L"pallix.exe", L"-fail"}, table), 0);
    EXPECT_EQ(g_chore_runs, 2);
}

class Dispatch : public ::testing::Test {
protected:
    TempDir folder;
    std::string record = folder.File("record.txt");
    std::string Record() { return ReadTextFile(record).value_or(""); }
};

TEST_F(Dispatch, UnknownEmptyOrMisspelledSwitchesDoNothing) {
    Process twitter;
    ASSERT_TRUE(StartDoubleCopy(twitter, folder, "twitter.exe",
                            "--dialog-child WNDL_TWITTER --record " + Quote(record)));
    for (const std::string arguments :
         {"", "\"\"", "-Closetwitter", "-CLOSETWITTER", "/closetwitter", "closetwitter",
          "-closetwitte", "-closetwitterx"}) {
        SCOPED_TRACE(arguments);
        EXPECT_EQ(RunPallix(arguments), std::optional<DWORD>(0));
    }
    EXPECT_TRUE(twitter.Running());
    EXPECT_EQ(Record(), "");
}

TEST_F(Dispatch, OnlyTheFirstOfTwoSwitchesRuns) {
    Process twitter;
    ASSERT_TRUE(StartDoubleCopy(twitter, folder, "twitter.exe",
                            "--dialog-child WNDL_TWITTER --record " + Quote(record)));
    EXPECT_EQ(RunPallix("-closedaemon -closetwitter"), std::optional<DWORD>(0));
    EXPECT_TRUE(twitter.Running());
    EXPECT_EQ(Record(), "");
    // Further words after a switch are ignored, not an obstacle.
    EXPECT_EQ(RunPallix("-closetwitter -closedaemon extra words"), std::optional<DWORD>(0));
    EXPECT_EQ(twitter.Wait(5000), std::optional<DWORD>(kOrderlyExit));
    EXPECT_EQ(Record(), "8100 a008 0\r\n");
}

TEST_F(Dispatch, RegistrySwitchBelowItsThresholdWritesNothing) {
    const std::string subkey = "Software\\" + UniqueName("PallixThreshold");
    ScopedRegTree cleanup(HKEY_CURRENT_USER, subkey);
    EXPECT_EQ(RunPallix("-regstring hkcu " + subkey + " Name"), std::optional<DWORD>(0));
    EXPECT_EQ(RunPallix("-regdword hkcu " + subkey + " Name"), std::optional<DWORD>(0));
    EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, subkey));
    SetRegString(HKEY_CURRENT_USER, subkey, "Keep", "yes");
    EXPECT_EQ(RunPallix("-delregkey hkcu"), std::optional<DWORD>(0));
    EXPECT_EQ(RunPallix("-delregvalue hkcu " + subkey), std::optional<DWORD>(0));
    EXPECT_EQ(GetRegString(HKEY_CURRENT_USER, subkey, "Keep"), std::optional<std::string>("yes"));
}

TEST_F(Dispatch, HugeOrOddCommandLinesEndAtOnceWithZero) {
    std::string huge = "-closegrelby";
    while (huge.size() < 30000) huge += " \"quoted words\" plain";
    DWORD elapsed = 0;
    EXPECT_EQ(RunPallix(huge, &elapsed), std::optional<DWORD>(0));
    // Nothing runs to be closed: the run ends without the component's time limit.
    EXPECT_LT(elapsed, kComponentWaitMs / 2);
    EXPECT_EQ(RunPallix(std::string(32000, 'x')), std::optional<DWORD>(0));
    EXPECT_EQ(RunPallix("\"-closegrelby"), std::optional<DWORD>(0));  // unbalanced quote
    EXPECT_EQ(RunPallix("\"\" \"\" \"\""), std::optional<DWORD>(0));
}
