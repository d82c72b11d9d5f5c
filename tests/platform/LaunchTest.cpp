// Launching: the waiting launchers keep the calling thread's messages flowing and report the
// child's identity; the rights checks answer by token and by Windows version; the verb is
// "open" where the system has no elevation; the integrity launchers pass the command line.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>

#include "tests/support/TestSupport.h"
#include "updater/platform/Launch.h"

using namespace testsupport;

namespace {

std::string RecorderPath() { return Join(DoublesDir(), "PlatformRecorder.exe"); }
std::string ProbePath() { return Join(DoublesDir(), "PlatformProbe.exe"); }

// Every child started during a test appends its pid and command line to this file.
class Launching : public ::testing::Test {
protected:
    void SetUp() override {
        record = temp.File("record.txt");
        SetEnvironmentVariableA("PLATFORM_RECORD_FILE", record.c_str());
    }
    void TearDown() override { SetEnvironmentVariableA("PLATFORM_RECORD_FILE", nullptr); }
    std::string Record() { return ReadTextFile(record).value_or(""); }
    DWORD RecordedPid() {
        const std::string text = Record();
        return text.rfind("pid=", 0) == 0 ? std::strtoul(text.c_str() + 4, nullptr, 10) : 0;
    }
    // Takes the children a launch has started, should the launcher have left one running: the
    // recorded ones by their ids, and any other copy of the recorder.
    void OwnChildren() {
        const std::string text = Record();
        for (size_t at = 0; (at = text.find("pid=", at)) != std::string::npos; at += 4) {
            if (at > 0 && text[at - 1] != '\n') continue;
            children.Own(std::strtoul(text.c_str() + at + 4, nullptr, 10), RecorderPath());
        }
        children.OwnCopiesOf(RecorderPath());
    }

    TempDir temp;
    std::string record;
    ProcessOwner children;
};

std::atomic<int> g_timer_ticks{0};
void CALLBACK CountTick(HWND, UINT, UINT_PTR, DWORD) { ++g_timer_ticks; }

TEST_F(Launching, ShellExecuteAndWaitKeepsTimersRunningAndReportsTheChild) {
    g_timer_ticks = 0;
    const UINT_PTR timer = SetTimer(nullptr, 0, 100, &CountTick);
    ASSERT_NE(timer, 0u);
    DWORD pid = 0;
    const int result = ShellExecuteAndWait(&pid, RecorderPath(), "--sleep=2500 --exit=3", true,
                                           false);
    OwnChildren();
    KillTimer(nullptr, timer);
    EXPECT_GT(result, 32);
    EXPECT_GT(g_timer_ticks.load(), 0) << "the thread's messages were not dispatched";
    EXPECT_NE(Record().find("--exit=3"), std::string::npos) << "returned before the child ran";
    EXPECT_EQ(pid, RecordedPid());
}

TEST_F(Launching, ShellExecuteAndWaitOfAMissingFileIsZero) {
    DWORD pid = 0;
    EXPECT_EQ(ShellExecuteAndWait(&pid, temp.File("missing.exe"), "", true, false), 0);
    EXPECT_EQ(ShellExecuteAndWait(nullptr, "\"" + temp.File("missing.exe") + "\"", "", false,
                                  true),
              0);
    EXPECT_EQ(pid, kNoProcessId);
    EXPECT_EQ(Record(), "");
}

TEST_F(Launching, WaitingKeepsAQuitMessageForTheApplication) {
    PostQuitMessage(0);
    const bool ran = RunProgram(RecorderPath(), "--sleep=300", true, false);
    OwnChildren();
    EXPECT_TRUE(ran);
    MSG message;
    EXPECT_TRUE(PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));

    PostQuitMessage(0);
    const int result = ShellExecuteAndWait(nullptr, RecorderPath(), "--sleep=1500", true, false);
    OwnChildren();
    EXPECT_GT(result, 32);
    EXPECT_TRUE(PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
}

TEST_F(Launching, RunProgramChecksOnlyAbsoluteDrivePaths) {
    EXPECT_FALSE(RunProgram("", "", false, false));
    EXPECT_FALSE(RunProgram(temp.File("missing.exe"), "", false, false));
    // A bare name is the shell's to find; this one does not exist anywhere.
    EXPECT_FALSE(RunProgram("no-such-program-" + UniqueName("x") + ".exe", "", false, false));
    const bool ran = RunProgram(RecorderPath(), "--first", true, false);
    OwnChildren();
    EXPECT_TRUE(ran);
    EXPECT_NE(Record().find("--first"), std::string::npos);
}

TEST_F(Launching, ProcessIdOfAHandle) {
    Process child;
    ASSERT_TRUE(child.Start(Quote(RecorderPath()) + " --sleep=2000"));
    EXPECT_EQ(GetProcessIdOf(child.handle()), child.pid());
    EXPECT_EQ(GetProcessIdOf(nullptr), kNoProcessId);
    EXPECT_EQ(GetProcessIdOf(GetCurrentProcess()), GetCurrentProcessId());
}

TEST_F(Launching, IntegrityLaunchersPassTheCommandLineUnquoted) {
    HANDLE low = RunAsLowIntegrity(RecorderPath(), "/SendLog http://h/log?a=1");
    children.Own(low);
    ASSERT_NE(low, nullptr);
    EXPECT_EQ(WaitForSingleObject(low, 10000), WAIT_OBJECT_0);
    CloseHandle(low);
    EXPECT_NE(Record().find("cmd=" + RecorderPath() + " /SendLog http://h/log?a=1\n"),
              std::string::npos)
        << Record();

    DeleteFileA(record.c_str());
    HANDLE medium = RunAsMediumIntegrity(RecorderPath());
    children.Own(medium);
    ASSERT_NE(medium, nullptr);
    EXPECT_EQ(WaitForSingleObject(medium, 10000), WAIT_OBJECT_0);
    CloseHandle(medium);
    EXPECT_NE(Record().find("cmd=" + RecorderPath() + " \n"), std::string::npos) << Record();

    HANDLE missing = RunAsLowIntegrity(temp.File("missing.exe"), "");
    children.Own(missing);
    EXPECT_EQ(missing, nullptr);
    if (missing) CloseHandle(missing);
}

TEST(Rights, ThisProcessIsAnElevatedWindows7One) {
    EXPECT_TRUE(IsVistaOrLater());
    EXPECT_TRUE(IsPostVistaMinorVersion());  // 6.1
    EXPECT_TRUE(IsXpOrLater());
    EXPECT_TRUE(IsProcessElevated());
    EXPECT_FALSE(IsLowIntegrity());
}

constexpr DWORD kElevated = 1, kVista = 2, kXp = 4, kLow = 8;

TEST(Rights, LimitedTokenIsNotElevated) {
    Process::Options limited;
    limited.limited_token = true;
    EXPECT_EQ(RunToEnd(Quote(ProbePath()) + " rights", 20000),
              std::optional<DWORD>(kElevated | kVista | kXp));
    auto answer = RunToEnd(Quote(ProbePath()) + " rights", 20000, limited);
    ASSERT_TRUE(answer.has_value());
    EXPECT_EQ(*answer & (kElevated | kLow), 0u);
    EXPECT_EQ(*answer & kVista, kVista);
}

// The probe under another name, with Wine told to report an older Windows for that name only.
class OlderWindows : public Launching {
protected:
    std::string ProbeAs(const std::string& version) {
        const std::string name = UniqueName("probe") + ".exe";
        EXPECT_TRUE(CopyInto(ProbePath(), temp.path(), name));
        const std::string key = "Software\\Wine\\AppDefaults\\" + name;
        keys.emplace_back(new ScopedRegTree(HKEY_CURRENT_USER, key, View::Own));
        EXPECT_TRUE(SetRegString(HKEY_CURRENT_USER, key, "Version", version, View::Own));
        return temp.File(name);
    }

    // A document type whose "open" and "runas" commands start the recorder with the verb.
    void RegisterDocumentType() {
        const std::string type = UniqueName("PlatformDoc");
        extension = "." + type;
        keys.emplace_back(new ScopedRegTree(HKEY_CLASSES_ROOT, extension, View::Own));
        keys.emplace_back(new ScopedRegTree(HKEY_CLASSES_ROOT, type, View::Own));
        ASSERT_TRUE(SetRegString(HKEY_CLASSES_ROOT, extension, "", type, View::Own));
        for (const char* verb : {"open", "runas"}) {
            ASSERT_TRUE(SetRegString(HKEY_CLASSES_ROOT, type + "\\shell\\" + verb + "\\command", "",
                                     Quote(RecorderPath()) + " verb=" + verb + " \"%1\"",
                                     View::Own));
        }
        document = temp.File("doc" + extension);
        ASSERT_TRUE(WriteTextFile(document, "doc"));
    }

    std::vector<std::unique_ptr<ScopedRegTree>> keys;
    std::string extension, document;
};

TEST_F(OlderWindows, XpAnswersElevatedWithoutVistaChecks) {
    auto answer = RunToEnd(Quote(ProbeAs("winxp")) + " rights", 20000);
    EXPECT_EQ(answer, std::optional<DWORD>(kElevated | kXp));
    Process::Options limited;
    limited.limited_token = true;
    // Before Vista nobody is "not elevated": no elevation is ever attempted there.
    EXPECT_EQ(RunToEnd(Quote(ProbeAs("winxp")) + " rights", 20000, limited),
              std::optional<DWORD>(kElevated | kXp));
}

TEST_F(OlderWindows, ElevationIsAskedWithRunasOnlyWhereItExists) {
    RegisterDocumentType();
    const std::string xp_probe = ProbeAs("winxp");

    auto pid = RunToEnd(Quote(ProbePath()) + " shellexec " + Quote(document), 20000);
    OwnChildren();
    ASSERT_TRUE(pid.has_value());
    EXPECT_GT(*pid, 32u);
    EXPECT_NE(Record().find("verb=runas"), std::string::npos) << Record();
    EXPECT_EQ(*pid, RecordedPid());

    DeleteFileA(record.c_str());
    pid = RunToEnd(Quote(xp_probe) + " shellexec " + Quote(document), 20000);
    OwnChildren();
    ASSERT_TRUE(pid.has_value());
    EXPECT_EQ(*pid, RecordedPid());  // XP's GetProcessId
    EXPECT_NE(Record().find("verb=open"), std::string::npos) << Record();

    DeleteFileA(record.c_str());
    EXPECT_EQ(RunToEnd(Quote(xp_probe) + " run " + Quote(document), 20000),
              std::optional<DWORD>(1));
    OwnChildren();
    EXPECT_NE(Record().find("verb=open"), std::string::npos) << Record();

    DeleteFileA(record.c_str());
    EXPECT_EQ(RunToEnd(Quote(ProbePath()) + " run " + Quote(document), 20000),
              std::optional<DWORD>(1));
    OwnChildren();
    EXPECT_NE(Record().find("verb=runas"), std::string::npos) << Record();
}

TEST_F(OlderWindows, Server2003TakesTheProcessIdFromTheNativeQuery) {
    RegisterDocumentType();
    auto pid = RunToEnd(Quote(ProbeAs("win2003")) + " shellexec " + Quote(document), 20000);
    OwnChildren();
    ASSERT_TRUE(pid.has_value());
    EXPECT_GT(*pid, 32u);
    EXPECT_EQ(*pid, RecordedPid());
}

}  // namespace
