// The crash-report library around Pallix's run: when it is loaded, what it is told, the
// callback's log path, and the order of the calls.
#include <gtest/gtest.h>

#include "helper/CrashReportGuard.h"
#include "tests/pallix/PallixTestSupport.h"

using namespace testsupport;
using namespace pallixtest;

namespace {

const char kToolbarModuleKey[] = "CLSID\\{38FBE93D-4CA1-4414-AF6A-94920C5BD8DA}";
const char kLowWendle[] = "Software\\AppDataLow\\SoftWare\\Quindel\\Wendle";

std::string TodaysLowLog() {
    char temp[MAX_PATH + 1] = {};
    GetTempPathA(MAX_PATH + 1, temp);
    SYSTEMTIME now = {};
    GetLocalTime(&now);
    char name[32];
    snprintf(name, sizeof(name), "%04d%02d%02d.log", now.wYear, now.wMonth, now.wDay);
    return std::string(temp) + "Low\\Quindel\\Wendle\\Log\\" + name;
}

// Pallix copied into a private folder, with a crash-report library double beside it.
class CrashReport : public ::testing::Test {
protected:
    TempDir folder;
    std::string record = folder.File("rupel-record.txt");
    LowSettingsRoot low_root;
    ScopedRegValue collect{HKEY_CURRENT_USER, kLowWendle, "CollectUserLog"};
    ScopedRegTree module_cleanup{HKEY_CLASSES_ROOT, kToolbarModuleKey};

    void SetUp() override {
        ASSERT_TRUE(CopyInto(PallixPath(), folder.path()));
        SetRegString(HKEY_CLASSES_ROOT, std::string(kToolbarModuleKey) + "\\InprocServer32", "",
                     Join(DoublesDir(), "WendleToolbar.dll"));
    }
    void UseLibrary(const std::string& double_name) {
        ASSERT_TRUE(CopyInto(Join(DoublesDir(), double_name), folder.path(), "Rupel.dll"));
    }
    std::optional<DWORD> Run(const std::string& arguments, bool invoke_callback = false) {
        Process::Options options;
        options.extra_environment = {"RUPEL_DOUBLE_RECORD=" + record};
        if (invoke_callback) options.extra_environment.push_back("RUPEL_DOUBLE_CALLBACK=1");
        return RunToEnd(Quote(folder.File("Pallix.exe")) + " " + arguments, 30000, options);
    }
    std::string Record() { return ReadTextFile(record).value_or(""); }
};

}  // namespace

TEST_F(CrashReport, LibraryBracketsTheRunWithTheToolbarsNameAndVersion) {
    UseLibrary("Rupel.dll");
    const std::string subkey = "Software\\" + UniqueName("CrashRun");
    ScopedRegTree cleanup(HKEY_CURRENT_USER, subkey);
    EXPECT_EQ(Run("-regdword hkcu " + subkey + " Done 1"), std::optional<DWORD>(0));
    // The chore ran inside the bracket as usual.
    EXPECT_EQ(GetRegDword(HKEY_CURRENT_USER, subkey, "Done"), std::optional<DWORD>(1));
    EXPECT_EQ(Record(),
              "ProcessInitialize\r\n"
              "name=Wendle\r\n"
              "version=12, 7, 11, x kr\r\n"
              "folder=" +
                  folder.path() +
                  "\\\r\n"
                  "language=" +
                  folder.File("Rupel_KR.dll") +
                  "\r\n"
                  "callback=set\r\n"
                  "reserved=0,0,0\r\n"
                  "ThreadInitialize\r\n"
                  "ThreadFinalize\r\n"
                  "ProcessFinalize\r\n");
}

TEST_F(CrashReport, UnregisteredToolbarModuleLeavesOnlyTheRegionSuffix) {
    UseLibrary("Rupel.dll");
    DeleteRegTree(HKEY_CLASSES_ROOT, kToolbarModuleKey);
    EXPECT_EQ(Run("-closegrelby"), std::optional<DWORD>(0));
    EXPECT_NE(Record().find("version= kr\r\n"), std::string::npos) << Record();
}

TEST_F(CrashReport, CollectionSwitchedOffNeverLoadsTheLibrary) {
    UseLibrary("Rupel.dll");
    SetRegDword(HKEY_CURRENT_USER, kLowWendle, "CollectUserLog", 0);
    EXPECT_EQ(Run("-Rupel", true), std::optional<DWORD>(0));
    EXPECT_FALSE(PathExists(record));
    SetRegDword(HKEY_CURRENT_USER, kLowWendle, "CollectUserLog", 1);
    EXPECT_EQ(Run("-closegrelby"), std::optional<DWORD>(0));
    EXPECT_TRUE(PathExists(record));
}

TEST_F(CrashReport, LibraryWithoutThreadStartGetsOnlyTheProcessCall) {
    UseLibrary("Rupel_nothread.dll");
    EXPECT_EQ(Run("-closegrelby"), std::optional<DWORD>(0));
    const std::string lines = Record();
    EXPECT_EQ(lines.find("ProcessInitialize"), 0u) << lines;
    EXPECT_EQ(lines.find("ThreadInitialize"), std::string::npos);
    EXPECT_NE(lines.find("reserved=0,0,0\r\nThreadFinalize\r\nProcessFinalize\r\n"),
              std::string::npos)
        << lines;
}

TEST_F(CrashReport, CallbackAddsTodaysLogAndAnswersTwo) {
    UseLibrary("Rupel.dll");
    EXPECT_EQ(Run("-closegrelby", true), std::optional<DWORD>(0));
    EXPECT_NE(Record().find("AppendFile " + TodaysLowLog() + "\r\ncallback returned 2\r\n"),
              std::string::npos)
        << Record();

    // The reserved switch runs the same callback once.
    DeleteFileA(record.c_str());
    EXPECT_EQ(Run("-Rupel"), std::optional<DWORD>(0));
    EXPECT_NE(Record().find("ThreadInitialize\r\nAppendFile " + TodaysLowLog() + "\r\n"),
              std::string::npos)
        << Record();
}

TEST_F(CrashReport, MissingLibraryChangesNothing) {
    const std::string subkey = "Software\\" + UniqueName("NoLibrary");
    ScopedRegTree cleanup(HKEY_CURRENT_USER, subkey);
    EXPECT_EQ(Run("-regstring hkcu " + subkey + " Name text"), std::optional<DWORD>(0));
    EXPECT_EQ(GetRegString(HKEY_CURRENT_USER, subkey, "Name"), std::optional<std::string>("text"));
    EXPECT_FALSE(PathExists(record));
}

TEST(CrashCallback, AnswersZeroOnceCollectionIsTurnedOff) {
    LowSettingsRoot low_root;
    ScopedRegValue collect(HKEY_CURRENT_USER, kLowWendle, "CollectUserLog");
    SetRegDword(HKEY_CURRENT_USER, kLowWendle, "CollectUserLog", 0);
    EXPECT_EQ(pallix::CrashReportCallback(nullptr), 0);
    DeleteRegValue(HKEY_CURRENT_USER, kLowWendle, "CollectUserLog");
    // No library is loaded here: nothing to add to, and still the answer of a prepared report.
    EXPECT_EQ(pallix::CrashReportCallback(nullptr), 2);
}

TEST(LogLocation, VistaFormsNameTheLowTemporaryFolder) {
    char temp[MAX_PATH + 1] = {};
    GetTempPathA(MAX_PATH + 1, temp);
    const std::wstring expected = [&] {
        const std::string text = std::string(temp) + "Low\\Quindel\\Wendle";
        return std::wstring(text.begin(), text.end());
    }();
    EXPECT_EQ(pallix::ToolbarLogFolder(false), expected);
    // Outside the browser's protected mode both forms agree.
    EXPECT_FALSE(pallix::IsProtectedModeProcess());
    EXPECT_EQ(pallix::ToolbarLogFolder(true), expected);
    const std::string log = TodaysLowLog();
    EXPECT_EQ(pallix::TodaysLogPath(true), std::wstring(log.begin(), log.end()));
}

TEST(LogLocation, OnXpTheLogLiesUnderApplicationDataAndTheFolderIsMade) {
    // Wine reports Windows XP to one program when told so for its file name.
    TempDir folder;
    const std::string name = UniqueName("PallixXp") + ".exe";
    ASSERT_TRUE(CopyInto(PallixPath(), folder.path(), name));
    ASSERT_TRUE(CopyInto(Join(DoublesDir(), "Rupel.dll"), folder.path()));
    const std::string app_defaults = "Software\\Wine\\AppDefaults\\" + name;
    ScopedRegTree cleanup(HKEY_CURRENT_USER, app_defaults, View::View64);
    ASSERT_TRUE(SetRegString(HKEY_CURRENT_USER, app_defaults, "Version", "winxp", View::View64));

    char app_data[MAX_PATH] = {};
    ASSERT_TRUE(GetEnvironmentVariableA("APPDATA", app_data, MAX_PATH) > 0);
    const std::string wendle = std::string(app_data) + "\\Quindel\\Wendle";
    RemoveTree(wendle);
    ScopedRegValue collect(HKEY_CURRENT_USER, "SoftWare\\Quindel\\Wendle", "CollectUserLog");
    DeleteRegValue(HKEY_CURRENT_USER, "SoftWare\\Quindel\\Wendle", "CollectUserLog");

    const std::string record = folder.File("record.txt");
    Process::Options options;
    options.extra_environment = {"RUPEL_DOUBLE_RECORD=" + record, "RUPEL_DOUBLE_CALLBACK=1"};
    EXPECT_EQ(RunToEnd(Quote(folder.File(name)) + " -closegrelby", 30000, options),
              std::optional<DWORD>(0));
    SYSTEMTIME now = {};
    GetLocalTime(&now);
    char day[32];
    snprintf(day, sizeof(day), "%04d%02d%02d.log", now.wYear, now.wMonth, now.wDay);
    const std::string lines = ReadTextFile(record).value_or("");
    EXPECT_NE(lines.find("AppendFile " + wendle + "\\Log\\" + day), std::string::npos) << lines;
    EXPECT_TRUE(PathExists(wendle));
    RemoveTree(wendle);
}
