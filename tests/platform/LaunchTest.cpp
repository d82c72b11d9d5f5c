// Launching: the waiting launchers keep the calling thread's messages flowing and report the
// child's identity; the rights checks answer by token and by Windows version; the verb is
// "open" where the system has no elevation; the integrity launchers pass the command line, and
// the product started after an update does not keep the updater's elevated rights.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>

#include "tests/support/LoopbackServer.h"
#include "tests/support/TestSupport.h"
#include "updater/platform/Launch.h"

using namespace testsupport;

namespace {

std::string RecorderPath() { return Join(DoublesDir(), "PlatformRecorder.exe"); }
std::string ProbePath() { return Join(DoublesDir(), "PlatformProbe.exe"); }

// The probe's answer bits (see the probe).
constexpr DWORD kElevated = 1, kVista = 2, kXp = 4, kLow = 8;

// The program file a process runs (the headers here are XP's, which lack the call).
std::string ImageOf(HANDLE process) {
    typedef BOOL(WINAPI * QueryImageFn)(HANDLE, DWORD, LPSTR, PDWORD);
    auto query = reinterpret_cast<QueryImageFn>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "QueryFullProcessImageNameA")));
    char path[MAX_PATH * 2] = {};
    DWORD size = sizeof(path);
    return query && query(process, 0, path, &size) ? std::string(path, size) : "";
}

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

// A folder with a blank in its name, as "C:\Program Files\..." has, and a program planted where
// an unquoted command line would be looked for first: "<temp>\Platform.exe" before
// "<temp>\Platform Files\PlatformRecorder.exe".
TEST_F(Launching, IntegrityLaunchersQuoteAProgramPathWithABlank) {
    const std::string folder = temp.File("Platform Files");
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    ASSERT_TRUE(CopyInto(RecorderPath(), folder));
    ASSERT_TRUE(CopyInto(ProbePath(), temp.path(), "Platform.exe"));
    const std::string program = Join(folder, "PlatformRecorder.exe");

    HANDLE low = RunAsLowIntegrity(program, "/SendLog http://h/log?a=1");
    children.Own(low);
    ASSERT_NE(low, nullptr);
    EXPECT_EQ(ImageOf(low), program);
    EXPECT_EQ(WaitForSingleObject(low, 10000), WAIT_OBJECT_0);
    TerminateProcess(low, 1);
    CloseHandle(low);
    EXPECT_NE(Record().find("cmd=\"" + program + "\" /SendLog http://h/log?a=1\n"), std::string::npos)
        << Record();

    DeleteFileA(record.c_str());
    HANDLE medium = RunAsMediumIntegrity(program);
    children.Own(medium);
    ASSERT_NE(medium, nullptr);
    EXPECT_EQ(ImageOf(medium), program);
    EXPECT_EQ(WaitForSingleObject(medium, 10000), WAIT_OBJECT_0);
    TerminateProcess(medium, 1);
    CloseHandle(medium);
    EXPECT_NE(Record().find("cmd=\"" + program + "\" \n"), std::string::npos) << Record();

    HANDLE missing = RunAsLowIntegrity(temp.File("missing.exe"), "");
    children.Own(missing);
    EXPECT_EQ(missing, nullptr);
    if (missing) CloseHandle(missing);
    HANDLE missing_medium = RunAsMediumIntegrity(temp.File("missing.exe"));
    children.Own(missing_medium);
    EXPECT_EQ(missing_medium, nullptr);
    if (missing_medium) CloseHandle(missing_medium);
}

// The start-page worker's "/SendLog" copy of Norvane, installed in a folder with a blank: the
// copy must be the one started and see its own switch, or it ends with 0 and nothing is sent.
// (Windows passes an unquoted line on as it stands, so the copy would see "Files\Norvane.exe" as
// its switch; Wine quotes the program it found, which the planted program shows instead.)
TEST_F(Launching, LowIntegrityNorvaneInAFolderWithABlankSendsItsLog) {
    LoopbackServer server;
    ASSERT_TRUE(server.ok());
    server.Serve("/log", "ok");
    const std::string folder = temp.File("Norvane Files");
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    ASSERT_TRUE(CopyInto(Join(BinDir(), "Norvane.exe"), folder));
    ASSERT_TRUE(CopyInto(RecorderPath(), temp.path(), "Norvane.exe"));

    HANDLE copy = RunAsLowIntegrity(Join(folder, "Norvane.exe"), "/SendLog " + server.Url("/log?a=1"));
    children.Own(copy);
    ASSERT_NE(copy, nullptr);
    const DWORD waited = WaitForSingleObject(copy, 20000);
    DWORD code = 0;
    GetExitCodeProcess(copy, &code);
    TerminateProcess(copy, 99);
    CloseHandle(copy);
    EXPECT_EQ(waited, WAIT_OBJECT_0);
    EXPECT_EQ(code, 1u) << "1 is sent, 2 failed";
    EXPECT_EQ(server.RequestsFor("/log").size(), 1u);
    EXPECT_EQ(Record(), "") << "the planted program ran";
}

TEST_F(Launching, ShellFailuresKeepTheirOwnCode) {
    // No program is associated with this kind of file; this file is no program at all.
    const std::string unassociated = temp.File("notes." + UniqueName("none"));
    ASSERT_TRUE(WriteTextFile(unassociated, "text"));
    const std::string broken = temp.File("broken.exe");
    ASSERT_TRUE(WriteTextFile(broken, "not a program"));
    for (bool elevate : {false, true}) {
        SCOPED_TRACE(elevate ? "runas" : "open");
        EXPECT_EQ(ShellExecuteAndWait(nullptr, unassociated, "", false, elevate), SE_ERR_NOASSOC);
        EXPECT_EQ(ShellExecuteAndWait(nullptr, broken, "", false, elevate), ERROR_BAD_FORMAT);
    }
}

// What the shell reports when it cannot start a program, as the elevated hand-over reads it:
// 5 stops with "elevation refused", anything else at or below 32 carries on in this process.
TEST(ShellFailure, OnlyACancelledPromptReadsAsRefusal) {
    EXPECT_EQ(ShellFailureResult(SE_ERR_ACCESSDENIED, ERROR_CANCELLED), SE_ERR_ACCESSDENIED);
    EXPECT_EQ(ShellFailureResult(0, ERROR_CANCELLED), SE_ERR_ACCESSDENIED);
    EXPECT_EQ(ShellFailureResult(42, ERROR_CANCELLED), SE_ERR_ACCESSDENIED);

    EXPECT_EQ(ShellFailureResult(SE_ERR_FNF, ERROR_FILE_NOT_FOUND), SE_ERR_FNF);
    EXPECT_EQ(ShellFailureResult(SE_ERR_NOASSOC, ERROR_NO_ASSOCIATION), SE_ERR_NOASSOC);
    EXPECT_EQ(ShellFailureResult(ERROR_BAD_FORMAT, ERROR_BAD_EXE_FORMAT), ERROR_BAD_FORMAT);
    // Without a code of the shell's own, or with a denial nobody asked the user about, the
    // result is still a failure of its own kind: never success, never "missing", never "refused".
    for (int code : {0, -1, 33, 42, SE_ERR_ACCESSDENIED}) {
        for (DWORD error : {DWORD(ERROR_SUCCESS), DWORD(ERROR_ACCESS_DENIED),
                            DWORD(ERROR_NOT_ENOUGH_MEMORY), DWORD(740) /* elevation required */}) {
            const int result = ShellFailureResult(code, error);
            EXPECT_GT(result, 0) << code << " / " << error;
            EXPECT_LE(result, 32) << code << " / " << error;
            EXPECT_NE(result, SE_ERR_ACCESSDENIED) << code << " / " << error;
        }
    }
}

TEST(Rights, ThisProcessIsAnElevatedWindows7One) {
    EXPECT_TRUE(IsVistaOrLater());
    EXPECT_TRUE(IsPostVistaMinorVersion());  // 6.1
    EXPECT_TRUE(IsXpOrLater());
    EXPECT_TRUE(IsProcessElevated());
    EXPECT_FALSE(IsLowIntegrity());
}

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

// The product started after an update must not inherit the elevated Norvane's administrator
// rights: lowering only the integrity label (which Wine does not even enforce) leaves them.
TEST(Rights, ProductStartsWithoutTheElevatedRights) {
    HANDLE product = RunAsMediumIntegrity(ProbePath());
    ASSERT_NE(product, nullptr);
    const DWORD waited = WaitForSingleObject(product, 20000);
    DWORD rights = 0;
    GetExitCodeProcess(product, &rights);
    TerminateProcess(product, 255);
    CloseHandle(product);
    ASSERT_EQ(waited, WAIT_OBJECT_0);
    EXPECT_EQ(rights, kVista | kXp) << "elevated or low";

    // A Norvane that is not elevated has no rights to give away and starts it as written.
    Process::Options limited;
    limited.limited_token = true;
    EXPECT_EQ(RunToEnd(Quote(ProbePath()) + " medium " + Quote(ProbePath()), 30000, limited),
              std::optional<DWORD>(kVista | kXp));
}

// The desktop shell's token is the second source; Wine has no shell window, so the step is shown
// with the token of another process that runs with the limited token, as the shell would.
TEST(Rights, ProductCanStartWithAnotherProcesssToken) {
    Process::Options limited;
    limited.limited_token = true;
    Process holder;
    ASSERT_TRUE(holder.Start(Quote(RecorderPath()) + " --sleep=30000", limited));
    HANDLE product = RunWithTokenOfProcess(holder.pid(), Quote(ProbePath()) + " rights");
    ASSERT_NE(product, nullptr);
    const DWORD waited = WaitForSingleObject(product, 20000);
    DWORD rights = 0;
    GetExitCodeProcess(product, &rights);
    TerminateProcess(product, 255);
    CloseHandle(product);
    ASSERT_EQ(waited, WAIT_OBJECT_0);
    EXPECT_EQ(rights, kVista | kXp);

    EXPECT_EQ(RunWithTokenOfProcess(0, Quote(ProbePath()) + " rights"), nullptr);
}

// What runs after an update (agent, cleaner, product, browser) is started from an elevated
// copy: each must report a token without elevation, read from the program itself.
class ForUser : public Launching {
protected:
    // The recording stand-in as `name` in the test's folder.
    std::string Program(const std::string& name) {
        EXPECT_TRUE(CopyInto(Join(DoublesDir(), "RecordedProgram.exe"), temp.path(), name));
        return temp.File(name);
    }
    // The stand-in's call records (pid, elevated, cmd), once `count` have appeared.
    std::vector<std::string> Calls(const std::string& program, size_t count) {
        std::vector<std::string> records;
        WaitUntil(
            [&] {
                records.clear();
                WIN32_FIND_DATAA found;
                HANDLE search = FindFirstFileA((program + ".*.call").c_str(), &found);
                if (search == INVALID_HANDLE_VALUE) return false;
                do {
                    records.push_back(ReadTextFile(temp.File(found.cFileName)).value_or(""));
                } while (FindNextFileA(search, &found));
                FindClose(search);
                return records.size() >= count;
            },
            20000);
        for (const std::string& record : records) {
            const size_t at = record.find("pid=");
            if (at != std::string::npos) {
                children.Own(std::strtoul(record.c_str() + at + 4, nullptr, 10), program);
            }
        }
        return records;
    }
};

TEST_F(ForUser, ProgramsStartWithTheUsersTokenNotTheElevatedOne) {
    ASSERT_TRUE(IsProcessElevated()) << "the test needs Wine's elevated start";
    const std::string agent = Program("Dravel.exe");
    ASSERT_TRUE(StartForUser(agent, "/AlwaysOnTop Ostrey"));
    auto calls = Calls(agent, 1);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_NE(calls[0].find("elevated=0"), std::string::npos) << calls[0];
    EXPECT_NE(calls[0].find("cmd=\"" + agent + "\" /AlwaysOnTop Ostrey"), std::string::npos)
        << calls[0];

    EXPECT_FALSE(StartForUser(temp.File("missing.exe"), "-fb"));
    EXPECT_FALSE(StartForUser("", "-fb"));
}

// The browser is started through its own command with the user's token; only web addresses.
TEST_F(ForUser, WebPagesOpenInTheUsersBrowserWithTheUsersToken) {
    ASSERT_TRUE(IsProcessElevated()) << "the test needs Wine's elevated start";
    const std::string browser = Program("Browser.exe");
    ScopedRegTree command(HKEY_CLASSES_ROOT, "http\\shell\\open\\command", View::Own);
    ASSERT_TRUE(SetRegString(HKEY_CLASSES_ROOT, "http\\shell\\open\\command", "",
                             Quote(browser) + " -url \"%1\"", View::Own));

    for (const char* refused : {"file:///C:/Windows/system32/cmd.exe", "\\\\server\\share\\a.exe",
                                "javascript:alert(1)", "http://partner.example/a\" -x \"b"}) {
        EXPECT_FALSE(OpenWebPageForUser(refused)) << refused;
    }
    ASSERT_TRUE(OpenWebPageForUser("http://partner.example/page?a=1&b=%1"));
    auto calls = Calls(browser, 1);
    ASSERT_EQ(calls.size(), 1u) << "only the web address reached the browser";
    EXPECT_NE(calls[0].find("elevated=0"), std::string::npos) << calls[0];
    EXPECT_NE(calls[0].find(" -url \"http://partner.example/page?a=1&b=%1\""), std::string::npos)
        << calls[0];
}

TEST(BrowserCommand, TheAddressTakesThePlaceholderAndNothingMore) {
    const std::string url = "http://a.example/x?y=%1&z=%L";
    EXPECT_EQ(BrowserCommandFor("\"C:\\B\\b.exe\" -- \"%1\"", url),
              "\"C:\\B\\b.exe\" -- \"" + url + "\"");
    EXPECT_EQ(BrowserCommandFor("b.exe %L", url), "b.exe " + url);
    EXPECT_EQ(BrowserCommandFor("b.exe", url), "b.exe \"" + url + "\"");
    EXPECT_EQ(BrowserCommandFor("b.exe %1", "http://a.example/\" -evil"), "");
    EXPECT_EQ(BrowserCommandFor("b.exe %1", "http://a.example/ x"), "");
    EXPECT_EQ(BrowserCommandFor("b.exe %1", "http://a.example/\tx"), "");
    EXPECT_EQ(BrowserCommandFor("", url), "");
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
