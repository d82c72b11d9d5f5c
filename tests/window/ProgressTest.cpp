// The progress step driven through the real window: the product's setup program (its stand-in)
// started with the page's handle and the user's icon choices, its reports moving the bar, the
// middle offer before or after it, the hand-over to an "/adminprogress" copy, and setups that
// crash, hang or never report.
#include <gtest/gtest.h>

#include <commctrl.h>

#include "resources/ResourceIds.h"
#include "tests/window/UpdateWindowFixture.h"
#include "updater/app/PageFlow.h"
#include "updater/data/UpdateInfo.h"
#include "updater/offers/FileDigest.h"

using namespace testsupport;
using namespace windowtest;

namespace {

constexpr UINT kSetupRange = WM_USER + 1;
constexpr UINT kSetupPosition = WM_USER + 2;
// A progress control's range before anyone sets one.
constexpr int kDefaultHigh = 100;

UINT Registered(const char* name) { return RegisterWindowMessageA(name); }
const UINT kProgressLength = Registered("QDL_PROGRESSLEN");
const UINT kProgressPosition = Registered("QDL_PROGRESSPOS");
const UINT kExitCode = Registered("QDL_EXITCODE");

std::string HandleText(HWND window) {
    return std::to_string(static_cast<int>(reinterpret_cast<INT_PTR>(window)));
}

std::string SetupArguments(HWND page, const char* desktop, const char* start_menu,
                           const char* quick_launch) {
    return "/verysilent /H=" + HandleText(page) + " /Q=1 /DesktopIcon=" + desktop +
           " /StartMenuIcon=" + start_menu + " /LightLaunchIcon=" + quick_launch;
}

BarState Bar(int high, int position) {
    BarState bar;
    bar.low = 0;
    bar.high = high;
    bar.position = position;
    return bar;
}


}  // namespace

class ProgressStep : public UpdateWindowTest {
protected:
    HWND ProgressBar(HWND page) { return Control(page, IDC_PROGRESS_BAR); }
    // Waits until the bar shows `expected`; what it showed last.
    std::optional<BarState> WaitForBar(HWND page, const BarState& expected) {
        std::optional<BarState> bar;
        WaitUntil([&] { return (bar = ReadBar(ProgressBar(page))) == expected; }, kAppearTimeout);
        return bar;
    }
    void WriteSetupChoices(const std::string& section) {
        ASSERT_TRUE(MakeFolders(DataFolder()));
        ASSERT_TRUE(WriteTextFile(Join(DataFolder(), "SetupOption.ini"), section));
    }
    // The elevated copy's progress page, shown at once ("/adminprogress").
    HWND StartOnTheProgressPage(DWORD* pid, HWND* window) {
        *pid = StartNorvane("/adminprogress");
        *window = MainWindow(*pid);
        return *window ? WaitForPage(*window, kProgressPage) : nullptr;
    }
    // The update log requests once the window has ended.
    size_t LogRequests() { return server.RequestsFor("/UpdateLog.aspx").size(); }
    // Forgets the last run of the setup, for the next one.
    void ForgetSetupRun() {
        DeleteFileA(setup_record.c_str());
        DeleteFileA(setup_gate.c_str());
        DeleteFileA((setup_gate + ".reached").c_str());
    }
};

// Every page of an update the user asked for, the licence included; the setup is started with
// the page's own handle and the choices of the option page (its icon boxes start checked), and
// the bar follows its reports: range first, then each position, then the end.
TEST_F(ProgressStep, WholeUpdateRunsTheSetupWithThePagesHandleAndFollowsItsReports) {
    InstallProduct();
    RequireLicence();
    AgentWillFind(DefaultInfo());
    SetSetup("STEPS", "3");  // range 0..30, positions 10, 20, 30
    const DWORD pid = StartNorvane("/explicitupdate");
    HWND window = MainWindow(pid);
    ASSERT_NE(window, nullptr);
    MoveOnToTheProgressStep(window);
    HWND licence = WaitForPage(window, kLicensePage);
    ASSERT_NE(licence, nullptr) << "shows page " << PageShown(window);
    ASSERT_TRUE(Click(Control(licence, IDC_LICENSE_ACCEPT)));
    HWND accept = Control(licence, IDC_LICENSE_NEXT);
    ASSERT_TRUE(WaitUntil([&] { return IsWindowEnabled(accept) != FALSE; }, kAppearTimeout));
    ASSERT_TRUE(Click(accept));

    HWND progress = WaitForPage(window, kProgressPage);
    ASSERT_NE(progress, nullptr) << "shows page " << PageShown(window);
    EXPECT_FALSE(CloseButtonEnabled(window));
    const auto run = WaitForSetupRun();
    ASSERT_TRUE(run.has_value()) << "the setup did not start";
    // Windows 7 has no quick launch bar: the option page offers no box for it.
    EXPECT_EQ(run->arguments, SetupArguments(progress, "yes", "yes", "no"));
    // Wine's elevated start stays elevated through "runas".
    EXPECT_TRUE(run->elevated);
    EXPECT_EQ(WaitForBar(progress, Bar(30, 30)), Bar(30, 30));
    EXPECT_EQ(PageShown(window), kProgressPage) << "moved on before the setup's end";

    OpenSetupGate();
    HWND complete = WaitForPage(window, kCompletePage);
    ASSERT_NE(complete, nullptr) << "shows page " << PageShown(window);
    // The page left behind keeps what the setup reported.
    EXPECT_EQ(ReadBar(ProgressBar(progress)), Bar(30, 30));
    ASSERT_TRUE(Click(Control(complete, IDC_PAGE_BUTTON)));
    EXPECT_EQ(WaitForExit(pid, kExitTimeout), std::optional<DWORD>(0u));
    EXPECT_TRUE(WaitUntil([&] { return LogRequests() == 1; }, kAppearTimeout));
}

// The forms a setup may report in, and the icon choices an elevated copy reads from the store:
// each switch carries its own choice, in the order desktop, start menu, quick launch.
TEST_F(ProgressStep, EveryFormOfReportMovesTheBarAndEachIconSwitchCarriesItsChoice) {
    InstallProduct();
    AgentHasWritten(DefaultInfo());
    struct Case {
        const char* mode;      // how the setup reports
        const char* choices;   // the store's [SetupOptionInfo], "" for none
        const char* icons[3];  // desktop, start menu, quick launch
    };
    const Case cases[] = {
        {"wm_user", "", {"no", "no", "no"}},
        // The registered messages to the window, which passes them on to the page.
        {"window", "CreateDesktopIcon=1\r\nCreateStartMenuIcon=1\r\nCreateQuickLaunchIcon=0\r\n",
         {"yes", "yes", "no"}},
        {"registered", "CreateDesktopIcon=0\r\nCreateStartMenuIcon=1\r\nCreateQuickLaunchIcon=1\r\n",
         {"no", "yes", "yes"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode);
        ForgetSetupRun();
        WriteSetupChoices(std::string("[SetupOptionInfo]\r\n") + c.choices);
        SetSetup("MODE", c.mode);
        DWORD pid = 0;
        HWND window = nullptr;
        HWND progress = StartOnTheProgressPage(&pid, &window);
        ASSERT_NE(progress, nullptr);
        const auto run = WaitForSetupRun();
        ASSERT_TRUE(run.has_value()) << "the setup did not start";
        EXPECT_EQ(run->arguments, SetupArguments(progress, c.icons[0], c.icons[1], c.icons[2]));
        EXPECT_EQ(WaitForBar(progress, Bar(40, 40)), Bar(40, 40));
        OpenSetupGate();
        EXPECT_NE(WaitForPage(window, kCompletePage), nullptr) << "shows page " << PageShown(window);
        owner.EndAll();
    }
}

// Only the setup the page started moves the bar or ends the step; reports that reach the window
// are passed on unchanged; WM_USER+2 works without a range. The setup here reports nothing
// itself: the test reports in its place, with the setup's id or another one.
TEST_F(ProgressStep, OnlyTheStartedSetupsReportsCountWhicheverWayTheyCome) {
    InstallProduct();
    AgentHasWritten(DefaultInfo());
    SetSetup("MODE", "wait");
    const DWORD pid = StartNorvane("/updatenotice");
    HWND window = MainWindow(pid);
    ASSERT_NE(window, nullptr);
    ASSERT_NE(WaitForPage(window, kDescriptionPage), nullptr);
    // Before any setup runs, no id is the setup's, not even 0.
    ASSERT_TRUE(PostMessageA(window, kProgressLength, 0, 500));
    ASSERT_TRUE(PostMessageA(window, kProgressPosition, 0, 70));
    ASSERT_TRUE(PostMessageA(window, kExitCode, 0, 0));
    // The clicks are handled after those reports and after the page got them passed on.
    MoveOnToTheProgressStep(window);
    HWND progress = WaitForPage(window, kProgressPage);
    ASSERT_NE(progress, nullptr) << "shows page " << PageShown(window);
    const auto run = WaitForSetupRun();
    ASSERT_TRUE(run.has_value()) << "the setup did not start";
    const WPARAM setup = run->pid;
    const WPARAM other = run->pid + 1;
    EXPECT_EQ(ReadBar(ProgressBar(progress)), Bar(kDefaultHigh, 0));

    // A position without a range: within the control's own range.
    ASSERT_TRUE(PostMessageA(progress, kSetupPosition, 30, 0));
    EXPECT_EQ(WaitForBar(progress, Bar(kDefaultHigh, 30)), Bar(kDefaultHigh, 30));

    // Another process's reports, to the page and to the window, change nothing; the setup's
    // own position report after them shows that they have been handled.
    ASSERT_TRUE(PostMessageA(progress, kProgressLength, other, 200));
    ASSERT_TRUE(PostMessageA(progress, kProgressPosition, other, 150));
    ASSERT_TRUE(PostMessageA(window, kProgressLength, other, 300));
    ASSERT_TRUE(PostMessageA(window, kExitCode, other, 0));
    ASSERT_TRUE(PostMessageA(window, kProgressPosition, setup, 40));
    EXPECT_EQ(WaitForBar(progress, Bar(kDefaultHigh, 40)), Bar(kDefaultHigh, 40));
    EXPECT_EQ(PageShown(window), kProgressPage);

    // The setup's reports to the window reach the page with the same parameters.
    ASSERT_TRUE(PostMessageA(window, kProgressLength, setup, 200));
    ASSERT_TRUE(PostMessageA(window, kProgressPosition, setup, 150));
    EXPECT_EQ(WaitForBar(progress, Bar(200, 150)), Bar(200, 150));
    LetItPaint(window);
    SaveWindowScreenshot(progress, "run_page_progress.png");
    ASSERT_TRUE(PostMessageA(progress, kSetupRange, 0, 400));
    EXPECT_EQ(WaitForBar(progress, Bar(400, 150)), Bar(400, 150));

    ASSERT_TRUE(PostMessageA(window, kExitCode, setup, 0));
    EXPECT_NE(WaitForPage(window, kCompletePage), nullptr) << "shows page " << PageShown(window);
}

// A setup that crashes, ends without a word, or reports only under another id leaves the page
// nothing to wait for: the error page follows (no completion actions). Until then the window
// answers.
TEST_F(ProgressStep, SetupThatEndsWithoutItsEndReportShowsTheErrorPage) {
    InstallProduct();
    AgentHasWritten(DefaultInfo());
    for (const char* mode : {"crash", "silent", "wrong_pid"}) {
        SCOPED_TRACE(mode);
        ForgetSetupRun();
        SetSetup("MODE", mode);
        DWORD pid = 0;
        HWND window = nullptr;
        HWND progress = StartOnTheProgressPage(&pid, &window);
        ASSERT_NE(progress, nullptr);
        ASSERT_TRUE(WaitForSetupRun().has_value()) << "the setup did not start";
        if (std::string(mode) == "wrong_pid") {
            // Its range and positions, all under another id, are posted; a range of our own
            // after them shows when they have been handled: the position never moved.
            ASSERT_TRUE(WaitForSetupAtTheGate());
            ASSERT_TRUE(PostMessageA(progress, kSetupRange, 0, 250));
            EXPECT_EQ(WaitForBar(progress, Bar(250, 0)), Bar(250, 0));
            EXPECT_EQ(PageShown(window), kProgressPage);
            OpenSetupGate();
        }
        HWND error = nullptr;
        bool answered = true;
        WaitUntil(
            [&] {
                if ((error = WaitForPage(window, kErrorPage, 0)) != nullptr) return true;
                if (!Answers(window, 15000) && IsWindowVisible(window) && ProcessRuns(pid)) {
                    answered = false;
                }
                return false;
            },
            kExitTimeout);
        ASSERT_NE(error, nullptr) << "shows page " << PageShown(window);
        EXPECT_TRUE(answered) << "the window stopped answering";
        ASSERT_TRUE(Click(Control(error, IDC_PAGE_BUTTON)));
        EXPECT_EQ(WaitForExit(pid, kExitTimeout), std::optional<DWORD>(0u));
        EXPECT_TRUE(CallsOf(Join(product_dir, main_app)).empty()) << "completion actions ran";
        EXPECT_EQ(LogRequests(), 0u);
        owner.EndAll();
    }
}

// A setup that never ends: the window answers, and while the close button is disabled neither
// Escape nor the system's close (WM_CLOSE, the taskbar's close command, Alt+F4) ends the
// update under the running setup. Once the setup is gone the error page follows.
TEST_F(ProgressStep, HungSetupKeepsTheWindowUntilItEnds) {
    InstallProduct();
    AgentHasWritten(DefaultInfo());
    SetSetup("MODE", "hang");  // reports the range 0..40, then never ends
    DWORD pid = 0;
    HWND window = nullptr;
    HWND progress = StartOnTheProgressPage(&pid, &window);
    ASSERT_NE(progress, nullptr);
    const auto run = WaitForSetupRun();
    ASSERT_TRUE(run.has_value()) << "the setup did not start";
    EXPECT_EQ(WaitForBar(progress, Bar(40, 0)), Bar(40, 0));
    EXPECT_FALSE(CloseButtonEnabled(window));

    ASSERT_TRUE(PressKey(window, VK_ESCAPE));
    ASSERT_TRUE(PostMessageA(window, WM_CLOSE, 0, 0));
    ASSERT_TRUE(PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0));
    ASSERT_TRUE(PressAltKey(window, VK_F4));
    // Reports posted after the keys, each once the one before has been handled: whatever a
    // close posted in turn (the close request, the system command) has been handled by the
    // last one.
    for (int position = 7; position <= 9; ++position) {
        ASSERT_TRUE(PostMessageA(window, kProgressPosition, run->pid, position));
        EXPECT_EQ(WaitForBar(progress, Bar(40, position)), Bar(40, position));
    }
    ASSERT_TRUE(Answers(window, 15000));
    EXPECT_EQ(PageShown(window), kProgressPage);
    EXPECT_TRUE(ProcessRuns(pid)) << "the window ended under the running setup";
    EXPECT_FALSE(AnyMessageBox(pid));

    HANDLE setup = OpenProcess(PROCESS_TERMINATE, FALSE, run->pid);
    ASSERT_NE(setup, nullptr);
    TerminateProcess(setup, 1);
    CloseHandle(setup);
    HWND error = WaitForPage(window, kErrorPage, kExitTimeout);
    ASSERT_NE(error, nullptr) << "shows page " << PageShown(window);
    ASSERT_TRUE(Click(Control(error, IDC_PAGE_BUTTON)));
    const ExitWatch end = WaitForExitWatchingMessageBoxes(pid, kExitTimeout);
    EXPECT_EQ(end.exit_code, std::optional<DWORD>(0u));
    EXPECT_FALSE(end.message_box) << "asked: " << end.message_box->text;
    EXPECT_EQ(LogRequests(), 0u);
}

// ---- the middle offer around the product's setup ----

class MiddleOffer : public ProgressStep {
protected:
    MiddleOffer() {
        norvane_environment.push_back("OFFER_SETUP_RECORD=" + offer_record);
        SetSetup("MODE", "wait");
    }
    ~MiddleOffer() override {
        for (const std::string& file : offer_files) DeleteFileA(file.c_str());
    }
    // The middle offer of the option file: one product, its setup the offer-setup stand-in.
    void OfferProduct(const std::string& name, const std::string& version) {
        const std::string setup = Join(DoublesDir(), "offer_setup.exe");
        server.Serve("/offer/" + name + ".exe", ReadTextFile(setup).value_or(""));
        WriteOptionFile("<addproduct type=\"middle\"><productinfo><name>" + name +
                        "</name><namelocal>" + name + " local</namelocal><ver>" + version +
                        "</ver><url checksum=\"" + FileMd5Hex(setup) + "\"><![CDATA[" +
                        server.Url("/offer/" + name + ".exe") +
                        "]]></url><setcheckbox>1</setcheckbox><textadd><![CDATA[Install " + name +
                        "]]></textadd><textupdate><![CDATA[Update " + name +
                        "]]></textupdate><textenable><![CDATA[Switch " + name +
                        " on]]></textenable></productinfo></addproduct>");
        offer_files.push_back(Join(DataRoot(), "AdditionalInstallInfo_middle\\" + name + ".exe"));
    }
    // From the loading page to the progress page with the offer's box left as it is (checked).
    // Returns the setup's run.
    std::optional<SetupRun> RunUpToTheSetup(DWORD* pid, HWND* window) {
        AgentWillFind(DefaultInfo());
        *pid = StartNorvane("/explicitupdate");
        *window = MainWindow(*pid);
        if (!*window) return std::nullopt;
        HWND description = WaitForPage(*window, kDescriptionPage);
        if (!description || !Click(Control(description, IDC_NEXT))) return std::nullopt;
        HWND options = WaitForPage(*window, kOptionPage);
        if (!options) return std::nullopt;
        EXPECT_TRUE(IsChecked(Control(options, IDC_EXTRA_OFFER_CHECK)));
        if (!Click(Control(options, IDC_NEXT))) return std::nullopt;
        // Switching the toolbar on asks the browser through COM first; under Wine that call can
        // wait twice ten seconds for the RPC service.
        if (!WaitForPage(*window, kProgressPage, 60000)) {
            ADD_FAILURE() << "shows page " << PageShown(*window);
            return std::nullopt;
        }
        return WaitForSetupRun();
    }
    // The setup reports its end; the window moves on once the offer has had its turn. Then
    // the finish button; returns the update log's query.
    std::string FinishAfterTheSetup(DWORD pid, HWND window, const SetupRun& run) {
        EXPECT_TRUE(PostMessageA(window, kExitCode, run.pid, 0));
        HWND complete = WaitForPage(window, kCompletePage);
        EXPECT_NE(complete, nullptr) << "shows page " << PageShown(window);
        if (!complete) return "";
        Click(Control(complete, IDC_PAGE_BUTTON));
        EXPECT_EQ(WaitForExit(pid, kExitTimeout), std::optional<DWORD>(0u));
        WaitUntil([&] { return LogRequests() > 0; }, kAppearTimeout);
        auto logs = server.RequestsFor("/UpdateLog.aspx");
        return logs.empty() ? "" : logs[0].query;
    }
    const std::string offer_record = root.File("offer.record");
    std::vector<std::string> offer_files;
};

TEST_F(MiddleOffer, NewProductIsInstalledAfterTheProductsSetup) {
    const std::string name = UniqueName("Offered");
    InstallProduct();
    OfferProduct(name, "1.0");
    DWORD pid = 0;
    HWND window = nullptr;
    const auto run = RunUpToTheSetup(&pid, &window);
    ASSERT_TRUE(run.has_value()) << "the setup did not start";
    // The product's setup runs; the offer has not been fetched, let alone run.
    ASSERT_TRUE(Answers(window, 15000));
    EXPECT_TRUE(server.RequestsFor("/offer/" + name + ".exe").empty());
    EXPECT_FALSE(PathExists(offer_record));

    const std::string log = FinishAfterTheSetup(pid, window, *run);
    EXPECT_EQ(server.RequestsFor("/offer/" + name + ".exe").size(), 1u);
    EXPECT_EQ(ReadTextFile(offer_record).value_or(""),
              "/verysilent /norestart /addothersetup /NOINSTDRAVEL\n");
    EXPECT_EQ(log.substr(0, log.find("&eName")),
              "mName=" + name + "&mVer=1.0&mShown=1&mDefault=1&mUser=1&mState=1");
}

// The toolbar, installed in the offered version but switched off, is only switched back on,
// and that before the product's setup starts.
TEST_F(MiddleOffer, SwitchedOffToolbarIsSwitchedOnBeforeTheProductsSetup) {
    TempDir toolbar;
    ScopedRegTree wendle(HKEY_LOCAL_MACHINE, "Software\\Quindel\\Wendle");
    const char kLayoutKey[] = "Software\\Microsoft\\Internet Explorer\\Toolbar\\WebBrowser";
    ScopedRegValue layouts[] = {{HKEY_CURRENT_USER, kLayoutKey, "ITBarLayout", View::Own},
                                {HKEY_CURRENT_USER, kLayoutKey, "ITBar7Layout", View::Own}};
    const char* const kClasses[] = {"CLSID\\{38FBE93D-4CA1-4414-AF6A-94920C5BD8DA}",
                                    "CLSID\\{7F1A79F9-78D1-4186-9F60-EE0B63DF042A}",
                                    "CLSID\\{332D49D5-832C-4EB2-8911-C596F580D14A}"};
    ScopedRegTree classes[] = {{HKEY_CLASSES_ROOT, kClasses[0]},
                               {HKEY_CLASSES_ROOT, kClasses[1]},
                               {HKEY_CLASSES_ROOT, kClasses[2]}};
    ScopedRegValue band(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Internet Explorer\\Toolbar",
                        "{38FBE93D-4CA1-4414-AF6A-94920C5BD8DA}");
    ScopedRegTree helper(HKEY_LOCAL_MACHINE,
                         "Software\\Microsoft\\Windows\\CurrentVersion\\explorer\\Browser Helper "
                         "Objects\\{7F1A79F9-78D1-4186-9F60-EE0B63DF042A}");
    // Showing the band asks the browser; here there is none to ask.
    ScopedRegValue browser(HKEY_CLASSES_ROOT,
                           "CLSID\\{0002DF01-0000-0000-C000-000000000046}\\LocalServer32", "",
                           View::Own);
    ASSERT_TRUE(WriteTextFile(toolbar.File("band.dll"), "MZ"));
    ASSERT_TRUE(SetRegString(HKEY_LOCAL_MACHINE, "Software\\Quindel\\Wendle", "RootDir", toolbar.path()));
    ASSERT_TRUE(SetRegString(HKEY_LOCAL_MACHINE, "Software\\Quindel\\Wendle", "Version", "3.0"));
    ASSERT_TRUE(SetRegString(HKEY_CLASSES_ROOT, std::string(kClasses[0]) + "\\InprocServer32", "", toolbar.File("band.dll")));
    ASSERT_TRUE(SetRegString(HKEY_CLASSES_ROOT, std::string(kClasses[1]) + "\\InprocServer32", "", toolbar.File("band.dll")));
    ASSERT_TRUE(SetRegString(HKEY_CLASSES_ROOT, std::string(kClasses[2]) + "\\LocalServer32", "", toolbar.File("band.dll")));
    DeleteRegValue(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Internet Explorer\\Toolbar",
                   "{38FBE93D-4CA1-4414-AF6A-94920C5BD8DA}");
    ASSERT_TRUE(SetRegString(HKEY_CLASSES_ROOT,
                             "CLSID\\{0002DF01-0000-0000-C000-000000000046}\\LocalServer32", "",
                             toolbar.File("no-browser.exe"), View::Own));

    InstallProduct();
    OfferProduct("Wendle", "3.0");
    DWORD pid = 0;
    HWND window = nullptr;
    const auto run = RunUpToTheSetup(&pid, &window);
    ASSERT_TRUE(run.has_value()) << "the setup did not start";
    // When the product's setup starts, the toolbar is on again.
    EXPECT_EQ(GetRegString(HKEY_LOCAL_MACHINE, "Software\\Quindel\\Wendle", "Reinstall"),
              std::optional<std::string>("1"));
    // The browser takes the toolbar back meanwhile, as it does on the user's machine: the offer's
    // result stays the one decided before the setup.
    ASSERT_TRUE(SetRegString(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Internet Explorer\\Toolbar",
                             "{38FBE93D-4CA1-4414-AF6A-94920C5BD8DA}", "Wendle"));
    ASSERT_TRUE(SetRegString(HKEY_LOCAL_MACHINE,
                             "Software\\Microsoft\\Windows\\CurrentVersion\\explorer\\Browser "
                             "Helper Objects\\{7F1A79F9-78D1-4186-9F60-EE0B63DF042A}",
                             "", "Wendle"));
    // The band shown in the first slot of the browser's layout, whichever version reads it.
    std::vector<BYTE> layout(1000, 0);
    const GUID band_class = {0x38FBE93D, 0x4CA1, 0x4414, {0xAF, 0x6A, 0x94, 0x92, 0x0C, 0x5B, 0xD8, 0xDA}};
    memcpy(layout.data() + 276, &band_class, sizeof(band_class));
    const DWORD first_slot_shown = 1u << 16;
    memcpy(layout.data() + 16, &first_slot_shown, sizeof(first_slot_shown));
    for (const char* name : {"ITBarLayout", "ITBar7Layout"}) {
        ASSERT_TRUE(SetRegBinary(HKEY_CURRENT_USER, kLayoutKey, name, layout, View::Own));
    }

    const std::string log = FinishAfterTheSetup(pid, window, *run);
    // Nothing was fetched or run for it, before or after.
    EXPECT_TRUE(server.RequestsFor("/offer/Wendle.exe").empty());
    EXPECT_FALSE(PathExists(offer_record));
    EXPECT_EQ(log.substr(0, log.find("&eName")),
              "mName=Wendle&mVer=3.0&mShown=1&mDefault=1&mUser=1&mState=3");
}

// ---- the hand-over, whole ----

using HandOverRun = ProgressStep;

// Without elevation, the update hands the progress step to an "/adminprogress" copy, which opens
// on the progress page, runs the setup with its own page's handle and the choices the first
// copy saved, and ends the update. (Wine's "runas" gives the copy the same limited token; the
// copy does not hand over again.)
TEST_F(HandOverRun, LimitedUpdateHandsOverAndTheCopyRunsTheSetupToTheEnd) {
    InstallProduct();
    AgentWillFind(DefaultInfo());
    const DWORD first = StartNorvane("/explicitupdate", true);
    ASSERT_NE(first, 0u);
    EXPECT_EQ(ProcessElevated(first), std::optional<bool>(false));
    HWND window = MainWindow(first);
    ASSERT_NE(window, nullptr);
    MoveOnToTheProgressStep(window);
    EXPECT_EQ(WaitForExit(first, kExitTimeout), std::optional<DWORD>(0u))
        << "the first copy did not hand over";
    EXPECT_FALSE(PathExists(setup_record)) << "the first copy started the setup";

    DWORD second = 0;
    WaitUntil(
        [&] {
            for (DWORD id : ProcessOwner::ProcessesUnder(install_dir)) {
                if (id != first) second = id;
            }
            return second != 0;
        },
        kAppearTimeout);
    ASSERT_NE(second, 0u) << "no second copy";
    owner.Own(second);
    HWND copy_window = MainWindow(second);
    ASSERT_NE(copy_window, nullptr);
    HWND progress = WaitForPage(copy_window, kProgressPage);
    ASSERT_NE(progress, nullptr) << "shows page " << PageShown(copy_window);
    const auto run = WaitForSetupRun();
    ASSERT_TRUE(run.has_value()) << "the copy did not start the setup";
    EXPECT_EQ(run->arguments, SetupArguments(progress, "yes", "yes", "no"));
    RecordProperty("setup_elevated", run->elevated ? "yes" : "no");
    EXPECT_EQ(WaitForBar(progress, Bar(40, 40)), Bar(40, 40));

    OpenSetupGate();
    HWND complete = WaitForPage(copy_window, kCompletePage);
    ASSERT_NE(complete, nullptr) << "shows page " << PageShown(copy_window);
    ASSERT_TRUE(Click(Control(complete, IDC_PAGE_BUTTON)));
    EXPECT_EQ(WaitForExit(second, kExitTimeout), std::optional<DWORD>(0u));
    EXPECT_TRUE(WaitUntil([&] { return LogRequests() == 1; }, kAppearTimeout));
    EXPECT_EQ(ProcessOwner::ProcessesUnder(install_dir).size(), 0u);
}
