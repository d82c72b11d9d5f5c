// Norvane started the way the update agent starts it: command line, mutexes, language module,
// and the "/sendlog" run against the loopback server.
#include <gtest/gtest.h>

#include "resources/ResourceIds.h"
#include "tests/support/DebugOutputMonitor.h"
#include "tests/support/LoopbackServer.h"
#include "updater/offers/FileDigest.h"
#include "tests/support/TestSupport.h"
#include "updater/data/UpdateInfo.h"
#include "updater/platform/Shell.h"

using namespace testsupport;

namespace {

constexpr DWORD kExitTimeout = 20000;
// The framework's default exit code: every mode but "/sendlog", and every start-up that gives up,
// ends with it. A crash ends with an exception code instead.
constexpr DWORD kDefaultExitCode = 0;

std::string NorvanePath() { return Join(BinDir(), "Norvane.exe"); }

std::string Command(const std::string& program, const std::string& arguments) {
    return Quote(program) + (arguments.empty() ? "" : " " + arguments);
}

bool IsUpdateWindow(HWND window) {
    return IsWindowVisible(window) && ClassName(window) == "#32770";
}

// Norvane's language module is found only when a language source names a code; the system
// locale always does, so nothing needs seeding.
class NorvaneRun : public ::testing::Test {
protected:
    std::string product = UniqueName("Prod");
    // The add-on server is one that refuses connections, unless a test serves option files.
    // Server overrides are machine settings, read in the program's own 32-bit view.
    ScopedRegValue addon_host{HKEY_LOCAL_MACHINE, "Software\\Quindel\\Dravel", "AddonServerHost", View::View32};
    NorvaneRun() {
        SetRegString(HKEY_LOCAL_MACHINE, "Software\\Quindel\\Dravel", "AddonServerHost",
                     "127.0.0.1:" + std::to_string(LoopbackServer::UnusedPort()), View::View32);
    }
    ~NorvaneRun() override { RemoveTree(Join(DataRoot(), product)); }
    // A preparation that ran past its mutex always leaves the store behind.
    std::string SetupOptionIni() const { return Join(Join(DataRoot(), product), "SetupOption.ini"); }

    // What the update agent leaves for an update it found.
    void WriteUpdateInfo(const std::string& extra = "") {
        // On a fresh machine not even the data folder's parents exist.
        ASSERT_TRUE(MakeFolders(Join(DataRoot(), product)));
        ASSERT_TRUE(WriteTextFile(UpdateInfoPath(product),
            "[ProductInfo]\r\nEngName=" + product + "\r\nLocalName=Test product\r\nMutex=TestMutex\r\n"
            "MainApp=test.exe\r\nNewVersion=2.0.0.1\r\nDescript1=New\r\nDescript2=Better\\nFaster\r\n" + extra +
            "[FileInfo]\r\nDownloadedPath=C:\\setup.exe\r\n"));
    }
};

TEST_F(NorvaneRun, SwitchInCapitalsOpensTheWindowAndItsCloseButtonEndsIt) {
    Process norvane;
    ASSERT_TRUE(norvane.Start(Command(NorvanePath(), "/EXPLICITUPDATE " + product)));
    HWND window = WaitForWindow(norvane.pid(), 15000, &IsUpdateWindow);
    ASSERT_NE(window, nullptr) << "no update window";

    // Borderless, titled from the language module, with the close button in place.
    EXPECT_EQ(GetWindowLongA(window, GWL_STYLE) & WS_CAPTION, 0);
    EXPECT_FALSE(WindowText(window).empty());
    HWND close = GetDlgItem(window, IDC_CLOSE);
    ASSERT_NE(close, nullptr);
    RECT client, button;
    GetClientRect(window, &client);
    GetWindowRect(close, &button);
    MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&button), 2);
    EXPECT_EQ(button.right, client.right - 7);
    EXPECT_EQ(button.top, 6);
    // The close button is drawn from the module's bitmaps and takes their size.
    HMODULE module = LoadLibraryExA(Join(BinDir(), "ko-KR.dll").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module, nullptr);
    HBITMAP normal = LoadBitmapA(module, MAKEINTRESOURCEA(IDB_CLOSE_NORMAL));
    BITMAP size = {};
    ASSERT_TRUE(normal && GetObjectA(normal, sizeof(size), &size));
    EXPECT_EQ(button.right - button.left, size.bmWidth);
    EXPECT_EQ(button.bottom - button.top, size.bmHeight);
    EXPECT_NE(GetWindowLongA(close, GWL_STYLE) & BS_OWNERDRAW, 0);
    DeleteObject(normal);
    FreeLibrary(module);
    SaveScreenshot("skeleton-window.png");

    PostMessageA(close, BM_CLICK, 0, 0);
    EXPECT_TRUE(norvane.Wait(kExitTimeout).has_value()) << "close button did not end Norvane";
}

TEST_F(NorvaneRun, IncompleteCommandLinesEndWithoutAWindow) {
    const std::string lines[] = {
        "/explicitupdate",              // switch only
        "\"/updatenotice\" \"\"",       // empty product name
        "/installnow " + product,       // no such switch
        "",                             // nothing
        "explicitupdate " + product,    // the switch without its slash
    };
    for (const std::string& arguments : lines) {
        SCOPED_TRACE(arguments);
        Process norvane;
        ASSERT_TRUE(norvane.Start(Command(NorvanePath(), arguments)));
        // A window would stay open until someone closes it.
        const WatchedRun run = WaitWatchingWindows(norvane, kExitTimeout);
        EXPECT_EQ(run.exit_code, std::optional<DWORD>(kDefaultExitCode));
        EXPECT_FALSE(run.showed_window);
    }
}

TEST_F(NorvaneRun, MissingLanguageModuleEndsStartUpSilently) {
    TempDir folder;
    ASSERT_TRUE(CopyInto(NorvanePath(), folder.path()));
    Process norvane;
    ASSERT_TRUE(norvane.Start(Command(folder.File("Norvane.exe"), "/explicitupdate " + product)));
    const WatchedRun run = WaitWatchingWindows(norvane, kExitTimeout);
    EXPECT_EQ(run.exit_code, std::optional<DWORD>(kDefaultExitCode));
    EXPECT_FALSE(run.showed_window);

    // The same copy with the module beside it opens its window.
    ASSERT_TRUE(CopyInto(Join(BinDir(), "ko-KR.dll"), folder.path()));
    Process with_module;
    ASSERT_TRUE(with_module.Start(Command(folder.File("Norvane.exe"), "/explicitupdate " + product)));
    EXPECT_NE(WaitForWindow(with_module.pid(), 15000, &IsUpdateWindow), nullptr);
}

// The language module holds only resources. Norvane, which may run elevated, loads it as data:
// code in a module someone planted beside it must not run, and every page must still work.
TEST_F(NorvaneRun, PlantedLanguageModuleServesResourcesButRunsNoCode) {
    TempDir folder;
    ASSERT_TRUE(CopyInto(NorvanePath(), folder.path()));
    ASSERT_TRUE(CopyInto(Join(DoublesDir(), "planted_module.dll"), folder.path(), "ko-KR.dll"));
    const std::string mark = folder.File("module-code-ran");
    Process::Options options;
    options.extra_environment.push_back("PLANTED_MODULE_MARK=" + mark);
    Process norvane;
    ASSERT_TRUE(norvane.Start(Command(folder.File("Norvane.exe"), "/explicitupdate " + product), options));
    HWND window = WaitForWindow(norvane.pid(), 15000, &IsUpdateWindow);
    ASSERT_NE(window, nullptr) << "the module's resources did not serve the window";
    EXPECT_FALSE(WindowText(window).empty());
    EXPECT_NE(GetDlgItem(window, IDC_CLOSE), nullptr);
    EXPECT_FALSE(PathExists(mark)) << "code of the language module ran inside Norvane";
}

// The product's mutex held by someone else: a second Norvane waits about 3000 ms for it and
// ends; "/bgprepare" uses a mutex of its own and is not held up.
TEST_F(NorvaneRun, SecondInstanceWaitsForTheProductMutexThenEnds) {
    HeldMutex held("NorvaneMutex_" + product);
    ASSERT_TRUE(held.held());

    DWORD start = GetTickCount();
    auto code = RunToEnd(Command(NorvanePath(), "/updatenotice " + product), kExitTimeout);
    DWORD waited = GetTickCount() - start;
    EXPECT_EQ(code, std::optional<DWORD>(kDefaultExitCode));
    EXPECT_GE(waited, 2900u);

    EXPECT_FALSE(PathExists(SetupOptionIni()));
    code = RunToEnd(Command(NorvanePath(), "/bgprepare " + product), kExitTimeout);
    EXPECT_EQ(code, std::optional<DWORD>(kDefaultExitCode));
    EXPECT_TRUE(PathExists(SetupOptionIni())) << "/bgprepare was held up by the update mutex";
}

TEST_F(NorvaneRun, PrepareRunsExcludeOnlyEachOther) {
    HeldMutex held("NorvaneMutex_" + product + "_Prepare");
    ASSERT_TRUE(held.held());
    const DWORD start = GetTickCount();
    EXPECT_EQ(RunToEnd(Command(NorvanePath(), "/BgPrepare " + product), kExitTimeout),
              std::optional<DWORD>(kDefaultExitCode));
    EXPECT_GE(GetTickCount() - start, 2900u);
    EXPECT_FALSE(PathExists(SetupOptionIni()));

    // The update window itself is not held up by a preparation.
    WriteUpdateInfo();
    Process norvane;
    ASSERT_TRUE(norvane.Start(Command(NorvanePath(), "/updatenotice " + product)));
    EXPECT_NE(WaitForWindow(norvane.pid(), 15000, &IsUpdateWindow), nullptr);
}

// The elevated copy starts while the copy that launched it is still ending: it gets the mutex as
// soon as the old copy lets go. (The notice mode shares that mutex and keeps its window open,
// where an elevated copy would go straight on to a setup this test does not have.)
TEST_F(NorvaneRun, MutexReleasedWithinTheWaitIsTakenOver) {
    WriteUpdateInfo();
    HeldMutex held("NorvaneMutex_" + product);
    ASSERT_TRUE(held.held());
    Process norvane;
    ASSERT_TRUE(norvane.Start(Command(NorvanePath(), "/updatenotice " + product)));
    Sleep(1000);
    held.Release();
    EXPECT_NE(WaitForWindow(norvane.pid(), 15000, &IsUpdateWindow), nullptr);
}

// The notice and the elevated copy work from the files the agent and the first copy left; without
// usable update information they end before showing anything.
TEST_F(NorvaneRun, NoticeWithoutUsableUpdateInformationEndsSilently) {
    auto expect_silent_end = [&](const std::string& arguments) {
        SCOPED_TRACE(arguments);
        Process norvane;
        ASSERT_TRUE(norvane.Start(Command(NorvanePath(), arguments)));
        const WatchedRun run = WaitWatchingWindows(norvane, kExitTimeout);
        EXPECT_EQ(run.exit_code, std::optional<DWORD>(kDefaultExitCode));
        EXPECT_FALSE(run.showed_window);
    };
    for (const char* mode : {"/updatenotice ", "/adminprogress "}) expect_silent_end(mode + product);
    WriteUpdateInfo();
    ASSERT_TRUE(WriteTextFile(UpdateInfoPath(product), "[ProductInfo]\r\nEngName=" + product + "\r\n"));
    expect_silent_end("/updatenotice " + product);
}

// "/bgprepare" does the downloads ahead: the logo, the option file, the middle offer's setup and
// the licence text, and leaves the store in SetupOption.ini; it shows nothing.
TEST_F(NorvaneRun, BackgroundPreparationFetchesAheadAndSavesTheStore) {
    LoopbackServer server;
    ScopedRegValue option_file{HKEY_CURRENT_USER, "Software\\Quindel\\Dravel", "OptionFileName", View::Own};
    DeleteRegValue(HKEY_CURRENT_USER, "Software\\Quindel\\Dravel", "OptionFileName", View::Own);
    SetRegString(HKEY_LOCAL_MACHINE, "Software\\Quindel\\Dravel", "AddonServerHost", server.host(), View::View32);
    const std::string offered = UniqueName("Offered");
    const std::string setup = ReadTextFile(Join(DoublesDir(), "offer_setup.exe")).value_or("");
    ASSERT_FALSE(setup.empty());
    server.Serve("/logo.bmp", "BM fake logo");
    server.Serve("/setup.exe", setup);
    server.Serve("/eula.rtf", "{\\rtf1 terms}");
    const int revision = 900000 + static_cast<int>(GetTickCount() % 90000);
    server.Serve("/default.ashx",
        "<addon><addproduct type=\"middle\"><productinfo><name>" + offered + "</name><namelocal>Offered</namelocal>"
        "<ver>1.0</ver><url checksum=\"" + FileMd5Hex(Join(DoublesDir(), "offer_setup.exe")) + "\"><![CDATA[" +
        server.Url("/setup.exe") + "]]></url><setcheckbox>1</setcheckbox><textadd><![CDATA[Add]]></textadd>"
        "<textupdate><![CDATA[Update]]></textupdate></productinfo></addproduct>"
        "<option><logurl><![CDATA[" + server.Url("/log.aspx") + "]]></logurl><eula ver=\"" + std::to_string(revision) +
        "\"><![CDATA[" + server.Url("/eula.rtf") + "]]></eula></option></addon>");
    WriteUpdateInfo("LogoImageURL=" + server.Url("/logo.bmp") + "\r\n");

    Process norvane;
    ASSERT_TRUE(norvane.Start(Command(NorvanePath(), "/bgprepare " + product)));
    const WatchedRun run = WaitWatchingWindows(norvane, 60000);
    EXPECT_EQ(run.exit_code, std::optional<DWORD>(kDefaultExitCode));
    EXPECT_FALSE(run.showed_window);

    auto option_requests = server.RequestsFor("/default.ashx");
    ASSERT_EQ(option_requests.size(), 1u);
    EXPECT_NE(option_requests[0].query.find("&p=" + product), std::string::npos);
    EXPECT_EQ(option_requests[0].query.substr(0, 8), "t=3&ios=");
    EXPECT_EQ(server.RequestsFor("/setup.exe").size(), 1u);
    EXPECT_EQ(server.RequestsFor("/logo.bmp").size(), 1u);
    EXPECT_EQ(server.RequestsFor("/log.aspx").size(), 0u);

    const std::string ini = SetupOptionIni();
    char text[512] = {};
    GetPrivateProfileStringA("AdditionalInstallInfo_middle", "ProductName", "", text, sizeof(text), ini.c_str());
    EXPECT_EQ(std::string(text), offered);
    GetPrivateProfileStringA("AdditionalInstallInfo_middle", "SetupDownloadPath", "", text, sizeof(text), ini.c_str());
    EXPECT_TRUE(PathExists(text)) << text;
    DeleteFileA(text);
    const std::string eula = Join(DataRoot(), "EULA_" + std::to_string(revision) + ".rtf");
    EXPECT_EQ(ReadTextFile(eula).value_or(""), "{\\rtf1 terms}");
    DeleteFileA(eula.c_str());
    EXPECT_TRUE(PathExists(LogoImageFilePath(product, "2.0.0.1")));
}

// The agent's option file may be anything at all. One of 100 MB is more than a 32-bit Norvane
// can hold together with its parse; it is taken for an unreadable file: the preparation ends
// normally and the store it leaves has no offers, although the file begins with complete ones.
TEST_F(NorvaneRun, OversizedOptionFileIsTakenForAnUnreadableOne) {
    TempDir dir;
    const std::string path = dir.File("huge-option.xml");
    {
        HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        const std::string head =
            "<addon><addproduct type=\"end\"><productinfo><name>Huge</name><namelocal>Huge</namelocal>"
            "<ver>1.0</ver><url checksum=\"00112233445566778899aabbccddeeff\"><![CDATA[http://x/h.exe]]>"
            "</url><textadd><![CDATA[Add]]></textadd><textupdate><![CDATA[Update]]></textupdate>"
            "</productinfo></addproduct><option><logurl><![CDATA[http://log.test/]]></logurl>"
            "<eula ver=\"1\"><![CDATA[http://eula.test/e.rtf]]></eula></option><!--";
        const std::string filler(1 << 20, 'x');
        DWORD written = 0;
        bool ok = WriteFile(file, head.data(), static_cast<DWORD>(head.size()), &written, nullptr);
        for (int mb = 0; ok && mb < 100; ++mb) {
            ok = WriteFile(file, filler.data(), static_cast<DWORD>(filler.size()), &written, nullptr);
        }
        ok = ok && WriteFile(file, "--></addon>", 11, &written, nullptr);
        CloseHandle(file);
        ASSERT_TRUE(ok);
    }
    ScopedRegValue option_file{HKEY_CURRENT_USER, "Software\\Quindel\\Dravel", "OptionFileName", View::Own};
    ASSERT_TRUE(SetRegString(HKEY_CURRENT_USER, "Software\\Quindel\\Dravel", "OptionFileName", path, View::Own));

    // The limit here only tells a hang from an end; a normal run takes seconds.
    auto code = RunToEnd(Command(NorvanePath(), "/bgprepare " + product), 180000);
    ASSERT_TRUE(code.has_value()) << "the preparation did not end";
    EXPECT_EQ(*code, 0u);
    const std::string ini = SetupOptionIni();
    ASSERT_TRUE(PathExists(ini));
    char names[4096] = {};
    GetPrivateProfileSectionNamesA(names, sizeof(names), ini.c_str());
    std::string sections;
    for (const char* p = names; *p; p += strlen(p) + 1) sections += std::string(p) + ";";
    EXPECT_EQ(sections, "SetupOptionInfo;");
    EXPECT_TRUE(PathExists(path)) << "the agent's file stays where it is";
}

class SendLog : public ::testing::Test {
protected:
    LoopbackServer server;
    ScopedRegValue debug{HKEY_CURRENT_USER, "Software\\Quindel\\Dravel", "Debug", View::Own};
    void SetUp() override {
        ASSERT_TRUE(server.ok());
        DeleteRegValue(HKEY_CURRENT_USER, "Software\\Quindel\\Dravel", "Debug", View::Own);
    }
    std::optional<DWORD> RunSendLog(const std::string& url) {
        return RunToEnd(Command(NorvanePath(), "/sendlog " + Quote(url)), kExitTimeout);
    }
};

TEST_F(SendLog, AnyHttpAnswerCountsAsSent) {
    server.Serve("/log/missing", "gone", 404);
    EXPECT_EQ(RunSendLog(server.Url("/log/missing?a=1&b=%ea%b0&c=x y")), 1u);
    auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].method, "GET");
    EXPECT_EQ(requests[0].path, "/log/missing");
    EXPECT_EQ(requests[0].query.substr(0, 12), "a=1&b=%ea%b0");

    server.Serve("/log/ok", "fine");
    EXPECT_EQ(RunSendLog(server.Url("/log/ok?state=1")), 1u);
    EXPECT_EQ(server.RequestsFor("/log/ok").size(), 1u);
}

TEST_F(SendLog, RefusedOrUnresolvableServerGivesTwo) {
    const std::string refused =
        "http://127.0.0.1:" + std::to_string(LoopbackServer::UnusedPort()) + "/log?x=1";
    EXPECT_EQ(RunSendLog(refused), 2u);
    EXPECT_EQ(RunSendLog("http://no-such-host.invalid/log?x=1"), 2u);
    EXPECT_EQ(server.RequestCount(), 0u);
}

TEST_F(SendLog, TraceLineOnlyWhenDebugValueExists) {
    DebugOutputMonitor monitor;
    ASSERT_TRUE(monitor.ok());
    server.Serve("/t", "ok");
    const std::string url = server.Url("/t?q=1");

    Process quiet;
    ASSERT_TRUE(quiet.Start(Command(NorvanePath(), "/sendlog " + url)));
    EXPECT_EQ(quiet.Wait(kExitTimeout), 1u);
    EXPECT_EQ(monitor.Joined(quiet.pid()), "");

    // Any type of value named "Debug" turns tracing on.
    ASSERT_TRUE(SetRegDword(HKEY_CURRENT_USER, "Software\\Quindel\\Dravel", "Debug", 0, View::Own));
    Process traced;
    ASSERT_TRUE(traced.Start(Command(NorvanePath(), "/sendlog " + url)));
    EXPECT_EQ(traced.Wait(kExitTimeout), 1u);
    WaitUntil([&] { return !monitor.Joined(traced.pid()).empty(); }, 3000);
    EXPECT_EQ(monitor.Joined(traced.pid()),
              "[Sendlog result of protected mode] Send URL : " + url + "\nSend Result : 1\n");
}

}  // namespace
