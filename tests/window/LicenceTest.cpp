// The licence page driven through the real window: the licence text as the server gave it (up to
// a NUL byte), the acceptance box and the button that follows it, the acceptance question, and
// addresses in the text that open through the shell.
#include <gtest/gtest.h>

#include <richedit.h>

#include "resources/ResourceIds.h"
#include "tests/window/UpdateWindowFixture.h"
#include "updater/app/PageFlow.h"

using namespace testsupport;
using namespace windowtest;

namespace {

constexpr UINT kMsgLicenseQuery = WM_USER + 1100;


}  // namespace

class Licence : public UpdateWindowTest {
protected:
    // An update the user asked for, up to the licence page, with this licence text on the
    // server.
    HWND OpenLicencePage(const std::string& licence, DWORD* pid, HWND* window) {
        server.Serve("/eula.rtf", licence);
        InstallProduct();
        RequireLicence();
        AgentWillFind(DefaultInfo());
        *pid = StartNorvane("/explicitupdate");
        *window = MainWindow(*pid);
        if (!*window) return nullptr;
        MoveOnToTheProgressStep(*window);
        return WaitForPage(*window, kLicensePage);
    }
    bool Enabled(HWND control) { return control && IsWindowEnabled(control); }
    bool WaitEnabled(HWND control, bool enabled) {
        return WaitUntil([&] { return Enabled(control) == enabled; }, kAppearTimeout);
    }
};

TEST_F(Licence, TextEndsAtItsFirstNulAndTheButtonFollowsTheBox) {
    DWORD pid = 0;
    HWND window = nullptr;
    const char licence[] = "{\\rtf1 Shown terms of use}\0{\\rtf1 Hidden terms}";
    HWND page = OpenLicencePage(std::string(licence, sizeof(licence) - 1), &pid, &window);
    ASSERT_NE(page, nullptr) << "shows page " << PageShown(window);
    const std::string text = Text(page, IDC_LICENSE_TEXT);
    EXPECT_NE(text.find("Shown terms of use"), std::string::npos) << text;
    EXPECT_EQ(text.find("Hidden"), std::string::npos) << text;
    EXPECT_EQ(text.find("rtf1"), std::string::npos) << "shown as source: " << text;
    EXPECT_TRUE(CloseButtonEnabled(window));

    HWND box = Control(page, IDC_LICENSE_ACCEPT);
    HWND button = Control(page, IDC_LICENSE_NEXT);
    EXPECT_FALSE(IsChecked(box));
    EXPECT_FALSE(Enabled(button));
    ASSERT_TRUE(Click(box));
    EXPECT_TRUE(WaitEnabled(button, true)) << "checking the box left the button disabled";
    ASSERT_TRUE(Click(box));
    EXPECT_TRUE(WaitEnabled(button, false)) << "unchecking the box left the button enabled";
    ASSERT_TRUE(Click(box));
    ASSERT_TRUE(WaitEnabled(button, true));

    // The window's question with the box checked: the page may be left, and nobody is asked.
    DWORD_PTR answer = 99;
    ASSERT_TRUE(SendMessageTimeoutA(page, kMsgLicenseQuery, 0, 0, SMTO_ABORTIFHUNG, 15000, &answer));
    EXPECT_EQ(answer, 0u);
    EXPECT_FALSE(AnyMessageBox(pid));
    EXPECT_EQ(PageShown(window), kLicensePage) << "the question alone moved on";

    ASSERT_TRUE(Click(button));
    EXPECT_NE(WaitForPage(window, kProgressPage), nullptr) << "shows page " << PageShown(window);
    EXPECT_FALSE(AnyMessageBox(pid));
}

// Going on without the box checked asks; No keeps the user on the page as it was, Yes checks
// the box and goes on. Enter asks, and so does the window when it is asked to move on.
TEST_F(Licence, GoingOnUncheckedAsksAndOnlyYesMovesOn) {
    DWORD pid = 0;
    HWND window = nullptr;
    HWND page = OpenLicencePage("{\\rtf1 Terms}", &pid, &window);
    ASSERT_NE(page, nullptr) << "shows page " << PageShown(window);
    HWND box = Control(page, IDC_LICENSE_ACCEPT);
    HWND button = Control(page, IDC_LICENSE_NEXT);

    for (const char* way : {"Enter", "the window's next step"}) {
        SCOPED_TRACE(way);
        if (std::string(way) == "Enter") {
            ASSERT_TRUE(PressKey(window, VK_RETURN));
        } else {
            ASSERT_TRUE(PostMessageA(window, kMsgNextPage, 0, 0));
        }
        auto question = WaitForMessageBox(pid, kAppearTimeout);
        ASSERT_TRUE(question.has_value()) << "nothing was asked";
        EXPECT_EQ(question->text, Module(IDS_LICENSE_QUESTION));
        EXPECT_EQ(question->caption, Module(IDS_LICENSE_QUESTION_CAP));
        ASSERT_TRUE(AnswerMessageBox(*question, IDNO));
        ASSERT_TRUE(WaitUntil([&] { return !AnyMessageBox(pid); }, kAppearTimeout));
        ASSERT_TRUE(Answers(window, 15000));
        EXPECT_EQ(PageShown(window), kLicensePage);
        EXPECT_FALSE(IsChecked(box));
        EXPECT_FALSE(Enabled(button));
    }

    ASSERT_TRUE(PressKey(window, VK_RETURN));
    auto question = WaitForMessageBox(pid, kAppearTimeout);
    ASSERT_TRUE(question.has_value()) << "nothing was asked";
    ASSERT_TRUE(AnswerMessageBox(*question, IDYES));
    EXPECT_NE(WaitForPage(window, kProgressPage), nullptr) << "shows page " << PageShown(window);
    EXPECT_TRUE(IsChecked(box));
    // One question for one step: Yes is not asked for again.
    EXPECT_FALSE(AnyMessageBox(pid));
}

// A click on an address in the licence opens it through the shell (here the association of
// "http" names a recording program); a click elsewhere in the text opens nothing.
TEST_F(Licence, ClickOnAnAddressOpensItAndOtherClicksDoNothing) {
    const std::string opener = RecordWebAddresses();
    // The opener only records what it is given; nothing is fetched.
    const std::string address = "http://www.quindel.example/licence";

    DWORD pid = 0;
    HWND window = nullptr;
    HWND page = OpenLicencePage(
        "{\\rtf1\\ansi{\\fonttbl{\\f0 Tahoma;}}\\f0\\fs16{\\b OSTREY END-USER LICENCE AGREEMENT}\\par"
        "\\par This agreement is between you and Quindel. By installing the update you agree to "
        "these terms.\\par\\par 1. You may install and use the software on any number of "
        "computers you own.\\par 2. You may not sell, rent or lend the software.\\par 3. The "
        "software is provided as it is, without warranty of any kind.\\par\\par Read the whole "
        "agreement at " + address + " before going on.\\par}",
        &pid, &window);
    ASSERT_NE(page, nullptr) << "shows page " << PageShown(window);
    LetItPaint(window);
    SaveWindowScreenshot(page, "run_page_license.png");
    HWND rich = Control(page, IDC_LICENSE_TEXT);
    const std::string text = Text(page, IDC_LICENSE_TEXT);
    const size_t link = text.find(address);
    ASSERT_NE(link, std::string::npos) << text;

    auto click_at = [&](size_t at) {
        // The control counts a line break as one character where its text has two.
        size_t character = at;
        for (size_t pair = text.find("\r\n"); pair < at; pair = text.find("\r\n", pair + 2)) {
            --character;
        }
        DWORD_PTR point = 0;
        ASSERT_TRUE(SendMessageTimeoutA(rich, EM_POSFROMCHAR, character, 0, SMTO_ABORTIFHUNG,
                                        5000, &point));
        const LPARAM where = MAKELPARAM(LOWORD(point) + 2, HIWORD(point) + 4);
        ASSERT_TRUE(PostMessageA(rich, WM_LBUTTONDOWN, MK_LBUTTON, where));
        ASSERT_TRUE(PostMessageA(rich, WM_LBUTTONUP, 0, where));
        ASSERT_TRUE(Answers(window, 15000));
    };
    click_at(text.find("agreement at"));
    click_at(link + 10);

    auto calls = WaitForCalls(opener, 1);
    ASSERT_EQ(calls.size(), 1u) << "the address was not opened";
    EXPECT_NE(calls[0].command.find(address), std::string::npos) << calls[0].command;
    // The click before, handled first, opened nothing.
    EXPECT_EQ(WaitForCalls(opener, 2, 2000).size(), 1u);
    EXPECT_FALSE(AnyMessageBox(pid));
    EXPECT_EQ(PageShown(window), kLicensePage);
}
