// The update window's page flow, driven without windows: a host that answers the flow's
// questions as each case sets them and records every action in order. Includes no Windows
// header, so it also runs natively.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "updater/app/PageFlow.h"
#include "updater/app/UpdateMode.h"

namespace {

class FakeHost : public PageFlowHost {
public:
    // Facts and answers, set by each case.
    int pages = kPageCount;
    bool installed_current = false;
    bool running = false;
    bool needs_elevation = false;
    int elevation_result = 42;
    bool store_writable = true;
    bool licence_needed = false;
    int licence_answer = 0;
    bool close_running_answer = true;
    bool cancel_answer = true;

    std::vector<std::string> log;
    std::string Log() const {
        std::string all;
        for (const std::string& entry : log) all += (all.empty() ? "" : " ") + entry;
        return all;
    }

    int PageCount() const override { return pages; }
    bool InstalledVersionIsCurrent() override { return installed_current; }
    bool ProductIsRunning() override { return running; }
    bool NeedsElevatedCopy() override { return needs_elevation; }
    bool LicenceMustBeShown() override { return licence_needed; }
    int AskLicencePage() override {
        log.push_back("ask-licence");
        return licence_answer;
    }
    bool AskToCloseRunningProduct() override {
        log.push_back("ask-running");
        return close_running_answer;
    }
    bool ConfirmCancel() override {
        log.push_back("confirm");
        return cancel_answer;
    }
    void ReportElevationRefused() override { log.push_back("refused"); }
    bool SaveSetupOptions() override {
        log.push_back(store_writable ? "save" : "save-failed");
        return store_writable;
    }
    int StartElevatedCopy() override {
        log.push_back("elevate");
        return elevation_result;
    }
    void CloseRunningProduct() override { log.push_back("close-product"); }
    void StartAdvertisement() override { log.push_back("ad"); }
    void ClearNewProjectValues() override { log.push_back("clear-new"); }
    void SetAfterUpdateDay(bool clear) override { log.push_back(clear ? "day-clear" : "day-week"); }
    void RefreshPagesAfterLoading() override { log.push_back("refresh"); }
    void RefreshAlreadyCurrentPage() override { log.push_back("refresh-current"); }
    void RunCompletionActions() override { log.push_back("complete"); }
    void EnableCloseButton(bool enable) override { log.push_back(enable ? "close+" : "close-"); }
    void SwitchPage(int from, int to) override {
        log.push_back(std::to_string(from) + ">" + std::to_string(to));
    }
    void Post(PageRequest request) override {
        const char* names[] = {"post-next", "post-current", "post-error", "post-close"};
        log.push_back(names[static_cast<int>(request)]);
    }
    void End(int result) override { log.push_back(result == kEndOk ? "end-ok" : "end-cancel"); }
};

// A flow shown for the first time and walked to the given page with "next" requests.
struct Flow {
    explicit Flow(int mode) : flow(host, mode) {}
    void Start() {
        flow.OnFirstShow();
        host.log.clear();
    }
    FakeHost host;
    PageFlow flow;
};

}  // namespace

TEST(PageFlow, WholeUpdateFromLoadingToTheEnd) {
    Flow f(ExplicitUpdate);
    f.flow.OnFirstShow();
    EXPECT_EQ(f.host.Log(), "close- -1>0");
    f.flow.OnFirstShow();  // only the first show counts
    EXPECT_EQ(f.flow.current_page(), kLoadingPage);

    f.host.log.clear();
    f.flow.NextPage();
    f.flow.NextPage();
    f.flow.NextPage();  // no licence to show: straight to the progress step
    EXPECT_EQ(f.host.Log(), "refresh close+ 0>1 close+ 1>2 close- ad 2>4");
    EXPECT_EQ(f.flow.current_page(), kProgressPage);

    f.host.log.clear();
    f.flow.NextPage();
    f.flow.NextPage();  // ignored on the completion page
    EXPECT_EQ(f.host.Log(), "close+ 4>5");
    f.host.log.clear();
    f.flow.Close();
    EXPECT_EQ(f.host.Log(), "day-clear complete end-ok");
}

TEST(PageFlow, ProgressStepChecksComeBeforeAnyPageChange) {
    {
        SCOPED_TRACE("installed version already current");
        Flow f(ExplicitUpdate);
        f.host.installed_current = true;
        f.Start();
        f.flow.ShowPage(kProgressPage);
        EXPECT_EQ(f.host.Log(), "post-current");
        EXPECT_EQ(f.flow.current_page(), kLoadingPage);
        f.host.log.clear();
        f.flow.ShowAlreadyCurrent();
        EXPECT_EQ(f.host.Log(), "refresh-current close+ 0>6");
    }
    {
        SCOPED_TRACE("running product kept: the close is not confirmed again");
        Flow f(UpdateNotice);
        f.host.running = true;
        f.host.close_running_answer = false;
        f.Start();
        f.flow.ShowPage(kProgressPage);
        EXPECT_EQ(f.host.Log(), "ask-running post-close");
        EXPECT_FALSE(f.flow.confirm_close());
        f.host.log.clear();
        f.flow.Close();
        EXPECT_EQ(f.host.Log(), "day-week end-cancel");
    }
    {
        SCOPED_TRACE("running product closed after the user agreed");
        Flow f(ExplicitUpdate);
        f.host.running = true;
        f.Start();
        f.flow.ShowPage(kProgressPage);
        EXPECT_EQ(f.host.Log(), "ask-running close-product close- ad 0>4");
    }
    {
        SCOPED_TRACE("the elevated copy is not asked again but closes the product");
        Flow f(AdminProgress);
        f.host.running = true;
        f.flow.OnFirstShow();
        EXPECT_EQ(f.host.Log(), "close-product close- ad -1>4");
    }
}

TEST(PageFlow, ElevatedHandOverByShellResult) {
    auto run = [](int result) {
        Flow f(UpdateNotice);
        f.host.needs_elevation = true;
        f.host.running = true;
        f.host.elevation_result = result;
        f.Start();
        f.flow.ShowPage(kProgressPage);
        return f.host.Log() + " @" + std::to_string(f.flow.current_page());
    };
    // Started: this copy stays on its page until it learns whether the copy took over.
    EXPECT_EQ(run(33), "ask-running save elevate @1");
    // Refused: the user stays where they were and may try again.
    EXPECT_EQ(run(kElevationRefused), "ask-running save elevate refused @1");
    // Any other failure: the progress step runs here, without closing the product or the
    // close button, and the progress page asks for elevation itself.
    EXPECT_EQ(run(2), "ask-running save elevate 1>4 @4");
    EXPECT_EQ(run(0), "ask-running save elevate 1>4 @4");
}

// While the elevated copy may still take over, nothing else happens here (the copy would run
// the setup beside whatever this copy did); then the outcome decides: ended, or the error page
// instead of a copy that closed as though someone carried on.
TEST(PageFlow, StartedCopyEndsThisOneOnlyOnceItTookOver) {
    auto started = [] {
        auto f = std::make_unique<Flow>(UpdateNotice);
        f->host.needs_elevation = true;
        f->host.elevation_result = 42;
        f->Start();
        f->flow.ShowPage(kProgressPage);
        f->host.log.clear();
        return f;
    };
    {
        SCOPED_TRACE("taken over");
        auto f = started();
        EXPECT_TRUE(f->flow.awaiting_hand_over());
        f->flow.NextPage();
        f->flow.Close();
        f->flow.ShowPage(kOptionPage);
        EXPECT_EQ(f->host.Log(), "");
        f->flow.HandOverTaken();
        // The notice's record of the pending product is emptied by the notice, not the copy.
        EXPECT_EQ(f->host.Log(), "clear-new end-ok");
        EXPECT_FALSE(f->flow.awaiting_hand_over());
        f->flow.HandOverTaken();  // a second report changes nothing
        f->flow.HandOverFailed();
        EXPECT_EQ(f->host.Log(), "clear-new end-ok");
    }
    {
        SCOPED_TRACE("an explicit update leaves the agent's record alone");
        Flow f(ExplicitUpdate);
        f.host.needs_elevation = true;
        f.host.elevation_result = 42;
        f.Start();
        f.flow.ShowPage(kProgressPage);
        f.host.log.clear();
        f.flow.HandOverTaken();
        EXPECT_EQ(f.host.Log(), "end-ok");
    }
    {
        SCOPED_TRACE("the copy could not take over");
        auto f = started();
        f->flow.HandOverFailed();
        EXPECT_EQ(f->host.Log(), "close+ 1>7");
        EXPECT_EQ(f->flow.current_page(), kErrorPage);
        f->host.log.clear();
        f->flow.Close();  // the error page closes as usual
        EXPECT_EQ(f->host.Log(), "end-ok");
    }
    {
        SCOPED_TRACE("no copy started: reports of one are ignored");
        Flow f(UpdateNotice);
        f.Start();
        f.flow.HandOverTaken();
        f.flow.HandOverFailed();
        EXPECT_EQ(f.host.Log(), "");
    }
}

// A store that cannot be written would hand a copy nothing of the user's choices: no copy is
// started, and the step runs here as when elevation is not available.
TEST(PageFlow, StoreThatCannotBeWrittenKeepsTheProgressStepHere) {
    Flow f(UpdateNotice);
    f.host.needs_elevation = true;
    f.host.running = true;
    f.host.store_writable = false;
    f.Start();
    f.flow.ShowPage(kProgressPage);
    EXPECT_EQ(f.host.Log(), "ask-running save-failed 1>4");
    EXPECT_EQ(f.flow.current_page(), kProgressPage);
}

// A copy that was started to be the elevated one and is not (the system gave it no higher
// rights) must not start yet another copy: each would wait for the last one's mutex and hand
// over again, without end. It goes on in this process; the progress page asks for elevation
// when it starts the setup.
TEST(PageFlow, CopyStartedForElevationNeverHandsOverAgain) {
    Flow f(AdminProgress);
    f.host.needs_elevation = true;
    f.host.running = true;
    f.flow.OnFirstShow();
    EXPECT_EQ(f.host.Log(), "close-product close- ad -1>4");
    EXPECT_EQ(f.flow.current_page(), kProgressPage);
}

TEST(PageFlow, LicencePageOnlyWhenNeededAndKeptUntilAccepted) {
    Flow f(UpdateNotice);
    f.host.licence_needed = true;
    f.Start();
    f.flow.NextPage();
    f.flow.NextPage();
    EXPECT_EQ(f.flow.current_page(), kLicensePage);
    f.host.licence_answer = 1;
    f.host.log.clear();
    f.flow.NextPage();
    EXPECT_EQ(f.host.Log(), "ask-licence");
    EXPECT_EQ(f.flow.current_page(), kLicensePage);
    f.host.licence_answer = 0;
    f.flow.NextPage();
    EXPECT_EQ(f.flow.current_page(), kProgressPage);
}

TEST(PageFlow, CancellingAsksOnlyOnTheChoicePages) {
    {
        SCOPED_TRACE("No keeps the window; Yes in a notice pauses the agent a week");
        Flow f(UpdateNotice);
        f.Start();
        f.host.cancel_answer = false;
        f.flow.Close();
        EXPECT_EQ(f.host.Log(), "confirm");
        f.host.cancel_answer = true;
        f.host.log.clear();
        f.flow.Close();
        EXPECT_EQ(f.host.Log(), "confirm day-week end-cancel");
    }
    {
        SCOPED_TRACE("an update the user asked for is cancelled without the pause");
        Flow f(ExplicitUpdate);
        f.Start();
        f.flow.NextPage();
        f.host.log.clear();
        f.flow.Close();
        EXPECT_EQ(f.host.Log(), "confirm end-cancel");
    }
    {
        SCOPED_TRACE("loading and progress end at once; the result pages end with OK");
        Flow loading(ExplicitUpdate);
        loading.Start();
        loading.flow.Close();
        EXPECT_EQ(loading.host.Log(), "end-cancel");
        Flow error(ExplicitUpdate);
        error.Start();
        error.flow.ShowError();
        error.host.log.clear();
        error.flow.Close();
        EXPECT_EQ(error.host.Log(), "end-ok");
        Flow never_shown(ExplicitUpdate);
        never_shown.flow.Close();
        EXPECT_EQ(never_shown.host.Log(), "end-ok");
    }
}

// The system's close command (Alt+F4, the taskbar) goes where the close button goes, and
// nowhere while the button is disabled: on the loading page and once the setup runs, ending
// the window would leave the agent's check or the setup going on unwatched.
TEST(PageFlow, SystemCloseFollowsTheCloseButton) {
    struct Case {
        const char* name;
        int mode;
        bool needs_elevation;
        int page;             // reached with ShowPage after the first show
        const char* expected; // what the system's close leads to
    };
    const Case cases[] = {
        {"loading page", ExplicitUpdate, false, -1, ""},
        {"description page", UpdateNotice, false, -1, "post-close"},
        {"option page", UpdateNotice, false, kOptionPage, "post-close"},
        {"progress step prepared", UpdateNotice, false, kProgressPage, ""},
        {"elevated copy on the progress page", AdminProgress, false, -1, ""},
        // Elevation not available: the step runs here without its preparation and the button
        // stays as it was, so the close does what the button would.
        {"progress step without elevation", UpdateNotice, true, kProgressPage, "post-close"},
        {"completion page", UpdateNotice, false, kCompletePage, "post-close"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Flow f(c.mode);
        f.host.needs_elevation = c.needs_elevation;
        f.host.elevation_result = 2;
        f.Start();
        if (c.page >= 0) f.flow.ShowPage(c.page);
        f.host.log.clear();
        f.flow.SystemClose();
        EXPECT_EQ(f.host.Log(), c.expected);
    }
    {
        SCOPED_TRACE("the error page after a disabled loading page enables it again");
        Flow f(ExplicitUpdate);
        f.Start();
        f.flow.ShowError();
        f.host.log.clear();
        f.flow.SystemClose();
        EXPECT_EQ(f.host.Log(), "post-close");
    }
}

TEST(PageFlow, NoticeCompletionClearsTheAgentsRecordAndMissingPagesAreNeverShown) {
    Flow f(UpdateNotice);
    f.Start();
    f.flow.ShowPage(kCompletePage);
    EXPECT_EQ(f.host.Log(), "clear-new close+ 1>5");

    Flow few(ExplicitUpdate);
    few.host.pages = kErrorPage;  // the error page could not be created
    few.Start();
    few.flow.ShowError();
    few.flow.ShowPage(kErrorPage);
    few.flow.ShowPage(-1);
    EXPECT_EQ(few.host.Log(), "");
    few.flow.ShowAlreadyCurrent();
    EXPECT_EQ(few.flow.current_page(), kAlreadyCurrentPage);

    Flow prepare(BgPrepare);
    prepare.flow.OnFirstShow();
    EXPECT_EQ(prepare.host.Log(), "");
}
