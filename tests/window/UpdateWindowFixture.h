#pragma once
// What the update window tests share: Norvane installed in a folder with a blank in its name
// beside its module and the agent stand-in, the product installed as its installer leaves it
// (registry and folder), the agent's findings as a scenario, the option file on disk naming the
// loopback server as the log address, and a way to tell which page the window shows. Everything
// a test starts, directly or through Norvane, is ended by id when the test ends.
#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "tests/support/LoopbackServer.h"
#include "tests/support/TestSupport.h"
#include "tests/support/WindowDriver.h"
#include "updater/app/PageFlow.h"

namespace windowtest {

constexpr DWORD kAppearTimeout = 20000;  // a window, page, message box or record
constexpr DWORD kExitTimeout = 20000;
constexpr UINT kMsgNextPage = WM_USER + 1000;
extern const char kInstalledVersion[];
extern const char kNewVersion[];

// One run of a stand-in (tests/doubles/CallRecord.h).
struct CallRecord {
    DWORD pid = 0;
    bool elevated = false;
    std::string command;
};
// The records of every run of the executable at that path, in no particular order.
std::vector<CallRecord> CallsOf(const std::string& executable);
std::vector<CallRecord> WaitForCalls(const std::string& executable, size_t count,
                                     DWORD timeout_ms = kAppearTimeout);
// Deletes the records, so that the next run of a test starts with none.
void ForgetCalls(const std::string& executable);

// The page a child dialog of the update window is, told by the controls only that page has
// (PageIndex of updater/app/PageFlow.h); -1 for none.
int PageIndexOf(HWND page);
// The window's page of that index, shown or not; null when it has none.
HWND PageOf(HWND window, int index);

// A progress bar of another process as the control reports it.
struct BarState {
    int low = -1;
    int high = -1;
    int position = -1;
    bool operator==(const BarState& other) const {
        return low == other.low && high == other.high && position == other.position;
    }
};
std::ostream& operator<<(std::ostream& out, const BarState& bar);
// Null when the control does not answer.
std::optional<BarState> ReadBar(HWND bar);

// One run of the product's setup program (the product_setup stand-in), from its record.
struct SetupRun {
    DWORD pid = 0;
    bool elevated = false;
    std::string arguments;  // the command line after the program path
};

// A string of the language module, and "%s" placeholders filled in order.
std::string ModuleString(const std::string& module_path, UINT id);
std::string Fill(const std::string& format, const std::string& first,
                 const std::string& second = "");
// Today's local date plus `days`, as the agent's "AfterUpdateDay" writes it ("YYYYMMDD").
std::string DateInDays(int days);
// A 48 x 48 logo as a bitmap file: a blue disc with a white arrow on the page colour.
std::string LogoBitmap();
// Lets the window finish painting before its picture is taken.
void LetItPaint(HWND window);
// TokenElevation of another process; nullopt when its token cannot be read.
std::optional<bool> ProcessElevated(DWORD pid);

// What the agent writes into UpdateInfo.ini.
struct UpdateInfoText {
    std::string eng_name;
    std::string local_name = "Test Product";
    std::string mutex;
    std::string main_app;
    std::string new_version = kNewVersion;
    std::string descript1 = "What is new";
    std::string descript2 = "Faster\\nSafer";
    std::string simple_descript = "Safer browsing\\nFaster start-up";
    std::string downloaded_path;
    std::string logo_url;
    std::string logo_path;
    // The whole "Updated" line's value as it stands in the file; empty: no such line.
    std::string updated = "1";
    std::string Text() const;
};

class UpdateWindowTest : public ::testing::Test {
protected:
    explicit UpdateWindowTest(std::string product_name = testsupport::UniqueName("Upd"));
    ~UpdateWindowTest() override;

    // The product as its installer leaves it: registry values and its folder with the main
    // program (a recording stand-in); the downloaded setup (another one) at DownloadedPath.
    void InstallProduct(const std::string& version = kInstalledVersion);
    // The agent's "/checkupdate" finds `info` (nothing written when `write` is false) after
    // `delay_ms`, then ends as `end` says ("exit", "crash", "hang").
    void AgentWillFind(const UpdateInfoText& text, bool write = true, DWORD delay_ms = 0,
                       const std::string& end = "exit");
    // UpdateInfo.ini as the agent left it before starting Norvane ("/updatenotice").
    void AgentHasWritten(const UpdateInfoText& text);
    // The option file the agent names: the log and licence addresses, after `offers_xml`
    // (elements of the document: "addproduct", "startpage").
    void WriteOptionFile(const std::string& offers_xml = "");
    // The product accepted an older licence than the option file's: the licence page comes.
    void RequireLicence();

    // The product's setup (the product_setup stand-in at DownloadedPath) takes its settings
    // from Norvane's environment: "PRODUCT_SETUP_<name>=<value>" (MODE, STEPS, DELAY, ...).
    // By default it reports its range and progress and then waits at a gate for the test.
    void SetSetup(const std::string& name, const std::string& value);
    // Its record once it has started; the process is owned at once. Null when none came.
    std::optional<SetupRun> WaitForSetupRun(DWORD timeout_ms = kAppearTimeout);
    // True once the setup has posted every report before its end and waits at the gate.
    bool WaitForSetupAtTheGate(DWORD timeout_ms = kAppearTimeout);
    // Lets the waiting setup report its end.
    void OpenSetupGate();

    // Starts Norvane from the install folder with a switch and this product, with
    // `norvane_environment` added to its environment.
    // `after_product` follows the product name on the command line.
    DWORD StartNorvane(const std::string& mode, bool limited_token = false,
                       const std::string& after_product = "");
    HWND MainWindow(DWORD pid) { return testsupport::WaitForMainDialog(pid, kAppearTimeout); }
    // The visible page, once it is `index`; null when another page stays.
    HWND WaitForPage(HWND window, int index, DWORD timeout_ms = kAppearTimeout);
    int PageShown(HWND window) { return PageIndexOf(testsupport::VisibleChildDialog(window)); }
    std::string Text(HWND dialog, int id) {
        return testsupport::ReadText(testsupport::Control(dialog, id)).value_or("<no answer>");
    }
    bool CloseButtonEnabled(HWND window);
    // From the description page through the option page to the progress step.
    void MoveOnToTheProgressStep(HWND window);
    // The update's setup (the setup stand-in) has started and ended, as a real setup has once its
    // end is reported; false when it did not run. Only then can the finish delete it.
    bool SetupHasEnded();
    // The cancel question answered with Yes; the process then ends.
    void CancelWithYes(DWORD pid, HWND window);
    // No visible window while the process runs, then exit code 0.
    void ExpectEndsWithoutWindow(DWORD pid);

    std::string Module(UINT id) { return ModuleString(install_dir + "\\ko-KR.dll", id); }
    std::string DataFolder() const;
    std::string AgentKey() const { return "SOFTWARE\\Quindel\\Dravel\\" + product; }
    UpdateInfoText DefaultInfo() const;
    // From here to the test's end the shell opens web addresses with a recording program (the
    // association of "http", in a folder with a blank); its path, for WaitForCalls.
    std::string RecordWebAddresses();
    // An update notice on its description page (the agent's findings written before).
    HWND OpenDescription(DWORD* pid, HWND* window) {
        *pid = StartNorvane("/updatenotice");
        *window = MainWindow(*pid);
        return *window ? WaitForPage(*window, kDescriptionPage) : nullptr;
    }
    // The toolbar's option panel on that page; panel is null without exactly one.
    struct OpenedPanel {
        DWORD pid = 0;
        HWND window = nullptr;
        HWND page = nullptr;
        HWND panel = nullptr;
    };
    OpenedPanel OpenOptionPanel() {
        OpenedPanel opened;
        opened.page = OpenDescription(&opened.pid, &opened.window);
        if (!opened.page) return opened;
        const std::vector<HWND> panels = testsupport::ChildDialogs(opened.page);
        if (panels.size() == 1) opened.panel = panels[0];
        return opened;
    }

    const std::string product;
    testsupport::TempDir root;
    const std::string install_dir;  // Norvane.exe, ko-KR.dll and the agent it checks with
    const std::string product_dir;  // the product's RootDir
    const std::string agent_dir;    // the agent's RootDir, from which it is restarted
    const std::string main_app;     // the product's main program, a file in product_dir
    const std::string setup_path;   // the downloaded setup program (DownloadedPath)
    const std::string setup_record;  // written by the setup when it starts
    const std::string setup_gate;    // the setup reports its end once this file exists
    const std::string option_path;   // the option file the agent left
    // What Norvane is started with besides the test's environment ("NAME=value").
    std::vector<std::string> norvane_environment;
    testsupport::LoopbackServer server;
    testsupport::ScopedRegValue language;
    testsupport::ScopedRegValue option_file;
    testsupport::ScopedRegValue addon_host;
    testsupport::ScopedRegValue ad_host;
    testsupport::ScopedRegValue stat_host;
    testsupport::ScopedRegValue install_host;
    testsupport::ScopedRegValue agent_root;
    testsupport::ScopedRegTree product_key;
    testsupport::ScopedRegTree agent_state;
    std::vector<testsupport::Process> started;
    std::optional<testsupport::ScopedRegValue> http_association;
    // Last, so that it ends every process before the folders and values above go.
    testsupport::ProcessOwner owner;
};

// The toolbar, Wendle: the one product with product options (its phishing alarm is off, so the
// description page carries the option panel).
class ToolbarUpdate : public UpdateWindowTest {
protected:
    ToolbarUpdate() : UpdateWindowTest("Wendle") {
        testsupport::DeleteRegValue(HKEY_CURRENT_USER, kAlarmKey, "PhishingAlarm2",
                                    testsupport::View::Own);
    }
    static constexpr const char* kAlarmKey = "Software\\AppDataLow\\Software\\Quindel\\Wendle";
    UpdateInfoText DefaultInfo() const {
        UpdateInfoText text = UpdateWindowTest::DefaultInfo();
        text.local_name = "Wendle Toolbar";
        return text;
    }
    std::optional<DWORD> Alarm() {
        return testsupport::GetRegDword(HKEY_CURRENT_USER, kAlarmKey, "PhishingAlarm2",
                                        testsupport::View::Own);
    }
    // The notice's description page, with the panel.
    testsupport::ScopedRegValue alarm{HKEY_CURRENT_USER, kAlarmKey, "PhishingAlarm2",
                                      testsupport::View::Own};
};

}  // namespace windowtest
