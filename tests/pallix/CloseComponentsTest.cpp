// Closing the toolbar's components, daemons and browsers: the close message and code each gets,
// the waits, and what is left alone.
#include <gtest/gtest.h>

#include "helper/ComponentClose.h"
#include "tests/pallix/PallixTestSupport.h"

using namespace testsupport;
using namespace pallixtest;

namespace {

class CloseComponents : public ::testing::Test {
protected:
    TempDir folder;
    std::string record = folder.File("record.txt");
    std::string Record() { return ReadTextFile(record).value_or(""); }
    std::string Recording() { return " --record " + Quote(record); }
};

// The moment a process that has ended ended, in milliseconds of the system clock.
std::optional<ULONGLONG> EndedAt(HANDLE process) {
    FILETIME created, ended, kernel, user;
    if (WaitForSingleObject(process, 0) != WAIT_OBJECT_0 ||
        !GetProcessTimes(process, &created, &ended, &kernel, &user)) {
        return std::nullopt;
    }
    return ((static_cast<ULONGLONG>(ended.dwHighDateTime) << 32) | ended.dwLowDateTime) / 10000;
}

}  // namespace

TEST_F(CloseComponents, EachSwitchPostsItsCodeToItsWindowOnly) {
    struct Component {
        const char* switch_text;
        const char* double_options;
        const char* expected;
    };
    const Component components[] = {
        {"-closegrelby", "--class GrelbyClass --title Anything", "8100 5001 0\r\n"},
        {"-closescourel", "--class WendleScourelClass", "8100 5101 0\r\n"},
        {"-closemediadownloader", "--class WendleMediaDownloader", "8100 5201 0\r\n"},
        {"-closedownloadmanager", "--dialog-child TB_MEDIA_DOWNLOADER_COMMUNICATOR_WND",
         "8100 5301 0\r\n"},
        {"-closedictionary", "--class WendleDictionary", "8100 a002 0\r\n"},
        {"-closesimplejoin", "--class WendleSimpleJoin", "8100 a003 0\r\n"},
        {"-closetwitter", "--dialog-child WNDL_TWITTER", "8100 a008 0\r\n"},
    };
    for (const Component& component : components) {
        SCOPED_TRACE(component.switch_text);
        DeleteFileA(record.c_str());
        Process running;
        ASSERT_TRUE(
            StartDoubleCopy(running, folder, "component.exe", component.double_options + Recording()));
        DWORD elapsed = 0;
        EXPECT_EQ(RunPallix(component.switch_text, &elapsed), std::optional<DWORD>(0));
        EXPECT_EQ(running.Wait(3000), std::optional<DWORD>(kOrderlyExit));
        EXPECT_EQ(Record(), component.expected);
        // The component ended by itself: Pallix was not kept for its time limit.
        EXPECT_LT(elapsed, kComponentWaitMs / 2);
    }
}

TEST_F(CloseComponents, NothingRunningMeansNoWait) {
    // With nothing to find, the only waits a switch could make are for processes: a component's
    // or daemon's 20000 ms, or a browser's 5000 ms.
    const std::pair<const char*, DWORD> switches[] = {
        {"-closegrelby", kComponentWaitMs},
        {"-closescourel", kComponentWaitMs},
        {"-closemediadownloader", kComponentWaitMs},
        {"-closedownloadmanager", kComponentWaitMs},
        {"-closedictionary", kComponentWaitMs},
        {"-closesimplejoin", kComponentWaitMs},
        {"-closetwitter", kComponentWaitMs},
        {"-closedaemon", kComponentWaitMs},
        {"-closeallbrowser", kBrowserWaitMs},
        {"-uninstall", kComponentWaitMs},
    };
    for (const auto& entry : switches) {
        SCOPED_TRACE(entry.first);
        DWORD elapsed = 0;
        EXPECT_EQ(RunPallix(entry.first, &elapsed), std::optional<DWORD>(0));
        EXPECT_LT(elapsed, entry.second / 2);
    }
}

TEST_F(CloseComponents, DialogsWithoutTheChildClassAreLeftAlone) {
    Process plain;
    ASSERT_TRUE(
        StartDoubleCopy(plain, folder, "plain.exe", "--dialog-child SomethingElse" + Recording()));
    EXPECT_EQ(RunPallix("-closedownloadmanager"), std::optional<DWORD>(0));
    EXPECT_EQ(RunPallix("-closetwitter"), std::optional<DWORD>(0));
    EXPECT_TRUE(plain.Running());
    EXPECT_EQ(Record(), "");
}

TEST_F(CloseComponents, SlowComponentIsWaitedForAndNotTerminated) {
    Process slow;
    ASSERT_TRUE(StartDoubleCopy(slow, folder, "slow.exe",
                            "--class WendleDictionary --exit-delay 2000" + Recording()));
    DWORD elapsed = 0;
    EXPECT_EQ(RunPallix("-closedictionary", &elapsed), std::optional<DWORD>(0));
    EXPECT_GE(elapsed, 1800u);
    EXPECT_EQ(slow.Wait(1000), std::optional<DWORD>(kOrderlyExit));
}

TEST_F(CloseComponents, ComponentIgnoringTheMessageIsTerminatedAfterTwentySeconds) {
    Process stubborn;
    ASSERT_TRUE(StartDoubleCopy(stubborn, folder, "stubborn.exe",
                            "--class WendleSimpleJoin --ignore" + Recording()));
    DWORD elapsed = 0;
    EXPECT_EQ(RunPallix("-closesimplejoin", &elapsed), std::optional<DWORD>(0));
    EXPECT_GE(elapsed, 19500u);
    EXPECT_EQ(stubborn.Wait(2000), std::optional<DWORD>(0));
    EXPECT_EQ(Record(), "8100 a003 0\r\n");
}

TEST_F(CloseComponents, DaemonWithAnotherTitleIsNotADaemon) {
    Process impostor;
    ASSERT_TRUE(StartDoubleCopy(impostor, folder, "impostor.exe",
                            "--class WendleDaemonClass --title Other" + Recording()));
    EXPECT_EQ(RunPallix("-closedaemon"), std::optional<DWORD>(0));
    EXPECT_TRUE(impostor.Running());
    EXPECT_EQ(Record(), "");
}

TEST_F(CloseComponents, OnlyTheRunningDaemonAndItsMutexAreWaitedFor) {
    // The first daemon's mutex is held here: waiting for it would cost 3000 ms.
    HeldMutex first_mutex("WendleMutex");
    ASSERT_TRUE(first_mutex.held());
    Process second;
    ASSERT_TRUE(StartDoubleCopy(second, folder, "daemon2.exe",
                            "--class WendleDaemonClassA --mutex WendleMutexA --close-on 0x1001 "
                            "--exit-delay 500" +
                                Recording()));
    Process pallix;
    ASSERT_TRUE(pallix.Start(Quote(PallixPath()) + " -closedaemon further words"));
    EXPECT_EQ(pallix.Wait(60000), std::optional<DWORD>(0));
    EXPECT_EQ(second.Wait(1000), std::optional<DWORD>(kOrderlyExit));
    EXPECT_EQ(Record(), "8100 1 1\r\n8100 1001 1\r\n");
    // Measured from the daemon's end, so that how long Pallix takes to start does not count.
    const auto pallix_end = EndedAt(pallix.handle());
    const auto daemon_end = EndedAt(second.handle());
    ASSERT_TRUE(pallix_end && daemon_end);
    // The running daemon was waited for ...
    EXPECT_GE(*pallix_end, *daemon_end);
    // ... and the held mutex of the daemon that does not run was not.
    EXPECT_LT(*pallix_end - *daemon_end, kMutexWaitMs / 2);
}

TEST_F(CloseComponents, BothDaemonsAreAskedBeforeEitherIsWaitedFor) {
    Process first, second;
    ASSERT_TRUE(StartDoubleCopy(first, folder, "daemon1.exe",
                            "--class WendleDaemonClass --mutex WendleMutex --close-on 0x1001 "
                            "--exit-delay 3000" +
                                Recording()));
    // The second daemon notes whether the first one's window was still there when its own
    // close message came: it is, for the first daemon takes 3000 ms to end.
    ASSERT_TRUE(StartDoubleCopy(second, folder, "daemon2.exe",
                            "--class WendleDaemonClassA --mutex WendleMutexA --close-on 0x1001 "
                            "--exit-delay 1500 --note-window WendleDaemonClass" +
                                Recording()));
    EXPECT_EQ(RunPallix("-closedaemon"), std::optional<DWORD>(0));
    EXPECT_EQ(first.Wait(1000), std::optional<DWORD>(kOrderlyExit));
    EXPECT_EQ(second.Wait(1000), std::optional<DWORD>(kOrderlyExit));
    const std::string lines = Record();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), '\n'), 4) << lines;
    size_t asked_while_first_ran = 0;
    for (size_t at = lines.find(" WendleDaemonClass=open\r\n"); at != std::string::npos;
         at = lines.find(" WendleDaemonClass=open\r\n", at + 1)) {
        ++asked_while_first_ran;
    }
    EXPECT_EQ(asked_while_first_ran, 2u) << lines;
}

TEST_F(CloseComponents, UninstallClosesTheComponentsInItsOrder) {
    // The registry steps that follow the closes touch these.
    ScopedRegValue old_page(HKEY_CURRENT_USER, "SoftWare\\Quindel\\Wendle\\SmartPage",
                            "OldStartPage");
    ScopedRegValue user_provider(HKEY_CURRENT_USER, "Software\\Microsoft\\Internet Explorer\\Main",
                                 "New_Tab_Provider");
    ScopedRegValue machine_provider(
        HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Internet Explorer\\Main", "New_Tab_Provider");
    Process media, twitter, scourel, daemon;
    ASSERT_TRUE(
        StartDoubleCopy(media, folder, "media.exe", "--class WendleMediaDownloader" + Recording()));
    ASSERT_TRUE(
        StartDoubleCopy(twitter, folder, "twitter.exe", "--dialog-child WNDL_TWITTER" + Recording()));
    ASSERT_TRUE(StartDoubleCopy(daemon, folder, "daemon.exe",
                            "--class WendleDaemonClass --close-on 1" + Recording()));
    ASSERT_TRUE(
        StartDoubleCopy(scourel, folder, "scourel.exe", "--class WendleScourelClass" + Recording()));
    EXPECT_EQ(RunPallix("-uninstall"), std::optional<DWORD>(0));
    for (Process* p : {&media, &twitter, &scourel, &daemon}) {
        EXPECT_EQ(p->Wait(2000), std::optional<DWORD>(kOrderlyExit));
    }
    // Each close finishes its wait before the next begins, so the record shows the order.
    EXPECT_EQ(Record(), "8100 5101 0\r\n8100 1 1\r\n8100 1001 1\r\n8100 a008 0\r\n8100 5201 0\r\n");
}

TEST_F(CloseComponents, BrowserTabsAreClosedThenRemainingBrowsersTerminated) {
    BrowserVersion version("9.11.9600.18376");
    Process browser;
    ASSERT_TRUE(
        StartDoubleCopy(browser, folder, "iexplore.exe", "--tabs 2" + Recording(), "iexplore.exe"));
    EXPECT_EQ(RunPallix("-closeallbrowser"), std::optional<DWORD>(0));
    EXPECT_EQ(browser.Wait(2000), std::optional<DWORD>(kOrderlyExit));
    // From version 8 on only the tabs are asked; the frame goes with the last one.
    EXPECT_EQ(Record(), "tab close\r\ntab close\r\n");

    DeleteFileA(record.c_str());
    Process stubborn;
    ASSERT_TRUE(
        StartDoubleCopy(stubborn, folder, "IEXPLORE.EXE", "--ignore" + Recording(), "iexplore.exe"));
    DWORD elapsed = 0;
    EXPECT_EQ(RunPallix("-closeallbrowser", &elapsed), std::optional<DWORD>(0));
    EXPECT_GE(elapsed, 4500u);
    EXPECT_EQ(stubborn.Wait(2000), std::optional<DWORD>(0));
    EXPECT_EQ(Record(), "tab close\r\n");
}

TEST_F(CloseComponents, BeforeVersionEightTheFrameIsAskedToo) {
    BrowserVersion version("7.0.6000.16386");
    Process browser;
    ASSERT_TRUE(StartDoubleCopy(browser, folder, "iexplore.exe",
                            "--ie7 --tabs 1 --ignore" + Recording(), "iexplore.exe"));
    // Another program's browser-like window of a different file name is closed by its tabs but
    // never terminated.
    Process lookalike;
    ASSERT_TRUE(StartDoubleCopy(lookalike, folder, "myiexplore.exe", "--ie7 --tabs 1 --ignore",
                            "iexplore.exe"));
    EXPECT_EQ(RunPallix("-closeallbrowser"), std::optional<DWORD>(0));
    EXPECT_EQ(browser.Wait(2000), std::optional<DWORD>(0));
    EXPECT_EQ(Record(), "tab close\r\nframe close\r\n");
    EXPECT_TRUE(lookalike.Running());
}

TEST(CloseComponentWindow, StaleOrOwnWindowsCostNoWait) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = &DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "PallixOwnComponent";
    RegisterClassA(&wc);
    HWND own = CreateWindowA("PallixOwnComponent", "", WS_OVERLAPPED, 0, 0, 10, 10, nullptr,
                             nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(own, nullptr);
    const DWORD start = GetTickCount();
    // Our own process is never waited for (the wait could only run out and end us).
    pallix::CloseComponentWindow(own, 0x5001);
    DestroyWindow(own);
    // A window that went away between finding and closing has no owner to wait for.
    pallix::CloseComponentWindow(own, 0x5001);
    pallix::CloseComponentWindow(nullptr, 0x5001);
    EXPECT_LT(GetTickCount() - start, kComponentWaitMs / 2);
}
