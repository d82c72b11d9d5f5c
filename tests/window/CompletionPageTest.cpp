// The completion page driven through the real window: its message, logo and labels, the end
// offer's box as the option file offers it, finishing with and without the offer, and the
// advertisement view as this platform's browser control has it (it sends the add-in page's
// request and never completes a document) or without any view at all.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <sstream>

#include "resources/ResourceIds.h"
#include "tests/support/DebugOutputMonitor.h"
#include "tests/window/UpdateWindowFixture.h"
#include "updater/app/PageFlow.h"
#include "updater/data/UpdateInfo.h"
#include "updater/offers/FileDigest.h"
#include "updater/adview/AdViewModel.h"

using namespace testsupport;
using namespace windowtest;

namespace {

// One product of the option file's end offer.
struct EndOfferText {
    std::string name;
    std::string local_name = "Fennick Notes";
    std::string version = "1.5";
    std::string url;
    std::string path;  // where the loopback server hands out its setup
    std::string checksum;
    int default_check = 1;
    std::string text_new = "Also install Fennick Notes";
    std::string text_update = "Also update Fennick Notes";
};

std::string EndOfferXml(const std::vector<EndOfferText>& products) {
    std::string xml = "<addproduct type=\"end\">";
    for (const EndOfferText& p : products) {
        xml += "<productinfo><name>" + p.name + "</name><namelocal>" + p.local_name +
               "</namelocal><ver>" + p.version + "</ver><url" +
               (p.checksum.empty() ? std::string() : " checksum=\"" + p.checksum + "\"") +
               "><![CDATA[" + p.url + "]]></url><setcheckbox>" + std::to_string(p.default_check) +
               "</setcheckbox><textadd><![CDATA[" + p.text_new +
               "]]></textadd><textupdate><![CDATA[" + p.text_update +
               "]]></textupdate></productinfo>";
    }
    return xml + "</addproduct>";
}

// The end offer's part of a logged query: "eName=...&eState=n".
std::string EndOfferFields(const std::string& query) {
    const size_t begin = query.find("eName=");
    const size_t end = query.find("&uName=");
    if (begin == std::string::npos || end == std::string::npos || end < begin) {
        return "<not in " + query + ">";
    }
    return query.substr(begin, end - begin);
}

RECT RectInPage(HWND page, HWND control) {
    RECT rect = {};
    GetWindowRect(control, &rect);
    MapWindowPoints(nullptr, page, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

bool Visible(HWND page, int id) {
    HWND control = Control(page, id);
    return control && IsWindowVisible(control);
}

// The size of a bitmap of the language module.
SIZE ModuleBitmapSize(const std::string& module_path, WORD id) {
    SIZE size = {};
    HMODULE module = LoadLibraryExA(module_path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!module) return size;
    HBITMAP bitmap = static_cast<HBITMAP>(
        LoadImageA(module, MAKEINTRESOURCEA(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    BITMAP info = {};
    if (bitmap && GetObjectA(bitmap, sizeof(info), &info)) size = {info.bmWidth, info.bmHeight};
    if (bitmap) DeleteObject(bitmap);
    FreeLibrary(module);
    return size;
}

// The window with keyboard focus in the thread of `window`.
HWND FocusOf(HWND window) {
    GUITHREADINFO info = {};
    info.cbSize = sizeof(info);
    const DWORD thread = GetWindowThreadProcessId(window, nullptr);
    return GetGUIThreadInfo(thread, &info) ? info.hwndFocus : nullptr;
}

bool IsEndOfferDialog(HWND window) {
    return IsWindowVisible(window) && GetDlgItem(window, IDC_END_OFFER_PROGRESS) != nullptr;
}

// The form data's "o=" part as a process of this machine sees the system.
std::string SystemPart() {
    OSVERSIONINFOEXA version = {};
    version.dwOSVersionInfoSize = sizeof(version);
    GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&version));
    SYSTEM_INFO system = {};
    GetSystemInfo(&system);
    char text[64];
    snprintf(text, sizeof(text), "o=%02x%02x%02x%02x%02x%04x%04x",
             static_cast<unsigned>(version.dwMajorVersion),
             static_cast<unsigned>(version.dwMinorVersion), version.wServicePackMajor,
             version.wProductType, system.wProcessorArchitecture,
             static_cast<unsigned>(version.dwBuildNumber), version.wSuiteMask);
    return text;
}

}  // namespace

class CompletionPage : public UpdateWindowTest {
protected:
    CompletionPage() {
        // The offered setups run from the end offer's folder; whatever still runs from there
        // when the test ends is ended with the rest.
        owner.Watch(OfferFolder());
        norvane_environment.push_back("OFFER_SETUP_RECORD=" + record);
    }
    ~CompletionPage() override {
        owner.EndAll();
        for (const std::string& name : offered) DeleteFileA(OfferFile(name).c_str());
    }

    static std::string OfferFolder() { return Join(DataRoot(), "AdditionalInstallInfo_end"); }
    static std::string OfferFile(const std::string& name) {
        return Join(OfferFolder(), name + ".exe");
    }

    // A product nobody has installed, whose setup (the offered-setup stand-in) the loopback
    // server hands out under its digest.
    EndOfferText FreshOffer() {
        EndOfferText offer;
        offer.name = UniqueName("Notes");
        offer.path = "/offers/" + offer.name + ".exe";
        offer.url = server.Url(offer.path);
        const std::string setup = Join(DoublesDir(), "offer_setup.exe");
        server.Serve(offer.path, ReadTextFile(setup).value_or(""));
        offer.checksum = FileMd5Hex(setup);
        offered.push_back(offer.name);
        return offer;
    }
    // Norvane from its start to the completion page, the way the product's setup gets it
    // there. The update's setup (a stand-in) is put back first, as the last finish deleted it.
    HWND ReachTheCompletionPage(DWORD* pid, HWND* window, const UpdateInfoText& info) {
        // A fresh run of the setup's stand-in: the file an earlier update removed, and no record
        // or open gate of an earlier run.
        CopyInto(Join(DoublesDir(), "product_setup.exe"), root.File("Downloads"),
                 product + "_setup.exe");
        DeleteFileA(setup_record.c_str());
        DeleteFileA(setup_gate.c_str());
        AgentWillFind(info);
        *pid = StartNorvane("/explicitupdate");
        *window = MainWindow(*pid);
        if (!*window) return nullptr;
        MoveOnToTheProgressStep(*window);
        if (!WaitForPage(*window, kProgressPage)) return nullptr;
        if (on_progress_step) on_progress_step();
        if (!WaitForSetupRun()) return nullptr;
        OpenSetupGate();
        HWND page = WaitForPage(*window, kCompletePage);
        // Finishing removes the setup's file: the setup must have ended by then.
        if (page && !SetupHasEnded()) return nullptr;
        return page;
    }
    HWND ReachTheCompletionPage(DWORD* pid, HWND* window) {
        return ReachTheCompletionPage(pid, window, DefaultInfo());
    }

    // The finish button, then the end of the window.
    void Finish(DWORD pid, HWND page) {
        ASSERT_TRUE(Click(Control(page, IDC_PAGE_BUTTON)));
        EXPECT_EQ(WaitForExit(pid, kExitTimeout), std::optional<DWORD>(0u));
    }

    // The command lines the offered setups were started with, one per run.
    std::vector<std::string> SetupRuns() const {
        std::vector<std::string> runs;
        std::istringstream lines(ReadTextFile(record).value_or(""));
        for (std::string line; std::getline(lines, line);) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (!line.empty()) runs.push_back(line);
        }
        return runs;
    }

    // The end offer's fields of the one update log sent.
    std::string LoggedEndOffer() {
        WaitUntil([&] { return !server.RequestsFor("/UpdateLog.aspx").empty(); }, kAppearTimeout);
        const auto logs = server.RequestsFor("/UpdateLog.aspx");
        if (logs.size() != 1) return "<" + std::to_string(logs.size()) + " logs>";
        return EndOfferFields(logs[0].query);
    }

    // The finish button sits in the bottom bar, sized to its normal picture; the bar lies at
    // the bottom of the page.
    void ExpectFinishButtonInTheBottomBar(HWND page) {
        RECT client = {};
        ASSERT_TRUE(GetClientRect(page, &client));
        const RECT bar = RectInPage(page, Control(page, IDC_BOTTOM_BAR));
        const RECT button = RectInPage(page, Control(page, IDC_PAGE_BUTTON));
        const SIZE picture = ModuleBitmapSize(Join(install_dir, "ko-KR.dll"), IDB_COMPLETE_NORMAL);
        const int bar_height = bar.bottom - bar.top, button_height = button.bottom - button.top;
        ASSERT_GT(picture.cx, 0);
        EXPECT_EQ(button.right - button.left, picture.cx);
        EXPECT_EQ(button_height, picture.cy);
        EXPECT_EQ(bar.left, 0);
        EXPECT_EQ(bar.bottom, client.bottom);
        EXPECT_EQ(button.left, (bar.right - bar.left) - picture.cx - 7);
        EXPECT_EQ(button.top, client.bottom - bar_height + (bar_height - button_height) / 2 + 2);
        EXPECT_EQ(FocusOf(page), Control(page, IDC_PAGE_BUTTON));
    }

    const std::string record = root.File("offer-setups.txt");
    std::vector<std::string> offered;
    std::function<void()> on_progress_step;
};

TEST_F(CompletionPage, WithoutAnEndOfferShowsTheMessageLogoAndLabels) {
    InstallProduct();
    UpdateInfoText info = DefaultInfo();
    info.logo_path = root.File("logo.bmp");
    ASSERT_TRUE(WriteTextFile(info.logo_path, LogoBitmap()));
    DWORD pid = 0;
    HWND window = nullptr;
    HWND page = ReachTheCompletionPage(&pid, &window, info);
    ASSERT_NE(page, nullptr) << "shows page " << PageShown(window);

    EXPECT_EQ(Text(page, IDC_TITLE), Fill(Module(IDS_COMPLETE_HEADING), info.local_name));
    EXPECT_TRUE(Visible(page, IDC_TITLE));
    EXPECT_TRUE(Visible(page, IDC_SUBTITLE));
    DWORD_PTR logo = 0;
    EXPECT_TRUE(SendMessageTimeoutA(Control(page, IDC_LOGO), STM_GETIMAGE, IMAGE_BITMAP, 0,
                                    SMTO_ABORTIFHUNG, 5000, &logo));
    EXPECT_NE(logo, 0u) << "no logo";
    EXPECT_FALSE(Visible(page, IDC_END_OFFER_CHECK));
    EXPECT_FALSE(IsChecked(Control(page, IDC_END_OFFER_CHECK)));
    EXPECT_FALSE(Visible(page, IDC_AD_CAPTION));
    ExpectFinishButtonInTheBottomBar(page);
    LetItPaint(window);
    SaveWindowScreenshot(page, "run_page_complete.png");

    Finish(pid, page);
    EXPECT_EQ(LoggedEndOffer(), "eName=&eVer=&eShown=0&eDefault=0&eUser=0&eState=0");
}

// The option file's end offer skips the updated product and the installed ones; the box is
// checked as the offer says, and a finish with it checked downloads and runs the offer's setup
// before the window ends.
TEST_F(CompletionPage, AnOfferableEndOfferIsInstalledWhenFinishedChecked) {
    InstallProduct();
    const std::string installed = UniqueName("Installed");
    ScopedRegTree installed_key(HKEY_LOCAL_MACHINE, "Software\\Quindel\\" + installed);
    ASSERT_TRUE(
        SetRegString(HKEY_LOCAL_MACHINE, "Software\\Quindel\\" + installed, "Version", "1.0"));
    EndOfferText itself = FreshOffer();
    itself.name = product;
    EndOfferText other = FreshOffer();
    other.name = installed;
    const EndOfferText fresh = FreshOffer();
    WriteOptionFile(EndOfferXml({itself, other, fresh}));
    // The setup takes its time, so that its dialog can be seen.
    norvane_environment.push_back("OFFER_SETUP_LINGER=1500");
    UpdateInfoText info = DefaultInfo();
    info.logo_path = root.File("logo.bmp");
    ASSERT_TRUE(WriteTextFile(info.logo_path, LogoBitmap()));

    DWORD pid = 0;
    HWND window = nullptr;
    HWND page = ReachTheCompletionPage(&pid, &window, info);
    ASSERT_NE(page, nullptr) << "shows page " << PageShown(window);
    EXPECT_TRUE(Visible(page, IDC_END_OFFER_CHECK));
    EXPECT_EQ(Text(page, IDC_END_OFFER_CHECK), fresh.text_new);
    EXPECT_TRUE(IsChecked(Control(page, IDC_END_OFFER_CHECK)));
    // No advertisement takes the page here: the message stays beside the offer.
    EXPECT_TRUE(Visible(page, IDC_TITLE));
    EXPECT_TRUE(Visible(page, IDC_SUBTITLE));
    EXPECT_FALSE(Visible(page, IDC_AD_CAPTION));
    ExpectFinishButtonInTheBottomBar(page);
    LetItPaint(window);
    SaveWindowScreenshot(page, "run_page_complete_offer.png");

    ASSERT_TRUE(Click(Control(page, IDC_PAGE_BUTTON)));
    HWND dialog = WaitForWindow(pid, kAppearTimeout, IsEndOfferDialog);
    ASSERT_NE(dialog, nullptr) << "no download dialog";
    EXPECT_EQ(Text(dialog, IDC_END_OFFER_CAPTION),
              Fill(Module(IDS_END_OFFER_CAPTION), fresh.local_name));
    if (WaitUntil([&] { return !SetupRuns().empty(); }, kAppearTimeout)) {
        LetItPaint(dialog);
        SaveWindowScreenshot(dialog, "run_dialog_end_offer.png");
        // The owner restored meanwhile shows the box again (as Windows does): the offer is not
        // started again.
        SendMessageTimeoutA(dialog, WM_SHOWWINDOW, TRUE, SW_PARENTOPENING, SMTO_ABORTIFHUNG, 5000,
                            nullptr);
    }
    ASSERT_EQ(WaitForExit(pid, kExitTimeout), std::optional<DWORD>(0u));

    // Downloaded once and run once, told which product was updated, before the window ended.
    EXPECT_EQ(server.RequestsFor(fresh.path).size(), 1u);
    EXPECT_TRUE(server.RequestsFor(itself.path).empty());
    EXPECT_TRUE(server.RequestsFor(other.path).empty());
    const auto runs = SetupRuns();
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0], "/silent /addsetup /NOINSTDRAVEL /parentproduct=\"" + product + "\"");
    EXPECT_FALSE(PathExists(OfferFile(fresh.name))) << "the offer's setup was left behind";
    // The completion actions followed.
    EXPECT_EQ(WaitForCalls(Join(product_dir, main_app), 1).size(), 1u);
    EXPECT_EQ(LoggedEndOffer(),
              "eName=" + fresh.name + "&eVer=1.5&eShown=1&eDefault=1&eUser=1&eState=1");
}

TEST_F(CompletionPage, AnEndOfferUncheckedByTheUserIsNeitherDownloadedNorRun) {
    InstallProduct();
    const EndOfferText fresh = FreshOffer();
    WriteOptionFile(EndOfferXml({fresh}));
    DWORD pid = 0;
    HWND window = nullptr;
    HWND page = ReachTheCompletionPage(&pid, &window);
    ASSERT_NE(page, nullptr) << "shows page " << PageShown(window);
    HWND box = Control(page, IDC_END_OFFER_CHECK);
    ASSERT_TRUE(IsChecked(box));
    ASSERT_TRUE(Click(box));
    ASSERT_TRUE(WaitUntil([&] { return !IsChecked(box); }, kAppearTimeout));

    Finish(pid, page);
    EXPECT_TRUE(server.RequestsFor(fresh.path).empty());
    EXPECT_TRUE(SetupRuns().empty());
    EXPECT_EQ(LoggedEndOffer(),
              "eName=" + fresh.name + "&eVer=1.5&eShown=1&eDefault=1&eUser=0&eState=0");
}

// Escape leaves the page as its close button would: the update ends with its completion
// actions, and a checked end offer is not installed.
TEST_F(CompletionPage, EscapeEndsTheUpdateWithoutTheEndOffer) {
    InstallProduct();
    const EndOfferText fresh = FreshOffer();
    WriteOptionFile(EndOfferXml({fresh}));
    DWORD pid = 0;
    HWND window = nullptr;
    HWND page = ReachTheCompletionPage(&pid, &window);
    ASSERT_NE(page, nullptr) << "shows page " << PageShown(window);
    ASSERT_TRUE(IsChecked(Control(page, IDC_END_OFFER_CHECK)));
    ASSERT_TRUE(PressKey(window, VK_ESCAPE));
    const ExitWatch end = WaitForExitWatchingMessageBoxes(pid, kExitTimeout);
    ASSERT_EQ(end.exit_code, std::optional<DWORD>(0u));
    EXPECT_FALSE(end.message_box) << "asked: " << end.message_box->text;
    EXPECT_TRUE(server.RequestsFor(fresh.path).empty());
    EXPECT_TRUE(SetupRuns().empty());
    EXPECT_EQ(WaitForCalls(Join(product_dir, main_app), 1).size(), 1u);
    EXPECT_EQ(LoggedEndOffer(),
              "eName=" + fresh.name + "&eVer=1.5&eShown=1&eDefault=1&eUser=0&eState=0");
}

// A double click whose second click is queued before the download dialog opens: one finish.
TEST_F(CompletionPage, AFinishClickedTwiceInstallsTheOfferAndEndsTheUpdateOnce) {
    InstallProduct();
    const EndOfferText fresh = FreshOffer();
    WriteOptionFile(EndOfferXml({fresh}));
    DWORD pid = 0;
    HWND window = nullptr;
    HWND page = ReachTheCompletionPage(&pid, &window);
    ASSERT_NE(page, nullptr) << "shows page " << PageShown(window);
    ASSERT_TRUE(IsChecked(Control(page, IDC_END_OFFER_CHECK)));
    ASSERT_TRUE(Click(Control(page, IDC_PAGE_BUTTON)));
    ASSERT_TRUE(Click(Control(page, IDC_PAGE_BUTTON)));
    ASSERT_EQ(WaitForExit(pid, kExitTimeout), std::optional<DWORD>(0u));

    EXPECT_EQ(server.RequestsFor(fresh.path).size(), 1u);
    EXPECT_EQ(SetupRuns().size(), 1u);
    // The log is sent before the window ends: one finish, one log.
    EXPECT_EQ(LoggedEndOffer(),
              "eName=" + fresh.name + "&eVer=1.5&eShown=1&eDefault=1&eUser=1&eState=1");
}

// Nothing to offer: only the updated product itself, only installed products, or a product
// without a caption. The box stays hidden and unchecked, the labels show, nothing is fetched.
TEST_F(CompletionPage, NoBoxWhenTheEndOfferHasNothingToOffer) {
    InstallProduct();
    const std::string installed = UniqueName("Installed");
    ScopedRegTree installed_key(HKEY_LOCAL_MACHINE, "Software\\Quindel\\" + installed);
    ASSERT_TRUE(
        SetRegString(HKEY_LOCAL_MACHINE, "Software\\Quindel\\" + installed, "Locale", "ko-KR"));
    EndOfferText itself = FreshOffer();
    itself.name = product;
    EndOfferText other = FreshOffer();
    other.name = installed;
    EndOfferText untitled = FreshOffer();
    untitled.text_new.clear();
    // The log's "shown" is the offer's own verdict, which does not look at the caption.
    struct Case {
        const char* what;
        EndOfferText offer;
        int logged_shown;
    };
    for (const Case& c :
         {Case{"the updated product", itself, 0}, Case{"an installed product", other, 0},
          Case{"no caption", untitled, 1}}) {
        SCOPED_TRACE(c.what);
        WriteOptionFile(EndOfferXml({c.offer}));
        server.ClearRequests();
        DWORD pid = 0;
        HWND window = nullptr;
        HWND page = ReachTheCompletionPage(&pid, &window);
        ASSERT_NE(page, nullptr) << "shows page " << PageShown(window);
        EXPECT_FALSE(Visible(page, IDC_END_OFFER_CHECK));
        EXPECT_FALSE(IsChecked(Control(page, IDC_END_OFFER_CHECK)));
        EXPECT_TRUE(Visible(page, IDC_TITLE));
        EXPECT_TRUE(Visible(page, IDC_SUBTITLE));
        EXPECT_FALSE(Visible(page, IDC_AD_CAPTION));
        ExpectFinishButtonInTheBottomBar(page);
        Finish(pid, page);
        EXPECT_TRUE(server.RequestsFor(c.offer.path).empty());
        EXPECT_TRUE(SetupRuns().empty());
        EXPECT_EQ(LoggedEndOffer(), "eName=" + c.offer.name +
                                        "&eVer=1.5&eShown=" + std::to_string(c.logged_shown) +
                                        "&eDefault=1&eUser=0&eState=0");
    }
}

// A setup whose digest differs from the option file's is fetched but never run, and a name
// that would lead out of the offer's folder fetches nothing; either way the update ends as
// usual. The box, unchecked by default here, is checked by the user.
TEST_F(CompletionPage, TheEndOfferRunsOnlyAfterItsChecks) {
    InstallProduct();
    EndOfferText tampered = FreshOffer();
    tampered.checksum = "0123456789abcdef0123456789abcdef";
    tampered.default_check = 0;
    EndOfferText escaping = FreshOffer();
    escaping.name = "..\\\\" + escaping.name;  // the option file escapes its backslash
    escaping.default_check = 0;
    struct Case {
        const char* what;
        EndOfferText offer;
        size_t downloads;
    };
    for (const Case& c :
         {Case{"wrong digest", tampered, 1}, Case{"name leading out", escaping, 0}}) {
        SCOPED_TRACE(c.what);
        WriteOptionFile(EndOfferXml({c.offer}));
        server.ClearRequests();
        DWORD pid = 0;
        HWND window = nullptr;
        HWND page = ReachTheCompletionPage(&pid, &window);
        ASSERT_NE(page, nullptr) << "shows page " << PageShown(window);
        HWND box = Control(page, IDC_END_OFFER_CHECK);
        EXPECT_TRUE(Visible(page, IDC_END_OFFER_CHECK));
        EXPECT_FALSE(IsChecked(box));
        ASSERT_TRUE(Click(box));
        ASSERT_TRUE(WaitUntil([&] { return IsChecked(box); }, kAppearTimeout));

        // The offer that cannot be run is said on the page, which stays for one more click.
        ASSERT_TRUE(Click(Control(page, IDC_PAGE_BUTTON)));
        std::string failed = Module(IDS_END_OFFER_FAILED);
        failed.replace(failed.find("%s"), 2, c.offer.local_name);
        EXPECT_TRUE(WaitUntil([&] { return WindowText(Control(page, IDC_TITLE)) == failed; },
                              kAppearTimeout))
            << WindowText(Control(page, IDC_TITLE));
        EXPECT_FALSE(Visible(page, IDC_END_OFFER_CHECK));
        EXPECT_TRUE(Visible(page, IDC_TITLE));
        EXPECT_TRUE(ProcessRuns(pid));
        Finish(pid, page);
        EXPECT_EQ(server.RequestsFor(c.offer.path).size(), c.downloads);
        EXPECT_TRUE(SetupRuns().empty()) << "ran " << SetupRuns()[0];
        EXPECT_FALSE(PathExists(OfferFile(c.offer.name)));
        const std::string fields = LoggedEndOffer();
        const std::string tail = "&eVer=1.5&eShown=1&eDefault=0&eUser=1&eState=0";
        EXPECT_EQ(fields.substr(fields.size() > tail.size() ? fields.size() - tail.size() : 0),
                  tail)
            << fields;
    }
}

// ---- the advertisement view ----

class CompletionAdvertisement : public CompletionPage {
protected:
    CompletionAdvertisement() {
        SetRegString(HKEY_LOCAL_MACHINE, "Software\\Quindel\\Dravel", "AdServerHost", server.host(),
                     View::View32);
        SetRegString(HKEY_CURRENT_USER, "Software\\Quindel\\Dravel", "Debug", "1", View::Own);
        LoopbackServer::Response page;
        page.content_type = "text/html";
        page.body =
            "<html><head>" + std::string(kAdPageMarker) + "</head><body>Ferlin</body></html>";
        server.Serve(kNormalAdPath, page);
    }
    // Serves an add-in page that carries an end offer.
    void ServeAddinPage(const EndOfferText& offer) {
        LoopbackServer::Response page;
        page.content_type = "text/html";
        page.body = "<html><head>" + std::string(kAdPageMarker) +
                    "</head><body><input type=hidden id=productName value=\"" + offer.name +
                    "\"><input type=hidden id=setupUrl value=\"" + offer.url +
                    "\"><input type=hidden id=productLocalName value=\"" + offer.local_name +
                    "\"><input type=hidden id=ver value=\"" + offer.version +
                    "\"><input type=hidden id=btn_selector value=1></body></html>";
        server.Serve(kAddinAdPath, page);
    }
    std::string AddinAddress() const { return server.Url(kAddinAdPath); }
    // The view: a child of the page with the view's number.
    static HWND AdView(HWND page) { return GetDlgItem(page, IDC_RUNTIME_CHILD); }

    ScopedRegValue debug{HKEY_CURRENT_USER, "Software\\Quindel\\Dravel", "Debug", View::Own};
    DebugOutputMonitor monitor;
};

// This platform's browser control sends the add-in page's request as written but never
// completes a document: the view stays hidden, the add-in page's offer never arrives, the
// normal page is never asked for, and the update finishes as without a view.
TEST_F(CompletionAdvertisement, TheAddinPageIsRequestedWithTheFormDataWhenTheInstallingStepStarts) {
    ASSERT_TRUE(monitor.ok());
    InstallProduct();
    const EndOfferText ad_offer = FreshOffer();
    ServeAddinPage(ad_offer);
    std::vector<LoopbackServer::Request> requests;
    on_progress_step = [&] {
        WaitUntil([&] { return !(requests = server.RequestsFor(kAddinAdPath)).empty(); },
                  kAppearTimeout);
    };
    DWORD pid = 0;
    HWND window = nullptr;
    HWND page = ReachTheCompletionPage(&pid, &window);
    ASSERT_NE(page, nullptr) << "shows page " << PageShown(window);

    ASSERT_EQ(requests.size(), 1u) << "no request for the add-in page";
    EXPECT_EQ(requests[0].method, "POST");
    EXPECT_EQ(requests[0].target, kAddinAdPath);
    EXPECT_EQ(requests[0].Header("Content-Type"), "application/x-www-form-urlencoded");
    const std::string& form = requests[0].body;
    const std::string expected_start =
        "p=" + product + "#" + kInstalledVersion + "#ko-KR#Free Home&" + SystemPart() + "&i=";
    EXPECT_EQ(form.substr(0, expected_start.size()), expected_start);
    const size_t list = form.find("&i=");
    const size_t entry = form.find(product + "#" + kInstalledVersion + "#Free Home#ko-KR|");
    ASSERT_NE(entry, std::string::npos) << form;
    EXPECT_TRUE(entry == list + 3 || (entry > list && form[entry - 1] == '|')) << form;
    EXPECT_EQ(form.find('\0'), std::string::npos);
    const std::string trace = monitor.Joined(pid);
    EXPECT_NE(trace.find("AD URL : " + AddinAddress()), std::string::npos) << trace;
    EXPECT_NE(trace.find("AD Param : " + form), std::string::npos) << trace;

    ASSERT_NE(AdView(page), nullptr) << "no view";
    EXPECT_FALSE(IsWindowVisible(AdView(page)));
    EXPECT_FALSE(Visible(page, IDC_END_OFFER_CHECK));
    EXPECT_TRUE(Visible(page, IDC_TITLE));
    Finish(pid, page);
    EXPECT_TRUE(server.RequestsFor(kNormalAdPath).empty());
    EXPECT_TRUE(server.RequestsFor(ad_offer.path).empty());
    EXPECT_EQ(server.RequestsFor(kAddinAdPath).size(), 1u);
    EXPECT_EQ(LoggedEndOffer(), "eName=&eVer=&eShown=0&eDefault=0&eUser=0&eState=0");
}

// A browser control that cannot be created (its library refused to load) leaves the page
// without a view: nothing is requested from the advertisement server, and the page, its end
// offer and the update's end work as before.
TEST_F(CompletionAdvertisement, WithoutAViewThePageStillFinishesAndRunsItsOffer) {
    ASSERT_TRUE(monitor.ok());
    // Wine's own setting for one program: the control's library is not loaded for Norvane.
    // (Neither a class registration under HKEY_CURRENT_USER nor the same setting in the
    // environment Norvane inherits takes effect here.)
    const std::string overrides = "Software\\Wine\\AppDefaults\\Norvane.exe\\DllOverrides";
    ScopedRegValue no_control(HKEY_CURRENT_USER, overrides, "ieframe", View::Own);
    ASSERT_TRUE(SetRegString(HKEY_CURRENT_USER, overrides, "ieframe", "disabled", View::Own));
    InstallProduct();
    const EndOfferText fresh = FreshOffer();
    WriteOptionFile(EndOfferXml({fresh}));
    ServeAddinPage(fresh);
    DWORD pid = 0;
    HWND window = nullptr;
    HWND page = ReachTheCompletionPage(&pid, &window);
    ASSERT_NE(page, nullptr) << "shows page " << PageShown(window);

    EXPECT_EQ(AdView(page), nullptr) << "a view without a browser control";
    EXPECT_NE(monitor.Joined(pid).find("AD URL : " + AddinAddress()), std::string::npos);
    EXPECT_TRUE(Visible(page, IDC_END_OFFER_CHECK));
    EXPECT_TRUE(IsChecked(Control(page, IDC_END_OFFER_CHECK)));
    EXPECT_TRUE(Visible(page, IDC_TITLE));
    ExpectFinishButtonInTheBottomBar(page);
    Finish(pid, page);
    EXPECT_TRUE(server.RequestsFor(kAddinAdPath).empty());
    EXPECT_EQ(server.RequestsFor(fresh.path).size(), 1u);
    EXPECT_EQ(SetupRuns().size(), 1u);
    EXPECT_EQ(LoggedEndOffer(),
              "eName=" + fresh.name + "&eVer=1.5&eShown=1&eDefault=1&eUser=1&eState=1");
}
