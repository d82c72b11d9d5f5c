// Window searches by class, dialogs found by a child's class, browser tabs by browser version,
// and the version checks themselves.
#include <gtest/gtest.h>

#include "common/process/ProcessToolkit.h"
#include "tests/process/ProcessTestSupport.h"

using namespace proctool;
using namespace testsupport;
using processtest::Wide;

namespace {

const char kIeKey[] = "SOFTWARE\\Microsoft\\Internet Explorer";

// Sets the installed browser version for one scope; the cached answers are forgotten on both
// ends so that other tests see the machine's own version.
class BrowserVersion {
public:
    explicit BrowserVersion(const std::string& version)
        : restore_(HKEY_LOCAL_MACHINE, kIeKey, "Version") {
        SetRegString(HKEY_LOCAL_MACHINE, kIeKey, "Version", version);
        ResetIeVersionCache();
    }
    ~BrowserVersion() { ResetIeVersionCache(); }

private:
    ScopedRegValue restore_;
};

}  // namespace

TEST(WindowSearch, FindsEveryTopLevelWindowOfAClassAndOnlyDirectChildren) {
    TempDir folder;
    const std::string cls = UniqueName("SearchClass");
    Process first, second;
    ASSERT_TRUE(StartDoubleCopy(first, folder, "first.exe", "--class " + cls + " --title One"));
    ASSERT_TRUE(StartDoubleCopy(second, folder, "second.exe", "--class " + cls + " --title Two"));
    const auto windows = FindWindowsByClass<wchar_t>(nullptr, Wide(cls).c_str());
    EXPECT_EQ(windows.size(), 2u);
    EXPECT_EQ(FindWindowsByClass<char>(nullptr, cls.c_str()), windows);
    EXPECT_TRUE(FindWindowsByClass<wchar_t>(nullptr, L"NoWindowHasThisClass").empty());

    // A dialog's control that sits one level down is not a direct child of the dialog.
    const std::string child = UniqueName("NestedChild");
    Process dialog;
    ASSERT_TRUE(StartDoubleCopy(dialog, folder, "dialog.exe", "--dialog-child " + child));
    HWND host = FindDialogHostingChild(Wide(child).c_str());
    ASSERT_NE(host, nullptr);
    EXPECT_TRUE(FindWindowsByClass<wchar_t>(host, Wide(child).c_str()).empty());
    EXPECT_EQ(FindWindowsByClass<wchar_t>(host, L"Static").size(), 1u);
}

TEST(WindowSearch, DialogsAreRecognisedOnlyByTheirChildClass) {
    TempDir folder;
    const std::string wanted = UniqueName("WantedChild");
    const std::string other = UniqueName("OtherChild");
    Process without, with_first, with_second;
    ASSERT_TRUE(StartDoubleCopy(without, folder, "without.exe", "--dialog-child " + other));
    EXPECT_EQ(FindDialogHostingChild(Wide(wanted).c_str()), nullptr);
    EXPECT_EQ(FindDialogHostingChild(wanted.c_str()), nullptr);

    ASSERT_TRUE(StartDoubleCopy(with_first, folder, "with1.exe", "--dialog-child " + wanted));
    ASSERT_TRUE(StartDoubleCopy(with_second, folder, "with2.exe", "--dialog-child " + wanted));
    HWND found = FindDialogHostingChild(Wide(wanted).c_str());
    ASSERT_NE(found, nullptr);
    // The first such dialog in top-level order.
    for (HWND dialog : FindWindowsByClass<wchar_t>(nullptr, L"#32770")) {
        DWORD pid = 0;
        GetWindowThreadProcessId(dialog, &pid);
        if (pid == with_first.pid() || pid == with_second.pid()) {
            EXPECT_EQ(dialog, found);
            break;
        }
    }
    // Class names compare exactly.
    std::string upper = wanted;
    for (char& c : upper) c = static_cast<char>(toupper(c));
    EXPECT_EQ(FindDialogHostingChild(upper.c_str()), nullptr);
}

TEST(BrowserTabs, LayoutFollowsTheInstalledVersion) {
    TempDir folder;
    Process modern, old;
    ASSERT_TRUE(StartDoubleCopy(modern, folder, "iexplore.exe", "--tabs 2", "iexplore.exe"));
    ASSERT_TRUE(StartDoubleCopy(old, folder, "ie7.exe", "--tabs 3 --ie7", "iexplore.exe"));
    HWND modern_frame = WaitForWindow(modern.pid(), 5000);
    HWND old_frame = WaitForWindow(old.pid(), 5000);
    ASSERT_TRUE(modern_frame && old_frame);
    {
        BrowserVersion version("9.11.9600.18376");
        EXPECT_EQ(CollectBrowserTabs(modern_frame).size(), 2u);
        for (HWND tab : CollectBrowserTabs(modern_frame))
            EXPECT_EQ(ClassName(tab), "TabWindowClass");
        EXPECT_TRUE(CollectBrowserTabs(old_frame).empty());
    }
    {
        BrowserVersion version("8.0.6001.18702");
        EXPECT_EQ(CollectBrowserTabs(modern_frame).size(), 2u);
    }
    {
        BrowserVersion version("7.0.6000.16386");
        EXPECT_EQ(CollectBrowserTabs(old_frame).size(), 3u);
        EXPECT_TRUE(CollectBrowserTabs(modern_frame).empty());
    }
    {
        BrowserVersion version("6.0.2900.5512");
        EXPECT_TRUE(CollectBrowserTabs(modern_frame).empty());
        EXPECT_TRUE(CollectBrowserTabs(old_frame).empty());
    }
    EXPECT_TRUE(CollectBrowserTabs(nullptr).empty());
}

TEST(BrowserVersionChecks, ReadTheVersionTextByItsRules) {
    struct Case {
        const char* text;
        bool ie6;
        int ie7;
        bool ie8;
        int major;
        bool ie8_or_later;
    };
    const Case cases[] = {
        {"6.0.2900.5512", true, 0, false, 6, false},
        {"7.0.5730.13", false, 1, false, 7, false},
        {"7.0.6000.16386", false, 2, false, 7, false},
        {"8.0.6001.18702", false, 0, true, 8, true},
        {"9.11.9600.18376", false, 0, false, 9, true},
        {"11.0.9600.16428", false, 0, false, 11, true},
        {"16.0.1.2", false, 0, false, 0, false},  // beyond 15
        {"8.0.1", false, 0, false, 0, false},     // too short for any check
        {"9000000", false, 0, false, 0, false},   // no dot
        {"", false, 0, false, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        BrowserVersion version(c.text);
        EXPECT_EQ(IsIe6(), c.ie6);
        EXPECT_EQ(Ie7Kind(), c.ie7);
        EXPECT_EQ(IsIe8(), c.ie8);
        EXPECT_EQ(IeMajorVersion(), c.major);
        EXPECT_EQ(IsIe8OrLater(), c.ie8_or_later);
    }
    {
        // The answer is kept for the life of the process.
        BrowserVersion version("6.0.2900.5512");
        EXPECT_TRUE(IsIe6());
        SetRegString(HKEY_LOCAL_MACHINE, kIeKey, "Version", "9.11.9600.18376");
        EXPECT_TRUE(IsIe6());
        EXPECT_FALSE(IsIe8OrLater());
    }
}
