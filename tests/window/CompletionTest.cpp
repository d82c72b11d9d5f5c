// The end of an update and the hand-over to an elevated copy, driven through the real window.
// The completion page is reached the way an update reaches it: the product's setup (its
// stand-in) reports its end once the test has done what the setup would do meanwhile.
#include <gtest/gtest.h>

#include "resources/ResourceIds.h"
#include "tests/window/UpdateWindowFixture.h"
#include "updater/app/HandOver.h"
#include "updater/app/PageFlow.h"
#include "updater/data/UpdateInfo.h"

using namespace testsupport;
using namespace windowtest;

namespace {

// What the window logs for an update without offers, as the query of the log address.
std::string ExpectedLog(const std::string& product, const std::string& new_locale,
                        const std::string& new_license) {
    return "mName=&mVer=&mShown=0&mDefault=0&mUser=0&mState=0"
           "&eName=&eVer=&eShown=0&eDefault=0&eUser=0&eState=0"
           "&uName=" + product + "&uOldVer=" + kInstalledVersion +
           "&uOldLocale=ko-KR&uOldLicense=Free%20Home&uNewVer=" + kNewVersion +
           "&uNewLocale=" + new_locale + "&uNewLicense=" + new_license;
}

}  // namespace

class Completion : public UpdateWindowTest {
protected:
    // From the description page through the progress step to the completion page; then the
    // finish button. Returns once the window has ended.
    void FinishTheUpdate(DWORD pid, HWND window) {
        MoveOnToTheProgressStep(window);
        ASSERT_NE(WaitForPage(window, kProgressPage), nullptr) << "shows page " << PageShown(window);
        EXPECT_FALSE(CloseButtonEnabled(window));
        // What the product's setup changed about the installation.
        const std::string key = "Software\\Quindel\\" + product;
        ASSERT_TRUE(SetRegString(HKEY_LOCAL_MACHINE, key, "Locale", "en-US"));
        ASSERT_TRUE(SetRegString(HKEY_LOCAL_MACHINE, key, "LicenseType", "Pro+Plus"));
        // The setup reports its end, and has ended (its file is free again) before the finish.
        ASSERT_TRUE(WaitForSetupRun().has_value()) << "the setup did not start";
        OpenSetupGate();
        HWND complete = WaitForPage(window, kCompletePage);
        ASSERT_NE(complete, nullptr) << "shows page " << PageShown(window);
        EXPECT_TRUE(CloseButtonEnabled(window));
        ASSERT_TRUE(Click(Control(complete, IDC_PAGE_BUTTON)));
        EXPECT_EQ(WaitForExit(pid, kExitTimeout), std::optional<DWORD>(0u));
    }
    std::vector<LoopbackServer::Request> LogRequests() {
        WaitUntil([&] { return !server.RequestsFor("/UpdateLog.aspx").empty(); }, kAppearTimeout);
        return server.RequestsFor("/UpdateLog.aspx");
    }
};

TEST_F(Completion, FinishingStartsTheProductRemovesTheSetupLogsAndRestartsTheAgent) {
    InstallProduct();
    AgentWillFind(DefaultInfo());
    ASSERT_TRUE(SetRegString(HKEY_CURRENT_USER, AgentKey(), "AfterUpdateDay", "20991231", View::Own));
    const DWORD pid = StartNorvane("/explicitupdate");
    HWND window = MainWindow(pid);
    ASSERT_NE(window, nullptr);
    FinishTheUpdate(pid, window);

    // The agent may notify again as it likes.
    EXPECT_EQ(GetRegString(HKEY_CURRENT_USER, AgentKey(), "AfterUpdateDay", View::Own),
              std::optional<std::string>(""));
    // The product, from its folder.
    const std::string program = Join(product_dir, main_app);
    auto runs = WaitForCalls(program, 1);
    ASSERT_EQ(runs.size(), 1u) << "the product was not started";
    EXPECT_NE(runs[0].command.find(program), std::string::npos) << runs[0].command;
    // The setup is gone.
    EXPECT_FALSE(PathExists(setup_path));
    // The log, with the installation as it was and as it is now.
    auto logs = LogRequests();
    ASSERT_EQ(logs.size(), 1u);
    EXPECT_EQ(logs[0].method, "GET");
    EXPECT_EQ(logs[0].query, ExpectedLog(product, "en-US", "Pro%2bPlus"));
    // The agent, from its own folder.
    auto restarts = WaitForCalls(Join(agent_dir, "Dravel.exe"), 1);
    ASSERT_EQ(restarts.size(), 1u) << "the agent was not restarted";
    EXPECT_NE(restarts[0].command.find(" /AlwaysOnTop Ostrey"), std::string::npos)
        << restarts[0].command;
    // It stays resident and starts every later Norvane: never with the update's rights.
    EXPECT_FALSE(restarts[0].elevated);
    // The agent beside Norvane ran only for the check.
    EXPECT_EQ(CallsOf(Join(install_dir, "Dravel.exe")).size(), 1u);
}

// An elevated update must not hand its rights to the product it starts: only its integrity
// label lowered, the token would still be elevated.
TEST_F(Completion, TheProductStartsWithoutElevation) {
    ASSERT_TRUE(IsElevated()) << "the test needs Wine's elevated start";
    InstallProduct();
    AgentWillFind(DefaultInfo());
    const DWORD pid = StartNorvane("/explicitupdate");
    HWND window = MainWindow(pid);
    ASSERT_NE(window, nullptr);
    ASSERT_EQ(ProcessElevated(pid), std::optional<bool>(true));
    FinishTheUpdate(pid, window);
    auto runs = WaitForCalls(Join(product_dir, main_app), 1);
    ASSERT_EQ(runs.size(), 1u) << "the product was not started";
    EXPECT_FALSE(runs[0].elevated);
}

TEST_F(ToolbarUpdate, FinishingStartsTheCleanerAndLogsTheAlarm) {
    InstallProduct();
    ASSERT_TRUE(CopyInto(Join(DoublesDir(), "RecordedProgram.exe"), product_dir, "Scourel.exe"));
    // From version 2.25 on, the second option is the option page's extra box, checked as the
    // option stands (on); before, the page turns it off.
    UpdateInfoText info = DefaultInfo();
    info.new_version = "2.26";
    AgentWillFind(info);
    const DWORD pid = StartNorvane("/explicitupdate");
    HWND window = MainWindow(pid);
    ASSERT_NE(window, nullptr);
    MoveOnToTheProgressStep(window);
    ASSERT_NE(WaitForPage(window, kProgressPage), nullptr) << "shows page " << PageShown(window);
    OpenSetupGate();
    HWND complete = WaitForPage(window, kCompletePage);
    ASSERT_NE(complete, nullptr);
    ASSERT_TRUE(Click(Control(complete, IDC_PAGE_BUTTON)));
    EXPECT_EQ(WaitForExit(pid, kExitTimeout), std::optional<DWORD>(0u));

    // The second option is on unless the user turned it off: the cleaner runs.
    auto cleaner = WaitForCalls(Join(product_dir, "Scourel.exe"), 1);
    ASSERT_EQ(cleaner.size(), 1u) << "the cleaner was not started";
    EXPECT_NE(cleaner[0].command.find(" -fb"), std::string::npos) << cleaner[0].command;
    // Norvane ran elevated (Wine's start); the cleaner must not.
    EXPECT_FALSE(cleaner[0].elevated);
    WaitUntil([&] { return !server.RequestsFor("/UpdateLog.aspx").empty(); }, kAppearTimeout);
    auto logs = server.RequestsFor("/UpdateLog.aspx");
    ASSERT_EQ(logs.size(), 1u);
    const std::string toolbar_part = "&antiphishing=1&antion=1";
    ASSERT_GE(logs[0].query.size(), toolbar_part.size());
    EXPECT_EQ(logs[0].query.substr(logs[0].query.size() - toolbar_part.size()), toolbar_part)
        << logs[0].query;
    EXPECT_EQ(Alarm(), std::optional<DWORD>(1u));
}

// ---- the hand-over to an elevated copy ----

using HandOver = UpdateWindowTest;

// A notice running without elevation saves the store and starts "/adminprogress" with "runas";
// it ends, and the copy opens on the progress page. Under Wine, "runas" from a limited process
// starts the copy without a prompt and with the same limited token, so the copy is no more
// elevated than the first: it must still take the progress step itself rather than hand over
// again (each further copy would wait for the last one's mutex and do the same).
TEST_F(HandOver, LimitedNoticeHandsTheProgressStepToOneCopy) {
    InstallProduct();
    AgentHasWritten(DefaultInfo());
    const DWORD first = StartNorvane("/updatenotice", true);
    ASSERT_NE(first, 0u);
    EXPECT_EQ(ProcessElevated(first), std::optional<bool>(false));
    HWND window = MainWindow(first);
    ASSERT_NE(window, nullptr);
    MoveOnToTheProgressStep(window);
    EXPECT_EQ(WaitForExit(first, kExitTimeout), std::optional<DWORD>(0u))
        << "the first copy did not hand over";
    EXPECT_TRUE(PathExists(Join(DataFolder(), "SetupOption.ini")));

    DWORD second = 0;
    WaitUntil(
        [&] {
            for (DWORD pid : ProcessOwner::ProcessesUnder(install_dir)) {
                if (pid != first) second = pid;
            }
            return second != 0;
        },
        kAppearTimeout);
    ASSERT_NE(second, 0u) << "no second copy";
    owner.Own(second);
    HWND copy_window = MainWindow(second);
    ASSERT_NE(copy_window, nullptr);
    EXPECT_NE(WaitForPage(copy_window, kProgressPage), nullptr)
        << "shows page " << PageShown(copy_window);
    EXPECT_FALSE(CloseButtonEnabled(copy_window));
    const std::optional<bool> elevated = ProcessElevated(second);
    RecordProperty("second_copy_elevated", elevated ? (*elevated ? "yes" : "no") : "unknown");

    // Longer than a further copy would wait for this one's mutex: no other copy comes.
    std::vector<DWORD> others;
    WaitUntil(
        [&] {
            for (DWORD pid : ProcessOwner::ProcessesUnder(install_dir)) {
                if (pid != first && pid != second) others.push_back(pid);
            }
            return !others.empty();
        },
        5000);
    EXPECT_TRUE(others.empty()) << "the copy handed over again";
    EXPECT_TRUE(ProcessRuns(second));
}

namespace {

// A window of the test's own that hears the hand-over message, as the first copy's does. The
// test's waits dispatch this thread's messages, so the window keeps what it is sent.
class HandOverListener {
public:
    HandOverListener() {
        WNDCLASSA window_class = {};
        window_class.lpfnWndProc = &HandOverListener::Procedure;
        window_class.hInstance = GetModuleHandleA(nullptr);
        window_class.lpszClassName = "HandOverListener";
        RegisterClassA(&window_class);  // fails harmlessly when registered already
        window_ = CreateWindowExA(0, "HandOverListener", "", WS_POPUP, 0, 0, 0, 0, nullptr,
                                  nullptr, GetModuleHandleA(nullptr), nullptr);
        SetWindowLongPtrA(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    ~HandOverListener() {
        if (window_) DestroyWindow(window_);
    }
    HandOverListener(const HandOverListener&) = delete;
    HandOverListener& operator=(const HandOverListener&) = delete;

    std::string Argument() const {
        return "/handover=" + std::to_string(reinterpret_cast<UINT_PTR>(window_));
    }
    // The process ids the message named so far.
    std::vector<DWORD> Heard() {
        MSG msg;
        while (PeekMessageA(&msg, window_, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
        return heard_;
    }

private:
    static LRESULT CALLBACK Procedure(HWND window, UINT msg, WPARAM wparam, LPARAM lparam) {
        auto* self = reinterpret_cast<HandOverListener*>(GetWindowLongPtrA(window, GWLP_USERDATA));
        if (self && msg == HandOverTakenMessage()) self->heard_.push_back(static_cast<DWORD>(wparam));
        return DefWindowProcA(window, msg, wparam, lparam);
    }

    HWND window_ = nullptr;
    std::vector<DWORD> heard_;
};

}  // namespace

// Elevated as another account, the copy would find that account's application data: it takes
// the data folder the first copy names, and tells that copy's window it took over, before it
// waits for the mutex. A folder it may not use ends it at once, with no window and no message.
TEST_F(HandOver, ElevatedCopyTakesTheDataFolderItIsGivenOrNothing) {
    InstallProduct();
    const std::string other_root = root.File("First User Data");
    ASSERT_TRUE(MakeFolders(Join(other_root, product)));
    ASSERT_TRUE(WriteTextFile(Join(Join(other_root, product), "UpdateInfo.ini"), DefaultInfo().Text()));
    DeleteFileA(UpdateInfoPath(product).c_str());  // nothing in this account's own data

    HandOverListener listener;
    const DWORD copy =
        StartNorvane("/adminprogress", false, "\"/data=" + other_root + "\" " + listener.Argument());
    ASSERT_NE(copy, 0u);
    HWND window = MainWindow(copy);
    ASSERT_NE(window, nullptr) << "the copy did not read the data it was given";
    EXPECT_NE(WaitForPage(window, kProgressPage), nullptr) << "shows page " << PageShown(window);
    EXPECT_TRUE(WaitForSetupRun().has_value()) << "the setup did not start";
    EXPECT_EQ(listener.Heard(), std::vector<DWORD>{copy});

    for (const std::string& folder :
         {Join(other_root, "missing"), std::string("\\\\server\\share\\Data"),
          std::string("First User Data"), other_root + "\\..\\" + "First User Data"}) {
        SCOPED_TRACE(folder);
        HandOverListener refused;
        const DWORD pid =
            StartNorvane("/adminprogress", false, "\"/data=" + folder + "\" " + refused.Argument());
        ASSERT_NE(pid, 0u);
        EXPECT_EQ(WaitForExit(pid, kExitTimeout), std::optional<DWORD>(kHandOverRefusedExit));
        EXPECT_TRUE(refused.Heard().empty());
    }
}

// The copy cannot take over (here the update information it needs is gone): the first copy,
// whose window kept answering meanwhile, shows the error page instead of ending as though the
// update went on elsewhere.
TEST_F(HandOver, FirstCopyShowsTheErrorWhenTheCopyCannotTakeOver) {
    InstallProduct();
    AgentHasWritten(DefaultInfo());
    const DWORD first = StartNorvane("/updatenotice", true);
    ASSERT_NE(first, 0u);
    HWND window = MainWindow(first);
    ASSERT_NE(window, nullptr);
    ASSERT_NE(WaitForPage(window, kDescriptionPage), nullptr);
    ASSERT_TRUE(DeleteFileA(UpdateInfoPath(product).c_str()));
    MoveOnToTheProgressStep(window);
    EXPECT_NE(WaitForPage(window, kErrorPage), nullptr) << "shows page " << PageShown(window);
    EXPECT_TRUE(ProcessRuns(first)) << "the first copy ended as though the copy took over";
    for (DWORD pid : ProcessOwner::ProcessesUnder(install_dir)) {
        if (pid != first) owner.Own(pid);
    }
}
