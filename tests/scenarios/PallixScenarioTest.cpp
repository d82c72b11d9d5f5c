// The toolbar's uninstall as its uninstall program runs it: Pallix "-uninstall" with every
// component of the toolbar running, judged by the components' own records, the registry and
// Pallix's exit code.
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/pallix/PallixTestSupport.h"

using namespace testsupport;
using namespace pallixtest;

namespace {

const char kBrowserMain[] = "Software\\Microsoft\\Internet Explorer\\Main";
const char kSmartPage[] = "SoftWare\\Quindel\\Wendle\\SmartPage";

struct Component {
    const char* file;
    const char* options;
    const char* close_line;  // what its record shows when it is asked to close
};

// In the order the uninstall closes them; the two daemons are asked together.
const Component kComponents[] = {
    {"scourel.exe", "--class WendleScourelClass", "8100 5101 0"},
    {"grelby.exe", "--class GrelbyClass --title Grelby", "8100 5001 0"},
    {"daemon.exe", "--class WendleDaemonClass --mutex WendleMutex --close-on 0x1001", ""},
    {"daemona.exe", "--class WendleDaemonClassA --mutex WendleMutexA --close-on 0x1001", ""},
    {"dictionary.exe", "--class WendleDictionary", "8100 a002 0"},
    {"simplejoin.exe", "--class WendleSimpleJoin", "8100 a003 0"},
    {"twitter.exe", "--dialog-child WNDL_TWITTER", "8100 a008 0"},
    {"media.exe", "--class WendleMediaDownloader", "8100 5201 0"},
    {"downloads.exe", "--dialog-child TB_MEDIA_DOWNLOADER_COMMUNICATOR_WND", "8100 5301 0"},
};

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find("\r\n", start);
        if (end == std::string::npos) end = text.size();
        if (end > start) lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

class ToolbarUninstall : public ::testing::Test {
protected:
    ToolbarUninstall() {
        SetRegString(HKEY_CURRENT_USER, kBrowserMain, "Start Page", "about:kivu");
        SetRegString(HKEY_CURRENT_USER, kSmartPage, "OldStartPage", "http://user.example/home");
        SetRegDword(HKEY_CURRENT_USER, kBrowserMain, "New_Tab_Provider", 1);
        SetRegDword(HKEY_LOCAL_MACHINE, kBrowserMain, "New_Tab_Provider", 2);
    }
    // Starts every component, each recording into the one shared record; `ignoring` (a file
    // name) ignores the close request.
    void StartComponents(const std::string& ignoring = "") {
        for (const Component& component : kComponents) {
            std::string options = std::string(component.options) + " --record " + Quote(record);
            if (ignoring == component.file) options += " --ignore";
            running.emplace_back();
            ASSERT_TRUE(StartDoubleCopy(running.back(), folder, component.file, options))
                << component.file;
            owner.Own(running.back().pid());
        }
    }
    // The close lines in the uninstall's order, the daemons' four lines in whatever order the
    // two daemons wrote them, each daemon's own two in order.
    void ExpectClosedInOrder() {
        const std::vector<std::string> lines = Lines(ReadTextFile(record).value_or(""));
        ASSERT_EQ(lines.size(), 11u) << ReadTextFile(record).value_or("");
        EXPECT_EQ(lines[0], kComponents[0].close_line);
        EXPECT_EQ(lines[1], kComponents[1].close_line);
        std::vector<std::string> daemons(lines.begin() + 2, lines.begin() + 6);
        EXPECT_EQ(std::count(daemons.begin(), daemons.end(), "8100 1 1"), 2);
        EXPECT_EQ(std::count(daemons.begin(), daemons.end(), "8100 1001 1"), 2);
        EXPECT_EQ(daemons[0], "8100 1 1") << "a daemon was told to go before it was asked";
        for (size_t i = 4; i < 9; ++i) EXPECT_EQ(lines[i + 2], kComponents[i].close_line) << i;
    }
    void ExpectBrowserSettingsRestored() {
        EXPECT_EQ(GetRegString(HKEY_CURRENT_USER, kBrowserMain, "Start Page"),
                  std::optional<std::string>("http://user.example/home"));
        EXPECT_EQ(GetRegString(HKEY_CURRENT_USER, kSmartPage, "OldStartPage"),
                  std::optional<std::string>(""));
        EXPECT_FALSE(GetRegDword(HKEY_CURRENT_USER, kBrowserMain, "New_Tab_Provider").has_value());
        EXPECT_FALSE(GetRegDword(HKEY_LOCAL_MACHINE, kBrowserMain, "New_Tab_Provider").has_value());
    }

    ScopedRegValue start_page{HKEY_CURRENT_USER, kBrowserMain, "Start Page"};
    ScopedRegValue old_page{HKEY_CURRENT_USER, kSmartPage, "OldStartPage"};
    ScopedRegValue user_provider{HKEY_CURRENT_USER, kBrowserMain, "New_Tab_Provider"};
    ScopedRegValue machine_provider{HKEY_LOCAL_MACHINE, kBrowserMain, "New_Tab_Provider"};
    TempDir folder;
    const std::string record = folder.File("record.txt");
    std::vector<Process> running;
    ProcessOwner owner;
};

}  // namespace

TEST_F(ToolbarUninstall, EveryComponentRunningIsClosedInOrderAndTheBrowserIsPutBack) {
    StartComponents();
    DWORD elapsed = 0;
    EXPECT_EQ(RunPallix("-uninstall", &elapsed, 120000), std::optional<DWORD>(0u));
    for (Process& component : running) {
        EXPECT_EQ(component.Wait(kComponentWaitMs), std::optional<DWORD>(kOrderlyExit));
    }
    ExpectClosedInOrder();
    ExpectBrowserSettingsRestored();
    // Everyone went when asked: Pallix never sat out a component's time limit.
    EXPECT_LT(elapsed, kComponentWaitMs / 2);
}

// A component that ignores the request is ended once its time is up; the uninstall goes on
// with the rest and still puts the browser back.
TEST_F(ToolbarUninstall, ComponentIgnoringTheRequestIsEndedAndTheRestStillRuns) {
    StartComponents("dictionary.exe");
    DWORD elapsed = 0;
    EXPECT_EQ(RunPallix("-uninstall", &elapsed, 180000), std::optional<DWORD>(0u));
    for (size_t i = 0; i < running.size(); ++i) {
        const bool ignoring = std::string(kComponents[i].file) == "dictionary.exe";
        EXPECT_EQ(running[i].Wait(kComponentWaitMs),
                  std::optional<DWORD>(ignoring ? 0u : kOrderlyExit))
            << kComponents[i].file;
    }
    ExpectClosedInOrder();
    ExpectBrowserSettingsRestored();
    EXPECT_GE(elapsed, kComponentWaitMs);
}
