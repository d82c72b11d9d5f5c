// The start-page worker under Wine: the check box's visibility from the browser's start page,
// the enumeration list, and whole runs against the loopback server (the vendor's statistics
// and install servers and the partner), with "zoz.exe" and the protected-mode copy of Norvane
// beside a program path of the test's own.
#include <gtest/gtest.h>

#include <windows.h>
#include <aclapi.h>
#include <objbase.h>
#include <shlobj.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "tests/support/DebugOutputMonitor.h"
#include "tests/support/LoopbackServer.h"
#include "tests/support/TestSupport.h"
#include "tests/support/UnixLink.h"
#include "updater/offers/SetupOptionIni.h"
#include "updater/offers/StartPageWorker.h"
#include "updater/platform/Shell.h"

using namespace testsupport;

namespace {

const char kAgentKey[] = "Software\\Quindel\\Dravel";
const char kMainKey[] = "Software\\Microsoft\\Internet Explorer\\Main";
const char kVersionVector[] = "SOFTWARE\\Microsoft\\Internet Explorer\\Version Vector";
const char kVendorPath[] = "/InstallerPattern.aspx";
const char kPartnerPath[] = "/partner";
const char kListPath[] = "/data/StartPageEnum.xml";
const char kNewPage[] = "http://home.test/start";

std::map<std::string, std::string> QueryOf(const LoopbackServer::Request& request) {
    std::map<std::string, std::string> fields;
    std::string::size_type start = 0;
    while (start <= request.query.size()) {
        std::string::size_type end = request.query.find('&', start);
        if (end == std::string::npos) end = request.query.size();
        const std::string pair = request.query.substr(start, end - start);
        const std::string::size_type equals = pair.find('=');
        if (equals != std::string::npos) fields[pair.substr(0, equals)] = pair.substr(equals + 1);
        start = end + 1;
    }
    return fields;
}

std::string ToAnsi(const std::wstring& text) {
    char buffer[512] = {};
    WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, buffer, sizeof(buffer), nullptr, nullptr);
    return buffer;
}

// The ".lnk" a shortcut of that name gets in a folder.
std::string LinkIn(const std::string& folder, const std::string& name) {
    return Join(folder, name + ".lnk");
}

struct LinkContent {
    std::string path, arguments, description, icon;
};

LinkContent ReadLink(const std::string& link_path) {
    LinkContent content;
    if (FAILED(CoInitialize(nullptr))) return content;
    IShellLinkA* link = nullptr;
    IPersistFile* file = nullptr;
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                   reinterpret_cast<void**>(&link))) &&
        SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
        wchar_t wide[MAX_PATH];
        MultiByteToWideChar(CP_ACP, 0, link_path.c_str(), -1, wide, MAX_PATH);
        if (SUCCEEDED(file->Load(wide, STGM_READ))) {
            char text[MAX_PATH] = {};
            int index = 0;
            if (SUCCEEDED(link->GetPath(text, MAX_PATH, nullptr, 0))) content.path = text;
            if (SUCCEEDED(link->GetArguments(text, MAX_PATH))) content.arguments = text;
            if (SUCCEEDED(link->GetDescription(text, MAX_PATH))) content.description = text;
            if (SUCCEEDED(link->GetIconLocation(text, MAX_PATH, &index))) content.icon = text;
        }
    }
    if (file) file->Release();
    if (link) link->Release();
    CoUninitialize();
    return content;
}

// Denies the current user the right to set values in a key of HKEY_CURRENT_USER until the end
// of the scope, when the key's own access list is put back.
class DenySetValue {
public:
    explicit DenySetValue(const char* subkey) {
        if (RegOpenKeyExA(HKEY_CURRENT_USER, subkey, 0, READ_CONTROL | WRITE_DAC, &key_) != 0) {
            key_ = nullptr;
            return;
        }
        PACL old_dacl = nullptr;
        if (GetSecurityInfo(key_, SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                            &old_dacl, nullptr, &old_descriptor_) != ERROR_SUCCESS)
            return;
        old_dacl_ = old_dacl;
        EXPLICIT_ACCESS_A deny = {};
        deny.grfAccessPermissions = KEY_SET_VALUE;
        deny.grfAccessMode = DENY_ACCESS;
        deny.grfInheritance = NO_INHERITANCE;
        deny.Trustee.TrusteeForm = TRUSTEE_IS_NAME;
        deny.Trustee.ptstrName = const_cast<char*>("CURRENT_USER");
        PACL new_dacl = nullptr;
        if (SetEntriesInAclA(1, &deny, old_dacl, &new_dacl) != ERROR_SUCCESS) return;
        active_ = SetSecurityInfo(key_, SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION, nullptr,
                                  nullptr, new_dacl, nullptr) == ERROR_SUCCESS;
        LocalFree(new_dacl);
    }
    ~DenySetValue() {
        if (active_) {
            SetSecurityInfo(key_, SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                            old_dacl_, nullptr);
        }
        if (old_descriptor_) LocalFree(old_descriptor_);
        if (key_) RegCloseKey(key_);
    }
    DenySetValue(const DenySetValue&) = delete;
    DenySetValue& operator=(const DenySetValue&) = delete;
    bool active() const { return active_; }

private:
    HKEY key_ = nullptr;
    PSECURITY_DESCRIPTOR old_descriptor_ = nullptr;
    PACL old_dacl_ = nullptr;
    bool active_ = false;
};

class StartPage : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server.ok());
        // No run may reach a real server: the statistics and install hosts are the loopback's.
        ASSERT_TRUE(SetRegString(HKEY_LOCAL_MACHINE, kAgentKey, "StatServerHost", server.host(),
                                 View::View32));
        ASSERT_TRUE(SetRegString(HKEY_LOCAL_MACHINE, kAgentKey, "InstallServerHost", server.host(),
                                 View::View32));
        DeleteRegValue(HKEY_CURRENT_USER, kAgentKey, "StartPageEnumList", View::Own);
        DeleteRegValue(HKEY_CURRENT_USER, kAgentKey, "Debug", View::Own);
        server.Serve(kVendorPath, "ok");
        server.Serve(kPartnerPath, "ok");

        // Norvane's stand-in path lies in a folder with a blank, beside a real copy of Norvane
        // that the protected-mode report starts.
        tools = temp.File("tool folder");
        ASSERT_TRUE(CreateDirectoryA(tools.c_str(), nullptr));
        ASSERT_TRUE(CopyInto(Join(BinDir(), "Norvane.exe"), tools));
        record = temp.File("record.txt");
        SetEnvironmentVariableA("PLATFORM_RECORD_FILE", record.c_str());
    }
    void TearDown() override {
        // Stand-ins that are still running (a test's failure, or the never-ending copy) end here.
        for (DWORD pid : RecordedPids()) {
            if (HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid)) {
                if (WaitForSingleObject(process, 0) == WAIT_TIMEOUT) {
                    TerminateProcess(process, 1);
                    WaitForSingleObject(process, 5000);
                }
                CloseHandle(process);
            }
        }
        SetEnvironmentVariableA("PLATFORM_RECORD_FILE", nullptr);
    }

    // An active offer, as the option file or the ini file would leave it.
    CStartPageWorker Worker() {
        CStartPageWorker worker;
        worker.product = product;
        worker.info.StartpageUrl = kNewPage;
        worker.info.TitleStartpage = "Home";
        worker.info.StartpageCheckUrls = "home.test";
        worker.info.PartnerSenderUrl =
            server.Url(std::string(kPartnerPath) +
                       "?c=%StartPage%&m=%CheckBoxState%&p=%Product%&r=%ChangeResult%"
                       "&v=%Version%&o=%OSVer%");
        worker.info.ChangePageName = "home1";
        worker.info.viewcheckbox = 1;
        worker.info.sendcondition = 0;
        worker.active = true;
        worker.program_path = Join(tools, "Norvane.exe");
        worker.checkbox_visible = worker.ComputeCheckboxVisible();
        return worker;
    }

    void SetStartPage(const std::string& page) {
        ASSERT_TRUE(SetRegString(HKEY_CURRENT_USER, kMainKey, "Start Page", page, View::Own));
    }
    std::string StartPageNow() {
        return GetRegString(HKEY_CURRENT_USER, kMainKey, "Start Page", View::Own).value_or("<none>");
    }

    std::vector<LoopbackServer::Request> Vendor() const { return server.RequestsFor(kVendorPath); }
    std::vector<LoopbackServer::Request> Partner() const {
        return server.RequestsFor(kPartnerPath);
    }
    // The fields of the one vendor report sent since the last ClearRequests.
    std::map<std::string, std::string> VendorFields() {
        auto requests = Vendor();
        EXPECT_EQ(requests.size(), 1u);
        return requests.empty() ? std::map<std::string, std::string>() : QueryOf(requests.back());
    }

    std::string Record() { return ReadTextFile(record).value_or(""); }
    std::vector<DWORD> RecordedPids() {
        std::vector<DWORD> pids;
        const std::string text = Record();
        for (std::string::size_type at = text.find("pid="); at != std::string::npos;
             at = text.find("pid=", at + 4)) {
            pids.push_back(std::strtoul(text.c_str() + at + 4, nullptr, 10));
        }
        return pids;
    }
    // Puts the recorder where a program of that name is expected.
    void PlaceRecorder(const std::string& name) {
        ASSERT_TRUE(CopyInto(Join(DoublesDir(), "PlatformRecorder.exe"), tools, name));
    }

    std::string product = UniqueName("SpTest");
    LoopbackServer server;
    ScopedRegValue stat_guard{HKEY_LOCAL_MACHINE, kAgentKey, "StatServerHost", View::View32};
    ScopedRegValue install_guard{HKEY_LOCAL_MACHINE, kAgentKey, "InstallServerHost", View::View32};
    ScopedRegValue list_guard{HKEY_CURRENT_USER, kAgentKey, "StartPageEnumList", View::Own};
    ScopedRegValue debug_guard{HKEY_CURRENT_USER, kAgentKey, "Debug", View::Own};
    ScopedRegValue page_guard{HKEY_CURRENT_USER, kMainKey, "Start Page", View::Own};
    TempDir temp;
    std::string tools;
    std::string record;
};

// ---- Visibility ----

TEST_F(StartPage, CheckboxHiddenOnlyWhileTheCurrentPageHoldsACheckAddress) {
    CStartPageWorker worker = Worker();
    SetStartPage("http://www.home.test/index.html");
    EXPECT_FALSE(worker.ComputeCheckboxVisible());
    SetStartPage("http://www.HOME.test/");  // the comparison keeps case
    EXPECT_TRUE(worker.ComputeCheckboxVisible());
    SetStartPage("");
    EXPECT_TRUE(worker.ComputeCheckboxVisible());
    DeleteRegValue(HKEY_CURRENT_USER, kMainKey, "Start Page", View::Own);
    EXPECT_TRUE(worker.ComputeCheckboxVisible());

    // Odd separators: an empty part between two ";" (or before the first) matches any page;
    // a ";" at the end adds nothing.
    SetStartPage("http://unrelated.test/");
    worker.info.StartpageCheckUrls = "zz.test;;yy.test";
    EXPECT_FALSE(worker.ComputeCheckboxVisible());
    worker.info.StartpageCheckUrls = ";zz.test";
    EXPECT_FALSE(worker.ComputeCheckboxVisible());
    worker.info.StartpageCheckUrls = "zz.test;";
    EXPECT_TRUE(worker.ComputeCheckboxVisible());
    SetStartPage("");
    worker.info.StartpageCheckUrls = "zz.test;;yy.test";
    EXPECT_TRUE(worker.ComputeCheckboxVisible());

    // The browser takes addresses of 2083 characters; the whole page is searched.
    worker.info.StartpageCheckUrls = "home.test";
    std::string long_page = "http://x.test/?q=" + std::string(2057, 'q') + "home.test";
    ASSERT_EQ(long_page.size(), 2083u);
    SetStartPage(long_page);
    EXPECT_FALSE(worker.ComputeCheckboxVisible());

    SetStartPage("");
    worker.info.viewcheckbox = 0;
    EXPECT_FALSE(worker.ComputeCheckboxVisible());
    worker.info.viewcheckbox = 1;
    worker.active = false;
    EXPECT_FALSE(worker.ComputeCheckboxVisible());
}

TEST_F(StartPage, LoadingFromTheIniFileDecidesTheCheckbox) {
    const std::string ini = temp.File("SetupOption.ini");
    IniSection section;
    section.Text("StartpageUrl", kNewPage);
    section.Text("TitleStartpage", "Home");
    section.Text("StartpageCheckUrls", "home.test");
    section.Text("PartnerSenderUrl", "http://partner.test/");
    section.Text("ChangePageName", "home1");
    section.Flag("viewcheckbox", 1);
    ASSERT_TRUE(SetupOptionIni(ini).WriteSection("StartpageInfo", section));

    SetStartPage("http://other.test/");
    CStartPageWorker shown;
    ASSERT_TRUE(LoadStartPageFromIni(product, &shown, ini));
    EXPECT_TRUE(shown.checkbox_visible);

    SetStartPage("http://home.test/");
    CStartPageWorker hidden;
    ASSERT_TRUE(LoadStartPageFromIni(product, &hidden, ini));
    EXPECT_FALSE(hidden.checkbox_visible);
    EXPECT_EQ(hidden.TitleStartpage(), "Home");
    EXPECT_EQ(hidden.ChangePageName(), "home1");
}

// ---- Runs ----

TEST_F(StartPage, HiddenBoxChangesNothingAndTellsThePartnerOnlyWhenAsked) {
    SetStartPage("http://www.home.test/old");
    CStartPageWorker worker = Worker();
    ASSERT_FALSE(worker.checkbox_visible);

    EXPECT_TRUE(worker.Run(1));
    EXPECT_EQ(StartPageNow(), "http://www.home.test/old");
    EXPECT_TRUE(Partner().empty());
    auto vendor = VendorFields();
    EXPECT_EQ(vendor["no"], "2");
    EXPECT_EQ(vendor["cr"], "0");
    EXPECT_EQ(vendor["sr"], "0");

    server.ClearRequests();
    worker.info.sendcondition = 1;
    EXPECT_TRUE(worker.Run(1));
    EXPECT_EQ(StartPageNow(), "http://www.home.test/old");
    auto partner = Partner();
    ASSERT_EQ(partner.size(), 1u);
    EXPECT_EQ(QueryOf(partner[0])["m"], "2");
    EXPECT_EQ(QueryOf(partner[0])["r"], "0");
    EXPECT_EQ(VendorFields()["sr"], "1");

    // Without an offer nothing happens at all.
    server.ClearRequests();
    worker.active = false;
    EXPECT_FALSE(worker.Run(1));
    EXPECT_EQ(server.RequestCount(), 0u);
}

TEST_F(StartPage, SelectedBoxSetsThePageAndTracesEveryStep) {
    DebugOutputMonitor monitor;
    ASSERT_TRUE(monitor.ok());
    ASSERT_TRUE(SetRegDword(HKEY_CURRENT_USER, kAgentKey, "Debug", 0, View::Own));
    SetStartPage("HTTP://WWW.NAVER.COM/");  // capitals still give the portal's class
    CStartPageWorker worker = Worker();
    ASSERT_TRUE(worker.checkbox_visible);

    EXPECT_TRUE(worker.Run(1));
    EXPECT_EQ(StartPageNow(), kNewPage);
    auto partner = Partner();
    ASSERT_EQ(partner.size(), 1u);
    auto told = QueryOf(partner[0]);
    EXPECT_EQ(told["c"], "1");  // the class before the change
    EXPECT_EQ(told["m"], "1");
    EXPECT_EQ(told["r"], "1");
    EXPECT_EQ(told["p"], product);
    EXPECT_EQ(told["v"], "1.0");
    EXPECT_EQ(told["o"], ReportOsVersion());
    auto vendor = VendorFields();
    EXPECT_EQ(vendor["url"], "1");
    EXPECT_EQ(vendor["no"], "1");
    EXPECT_EQ(vendor["cr"], "1");
    EXPECT_EQ(vendor["sr"], "1");

    const std::string partner_url = server.Url(partner[0].target);
    const std::string vendor_url = server.Url(Vendor()[0].target);
    WaitUntil([&] { return monitor.Joined(GetCurrentProcessId()).find("To Quindel") !=
                           std::string::npos; },
              5000);
    const std::vector<std::string> expected = {
        "[CStartPageWorker::Run] Checkbox visible : 1\nCheckbox state : 1\nsendCondition = 0\n"
        "checkboxView = 1\nmode = 0\n",
        std::string("StartPage : ") + kNewPage + " (0)\n",
        "To Partner : " + partner_url + "\n",
        "Run protected mode : /SendLog \"" + partner_url + "\"\n",
        "To Quindel : " + vendor_url + "\n"};
    EXPECT_EQ(monitor.Lines(GetCurrentProcessId()), expected);

    // Shown but not selected: no change, and the partner only hears of it when asked.
    server.ClearRequests();
    SetStartPage("http://www.daum.net/");
    DeleteRegValue(HKEY_CURRENT_USER, kAgentKey, "Debug", View::Own);
    const size_t traced = monitor.Lines(GetCurrentProcessId()).size();
    EXPECT_TRUE(worker.Run(0));
    EXPECT_EQ(StartPageNow(), "http://www.daum.net/");
    EXPECT_TRUE(Partner().empty());
    vendor = VendorFields();
    EXPECT_EQ(vendor["url"], "2");
    EXPECT_EQ(vendor["no"], "0");
    EXPECT_EQ(vendor["cr"], "0");
    EXPECT_EQ(monitor.Lines(GetCurrentProcessId()).size(), traced) << "traced without Debug";
}

TEST_F(StartPage, LongPagesAreReadWhole) {
    // A current page of 2083 characters still gives its class, and a new page of that length
    // reads back as set.
    std::string long_page = "http://x.test/?q=" + std::string(2057, 'q') + "naver.com";
    ASSERT_EQ(long_page.size(), 2083u);
    SetStartPage(long_page);
    CStartPageWorker worker = Worker();
    worker.info.StartpageUrl = "http://home.test/?" + std::string(2065, 'p');
    ASSERT_TRUE(worker.checkbox_visible);
    EXPECT_TRUE(worker.Run(1));
    EXPECT_EQ(StartPageNow(), worker.info.StartpageUrl);
    auto vendor = VendorFields();
    EXPECT_EQ(vendor["url"], "1");
    EXPECT_EQ(vendor["cr"], "1");
}

TEST_F(StartPage, UnwritableBrowserKeyReportsTwoAndStillTellsEveryone) {
    SetStartPage("http://old.test/");
    CStartPageWorker worker = Worker();
    {
        DenySetValue deny(kMainKey);
        ASSERT_TRUE(deny.active());
        EXPECT_TRUE(worker.Run(1));
    }
    EXPECT_EQ(StartPageNow(), "http://old.test/");
    auto partner = Partner();
    ASSERT_EQ(partner.size(), 1u);
    EXPECT_EQ(QueryOf(partner[0])["r"], "2");
    auto vendor = VendorFields();
    EXPECT_EQ(vendor["cr"], "2");
    EXPECT_EQ(vendor["sr"], "1");
}

TEST_F(StartPage, ExternalToolSetsThePageWithoutTheRegistryBeingRead) {
    SetStartPage("http://old.test/");
    CStartPageWorker worker = Worker();
    worker.info.StartPageMode = 1;
    PlaceRecorder("zoz.exe");
    EXPECT_TRUE(worker.Run(1));
    EXPECT_EQ(VendorFields()["cr"], "1");
    ASSERT_TRUE(WaitUntil([&] { return !Record().empty(); }, 10000));
    EXPECT_NE(Record().find("zoz.exe\" -regstartrun http://home.test/start"), std::string::npos)
        << Record();
    EXPECT_EQ(StartPageNow(), "http://old.test/");

    // A tool that is missing, or that is no program, changes nothing and reports 0.
    for (const char* what : {"missing", "not a program"}) {
        server.ClearRequests();
        DeleteFileA(Join(tools, "zoz.exe").c_str());
        if (std::string(what) == "not a program") {
            ASSERT_TRUE(WriteTextFile(Join(tools, "zoz.exe"), "this is not a program"));
        }
        EXPECT_TRUE(worker.Run(1)) << what;
        EXPECT_EQ(VendorFields()["cr"], "0") << what;
        EXPECT_EQ(StartPageNow(), "http://old.test/") << what;
    }
}

TEST_F(StartPage, VendorReportFillsEveryPlaceholder) {
    // The program reads the browser's version in its own view, the 32-bit one.
    ScopedRegValue browser_guard(HKEY_LOCAL_MACHINE, kVersionVector, "IE", View::View32);
    ASSERT_TRUE(SetRegString(HKEY_LOCAL_MACHINE, kVersionVector, "IE", "8.0000", View::View32));
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof(version);
    ASSERT_TRUE(GetVersionExA(&version));
    char os[64];
    std::snprintf(os, sizeof(os), "%lu.%lu.%lu", version.dwPlatformId, version.dwMajorVersion,
                  version.dwMinorVersion);
    EXPECT_EQ(ReportOsVersion(), std::string("8.") + os);

    SetStartPage("http://www.home.test/");
    CStartPageWorker worker = Worker();
    worker.info.ChangePageName = "home1";
    EXPECT_TRUE(worker.Run(0));
    auto requests = Vendor();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].target, "/InstallerPattern.aspx?url=7&no=2&pd=dv_" + product +
                                      "&cr=0&sr=0&cv=1.0&ov=8." + os + "&ch=home1");

    // Without the browser's version vector the first number is 0.
    DeleteRegValue(HKEY_LOCAL_MACHINE, kVersionVector, "IE", View::View32);
    EXPECT_EQ(ReportOsVersion(), std::string("0.") + os);
}

TEST_F(StartPage, ProtectedModeReportAnswersWithTheCopysExitCode) {
    SetStartPage("");
    CStartPageWorker worker = Worker();
    worker.info.sendcondition = 1;

    // A partner that answers late is still waited for.
    LoopbackServer::Response slow;
    slow.body = "ok";
    slow.delay_ms = 2500;
    server.Serve(kPartnerPath, slow);
    EXPECT_TRUE(worker.Run(0));
    EXPECT_EQ(Partner().size(), 1u);
    EXPECT_EQ(VendorFields()["sr"], "1");

    // A partner that is down: the copy reports 2, and so does the vendor report.
    server.ClearRequests();
    worker.info.PartnerSenderUrl = "http://127.0.0.1:" +
                                   std::to_string(LoopbackServer::UnusedPort()) + "/p?c=%StartPage%";
    EXPECT_TRUE(worker.Run(0));
    EXPECT_EQ(VendorFields()["sr"], "2");

    // Norvane's copy cannot be started.
    server.ClearRequests();
    worker.program_path = temp.File("missing\\Norvane.exe");
    EXPECT_TRUE(worker.Run(0));
    EXPECT_EQ(VendorFields()["sr"], "2");

    // Whatever the copy exits with is what the vendor hears; the address is one argument.
    server.ClearRequests();
    DeleteFileA(Join(tools, "Norvane.exe").c_str());
    PlaceRecorder("Norvane.exe");
    worker.program_path = Join(tools, "Norvane.exe");
    worker.info.PartnerSenderUrl = "http://partner.test/r?a=%StartPage% b&x=--exit=5";
    EXPECT_TRUE(worker.Run(0));
    EXPECT_EQ(VendorFields()["sr"], "5");
    EXPECT_NE(Record().find("cmd=\"" + Join(tools, "Norvane.exe") +
                            "\" /SendLog \"http://partner.test/r?a=7 b&x=--exit=5\"\n"),
              std::string::npos)
        << Record();
}

TEST_F(StartPage, CopyThatNeverEndsIsGivenUpAfterTheLastPoll) {
    SetStartPage("");
    CStartPageWorker worker = Worker();
    worker.info.sendcondition = 1;
    DeleteFileA(Join(tools, "Norvane.exe").c_str());
    PlaceRecorder("Norvane.exe");
    worker.info.PartnerSenderUrl = "http://partner.test/r?x=--sleep=120000";

    const DWORD start = GetTickCount();
    EXPECT_TRUE(worker.Run(0));
    const DWORD waited = GetTickCount() - start;
    // The whole wait; the copy is still running, which is no report.
    EXPECT_GE(waited, kSendLogWaitMs - 500);
    EXPECT_EQ(VendorFields()["sr"], "2");
    ASSERT_EQ(RecordedPids().size(), 1u);  // TearDown ends it
}

// ---- Shortcuts ----

class PartnerShortcuts : public StartPage {
protected:
    void SetUp() override {
        StartPage::SetUp();
        desktop = GetSpecialFolder(kFolderCommonDesktop);
        start_menu = GetSpecialFolder(kFolderCommonStartMenu);
        icons = JoinPath(GetSpecialFolder(kFolderCommonAppData), "Quindel\\Common");
        ASSERT_FALSE(desktop.empty());
        ASSERT_FALSE(start_menu.empty());
        server.Serve("/icon.ico", "ICON DATA");
    }
    void TearDown() override {
        for (const std::string& name : {link_name, std::string("..\\") + link_name}) {
            DeleteFileA(LinkIn(desktop, name).c_str());
            DeleteFileA(LinkIn(start_menu, name).c_str());
            DeleteFileA(Join(icons, name + ".ico").c_str());
        }
        StartPage::TearDown();
    }
    CStartPageWorker LinkWorker(int flags) {
        CStartPageWorker worker = Worker();
        worker.info.LinkFlags = flags;
        worker.info.LinkName = link_name;
        worker.info.LinkUrl = "http://home.test/link";
        worker.info.LinkDesc = "Partner page";
        worker.info.LinkIconUrl = server.Url("/icon.ico");
        return worker;
    }

    std::string link_name = UniqueName("Partner link ");
    std::string desktop, start_menu, icons;
};

TEST_F(PartnerShortcuts, FollowLinkFlagsWhateverTheBoxSays) {
    SetStartPage("http://other.test/");
    CStartPageWorker worker = LinkWorker(3);
    ASSERT_TRUE(worker.checkbox_visible);
    EXPECT_TRUE(worker.Run(0));  // the box not selected: no change, shortcuts all the same
    EXPECT_EQ(StartPageNow(), "http://other.test/");

    const std::string icon = Join(icons, link_name + ".ico");
    EXPECT_EQ(ReadTextFile(icon).value_or(""), "ICON DATA");
    for (const std::string& folder : {desktop, start_menu}) {
        LinkContent link = ReadLink(LinkIn(folder, link_name));
        EXPECT_NE(link.path.find("iexplore.exe"), std::string::npos) << folder;
        EXPECT_EQ(link.arguments, "http://home.test/link") << folder;
        EXPECT_EQ(link.description, "Partner page") << folder;
        EXPECT_EQ(lstrcmpiA(link.icon.c_str(), icon.c_str()), 0) << link.icon;
    }

    // Only the desktop one; an icon that cannot be fetched leaves the shortcut without one.
    DeleteFileA(LinkIn(desktop, link_name).c_str());
    DeleteFileA(LinkIn(start_menu, link_name).c_str());
    DeleteFileA(icon.c_str());
    server.Serve("/icon.ico", "missing", 404);
    worker = LinkWorker(1);
    EXPECT_TRUE(worker.Run(1));
    EXPECT_TRUE(PathExists(LinkIn(desktop, link_name)));
    EXPECT_FALSE(PathExists(LinkIn(start_menu, link_name)));
    EXPECT_FALSE(PathExists(icon));
    EXPECT_EQ(ReadLink(LinkIn(desktop, link_name)).icon, "");
}

TEST_F(PartnerShortcuts, NoFlagsNoTextsOrAnUnsafeNameMakeNone) {
    CStartPageWorker worker = LinkWorker(0);
    EXPECT_TRUE(worker.Run(1));
    worker = LinkWorker(3);
    worker.info.LinkUrl = "";
    EXPECT_TRUE(worker.Run(1));
    EXPECT_FALSE(PathExists(LinkIn(desktop, link_name)));
    EXPECT_FALSE(PathExists(LinkIn(start_menu, link_name)));
    EXPECT_FALSE(PathExists(Join(icons, link_name + ".ico")));
    EXPECT_TRUE(server.RequestsFor("/icon.ico").empty());

    // A name from the option file that climbs out of the shared folders is refused.
    worker = LinkWorker(3);
    worker.info.LinkName = "..\\" + link_name;
    EXPECT_TRUE(worker.Run(1));
    EXPECT_FALSE(PathExists(LinkIn(desktop, "..\\" + link_name)));
    EXPECT_FALSE(PathExists(LinkIn(start_menu, "..\\" + link_name)));
    EXPECT_TRUE(server.RequestsFor("/icon.ico").empty());
    EXPECT_EQ(Vendor().size(), 3u);  // every run still reported
}

// Puts a folder aside for the length of a test and brings it back however the test ends.
class FolderSetAside {
public:
    explicit FolderSetAside(std::string path)
        : path_(std::move(path)), aside_(path_ + "." + UniqueName("aside")) {
        moved_ = PathExists(path_) && MoveFileA(path_.c_str(), aside_.c_str());
    }
    ~FolderSetAside() {
        if (moved_) MoveFileA(aside_.c_str(), path_.c_str());
    }
    FolderSetAside(const FolderSetAside&) = delete;
    FolderSetAside& operator=(const FolderSetAside&) = delete;
    bool clear() const { return !PathExists(path_); }

private:
    std::string path_, aside_;
    bool moved_ = false;
};

// Any user may create the shared icon folder first and make it a junction to, say, the system
// folder: an elevated run must then write nothing through it, and say why in its trace.
TEST_F(PartnerShortcuts, ALinkedIconFolderReceivesNothing) {
    ScopedRegValue debug(HKEY_CURRENT_USER, kAgentKey, "Debug", View::Own);
    ASSERT_TRUE(SetRegString(HKEY_CURRENT_USER, kAgentKey, "Debug", "1", View::Own));
    DebugOutputMonitor monitor;
    ASSERT_TRUE(monitor.ok());

    FolderSetAside aside(icons);
    ASSERT_TRUE(aside.clear());
    ASSERT_TRUE(MakeFolders(icons.substr(0, icons.rfind('\\'))));
    TempDir target;
    ScopedUnixLink link(target.path(), icons);
    ASSERT_TRUE(link.made());

    CStartPageWorker worker = LinkWorker(1);
    EXPECT_TRUE(worker.Run(1));
    EXPECT_TRUE(server.RequestsFor("/icon.ico").empty());
    EXPECT_FALSE(PathExists(target.File(link_name + ".ico")));
    EXPECT_FALSE(PathExists(target.File(link_name + ".ico.tmp")));
    // The shortcut itself still comes, without its icon.
    EXPECT_EQ(ReadLink(LinkIn(desktop, link_name)).icon, "");
    EXPECT_TRUE(WaitUntil(
        [&] {
            return monitor.Joined(GetCurrentProcessId()).find("Partner icon not written") !=
                   std::string::npos;
        },
        5000));
    EXPECT_NE(monitor.Joined(GetCurrentProcessId()).find("is a junction or link"),
              std::string::npos);
}

TEST_F(PartnerShortcuts, TaskbarShortcutIsPinnedFromTheTemporaryFolderOnWindows7) {
    // The prefix is a Windows 7: the third kind goes to the taskbar, not to Quick Launch.
    CStartPageWorker worker = LinkWorker(4);
    EXPECT_TRUE(worker.Run(1));
    char folder[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, folder);
    const std::string link = LinkIn(folder, link_name);
    // Once pinned (the taskbar keeps a copy of its own) the temporary shortcut is removed.
    EXPECT_FALSE(PathExists(link));
    EXPECT_FALSE(PathExists(LinkIn(QuickLaunchFolder(), link_name)));
    EXPECT_FALSE(PathExists(LinkIn(desktop, link_name)));
    DeleteFileA(link.c_str());
}

// ---- Enumeration list ----

class EnumerationList : public StartPage {
protected:
    std::string OptionFile() {
        const std::string path = temp.File("option.xml");
        EXPECT_TRUE(WriteTextFile(
            path,
            "<r><startpage><setstartpage><![CDATA[http://home.test/start]]></setstartpage>"
            "<setstartpagename><![CDATA[Home]]></setstartpagename>"
            "<setcheckstartpage><![CDATA[home.test]]></setcheckstartpage>"
            "<otherstartpagesendurl><![CDATA[http://partner.test/]]></otherstartpagesendurl>"
            "<changepagename>home1</changepagename><viewcheckbox>1</viewcheckbox>"
            "</startpage></r>"));
        return path;
    }
    std::string DownloadedList() {
        char folder[MAX_PATH] = {};
        GetTempPathA(MAX_PATH, folder);
        return JoinPath(folder, "dravel_enumlist.xml");
    }
    void TearDown() override {
        DeleteFileA(DownloadedList().c_str());
        StartPage::TearDown();
    }
};

TEST_F(EnumerationList, DownloadedFromTheInstallServerAndRemovedOnceRead) {
    server.Serve(kListPath,
                 "<?xml version=\"1.0\" encoding=\"utf-8\"?><List>"
                 "<StartPage Index=\"2\">daum.net</StartPage>"
                 "<startpage Index=\"1\">caf\xC3\xA9.test</startpage>"
                 "<StartPage Index=\"2\">second.test</StartPage>"
                 "<StartPage>no index</StartPage></List>");
    SetStartPage("http://www.daum.net/");
    CStartPageWorker worker;
    worker.page_list[7] = "kept.test";
    ASSERT_TRUE(LoadStartPageFromXml(OptionFile(), &worker, product));
    EXPECT_TRUE(worker.active);
    EXPECT_TRUE(worker.checkbox_visible);
    const std::map<int, std::string> expected = {
        {1, ToAnsi(L"caf\u00e9.test")}, {2, "daum.net"}, {7, "kept.test"}};
    EXPECT_EQ(worker.page_list, expected);
    EXPECT_EQ(server.RequestsFor(kListPath).size(), 1u);
    EXPECT_FALSE(PathExists(DownloadedList()));

    // The list's number is the class the run reports.
    worker.program_path = Join(tools, "Norvane.exe");
    EXPECT_TRUE(worker.Run(0));
    EXPECT_EQ(VendorFields()["url"], "2");
}

TEST_F(EnumerationList, TheAgentsFileIsUsedInsteadOfTheServer) {
    const std::string list = temp.File("enum.xml");
    ASSERT_TRUE(WriteTextFile(list, "<l><StartPage Index='4'>four.test</StartPage></l>"));
    ASSERT_TRUE(SetRegString(HKEY_CURRENT_USER, kAgentKey, "StartPageEnumList", list, View::Own));
    server.Serve(kListPath, "<l><StartPage Index='9'>server.test</StartPage></l>");
    CStartPageWorker worker;
    ASSERT_TRUE(LoadStartPageFromXml(OptionFile(), &worker, product));
    EXPECT_EQ(worker.page_list, (std::map<int, std::string>{{4, "four.test"}}));
    EXPECT_TRUE(server.RequestsFor(kListPath).empty());
    EXPECT_TRUE(PathExists(list));
}

TEST_F(EnumerationList, MissingBrokenOrHugeListsLeaveTheOfferStanding) {
    auto load = [&](const char* what) {
        CStartPageWorker worker;
        EXPECT_TRUE(LoadStartPageFromXml(OptionFile(), &worker, product)) << what;
        EXPECT_TRUE(worker.active) << what;
        return worker.page_list;
    };
    EXPECT_TRUE(load("404").empty());
    server.Serve(kListPath, "<l><StartPage Index='1'>one.test</StartPage><StartPage Index='2'>tw");
    EXPECT_TRUE(load("cut off").empty());
    LoopbackServer::Response dropped;
    dropped.drop = true;
    server.Serve(kListPath, dropped);
    EXPECT_TRUE(load("dropped").empty());
    const size_t downloads = server.RequestsFor(kListPath).size();

    const std::string file = temp.File("enum.xml");
    ASSERT_TRUE(SetRegString(HKEY_CURRENT_USER, kAgentKey, "StartPageEnumList", file, View::Own));
    EXPECT_TRUE(load("missing file").empty());
    ASSERT_TRUE(WriteTextFile(file, "<l><StartPage Index='1'>one.test</StartPage></x>"));
    EXPECT_TRUE(load("mismatched close").empty());
    ASSERT_TRUE(WriteTextFile(file, std::string(5000, '\x01')));
    EXPECT_TRUE(load("binary").empty());

    std::string huge = "<l>";
    for (int i = 0; i < 60000; ++i) {
        huge += "<StartPage Index='" + std::to_string(i) + "'>page" + std::to_string(i) +
                ".test</StartPage>";
    }
    huge += "</l>";
    ASSERT_TRUE(WriteTextFile(file, huge));
    auto list = load("huge");
    EXPECT_LE(list.size(), static_cast<size_t>(kStartPageListLimit));
    EXPECT_EQ(server.RequestsFor(kListPath).size(), downloads) << "the agent's file was not used";
}

}  // namespace


