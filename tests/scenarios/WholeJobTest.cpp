// Whole jobs of every command mode, judged as a user and an operator judge them: what was
// installed and started, what the browser's start page is, which files are left, what the
// vendor's servers received and how each process ended.
#include <gtest/gtest.h>

#include "resources/ResourceIds.h"
#include "tests/scenarios/ScenarioFixture.h"
#include "updater/app/PageFlow.h"
#include "updater/data/UpdateInfo.h"
#include "updater/offers/SetupOptionIni.h"

using namespace testsupport;
using namespace windowtest;
using namespace scenario;

namespace {

constexpr const char* kPrepareCloseLine = "4970 0 0";  // 18800, the product's "get ready"
constexpr const char* kCloseLine = "10 0 0";           // WM_CLOSE
const char kMiddleArguments[] = "/verysilent /norestart /addothersetup /NOINSTDRAVEL";

std::string EndArguments(const std::string& parent) {
    return "/silent /addsetup /NOINSTDRAVEL /parentproduct=\"" + parent + "\"";
}

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

}  // namespace

// An update with every offer: a middle offer, a start page, a licence newer than the accepted
// one, and an end offer. The product runs while the user updates it.
class FullUpdate : public Scenario {
protected:
    void SetUp() override {
        InstallProduct();
        option_file = Options(true);
        middle = ServedOffer("Mid", "Middle Product");
        end = ServedOffer("End", "End Product");
        end.version = "3.1";
        option_file.middle = middle;
        option_file.end = end;
        option_file.start_page = ServedStartPage();
        ServeStatistics();
        UseOptionFile(option_file);
        UseProductSetup();
        AgentWillFind(DefaultInfo());
    }
    void StartRunningProduct() {
        ASSERT_TRUE(StartDoubleCopy(product_process, root, main_app,
                                    "--mutex " + DefaultInfo().mutex + " --record " +
                                        Quote(product_record)));
        owner.Own(product_process.pid());
    }
    std::string ProductRecord() { return ReadTextFile(product_record).value_or(""); }
    // Nothing of the update happened: no setup, no offer, no start page, no report, no log.
    void ExpectNothingInstalledOrReported() {
        EXPECT_FALSE(SetupCommand().has_value()) << "the product's setup ran";
        EXPECT_TRUE(OfferRuns().empty()) << "an offered setup ran";
        EXPECT_TRUE(server.RequestsFor("/offers/" + middle.name + ".exe").empty());
        EXPECT_TRUE(server.RequestsFor("/offers/" + end.name + ".exe").empty());
        EXPECT_TRUE(server.RequestsFor("/UpdateLog.aspx").empty());
        EXPECT_TRUE(server.RequestsFor("/InstallerPattern.aspx").empty());
        EXPECT_TRUE(server.RequestsFor("/partner.aspx").empty());
        EXPECT_EQ(StartPage(), std::optional<std::string>("http://home.example/"));
        EXPECT_TRUE(PathExists(setup_path)) << "the downloaded setup was removed";
        EXPECT_FALSE(PathExists(MiddleSetupFile(middle.name)));
        EXPECT_FALSE(GetRegString(HKEY_CURRENT_USER, AgentKey(), "AfterUpdateDay", View::Own));
        EXPECT_TRUE(CallsOf(Join(product_dir, main_app)).empty()) << "the product was started";
    }
    OptionSpec option_file;
    OfferSpec middle, end;
    Process product_process;
    const std::string product_record = root.File("product.record");
};

TEST_F(FullUpdate, AcceptedThroughEveryPageInstallsEverythingAndLogsIt) {
    StartRunningProduct();
    const DWORD pid = StartWithEnvironment("/explicitupdate");
    HWND window = MainWindow(pid);
    ASSERT_NE(window, nullptr);
    HWND description = WaitForPage(window, kDescriptionPage);
    ASSERT_NE(description, nullptr) << "shows page " << PageShown(window);
    ASSERT_TRUE(Click(Control(description, IDC_NEXT)));
    // How the offers look to the user, for a person to look at.
    ASSERT_NE(WaitForPage(window, kOptionPage), nullptr);
    Answers(window, 5000);
    Sleep(300);
    SaveWindowScreenshot(window, "scenario_option_page_offers.png");
    ChooseOptions(window, true, true);
    AcceptLicence(window);
    // The product runs: the user lets the update close it.
    auto question = WaitForMessageBox(pid, kAppearTimeout);
    ASSERT_TRUE(question.has_value()) << "nothing asked about the running product";
    EXPECT_EQ(question->text, Fill(Module(IDS_PRODUCT_RUNNING), DefaultInfo().local_name));
    ASSERT_TRUE(AnswerMessageBox(*question, IDOK));
    ASSERT_NE(WaitForPage(window, kCompletePage, 60000), nullptr) << "shows page " << PageShown(window);
    Answers(window, 5000);
    Sleep(300);
    SaveWindowScreenshot(window, "scenario_complete_page_end_offer.png");
    EXPECT_EQ(Finish(pid, window, true), std::optional<DWORD>(0u));

    // The running product was asked to get ready, then to close, and is gone.
    EXPECT_TRUE(product_process.Wait(kExitTimeout).has_value()) << "the product still runs";
    const std::string lines = ProductRecord();
    ASSERT_TRUE(Has(lines, kPrepareCloseLine) && Has(lines, kCloseLine)) << lines;
    EXPECT_LT(lines.find(kPrepareCloseLine), lines.find(kCloseLine));
    // The product's setup ran silently, reporting to the window, with the icons chosen.
    auto setup = SetupCommand();
    ASSERT_TRUE(setup.has_value()) << "the product's setup did not run";
    EXPECT_TRUE(Has(*setup, "/verysilent /H=")) << *setup;
    EXPECT_TRUE(Has(*setup, " /Q=1 /DesktopIcon=yes /StartMenuIcon=yes /LightLaunchIcon=")) << *setup;
    // Both offers were fetched once and ran once, the middle one first; both setups are
    // removed after their runs.
    EXPECT_EQ(server.RequestsFor("/offers/" + middle.name + ".exe").size(), 1u);
    EXPECT_EQ(server.RequestsFor("/offers/" + end.name + ".exe").size(), 1u);
    EXPECT_EQ(OfferRuns(), (std::vector<std::string>{kMiddleArguments, EndArguments(product)}));
    EXPECT_FALSE(PathExists(MiddleSetupFile(middle.name)));
    EXPECT_FALSE(PathExists(EndSetupFile(end.name)));
    EXPECT_EQ(server.RequestsFor("/eula.rtf").size(), 1u);
    // The start page is the partner's, and both the partner and the vendor were told.
    EXPECT_EQ(StartPage(), std::optional<std::string>(option_file.start_page->page));
    WaitUntil([&] { return !server.RequestsFor("/partner.aspx").empty(); }, kAppearTimeout);
    auto partner = server.RequestsFor("/partner.aspx");
    ASSERT_EQ(partner.size(), 1u);
    EXPECT_EQ(partner[0].query, "page=7&state=1&pd=" + product + "&cr=1");
    auto vendor = server.RequestsFor("/InstallerPattern.aspx");
    ASSERT_EQ(vendor.size(), 1u);
    EXPECT_TRUE(Has(vendor[0].query, "url=7&no=1&pd=dv_" + product + "&cr=1&sr=1&cv=1.0&ov="))
        << vendor[0].query;
    EXPECT_TRUE(Has(vendor[0].query, "&ch=partner1")) << vendor[0].query;
    // The log tells the whole story.
    auto logs = LogRequests();
    ASSERT_EQ(logs.size(), 1u);
    EXPECT_EQ(logs[0].query, OfferFields('m', &middle, 1, 1, 1, 1) + "&" +
                                 OfferFields('e', &end, 1, 1, 1, 1) + UpdateFields());
    // After the update: the product from its folder, the agent from its own, no setup left.
    EXPECT_EQ(WaitForCalls(Join(product_dir, main_app), 1).size(), 1u);
    EXPECT_EQ(WaitForCalls(Join(agent_dir, "Dravel.exe"), 1).size(), 1u);
    EXPECT_FALSE(PathExists(setup_path));
    EXPECT_EQ(GetRegString(HKEY_CURRENT_USER, AgentKey(), "AfterUpdateDay", View::Own),
              std::optional<std::string>(""));
}

// The user can stop the update on the description, option and licence pages and at the
// question about the running product: each ends the window with nothing installed, nothing
// reported and the running product left alone.
TEST_F(FullUpdate, DeclinedAtEachPageThatCanDeclineChangesNothing) {
    StartRunningProduct();
    enum Where { kDescription, kOptions, kLicence, kRunningProduct };
    for (Where where : {kDescription, kOptions, kLicence, kRunningProduct}) {
        SCOPED_TRACE("declined at step " + std::to_string(where));
        const DWORD pid = StartWithEnvironment("/explicitupdate");
        HWND window = MainWindow(pid);
        ASSERT_NE(window, nullptr);
        HWND description = WaitForPage(window, kDescriptionPage);
        ASSERT_NE(description, nullptr) << "shows page " << PageShown(window);
        if (where == kDescription) {
            ASSERT_TRUE(PressKey(window, VK_ESCAPE));
            ExpectCancelledWithYes(pid);
            continue;
        }
        ASSERT_TRUE(Click(Control(description, IDC_NEXT)));
        if (where == kOptions) {
            ASSERT_NE(WaitForPage(window, kOptionPage), nullptr);
            ASSERT_TRUE(Click(Control(window, IDC_CLOSE)));
            ExpectCancelledWithYes(pid);
            continue;
        }
        ChooseOptions(window, true, true);
        if (where == kLicence) {
            HWND licence = WaitForPage(window, kLicensePage);
            ASSERT_NE(licence, nullptr) << "shows page " << PageShown(window);
            // Not accepted: the page asks, No keeps it; then the user cancels.
            ASSERT_TRUE(PressKey(window, VK_RETURN));
            auto question = WaitForMessageBox(pid, kAppearTimeout);
            ASSERT_TRUE(question.has_value()) << "the licence was not asked about";
            EXPECT_EQ(question->text, Module(IDS_LICENSE_QUESTION));
            ASSERT_TRUE(AnswerMessageBox(*question, IDNO));
            ASSERT_TRUE(WaitUntil([&] { return !AnyMessageBox(pid); }, kAppearTimeout));
            EXPECT_EQ(PageShown(window), kLicensePage);
            ASSERT_TRUE(PressKey(window, VK_ESCAPE));
            ExpectCancelledWithYes(pid);
            continue;
        }
        AcceptLicence(window);
        auto question = WaitForMessageBox(pid, kAppearTimeout);
        ASSERT_TRUE(question.has_value()) << "nothing asked about the running product";
        ASSERT_TRUE(AnswerMessageBox(*question, IDCANCEL));
        EXPECT_EQ(WaitForExit(pid, kExitTimeout), std::optional<DWORD>(0u));
    }
    ExpectNothingInstalledOrReported();
    EXPECT_TRUE(product_process.Running());
    EXPECT_EQ(ProductRecord(), "");
}

// Every offer declined: only the product's own setup runs; the start page stays; the vendor
// hears that the box was left clear and the partner hears nothing.
TEST_F(FullUpdate, OffersAndStartPageDeclinedInstallOnlyTheUpdate) {
    const DWORD pid = StartWithEnvironment("/explicitupdate");
    HWND window = MainWindow(pid);
    ASSERT_NE(window, nullptr);
    HWND description = WaitForPage(window, kDescriptionPage);
    ASSERT_NE(description, nullptr) << "shows page " << PageShown(window);
    ASSERT_TRUE(Click(Control(description, IDC_NEXT)));
    ChooseOptions(window, false, false);
    AcceptLicence(window);
    EXPECT_EQ(Finish(pid, window, false), std::optional<DWORD>(0u));

    EXPECT_TRUE(SetupCommand().has_value()) << "the product's setup did not run";
    EXPECT_TRUE(OfferRuns().empty());
    EXPECT_TRUE(server.RequestsFor("/offers/" + middle.name + ".exe").empty());
    EXPECT_TRUE(server.RequestsFor("/offers/" + end.name + ".exe").empty());
    EXPECT_EQ(StartPage(), std::optional<std::string>("http://home.example/"));
    auto vendor = server.RequestsFor("/InstallerPattern.aspx");
    ASSERT_EQ(vendor.size(), 1u);
    EXPECT_TRUE(Has(vendor[0].query, "url=7&no=0&pd=dv_" + product + "&cr=0&sr=0&"))
        << vendor[0].query;
    EXPECT_TRUE(server.RequestsFor("/partner.aspx").empty());
    auto logs = LogRequests();
    ASSERT_EQ(logs.size(), 1u);
    EXPECT_EQ(logs[0].query, OfferFields('m', &middle, 1, 1, 0, 0) + "&" +
                                 OfferFields('e', &end, 1, 1, 0, 0) + UpdateFields());
}

// The notice the agent shows after a background preparation uses what the preparation fetched:
// the option file, the logo, the licence and the middle offer's setup each travel once.
TEST_F(FullUpdate, NoticeAfterBackgroundPreparationDownloadsNothingTwice) {
    ServeOptionFile(option_file);
    server.Serve("/logo.bmp", LogoBitmap());
    UpdateInfoText info = DefaultInfo();
    info.logo_url = server.Url("/logo.bmp");
    AgentHasWritten(info);
    ASSERT_TRUE(SetRegString(HKEY_CURRENT_USER, AgentKey(), "NewProject", "pending", View::Own));

    Process prepare;
    Process::Options options;
    options.extra_environment = environment;
    ASSERT_TRUE(prepare.Start(Quote(Join(install_dir, "Norvane.exe")) + " /bgprepare " + product,
                              options));
    owner.Own(prepare.pid());
    const WatchedRun run = WaitWatchingWindows(prepare, 60000);
    EXPECT_EQ(run.exit_code, std::optional<DWORD>(0u));
    EXPECT_FALSE(run.showed_window);
    EXPECT_TRUE(PathExists(SetupOptionIniPath(product)));
    EXPECT_TRUE(PathExists(MiddleSetupFile(middle.name)));

    const DWORD pid = StartWithEnvironment("/updatenotice");
    HWND window = MainWindow(pid);
    ASSERT_NE(window, nullptr);
    HWND description = WaitForPage(window, kDescriptionPage);
    ASSERT_NE(description, nullptr) << "shows page " << PageShown(window);
    ASSERT_TRUE(Click(Control(description, IDC_NEXT)));
    ChooseOptions(window, true, true);
    AcceptLicence(window);
    EXPECT_EQ(Finish(pid, window, true), std::optional<DWORD>(0u));

    for (const std::string& path : {std::string("/default.ashx"), std::string("/logo.bmp"),
                                    std::string("/eula.rtf"), "/offers/" + middle.name + ".exe",
                                    "/offers/" + end.name + ".exe"}) {
        EXPECT_EQ(server.RequestsFor(path).size(), 1u) << path;
    }
    EXPECT_EQ(OfferRuns(), (std::vector<std::string>{kMiddleArguments, EndArguments(product)}));
    EXPECT_EQ(StartPage(), std::optional<std::string>(option_file.start_page->page));
    auto logs = LogRequests();
    ASSERT_EQ(logs.size(), 1u);
    EXPECT_EQ(logs[0].query, OfferFields('m', &middle, 1, 1, 1, 1) + "&" +
                                 OfferFields('e', &end, 1, 1, 1, 1) + UpdateFields());
    // The notice reached its end: the agent's record of a pending update is cleared.
    EXPECT_EQ(GetRegString(HKEY_CURRENT_USER, AgentKey(), "NewProject", View::Own),
              std::optional<std::string>(""));
}

// A user without administrator rights: the notice saves the user's choices and hands the
// progress step to an "/adminprogress" copy of itself, which finishes the update with them.
// (Under Wine the copy gets the same limited token; it still takes the step itself.)
TEST_F(FullUpdate, HandedOverUpdateFinishesWithTheUsersChoices) {
    ServeOptionFile(option_file);
    AgentHasWritten(DefaultInfo());
    Process prepare;
    Process::Options options;
    options.limited_token = true;
    options.extra_environment = environment;
    ASSERT_TRUE(prepare.Start(Quote(Join(install_dir, "Norvane.exe")) + " /bgprepare " + product,
                              options));
    owner.Own(prepare.pid());
    EXPECT_EQ(WaitWatchingWindows(prepare, 60000).exit_code, std::optional<DWORD>(0u));

    const DWORD first = StartWithEnvironment("/updatenotice", true);
    HWND window = MainWindow(first);
    ASSERT_NE(window, nullptr);
    HWND description = WaitForPage(window, kDescriptionPage);
    ASSERT_NE(description, nullptr) << "shows page " << PageShown(window);
    ASSERT_TRUE(Click(Control(description, IDC_NEXT)));
    ChooseOptions(window, false, true);
    AcceptLicence(window);
    EXPECT_EQ(WaitForExit(first, kExitTimeout), std::optional<DWORD>(0u))
        << "the first copy did not hand over";

    DWORD second = 0;
    WaitUntil(
        [&] {
            for (DWORD pid : ProcessOwner::ProcessesUnder(install_dir)) {
                if (pid != first && pid != prepare.pid()) second = pid;
            }
            return second != 0;
        },
        kAppearTimeout);
    ASSERT_NE(second, 0u) << "no copy took over";
    owner.Own(second);
    HWND copy_window = MainWindow(second);
    ASSERT_NE(copy_window, nullptr);
    EXPECT_EQ(Finish(second, copy_window, false), std::optional<DWORD>(0u));

    // The copy ran the setup with the choices made in the first one: no middle offer, the
    // partner's start page.
    EXPECT_TRUE(SetupCommand().has_value()) << "the product's setup did not run";
    EXPECT_TRUE(OfferRuns().empty());
    EXPECT_EQ(server.RequestsFor("/offers/" + middle.name + ".exe").size(), 1u)
        << "only the preparation fetches the middle offer";
    EXPECT_EQ(StartPage(), std::optional<std::string>(option_file.start_page->page));
    auto logs = LogRequests();
    ASSERT_EQ(logs.size(), 1u);
    EXPECT_EQ(logs[0].query, OfferFields('m', &middle, 1, 1, 0, 0) + "&" +
                                 OfferFields('e', &end, 1, 1, 0, 0) + UpdateFields());
}
