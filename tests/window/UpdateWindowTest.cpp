// The update window driven as a user drives it: the real Norvane.exe started the way the agent
// starts it, the agent's check played by its stand-in, and the window worked through its
// controls, keys and message boxes; outcomes read from the window, the registry, the files, the
// stand-ins' records and the loopback server.
#include <gtest/gtest.h>

#include "resources/ResourceIds.h"
#include "tests/support/AnswerProbe.h"
#include "tests/window/UpdateWindowFixture.h"
#include "updater/app/PageFlow.h"
#include "updater/data/UpdateInfo.h"

using namespace testsupport;
using namespace windowtest;

namespace {

// The component stand-in's record lines for the two messages a running product gets.
constexpr const char* kPrepareCloseLine = "4970 0 0";  // 18800
constexpr const char* kCloseLine = "10 0 0";           // WM_CLOSE

}  // namespace

// ---- the loading page and the agent's check ("/explicitupdate") ----

using ExplicitUpdate = UpdateWindowTest;

TEST_F(ExplicitUpdate, AnUpdateFoundShowsItsTitleAndDescriptionSplitAsWritten) {
    InstallProduct();
    server.Serve("/logo.bmp", LogoBitmap());
    struct Case {
        const char* simple;  // SimpleDescript as the file holds it ("\n" written as two characters)
        const char* line1;   // controls 1015 and 1017
        const char* line2;   // controls 1016 and 1018
    };
    const Case cases[] = {
        {"  Safer browsing \\n  Faster start-up ", "Safer browsing", "Faster start-up"},
        {"Only one line", "", "Only one line"},
        {"\\nAfter the break", "", "After the break"},
    };
    bool first = true;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.simple);
        UpdateInfoText info = DefaultInfo();
        info.simple_descript = c.simple;
        info.logo_url = server.Url("/logo.bmp");
        AgentWillFind(info);
        const DWORD pid = StartNorvane("/explicitupdate");
        HWND window = MainWindow(pid);
        ASSERT_NE(window, nullptr);
        HWND page = WaitForPage(window, kDescriptionPage);
        ASSERT_NE(page, nullptr) << "shows page " << PageShown(window);

        EXPECT_EQ(Text(page, IDC_TITLE),
                  Fill(Module(IDS_DESC_HEADING), info.local_name, info.new_version));
        EXPECT_EQ(Text(page, IDC_DESC_LINE1), c.line1);
        EXPECT_EQ(Text(page, IDC_DESC_LINE3), c.line1);
        EXPECT_EQ(Text(page, IDC_DESC_LINE2), c.line2);
        EXPECT_EQ(Text(page, IDC_DESC_LINE4), c.line2);
        EXPECT_TRUE(CloseButtonEnabled(window));
        EXPECT_TRUE(ChildDialogs(page).empty()) << "an option panel for a product without options";
        // The logo is fetched once for this version and shown from the data folder.
        DWORD_PTR logo = 0;
        EXPECT_TRUE(SendMessageTimeoutA(Control(page, IDC_LOGO), STM_GETIMAGE, IMAGE_BITMAP, 0,
                                        SMTO_ABORTIFHUNG, 5000, &logo));
        EXPECT_NE(logo, 0u) << "no logo";
        EXPECT_EQ(server.RequestsFor("/logo.bmp").size(), 1u);

        // The agent beside Norvane was asked once, for this product.
        auto calls = CallsOf(Join(install_dir, "Dravel.exe"));
        ASSERT_EQ(calls.size(), 1u);
        EXPECT_NE(calls[0].command.find(" /checkupdate " + product), std::string::npos)
            << calls[0].command;
        if (first) {
            LetItPaint(window);
            SaveWindowScreenshot(page, "run_page_description.png");
            SaveWindowScreenshot(window, "run_window_description.png");
            first = false;
        }
        // The window's own close button asks before it ends the update.
        ASSERT_TRUE(Click(Control(window, IDC_CLOSE)));
        auto question = WaitForMessageBox(pid, kAppearTimeout);
        ASSERT_TRUE(question.has_value());
        EXPECT_EQ(question->text, Module(IDS_CANCEL_CONFIRM));
        ASSERT_TRUE(AnswerMessageBox(*question, IDYES));
        ASSERT_EQ(WaitForExit(pid, kExitTimeout), std::optional<DWORD>(0u));
        ForgetCalls(Join(install_dir, "Dravel.exe"));
    }
}

TEST_F(ExplicitUpdate, NothingNewShowsTheInstalledVersion) {
    InstallProduct();
    UpdateInfoText info = DefaultInfo();
    info.updated = "0";
    AgentWillFind(info);
    const DWORD pid = StartNorvane("/explicitupdate");
    HWND window = MainWindow(pid);
    ASSERT_NE(window, nullptr);
    HWND page = WaitForPage(window, kAlreadyCurrentPage);
    ASSERT_NE(page, nullptr) << "shows page " << PageShown(window);
    EXPECT_EQ(Text(page, IDC_TITLE),
              Fill(Module(IDS_ALREADY_CURRENT), info.local_name, kInstalledVersion));
    EXPECT_TRUE(CloseButtonEnabled(window));
    LetItPaint(window);
    SaveWindowScreenshot(page, "run_page_already_current.png");

    // Enter closes this page without a question.
    ASSERT_TRUE(PressKey(window, VK_RETURN));
    const ExitWatch end = WaitForExitWatchingMessageBoxes(pid, kExitTimeout);
    EXPECT_EQ(end.exit_code, std::optional<DWORD>(0u));
    EXPECT_FALSE(end.message_box) << "asked: " << end.message_box->text;
}

// "Updated" must be exactly "1" or "0"; anything else, no file at all, or an agent that crashed
// is a failed check.
TEST_F(ExplicitUpdate, FailedChecksShowTheErrorPage) {
    InstallProduct();
    struct Case {
        const char* name;
        const char* updated;  // the line's value as written ("\" 1\"" reads as " 1")
        bool write;
        const char* end;
    };
    const Case cases[] = {
        {"01", "01", true, "exit"},
        {"blank before 1", "\" 1\"", true, "exit"},
        {"yes", "yes", true, "exit"},
        {"no Updated line", "", true, "exit"},
        {"no file", "1", false, "exit"},
        {"agent crashed", "1", false, "crash"},
    };
    bool first = true;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        UpdateInfoText info = DefaultInfo();
        info.updated = c.updated;
        AgentWillFind(info, c.write, 0, c.end);
        const DWORD pid = StartNorvane("/explicitupdate");
        HWND window = MainWindow(pid);
        ASSERT_NE(window, nullptr);
        HWND page = WaitForPage(window, kErrorPage, 60000);
        ASSERT_NE(page, nullptr) << "shows page " << PageShown(window);
        EXPECT_TRUE(CloseButtonEnabled(window));
        if (c.write && std::string(c.name) == "blank before 1") {
            // The case is the one meant: the file really says " 1".
            char value[16] = {};
            GetPrivateProfileStringA("ProductInfo", "Updated", "", value, sizeof(value),
                                     UpdateInfoPath(product).c_str());
            EXPECT_STREQ(value, " 1");
        }
        if (first) {
            LetItPaint(window);
            SaveWindowScreenshot(page, "run_page_error.png");
            first = false;
        }
        // The page's button ends the window without a question.
        ASSERT_TRUE(Click(Control(page, IDC_PAGE_BUTTON)));
        EXPECT_EQ(WaitForExit(pid, kExitTimeout), std::optional<DWORD>(0u));
    }
}

// The check waits for the agent while dispatching messages: the window answers every message
// sent meanwhile within a bound generous against the hundred milliseconds aimed at (a wait that
// looked at messages once a second came close to it, a blocking one misses it).
TEST_F(ExplicitUpdate, WindowAnswersWhileTheAgentTakesItsTime) {
    constexpr DWORD kAgentDelay = 6000;
    InstallProduct();
    AgentWillFind(DefaultInfo(), true, kAgentDelay);
    const DWORD pid = StartNorvane("/explicitupdate");
    HWND window = MainWindow(pid);
    ASSERT_NE(window, nullptr);
    auto calls = WaitForCalls(Join(install_dir, "Dravel.exe"), 1);
    ASSERT_EQ(calls.size(), 1u);
    owner.Own(calls[0].pid);
    HWND loading = WaitForPage(window, kLoadingPage);
    ASSERT_NE(loading, nullptr);
    EXPECT_FALSE(CloseButtonEnabled(window));
    LetItPaint(window);
    SaveWindowScreenshot(loading, "run_page_loading.png");

    AnswerProbe probe(window, 2000);
    WaitUntil([&] { return !ProcessRuns(calls[0].pid); }, kAgentDelay * 4);
    probe.Stop();
    EXPECT_EQ(probe.misses(), 0u) << "the window did not answer meanwhile";
    EXPECT_GT(probe.answered(), 0u);
    EXPECT_NE(WaitForPage(window, kDescriptionPage), nullptr);
}

// An agent that never ends keeps the loading page up, and the window answers; ended by id, its
// check counts as failed.
TEST_F(ExplicitUpdate, AgentThatNeverEndsLeavesTheWindowAnswering) {
    InstallProduct();
    AgentWillFind(DefaultInfo(), false, 0, "hang");
    const DWORD pid = StartNorvane("/explicitupdate");
    HWND window = MainWindow(pid);
    ASSERT_NE(window, nullptr);
    auto calls = WaitForCalls(Join(install_dir, "Dravel.exe"), 1);
    ASSERT_EQ(calls.size(), 1u);
    owner.Own(calls[0].pid);
    for (int probe = 0; probe < 4; ++probe) {
        ASSERT_TRUE(Answers(window, 15000));
        EXPECT_EQ(PageShown(window), kLoadingPage);
        // Escape on the loading page is ignored.
        if (probe == 0) {
            ASSERT_TRUE(PressKey(window, VK_ESCAPE));
        }
        Sleep(1000);
    }
    EXPECT_TRUE(ProcessRuns(pid));
    EXPECT_FALSE(AnyMessageBox(pid));

    HANDLE agent = OpenProcess(PROCESS_TERMINATE, FALSE, calls[0].pid);
    ASSERT_NE(agent, nullptr);
    TerminateProcess(agent, 1);
    CloseHandle(agent);
    EXPECT_NE(WaitForPage(window, kErrorPage), nullptr);
}

// ---- keys and cancelling ----

// Enter on the description page is the page's (it moves on); Escape asks, No keeps the window,
// Yes ends it. An explicit update leaves the agent's notice date alone.
TEST_F(ExplicitUpdate, EnterMovesOnAndEscapeAsksBeforeCancelling) {
    InstallProduct();
    AgentWillFind(DefaultInfo());
    const DWORD pid = StartNorvane("/explicitupdate");
    HWND window = MainWindow(pid);
    ASSERT_NE(window, nullptr);
    ASSERT_NE(WaitForPage(window, kDescriptionPage), nullptr);

    ASSERT_TRUE(PressKey(window, VK_ESCAPE));
    auto question = WaitForMessageBox(pid, kAppearTimeout);
    ASSERT_TRUE(question.has_value()) << "Escape asked nothing";
    EXPECT_EQ(question->text, Module(IDS_CANCEL_CONFIRM));
    ASSERT_TRUE(AnswerMessageBox(*question, IDNO));
    ASSERT_TRUE(WaitUntil([&] { return !AnyMessageBox(pid); }, kAppearTimeout));
    EXPECT_TRUE(Answers(window, 15000));
    EXPECT_TRUE(ProcessRuns(pid));
    EXPECT_EQ(PageShown(window), kDescriptionPage);

    ASSERT_TRUE(PressKey(window, VK_RETURN));
    EXPECT_NE(WaitForPage(window, kOptionPage), nullptr) << "Enter did not move on";
    EXPECT_FALSE(AnyMessageBox(pid));

    CancelWithYes(pid, window);
    EXPECT_FALSE(GetRegString(HKEY_CURRENT_USER, AgentKey(), "AfterUpdateDay", View::Own));
}

using UpdateNotice = UpdateWindowTest;

// A notice starts at the description page without asking the agent; cancelling it with Yes
// makes the agent wait a week.
TEST_F(UpdateNotice, CancelledNoticeWaitsAWeek) {
    InstallProduct();
    AgentHasWritten(DefaultInfo());
    ASSERT_TRUE(SetRegString(HKEY_CURRENT_USER, AgentKey(), "NewProject", "pending", View::Own));
    const std::string before = DateInDays(7);
    const DWORD pid = StartNorvane("/updatenotice");
    HWND window = MainWindow(pid);
    ASSERT_NE(window, nullptr);
    ASSERT_NE(WaitForPage(window, kDescriptionPage), nullptr);
    EXPECT_TRUE(CloseButtonEnabled(window));
    EXPECT_TRUE(CallsOf(Join(install_dir, "Dravel.exe")).empty()) << "a notice checked again";

    CancelWithYes(pid, window);
    const std::string after = DateInDays(7);
    const auto day = GetRegString(HKEY_CURRENT_USER, AgentKey(), "AfterUpdateDay", View::Own);
    ASSERT_TRUE(day.has_value());
    EXPECT_TRUE(*day == before || *day == after) << *day;
    EXPECT_EQ(GetRegString(HKEY_CURRENT_USER, AgentKey(), "NewProject", View::Own),
              std::optional<std::string>(""));
}

// ---- where the modes start, and unusable update information ----

TEST_F(UpdateNotice, NoticeAndElevatedCopyStartOnTheirPages) {
    InstallProduct();
    AgentHasWritten(DefaultInfo());
    const DWORD notice = StartNorvane("/updatenotice");
    HWND window = MainWindow(notice);
    ASSERT_NE(window, nullptr);
    EXPECT_NE(WaitForPage(window, kDescriptionPage), nullptr);
    EXPECT_TRUE(CloseButtonEnabled(window));
    owner.EndAll();

    const DWORD admin = StartNorvane("/adminprogress");
    window = MainWindow(admin);
    ASSERT_NE(window, nullptr);
    EXPECT_NE(WaitForPage(window, kProgressPage), nullptr) << "shows page " << PageShown(window);
    EXPECT_FALSE(CloseButtonEnabled(window));
}

TEST_F(UpdateNotice, UnusableUpdateInformationEndsSilently) {
    InstallProduct();
    UpdateInfoText other_product = DefaultInfo();
    other_product.eng_name = product + "X";
    UpdateInfoText no_setup = DefaultInfo();
    no_setup.downloaded_path.clear();
    for (const char* mode : {"/updatenotice", "/adminprogress"}) {
        for (int variant = 0; variant < 3; ++variant) {
            SCOPED_TRACE(std::string(mode) + " variant " + std::to_string(variant));
            DeleteFileA(UpdateInfoPath(product).c_str());
            if (variant == 1) AgentHasWritten(other_product);
            if (variant == 2) AgentHasWritten(no_setup);
            const DWORD pid = StartNorvane(mode);
            ExpectEndsWithoutWindow(pid);
        }
    }
}

// A second request for the product gives way to the open window, which comes back to the user
// from wherever it was.
TEST_F(UpdateNotice, SecondRequestBringsTheOpenWindowBack) {
    InstallProduct();
    AgentHasWritten(DefaultInfo());
    DWORD first = 0;
    HWND window = nullptr;
    ASSERT_NE(OpenDescription(&first, &window), nullptr);
    for (const char* mode : {"/updatenotice", "/explicitupdate"}) {
        SCOPED_TRACE(mode);
        ShowWindow(window, SW_MINIMIZE);
        ASSERT_TRUE(WaitUntil([&] { return IsIconic(window) != FALSE; }, kAppearTimeout));
        const DWORD second = StartNorvane(mode);
        EXPECT_EQ(WaitForExit(second, kExitTimeout), std::optional<DWORD>(0u));
        EXPECT_TRUE(WaitUntil([&] { return !IsIconic(window); }, kAppearTimeout))
            << "the open window stayed minimised";
        EXPECT_TRUE(IsWindowVisible(window));
    }
}

// ---- the product option panel of the toolbar ----

TEST_F(ToolbarUpdate, PanelLeftCheckedAppliesTheAlarmWithoutAsking) {
    InstallProduct();
    // The logo a background preparation left.
    UpdateInfoText info = DefaultInfo();
    info.logo_path = root.File("logo.bmp");
    ASSERT_TRUE(WriteTextFile(info.logo_path, LogoBitmap()));
    AgentHasWritten(info);
    const OpenedPanel opened = OpenOptionPanel();
    ASSERT_NE(opened.panel, nullptr) << "no option panel";
    EXPECT_TRUE(IsWindowVisible(opened.panel));
    EXPECT_EQ(Text(opened.panel, IDC_PANEL_CHECK), Module(IDS_OPTION1_TITLE));
    EXPECT_EQ(Text(opened.panel, IDC_PANEL_LINK), Module(IDS_PANEL_LINK));
    EXPECT_EQ(Text(opened.panel, IDC_PANEL_TEXT), Module(IDS_OPTION1_TEXT1));
    EXPECT_TRUE(IsChecked(Control(opened.panel, IDC_PANEL_CHECK)));
    // Below the button, 30 pixels in from either side.
    RECT button, area, client;
    GetWindowRect(Control(opened.page, IDC_NEXT), &button);
    GetWindowRect(opened.panel, &area);
    GetClientRect(opened.page, &client);
    MapWindowPoints(nullptr, opened.page, reinterpret_cast<POINT*>(&button), 2);
    MapWindowPoints(nullptr, opened.page, reinterpret_cast<POINT*>(&area), 2);
    EXPECT_EQ(area.top, button.bottom + 10);
    EXPECT_EQ(area.left, 30);
    EXPECT_EQ(area.right, client.right - 30);
    LetItPaint(opened.window);
    SaveWindowScreenshot(opened.page, "run_page_description_panel.png");

    ASSERT_TRUE(Click(Control(opened.page, IDC_NEXT)));
    EXPECT_NE(WaitForPage(opened.window, kOptionPage), nullptr);
    EXPECT_FALSE(AnyMessageBox(opened.pid)) << "asked about a box left checked";
    EXPECT_EQ(Alarm(), std::optional<DWORD>(1u));
}

// The panel's link opens the page in the user's browser with the user's token (the program under
// test runs elevated under Wine, as the elevated copy does).
TEST_F(ToolbarUpdate, PanelLinkOpensThePageWithTheUsersToken) {
    InstallProduct();
    AgentHasWritten(DefaultInfo());
    const std::string browser = RecordWebAddresses();
    const OpenedPanel opened = OpenOptionPanel();
    ASSERT_NE(opened.panel, nullptr) << "no option panel";
    ASSERT_TRUE(ClickAt(Control(opened.panel, IDC_PANEL_LINK), POINT{3, 3}));
    auto calls = WaitForCalls(browser, 1);
    ASSERT_EQ(calls.size(), 1u) << "the link opened nothing";
    owner.Own(calls[0].pid);
    EXPECT_FALSE(calls[0].elevated) << "opened with the administrator's token";
    EXPECT_NE(calls[0].command.find(Module(IDS_OPTION1_TEXT2)), std::string::npos)
        << calls[0].command;
}

TEST_F(ToolbarUpdate, ClearedPanelAsksAndAppliesTheAnswer) {
    InstallProduct();
    AgentHasWritten(DefaultInfo());
    for (int answer : {IDNO, IDYES}) {
        SCOPED_TRACE(answer == IDYES ? "Yes" : "No");
        DeleteRegValue(HKEY_CURRENT_USER, kAlarmKey, "PhishingAlarm2", View::Own);
        const OpenedPanel opened = OpenOptionPanel();
        ASSERT_NE(opened.panel, nullptr) << "no option panel";
        HWND box = Control(opened.panel, IDC_PANEL_CHECK);
        ASSERT_TRUE(Click(box));
        ASSERT_TRUE(WaitUntil([&] { return !IsChecked(box); }, kAppearTimeout));

        ASSERT_TRUE(Click(Control(opened.page, IDC_NEXT)));
        auto question = WaitForMessageBox(opened.pid, kAppearTimeout);
        ASSERT_TRUE(question.has_value()) << "a cleared box asked nothing";
        EXPECT_EQ(question->text, Module(IDS_OPTION1_TEXT3));
        EXPECT_EQ(question->caption, Module(IDS_OPTION_QUESTION_CAP));
        ASSERT_TRUE(AnswerMessageBox(*question, answer));
        EXPECT_NE(WaitForPage(opened.window, kOptionPage), nullptr);
        EXPECT_EQ(Alarm(), std::optional<DWORD>(answer == IDYES ? 1u : 0u));
        owner.EndAll();
    }
}

// ---- the progress step ----

TEST_F(UpdateNotice, InstalledVersionAlreadyNewShowsAlreadyCurrentInsteadOfProgress) {
    InstallProduct(kNewVersion);
    AgentHasWritten(DefaultInfo());
    const DWORD pid = StartNorvane("/updatenotice");
    HWND window = MainWindow(pid);
    ASSERT_NE(window, nullptr);
    MoveOnToTheProgressStep(window);
    HWND page = WaitForPage(window, kAlreadyCurrentPage);
    ASSERT_NE(page, nullptr) << "shows page " << PageShown(window);
    EXPECT_EQ(Text(page, IDC_TITLE),
              Fill(Module(IDS_ALREADY_CURRENT), DefaultInfo().local_name, kNewVersion));
    EXPECT_TRUE(CloseButtonEnabled(window));
}

class RunningProduct : public UpdateWindowTest {
protected:
    // The product's main program runs under its own name and holds the product's mutex.
    void StartProduct() {
        ASSERT_TRUE(StartDoubleCopy(product_process, root, main_app,
                                    "--mutex " + DefaultInfo().mutex + " --record " +
                                        Quote(record)));
        owner.Own(product_process.pid());
    }
    std::string Record() { return ReadTextFile(record).value_or(""); }
    // Opens the notice and asks for the progress step; returns the question.
    std::optional<MessageBoxInfo> AskForTheProgressStep(DWORD* pid, HWND* window) {
        InstallProduct();
        AgentHasWritten(DefaultInfo());
        StartProduct();
        *pid = StartNorvane("/updatenotice");
        *window = MainWindow(*pid);
        if (!*window) return std::nullopt;
        MoveOnToTheProgressStep(*window);
        return WaitForMessageBox(*pid, kAppearTimeout);
    }
    Process product_process;
    const std::string record = root.File("product.record");
};

TEST_F(RunningProduct, CancelClosesTheWindowWithoutASecondQuestion) {
    DWORD pid = 0;
    HWND window = nullptr;
    auto question = AskForTheProgressStep(&pid, &window);
    ASSERT_TRUE(question.has_value()) << "nothing asked about the running product";
    EXPECT_EQ(question->text, Fill(Module(IDS_PRODUCT_RUNNING), DefaultInfo().local_name));
    EXPECT_EQ(question->caption, Module(IDS_PRODUCT_RUNNING_CAP));
    const HWND first_question = question->window;
    ASSERT_TRUE(AnswerMessageBox(*question, IDCANCEL));

    // Until the window is gone, no other question may come up.
    std::optional<DWORD> code;
    bool asked_again = false;
    WaitUntil(
        [&] {
            auto box = WaitForMessageBox(pid, 0);
            if (box && box->window != first_question) asked_again = true;
            return (code = WaitForExit(pid, 0)).has_value();
        },
        kExitTimeout);
    EXPECT_FALSE(asked_again);
    EXPECT_EQ(code, std::optional<DWORD>(0u));
    EXPECT_TRUE(product_process.Running());
    EXPECT_EQ(Record(), "");
}

// UpdateInfo.ini is the user's to write: a MainApp that only ends like every program's name
// ("MainApp=.exe" once ended every process of the machine) names none of them.
TEST_F(RunningProduct, AMainAppThatIsOnlyAFragmentEndsNoOtherProgram) {
    const std::string bystander_record = root.File("bystander.record");
    Process bystander;
    ASSERT_TRUE(StartDoubleCopy(bystander, root, "Bystander.exe",
                                "--record " + Quote(bystander_record)));
    owner.Own(bystander.pid());
    InstallProduct();
    UpdateInfoText info = DefaultInfo();
    info.main_app = ".exe";
    AgentHasWritten(info);
    StartProduct();  // holds the product's mutex, so the question still comes
    const DWORD pid = StartNorvane("/updatenotice");
    const HWND window = MainWindow(pid);
    ASSERT_NE(window, nullptr);
    MoveOnToTheProgressStep(window);
    auto question = WaitForMessageBox(pid, kAppearTimeout);
    ASSERT_TRUE(question.has_value()) << "nothing asked about the running product";
    ASSERT_TRUE(AnswerMessageBox(*question, IDOK));

    EXPECT_NE(WaitForPage(window, kProgressPage), nullptr) << "shows page " << PageShown(window);
    EXPECT_TRUE(bystander.Running());
    EXPECT_TRUE(product_process.Running());
    EXPECT_EQ(ReadTextFile(bystander_record).value_or(""), "") << "asked to close";
    EXPECT_EQ(Record(), "") << "asked to close";
}

TEST_F(RunningProduct, OkClosesTheProductAndShowsProgressWithTheCloseButtonOff) {
    DWORD pid = 0;
    HWND window = nullptr;
    auto question = AskForTheProgressStep(&pid, &window);
    ASSERT_TRUE(question.has_value()) << "nothing asked about the running product";
    ASSERT_TRUE(AnswerMessageBox(*question, IDOK));

    EXPECT_NE(WaitForPage(window, kProgressPage), nullptr) << "shows page " << PageShown(window);
    EXPECT_TRUE(product_process.Wait(kExitTimeout).has_value()) << "the product still runs";
    const std::string lines = Record();
    const size_t prepare = lines.find(kPrepareCloseLine);
    const size_t close = lines.find(kCloseLine);
    EXPECT_NE(prepare, std::string::npos) << lines;
    EXPECT_NE(close, std::string::npos) << lines;
    EXPECT_LT(prepare, close) << "18800 comes before WM_CLOSE";
    EXPECT_FALSE(CloseButtonEnabled(window));
}
