// The option page of the real update window: what its tree offers for each product, which offer
// drives the extra box, when the start-page box shows, how the tree's boxes answer clicks and
// keys, the two tabs, and what the page's button leaves in SetupOption.ini for the elevated copy.
#include <gtest/gtest.h>

#include <cstring>

#include "resources/ResourceIds.h"
#include "tests/window/UpdateWindowFixture.h"
#include "updater/app/PageFlow.h"
#include "updater/data/UpdateInfo.h"

using namespace testsupport;
using namespace windowtest;

namespace {

const char kBrowserMainKey[] = "Software\\Microsoft\\Internet Explorer\\Main";
const char kPartnerPage[] = "http://start.tarrow.example/";
const char kPartnerName[] = "Tarrow Start";
const char kOfferTitle[] = "Install Fennick Notes";

// The middle offer of the option file: a suite product that is not installed.
std::string MiddleOffer(bool checked_by_default) {
    return std::string("<addproduct type=\"middle\"><productinfo><name>Fennick</name>"
                       "<namelocal>Fennick Notes</namelocal><ver>3.1</ver>"
                       "<url checksum=\"00112233445566778899aabbccddeeff\"><![CDATA["
                       "http://127.0.0.1:9/Fennick.exe]]></url><setcheckbox>") +
           (checked_by_default ? "1" : "0") + "</setcheckbox><textadd><![CDATA[" + kOfferTitle +
           "]]></textadd><textupdate><![CDATA[Update Fennick Notes]]></textupdate>"
           "</productinfo></addproduct>";
}

// The start-page offer; a start page holding one of `check_urls` counts as already set. Without
// the partner's link name the worker is incomplete and the box shows the offer's own title.
// Without `view_box` the offer has no "viewcheckbox": its box is never shown.
std::string StartPageOffer(const std::string& check_urls, bool with_link = true,
                           bool view_box = true) {
    std::string xml = std::string("<startpage><setstartpage><![CDATA[") + kPartnerPage +
                      "]]></setstartpage><setstartpagename><![CDATA[Make Tarrow my start page]]>"
                      "</setstartpagename><setcheckstartpage><![CDATA[" + check_urls +
                      "]]></setcheckstartpage><otherstartpagesendurl><![CDATA["
                      "http://127.0.0.1:9/partner?p=%Product%]]></otherstartpagesendurl>"
                      "<changepagename><![CDATA[tarrow]]></changepagename>"
                      "<setcheckbox>1</setcheckbox>" +
                      std::string(view_box ? "<viewcheckbox>1</viewcheckbox>" : "") +
                      "<linkUrl>http://www.tarrow.example/</linkUrl>";
    if (with_link) xml += std::string("<linkName>") + kPartnerName + "</linkName>";
    return xml + "</startpage>";
}


// "text:image" of every item, bold ones marked with a "*".
std::vector<std::string> Shown(const std::vector<TreeItem>& items) {
    std::vector<std::string> shown;
    for (const TreeItem& item : items) {
        shown.push_back((item.bold ? "*" : "") + item.text + ":" +
                        std::to_string(item.state_image));
    }
    return shown;
}

}  // namespace

class OptionPageTest : public UpdateWindowTest {
protected:
    explicit OptionPageTest(std::string product_name = UniqueName("Opt"))
        : UpdateWindowTest(std::move(product_name)) {
        // No start-page list is fetched: the agent names one that holds no pages.
        const std::string list = root.File("enumlist.xml");
        WriteTextFile(list, "<?xml version=\"1.0\"?><StartPageEnum></StartPageEnum>");
        SetRegString(HKEY_CURRENT_USER, "Software\\Quindel\\Dravel", "StartPageEnumList", list,
                     View::Own);
        SetRegString(HKEY_CURRENT_USER, kBrowserMainKey, "Start Page", "http://www.example.org/",
                     View::Own);
    }
    // Every Norvane ends before the values below are put back.
    ~OptionPageTest() override { owner.EndAll(); }

    // An explicit update, from its description page to the option page.
    HWND OpenOptionPage(const UpdateInfoText& info, DWORD* pid, HWND* window,
                        bool limited_token = false) {
        AgentWillFind(info);
        *pid = StartNorvane("/explicitupdate", limited_token);
        *window = MainWindow(*pid);
        if (!*window) return nullptr;
        HWND description = WaitForPage(*window, kDescriptionPage);
        if (!description || !Click(Control(description, IDC_NEXT))) return nullptr;
        HWND page = WaitForPage(*window, kOptionPage);
        if (page) Answers(page, 5000);
        return page;
    }
    HWND Tree(HWND page) { return Control(page, IDC_OPTION_TREE); }
    // The system Norvane reports, by Wine's name for it ("winxp", "vista", ...).
    void ImitateWindows(const std::string& version) {
        ASSERT_TRUE(SetRegString(HKEY_CURRENT_USER, kNorvaneDefaults, "Version", version,
                                 View::Own));
    }

    // The value SetupOption.ini holds for the key; "<none>" when it is missing.
    std::string Saved(const char* section, const char* key) {
        char value[256] = {};
        GetPrivateProfileStringA(section, key, "<none>", value, sizeof(value),
                                 Join(DataFolder(), "SetupOption.ini").c_str());
        return value;
    }
    // The page's button (or Enter) at the progress step of a limited Norvane: the store is
    // saved for the elevated copy and this process ends.
    void AcceptAndHandOver(DWORD pid, HWND page, bool with_enter) {
        DeleteFileA(Join(DataFolder(), "SetupOption.ini").c_str());
        ASSERT_TRUE(with_enter ? PressKey(page, VK_RETURN) : Click(Control(page, IDC_NEXT)));
        ASSERT_EQ(WaitForExit(pid, kExitTimeout), std::optional<DWORD>(0u)) << "no hand-over";
        ASSERT_TRUE(PathExists(Join(DataFolder(), "SetupOption.ini")));
    }
    // Clicks a check box (posted) and waits until it shows the state.
    void ClickBoxUntil(HWND box, bool checked) {
        ASSERT_TRUE(Click(box));
        ASSERT_TRUE(WaitUntil([&] { return IsChecked(box) == checked; }, kAppearTimeout));
    }
    // Clicks the item's state image and waits until the item shows `image`.
    void ClickItemUntil(HWND tree, HTREEITEM item, int image) {
        const std::optional<POINT> point = StateImagePoint(tree, item);
        ASSERT_TRUE(point.has_value()) << "the item shows no check box";
        ASSERT_TRUE(ClickAt(tree, *point));
        ASSERT_TRUE(WaitUntil([&] { return ImageOf(tree, item) == image; }, kAppearTimeout));
    }
    static int ImageOf(HWND tree, HTREEITEM item) {
        for (const TreeItem& read : TreeItems(tree)) {
            if (read.handle == item) return read.state_image;
        }
        return -1;
    }
    // A check box the page shows: its text, its state and where it lies in the page.
    struct Box {
        bool visible = false;
        std::string text;
        bool checked = false;
        RECT rect = {};
    };
    Box ReadBox(HWND page, int id) {
        HWND control = Control(page, id);
        Box box;
        box.visible = IsWindowVisible(control) != 0;
        box.text = ReadText(control).value_or("<no answer>");
        box.checked = IsChecked(control);
        box.rect = RectIn(control, page);
        return box;
    }
    std::string HeaderText() { return Fill(Module(IDS_TREE_HEADER), DefaultInfo().local_name); }

    static constexpr const char* kNorvaneDefaults = "Software\\Wine\\AppDefaults\\Norvane.exe";
    ScopedRegValue enum_list{HKEY_CURRENT_USER, "Software\\Quindel\\Dravel", "StartPageEnumList",
                             View::Own};
    ScopedRegValue start_page{HKEY_CURRENT_USER, kBrowserMainKey, "Start Page", View::Own};
    ScopedRegValue windows_version{HKEY_CURRENT_USER, kNorvaneDefaults, "Version", View::Own};
};

// Only the toolbar has product options; its alarm starts off, so the description page carries
// the option panel, which the tests leave checked.
class WendleOptions : public OptionPageTest {
protected:
    WendleOptions() : OptionPageTest("Wendle") {
        DeleteRegValue(HKEY_CURRENT_USER, kAlarmKey, "PhishingAlarm2", View::Own);
    }
    static constexpr const char* kAlarmKey = "Software\\AppDataLow\\Software\\Quindel\\Wendle";
    ScopedRegValue alarm{HKEY_CURRENT_USER, kAlarmKey, "PhishingAlarm2", View::Own};
};

class FennickOptions : public OptionPageTest {
protected:
    FennickOptions() : OptionPageTest("Fennick") {}
};

// ---- the tree ----

// Every product but the toolbar gets the shortcut items, all checked; the quick-launch item only
// where Quick Launch exists (not on Windows 7, which Wine imitates by default). Only products
// other than the toolbar and Fennick get the extra item, checked too.
TEST_F(OptionPageTest, OtherProductsGetTheExtraItemAndTheShortcuts) {
    InstallProduct();
    const std::string extra = Module(IDS_TREE_EXTRA) + ":2",
                      desktop = Module(IDS_TREE_DESKTOP) + ":2",
                      start_menu = Module(IDS_TREE_START_MENU) + ":2",
                      quick_launch = Module(IDS_TREE_QUICK_LAUNCH) + ":2";
    const std::string header = "*" + HeaderText() + ":5";
    for (const char* system : {"", "vista"}) {
        SCOPED_TRACE(*system ? system : "win7");
        if (*system) ImitateWindows(system);
        DWORD pid = 0;
        HWND window = nullptr;
        HWND page = OpenOptionPage(DefaultInfo(), &pid, &window);
        ASSERT_NE(page, nullptr);
        const std::vector<std::string> expected =
            *system ? std::vector<std::string>{header, extra, desktop, start_menu, quick_launch}
                    : std::vector<std::string>{header, extra, desktop, start_menu};
        EXPECT_EQ(Shown(TreeItems(Tree(page))), expected);
        // No offer: the extra box stays hidden.
        EXPECT_FALSE(ReadBox(page, IDC_EXTRA_OFFER_CHECK).visible);
        owner.EndAll();
    }
}

TEST_F(FennickOptions, ShortcutsButNoExtraItem) {
    InstallProduct();
    for (const char* system : {"", "winxp"}) {
        SCOPED_TRACE(*system ? system : "win7");
        if (*system) ImitateWindows(system);
        DWORD pid = 0;
        HWND window = nullptr;
        HWND page = OpenOptionPage(DefaultInfo(), &pid, &window);
        ASSERT_NE(page, nullptr);
        std::vector<std::string> expected = {"*" + HeaderText() + ":5",
                                             Module(IDS_TREE_DESKTOP) + ":2",
                                             Module(IDS_TREE_START_MENU) + ":2"};
        if (*system) expected.push_back(Module(IDS_TREE_QUICK_LAUNCH) + ":2");
        EXPECT_EQ(Shown(TreeItems(Tree(page))), expected);
        owner.EndAll();
    }
}

TEST_F(WendleOptions, OnlyTheToolbarItemUnderTheHeader) {
    InstallProduct();
    DWORD pid = 0;
    HWND window = nullptr;
    HWND page = OpenOptionPage(DefaultInfo(), &pid, &window);
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(Shown(TreeItems(Tree(page))),
              (std::vector<std::string>{"*" + HeaderText() + ":5",
                                        Module(IDS_TREE_TOOLBAR) + ":1"}));
}

// The header's box is fixed: neither a click nor Space changes it. A click on an ordinary
// item's box toggles it, both ways, and so does Space on the selected item.
TEST_F(OptionPageTest, ClickOrSpaceTogglesAnItemButNeverTheHeader) {
    InstallProduct();
    DWORD pid = 0;
    HWND window = nullptr;
    HWND page = OpenOptionPage(DefaultInfo(), &pid, &window);
    ASSERT_NE(page, nullptr);
    HWND tree = Tree(page);
    ASSERT_TRUE(ClickTab(Control(page, IDC_OPTION_TABS), 1));
    ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(tree) != 0; }, kAppearTimeout));
    const std::vector<TreeItem> items = TreeItems(tree);
    ASSERT_EQ(items.size(), 4u);
    const HTREEITEM header = items[0].handle, extra = items[1].handle, desktop = items[2].handle;

    const std::optional<POINT> header_box = StateImagePoint(tree, header);
    ASSERT_TRUE(header_box.has_value());
    ASSERT_TRUE(ClickAt(tree, *header_box));
    ASSERT_TRUE(PostMessageA(tree, WM_LBUTTONDBLCLK, MK_LBUTTON,
                             MAKELPARAM(header_box->x, header_box->y)));
    // The tree handles its posted input in order: once this click has toggled the desktop item,
    // the clicks before it have been handled.
    ClickItemUntil(tree, desktop, 1);
    EXPECT_EQ(ImageOf(tree, header), 5) << "a click changed the header's box";

    // One key at a time: the selection is sent, and would overtake a posted key.
    SendMessageTimeoutA(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(header),
                        SMTO_ABORTIFHUNG, 5000, nullptr);
    ASSERT_TRUE(PostKey(tree, VK_SPACE));
    ClickItemUntil(tree, desktop, 2);
    EXPECT_EQ(ImageOf(tree, header), 5) << "Space changed the header's box";
    SendMessageTimeoutA(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(extra),
                        SMTO_ABORTIFHUNG, 5000, nullptr);
    ASSERT_TRUE(PostKey(tree, VK_SPACE));
    EXPECT_TRUE(WaitUntil([&] { return ImageOf(tree, extra) == 1; }, kAppearTimeout))
        << "Space did not toggle the item";
    // Key and character come as a pair: the box toggles once per stroke, not back again.
    ClickItemUntil(tree, desktop, 1);
    EXPECT_EQ(ImageOf(tree, extra), 1);
}

// ---- the extra box ----

// Without a middle offer the toolbar's second option drives the box from new version 2.25 on
// (its title, checked as the option stands); before that version the box stays hidden. A middle
// offer always drives it: its title and its default.
TEST_F(WendleOptions, TheNewVersionDecidesWhetherTheSecondOptionDrivesTheExtraBox) {
    InstallProduct();
    struct Case {
        const char* version;
        bool middle_offer;
        bool visible;
        std::string text;
        bool checked;
    };
    const Case cases[] = {
        {"2.2", false, false, "", false},
        {"2.25", false, true, Module(IDS_OPTION2_TITLE), true},
        {"10", false, true, Module(IDS_OPTION2_TITLE), true},
        {"10", true, true, kOfferTitle, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.version) + (c.middle_offer ? " with a middle offer" : ""));
        WriteOptionFile(c.middle_offer ? MiddleOffer(false) : "");
        UpdateInfoText info = DefaultInfo();
        info.new_version = c.version;
        DWORD pid = 0;
        HWND window = nullptr;
        HWND page = OpenOptionPage(info, &pid, &window);
        ASSERT_NE(page, nullptr);
        const Box box = ReadBox(page, IDC_EXTRA_OFFER_CHECK);
        EXPECT_EQ(box.visible, c.visible);
        EXPECT_EQ(box.checked, c.checked);
        if (c.visible) {
            EXPECT_EQ(box.text, c.text);
        }
        owner.EndAll();
    }
}

// ---- the start-page box ----

// Hidden while the browser's start page holds one of the offer's check addresses; otherwise
// shown in the bottom left corner, checked as the offer says, with the partner's name (or, when
// the offer lacks the partner's link, its own title).
TEST_F(OptionPageTest, StartPageBoxOnlyWhileTheStartPageIsAnother) {
    InstallProduct();
    struct Case {
        const char* current_page;
        bool with_link;
        bool visible;
        std::string text;
    };
    const Case cases[] = {
        {"http://start.tarrow.example/home", true, false, ""},
        {"", true, true, Fill(Module(IDS_START_PAGE_OFFER), kPartnerName)},
        {"http://www.example.org/", false, true, "Make Tarrow my start page"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.current_page);
        ASSERT_TRUE(SetRegString(HKEY_CURRENT_USER, kBrowserMainKey, "Start Page", c.current_page,
                                 View::Own));
        WriteOptionFile(StartPageOffer("www.tarrow.example;start.tarrow.example", c.with_link));
        DWORD pid = 0;
        HWND window = nullptr;
        HWND page = OpenOptionPage(DefaultInfo(), &pid, &window);
        ASSERT_NE(page, nullptr);
        const Box box = ReadBox(page, IDC_START_PAGE_CHECK);
        EXPECT_EQ(box.visible, c.visible);
        if (c.visible) {
            EXPECT_EQ(box.text, c.text);
            EXPECT_TRUE(box.checked);
        }
        owner.EndAll();
    }
}

// ---- tabs, description and the two boxes on show ----

// The description tab shows the rich text with the first text in bold, the options tab the tree;
// the view not on show is disabled too. The boxes sit in the bottom corners, clear of each other
// and of the button. Escape asks before it cancels.
TEST_F(OptionPageTest, TabsSwitchTheViewsAndTheBoxesSitInTheCorners) {
    InstallProduct();
    WriteOptionFile(MiddleOffer(true) + StartPageOffer("http://start.tarrow.example"));
    const UpdateInfoText info = DefaultInfo();
    DWORD pid = 0;
    HWND window = nullptr;
    HWND page = OpenOptionPage(info, &pid, &window);
    ASSERT_NE(page, nullptr);
    HWND rich = Control(page, IDC_DESCRIPTION_RICH), tree = Tree(page);
    HWND tabs = Control(page, IDC_OPTION_TABS);

    EXPECT_TRUE(IsWindowVisible(rich) && IsWindowEnabled(rich));
    EXPECT_FALSE(IsWindowVisible(tree) || IsWindowEnabled(tree));
    const std::string first = info.descript1;
    // The first text, one line break, the second text (whose "\\n" the update information
    // turns into line breaks).
    std::string text = ReadText(rich).value_or("<no answer>");
    for (size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at)) {
        text.erase(at, 1);
    }
    EXPECT_EQ(text, first + "\nFaster\nSafer");
    const auto heading = RichTextFormat(rich, 0, static_cast<int>(first.size()));
    ASSERT_TRUE(heading.has_value());
    EXPECT_TRUE((heading->dwMask & CFM_BOLD) && (heading->dwEffects & CFE_BOLD))
        << "the first text is not bold throughout";
    const auto rest = RichTextFormat(rich, static_cast<int>(first.size()) + 1, -1);
    ASSERT_TRUE(rest.has_value());
    EXPECT_TRUE((rest->dwMask & CFM_BOLD) && !(rest->dwEffects & CFE_BOLD))
        << "the second text is not plain throughout";

    const Box extra = ReadBox(page, IDC_EXTRA_OFFER_CHECK);
    const Box start = ReadBox(page, IDC_START_PAGE_CHECK);
    EXPECT_TRUE(extra.visible && extra.checked);
    EXPECT_EQ(extra.text, kOfferTitle);
    EXPECT_TRUE(start.visible && start.checked);
    RECT client;
    GetClientRect(page, &client);
    EXPECT_EQ(start.rect.left, 10);
    EXPECT_EQ(start.rect.bottom, client.bottom - 10);
    EXPECT_EQ(extra.rect.right, client.right - 5);
    EXPECT_EQ(extra.rect.bottom, client.bottom - 10);
    EXPECT_LT(start.rect.right, extra.rect.left) << "the boxes overlap";
    const RECT button = RectIn(Control(page, IDC_NEXT), page);
    EXPECT_LE(RectIn(rich, page).bottom, button.top) << "the view runs into the button";
    EXPECT_LE(button.bottom, start.rect.top) << "the button runs into the boxes";

    LetItPaint(window);
    SaveWindowScreenshot(page, "run_page_options_description.png");
    ASSERT_TRUE(ClickTab(tabs, 1));
    ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(tree) != 0; }, kAppearTimeout));
    EXPECT_TRUE(IsWindowEnabled(tree));
    EXPECT_FALSE(IsWindowVisible(rich) || IsWindowEnabled(rich));
    EXPECT_EQ(RectIn(tree, page).top, RectIn(rich, page).top);
    LetItPaint(window);
    SaveWindowScreenshot(page, "run_page_options_tree.png");
    ASSERT_TRUE(ClickTab(tabs, 0));
    ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(rich) != 0; }, kAppearTimeout));
    EXPECT_TRUE(IsWindowEnabled(rich));
    EXPECT_FALSE(IsWindowVisible(tree) || IsWindowEnabled(tree));

    CancelWithYes(pid, window);
}

// Offer texts come from the server and may be long: the boxes then share the bottom row and wrap
// their texts, instead of covering each other or running off the page.
TEST_F(OptionPageTest, LongOfferTextsWrapInsteadOfCoveringEachOther) {
    InstallProduct();
    const std::string long_title =
        "Also install Fennick Notes, the free program for notes, lists and reminders (recommended)";
    const std::string long_name = "Tarrow Start, the portal for news, mail and weather";
    std::string offer = MiddleOffer(true);
    offer.replace(offer.find(kOfferTitle), std::strlen(kOfferTitle), long_title);
    std::string start_offer = StartPageOffer("http://start.tarrow.example");
    start_offer.replace(start_offer.find(kPartnerName), std::strlen(kPartnerName), long_name);
    for (bool with_start_page : {true, false}) {
        SCOPED_TRACE(with_start_page ? "both boxes" : "the extra box alone");
        WriteOptionFile(offer + (with_start_page ? start_offer : ""));
        DWORD pid = 0;
        HWND window = nullptr;
        HWND page = OpenOptionPage(DefaultInfo(), &pid, &window);
        ASSERT_NE(page, nullptr);
        RECT client;
        GetClientRect(page, &client);
        const RECT button = RectIn(Control(page, IDC_NEXT), page);
        const Box extra = ReadBox(page, IDC_EXTRA_OFFER_CHECK);
        EXPECT_TRUE(extra.visible);
        EXPECT_EQ(extra.text, long_title);
        EXPECT_GE(extra.rect.left, 10);
        EXPECT_EQ(extra.rect.right, client.right - 5);
        EXPECT_EQ(extra.rect.bottom, client.bottom - 10);
        EXPECT_GT(extra.rect.top, button.bottom);
        if (with_start_page) {
            const Box start = ReadBox(page, IDC_START_PAGE_CHECK);
            EXPECT_TRUE(start.visible);
            EXPECT_EQ(start.text, Fill(Module(IDS_START_PAGE_OFFER), long_name));
            EXPECT_EQ(start.rect.left, 10);
            EXPECT_EQ(start.rect.bottom, client.bottom - 10);
            EXPECT_LT(start.rect.right, extra.rect.left) << "the boxes overlap";
            EXPECT_GT(start.rect.top, button.bottom);
            LetItPaint(window);
            SaveWindowScreenshot(page, "run_page_options_long_texts.png");
        }
        owner.EndAll();
    }
}

// ---- what the button leaves for the elevated copy ----

// A limited Norvane saves the store before it hands the progress step over: the five tree flags
// in their order (extra item, desktop, start menu, quick launch, toolbar item), the start-page
// choice (shortcut flags 7 only with the box checked, the user's state only for a box on show)
// and the middle offer's box.
TEST_F(OptionPageTest, ChoicesReachSetupOptionIniBeforeTheHandOver) {
    InstallProduct();
    WriteOptionFile(MiddleOffer(true) + StartPageOffer("http://start.tarrow.example"));
    for (int run = 0; run < 2; ++run) {
        SCOPED_TRACE(run == 0 ? "desktop, middle offer cleared" : "extra item, start page cleared");
        DWORD pid = 0;
        HWND window = nullptr;
        HWND page = OpenOptionPage(DefaultInfo(), &pid, &window, true);
        ASSERT_NE(page, nullptr);
        HWND tree = Tree(page);
        ASSERT_TRUE(ClickTab(Control(page, IDC_OPTION_TABS), 1));
        ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(tree) != 0; }, kAppearTimeout));
        const std::vector<TreeItem> items = TreeItems(tree);
        ASSERT_EQ(items.size(), 4u);
        if (run == 0) {
            ClickItemUntil(tree, items[2].handle, 1);
            ClickBoxUntil(Control(page, IDC_EXTRA_OFFER_CHECK), false);
        } else {
            ClickItemUntil(tree, items[1].handle, 1);
            ClickBoxUntil(Control(page, IDC_START_PAGE_CHECK), false);
        }
        AcceptAndHandOver(pid, page, run == 1);

        EXPECT_EQ(Saved("SetupOptionInfo", "RunAfterSetup"), run == 0 ? "1" : "0");
        EXPECT_EQ(Saved("SetupOptionInfo", "CreateDesktopIcon"), run == 0 ? "0" : "1");
        EXPECT_EQ(Saved("SetupOptionInfo", "CreateStartMenuIcon"), "1");
        EXPECT_EQ(Saved("SetupOptionInfo", "CreateQuickLaunchIcon"), "0");
        EXPECT_EQ(Saved("SetupOptionInfo", "OpenOstreyWeb"), "0");
        EXPECT_EQ(Saved("StartpageInfo", "LinkFlags"), run == 0 ? "7" : "0");
        EXPECT_EQ(Saved("StartpageInfo", "CheckboxUserState"), run == 0 ? "1" : "0");
        EXPECT_EQ(Saved("AdditionalInstallInfo_middle", "CheckboxUserState"), run == 0 ? "0" : "1");
        // The elevated copy took over; the next run needs the product's mutex.
        owner.EndAll();
    }
}

// The toolbar: its item is the fifth flag; the second option, on show from 2.25 on, is saved
// with the box's state; a start-page offer the user never saw still gets its shortcuts when the
// worker is complete, but no user's state.
TEST_F(WendleOptions, ChoicesReachSetupOptionIniBeforeTheHandOver) {
    InstallProduct();
    ASSERT_TRUE(SetRegString(HKEY_CURRENT_USER, kBrowserMainKey, "Start Page",
                             "http://start.tarrow.example/", View::Own));
    WriteOptionFile(StartPageOffer("start.tarrow.example"));
    UpdateInfoText info = DefaultInfo();
    info.new_version = "2.25";
    DWORD pid = 0;
    HWND window = nullptr;
    HWND page = OpenOptionPage(info, &pid, &window, true);
    ASSERT_NE(page, nullptr);
    EXPECT_FALSE(ReadBox(page, IDC_START_PAGE_CHECK).visible);
    HWND tree = Tree(page);
    ASSERT_TRUE(ClickTab(Control(page, IDC_OPTION_TABS), 1));
    ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(tree) != 0; }, kAppearTimeout));
    const std::vector<TreeItem> items = TreeItems(tree);
    ASSERT_EQ(items.size(), 2u);
    ClickItemUntil(tree, items[1].handle, 2);
    ClickBoxUntil(Control(page, IDC_EXTRA_OFFER_CHECK), false);
    AcceptAndHandOver(pid, page, false);

    EXPECT_EQ(Saved("SetupOptionInfo", "RunAfterSetup"), "0");
    EXPECT_EQ(Saved("SetupOptionInfo", "CreateDesktopIcon"), "0");
    EXPECT_EQ(Saved("SetupOptionInfo", "CreateStartMenuIcon"), "0");
    EXPECT_EQ(Saved("SetupOptionInfo", "CreateQuickLaunchIcon"), "0");
    EXPECT_EQ(Saved("SetupOptionInfo", "OpenOstreyWeb"), "1");
    EXPECT_EQ(Saved("ProductOption", "2"), "0");
    EXPECT_EQ(Saved("StartpageInfo", "LinkFlags"), "7");
    EXPECT_EQ(Saved("StartpageInfo", "CheckboxUserState"), "0");
    EXPECT_EQ(Saved("AdditionalInstallInfo_middle", "CheckboxUserState"), "<none>");
}

// Kept as the vendor's offers expect it: a start-page box the user never sees (the offer shows
// no box, or the browser already opens the page) still counts as checked, so a complete offer
// gets its partner shortcuts in every kind (7), while no user's choice is recorded.
TEST_F(OptionPageTest, HiddenStartPageBoxStillAsksForThePartnerShortcuts) {
    InstallProduct();
    struct Case {
        const char* why;
        const char* browser_page;
        bool view_box;
    };
    const Case cases[] = {
        {"no viewcheckbox", "http://www.example.org/", false},
        {"page already set", "http://start.tarrow.example/", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        ASSERT_TRUE(SetRegString(HKEY_CURRENT_USER, kBrowserMainKey, "Start Page", c.browser_page,
                                 View::Own));
        WriteOptionFile(StartPageOffer("start.tarrow.example", true, c.view_box));
        DWORD pid = 0;
        HWND window = nullptr;
        HWND page = OpenOptionPage(DefaultInfo(), &pid, &window, true);
        ASSERT_NE(page, nullptr);
        EXPECT_FALSE(ReadBox(page, IDC_START_PAGE_CHECK).visible);
        AcceptAndHandOver(pid, page, false);
        EXPECT_EQ(Saved("StartpageInfo", "LinkFlags"), "7");
        EXPECT_EQ(Saved("StartpageInfo", "CheckboxUserState"), "0");
        owner.EndAll();
    }
}
