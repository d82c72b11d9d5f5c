// The update window without a mouse: real key strokes (typed on the test display, through the
// window's own dialog manager) walk a whole update, reach and switch the option page's tabs,
// toggle the tree's boxes, and use the window's close button; the focus always rests where
// the user can see it, and every button has a name a screen reader can read.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "resources/ResourceIds.h"
#include "tests/window/UpdateWindowFixture.h"
#include "updater/app/PageFlow.h"

using namespace testsupport;
using namespace windowtest;

namespace {

// Buttons of the window and of its shown page (the window's close button included, push
// buttons whatever their look, check boxes while shown) whose window text is empty.
std::vector<std::string> UnnamedButtons(HWND window) {
    std::vector<std::string> unnamed;
    std::vector<HWND> containers = {window};
    if (HWND page = VisibleChildDialog(window)) {
        containers.push_back(page);
        for (HWND inner : ChildDialogs(page)) containers.push_back(inner);
    }
    for (HWND container : containers) {
        for (HWND child = GetWindow(container, GW_CHILD); child;
             child = GetWindow(child, GW_HWNDNEXT)) {
            if (ClassName(child) != "Button") continue;
            const LONG style = GetWindowLongA(child, GWL_STYLE);
            const LONG type = style & BS_TYPEMASK;
            const bool push = type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON ||
                              type == BS_OWNERDRAW;
            // A hidden push button is still found by a reader walking the window.
            if (!push && !IsWindowVisible(child)) continue;
            if (ReadText(child).value_or("").empty()) {
                unnamed.push_back("control " + std::to_string(GetDlgCtrlID(child)) + " of page " +
                                  std::to_string(PageIndexOf(container)));
            }
        }
    }
    return unnamed;
}

}  // namespace

class Keyboard : public UpdateWindowTest {
protected:
    // Keys typed into the window; the test stops when they cannot be typed.
    void Type(HWND window, std::vector<std::string> keys) {
        ASSERT_TRUE(TypeKeys(window, keys)) << "xdotool could not type " << keys.front();
    }
    // Waits until the focus is on `control`.
    bool FocusReaches(HWND window, HWND control) {
        return WaitUntil([&] { return FocusedWindow(window) == control; }, kAppearTimeout);
    }
    // The rules every page keeps when shown: the focus on something visible and enabled in it,
    // and a name on every button.
    void ExpectPageReady(HWND window, int index) {
        SCOPED_TRACE("page " + std::to_string(index));
        HWND page = WaitForPage(window, index);
        ASSERT_NE(page, nullptr) << "shows page " << PageShown(window);
        EXPECT_TRUE(WaitUntil([&] { return FocusUsableIn(window, page); }, kAppearTimeout))
            << "focus on " << FocusedWindow(window) << " (" << ClassName(FocusedWindow(window))
            << ")";
        EXPECT_EQ(UnnamedButtons(window), std::vector<std::string>());
    }
    HWND Tree(HWND page) { return Control(page, IDC_OPTION_TREE); }
    int StateImageOf(HWND tree, const std::string& text) {
        for (const TreeItem& item : TreeItems(tree)) {
            if (item.text == text) return item.state_image;
        }
        return -1;
    }
};

// Description, options (the options tab by Ctrl+Tab, a box cleared with Space), licence (its box
// checked with Space), progress and completion, with nothing but Tab, Space, Enter and Ctrl+Tab.
TEST_F(Keyboard, WholeUpdateByKeysAlone) {
    server.Serve("/eula.rtf", "{\\rtf1 Terms of use}");
    InstallProduct();
    RequireLicence();
    AgentWillFind(DefaultInfo());
    const DWORD pid = StartNorvane("/explicitupdate");
    HWND window = MainWindow(pid);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(ReadText(Control(window, IDC_CLOSE)), Module(IDS_CLOSE_BUTTON));

    ExpectPageReady(window, kDescriptionPage);
    HWND description = WaitForPage(window, kDescriptionPage);
    EXPECT_EQ(FocusedWindow(window), Control(description, IDC_NEXT));
    Type(window, {"Return"});

    ExpectPageReady(window, kOptionPage);
    HWND options = WaitForPage(window, kOptionPage);
    HWND tree = Tree(options);
    Type(window, {"ctrl+Tab"});
    ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(tree) != 0; }, kAppearTimeout))
        << "Ctrl+Tab did not show the options";
    Type(window, {"shift+Tab"});  // from the page's button back to the tree
    ASSERT_TRUE(FocusReaches(window, tree));
    const std::string desktop = Module(IDS_TREE_DESKTOP);
    ASSERT_EQ(StateImageOf(tree, desktop), 2);
    // The header first, then the extra item, then the desktop shortcut.
    Type(window, {"Home", "Down", "Down", "space"});
    ASSERT_TRUE(WaitUntil([&] { return StateImageOf(tree, desktop) == 1; }, kAppearTimeout))
        << "Space did not clear the desktop shortcut's box";
    Type(window, {"Return"});

    ExpectPageReady(window, kLicensePage);
    HWND licence = WaitForPage(window, kLicensePage);
    HWND box = Control(licence, IDC_LICENSE_ACCEPT);
    HWND agree = Control(licence, IDC_LICENSE_NEXT);
    Type(window, {"Tab"});
    ASSERT_TRUE(FocusReaches(window, box));
    Type(window, {"space"});
    ASSERT_TRUE(WaitUntil([&] { return IsWindowEnabled(agree) != 0; }, kAppearTimeout));
    Type(window, {"Tab"});
    ASSERT_TRUE(FocusReaches(window, agree));
    Type(window, {"Return"});

    ExpectPageReady(window, kProgressPage);
    const std::optional<SetupRun> run = WaitForSetupRun();
    ASSERT_TRUE(run.has_value()) << "the setup did not start";
    EXPECT_NE(run->arguments.find("/DesktopIcon=no /StartMenuIcon=yes"), std::string::npos)
        << run->arguments;
    ASSERT_TRUE(WaitForSetupAtTheGate());
    OpenSetupGate();

    ExpectPageReady(window, kCompletePage);
    HWND complete = WaitForPage(window, kCompletePage);
    EXPECT_EQ(FocusedWindow(window), Control(complete, IDC_PAGE_BUTTON));
    Type(window, {"Return"});
    EXPECT_EQ(WaitForExit(pid, kExitTimeout), std::optional<DWORD>(0u));
    EXPECT_FALSE(server.RequestsFor("/UpdateLog.aspx").empty()) << "the update was not finished";
}

// The tabs are a stop of Tab; there the arrows switch them, and Ctrl+Tab and Ctrl+Shift+Tab
// switch them from anywhere, round the ends. A view that goes with the focus in it hands the
// focus to the one that comes.
TEST_F(Keyboard, TabsAreReachedByTabAndSwitchedByKeys) {
    InstallProduct();
    AgentWillFind(DefaultInfo());
    const DWORD pid = StartNorvane("/explicitupdate");
    HWND window = MainWindow(pid);
    ASSERT_NE(window, nullptr);
    HWND description = WaitForPage(window, kDescriptionPage);
    ASSERT_NE(description, nullptr);
    ASSERT_TRUE(Click(Control(description, IDC_NEXT)));
    HWND page = WaitForPage(window, kOptionPage);
    ASSERT_NE(page, nullptr);
    HWND tabs = Control(page, IDC_OPTION_TABS);
    HWND rich = Control(page, IDC_DESCRIPTION_RICH);
    HWND tree = Tree(page);
    ASSERT_TRUE(FocusReaches(window, Control(page, IDC_NEXT)));
    auto shows_tree = [&](bool tree_shown) {
        return WaitUntil(
            [&] {
                return (IsWindowVisible(tree) != 0) == tree_shown &&
                       (IsWindowVisible(rich) != 0) != tree_shown;
            },
            kAppearTimeout);
    };

    Type(window, {"Tab"});
    ASSERT_TRUE(FocusReaches(window, tabs)) << "Tab never reached the tabs";
    Type(window, {"Right"});
    EXPECT_TRUE(shows_tree(true)) << "Right";
    Type(window, {"Left"});
    EXPECT_TRUE(shows_tree(false)) << "Left";
    EXPECT_EQ(FocusedWindow(window), tabs);

    struct Step {
        const char* key;
        bool tree_shown;
    };
    const Step steps[] = {{"ctrl+Tab", true},       {"ctrl+Tab", false},
                          {"ctrl+shift+Tab", true}, {"ctrl+shift+Tab", false}};
    for (const Step& step : steps) {
        Type(window, {step.key});
        EXPECT_TRUE(shows_tree(step.tree_shown)) << step.key;
    }
    EXPECT_EQ(FocusedWindow(window), tabs) << "Ctrl+Tab moved the focus off the tabs";

    // In the description's text, Ctrl+Tab takes the focus along to the tree.
    Type(window, {"shift+Tab", "shift+Tab"});
    ASSERT_TRUE(FocusReaches(window, rich));
    Type(window, {"ctrl+Tab"});
    EXPECT_TRUE(shows_tree(true));
    EXPECT_TRUE(FocusReaches(window, tree)) << "the focus stayed on the hidden text";
    EXPECT_TRUE(ProcessRuns(pid));
}

// Enter on the window's close button does what a click does: on the description page the
// cancel question, not the next page; No keeps the window, Yes ends it.
TEST_F(Keyboard, EnterOnTheCloseButtonFollowsTheCloseRules) {
    InstallProduct();
    AgentWillFind(DefaultInfo());
    const DWORD pid = StartNorvane("/explicitupdate");
    HWND window = MainWindow(pid);
    ASSERT_NE(window, nullptr);
    HWND description = WaitForPage(window, kDescriptionPage);
    ASSERT_NE(description, nullptr);
    HWND close = Control(window, IDC_CLOSE);
    ASSERT_TRUE(FocusReaches(window, Control(description, IDC_NEXT)));
    Type(window, {"shift+Tab"});
    ASSERT_TRUE(FocusReaches(window, close)) << "the close button is no stop of Tab";

    for (int answer : {IDNO, IDYES}) {
        Type(window, {"Return"});
        auto question = WaitForMessageBox(pid, kAppearTimeout);
        ASSERT_TRUE(question.has_value()) << "Enter on the close button asked nothing";
        EXPECT_EQ(question->text, Module(IDS_CANCEL_CONFIRM));
        EXPECT_EQ(PageShown(window), kDescriptionPage) << "Enter moved the update on";
        ASSERT_TRUE(AnswerMessageBox(*question, answer));
        if (answer == IDNO) {
            ASSERT_TRUE(WaitUntil([&] { return !AnyMessageBox(pid); }, kAppearTimeout));
            EXPECT_EQ(PageShown(window), kDescriptionPage);
            ASSERT_TRUE(FocusReaches(window, close)) << "the focus did not come back";
        }
    }
    EXPECT_EQ(WaitForExit(pid, kExitTimeout), std::optional<DWORD>(0u));
}

// The result pages take the focus on their button (the error page did not take it at all), so
// that Enter and Space close them as a click does.
TEST_F(Keyboard, ResultPagesPutTheFocusOnTheirButton) {
    InstallProduct();
    struct Case {
        const char* updated;
        int page;
    };
    for (const Case& c : {Case{"0", kAlreadyCurrentPage}, Case{"no", kErrorPage}}) {
        SCOPED_TRACE(c.updated);
        UpdateInfoText info = DefaultInfo();
        info.updated = c.updated;
        AgentWillFind(info);
        const DWORD pid = StartNorvane("/explicitupdate");
        HWND window = MainWindow(pid);
        ASSERT_NE(window, nullptr);
        ExpectPageReady(window, c.page);
        HWND page = WaitForPage(window, c.page);
        ASSERT_TRUE(FocusReaches(window, Control(page, IDC_PAGE_BUTTON)));
        Type(window, {"space"});
        EXPECT_EQ(WaitForExit(pid, kExitTimeout), std::optional<DWORD>(0u));
        owner.EndAll();
    }
}
