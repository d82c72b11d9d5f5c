// The update window as the screen's DPI and the system's dialog font make it: every page, the
// option panel and the end-offer download box, measured as real windows of a running Norvane.
// The same program runs once per DPI (96, 120, 144), each in a Wine session of its own whose
// prefix has that DPI (tests/window/CMakeLists.txt); at each page it checks that
//   - every control lies inside its parent (so every page inside the window),
//   - a text on one line is not wider than its control, a wrapped text not taller,
//   - no picture (logo, animation, image button) covers a text that is on show.
// Texts are measured inside Norvane with each control's own font (tests/window/probe).
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <set>
#include <sstream>

#include "resources/ResourceIds.h"
#include "tests/window/UpdateWindowFixture.h"
#include "updater/app/PageFlow.h"

using namespace testsupport;
using namespace windowtest;

namespace {

// One control as the probe reported it.
struct Measured {
    std::string hwnd;
    std::string parent;
    int id = 0;
    std::string class_name;
    unsigned long style = 0;
    bool visible = false;
    RECT rect = {};
    int parent_width = 0;
    int parent_height = 0;
    int line_height = 0;
    int text_width = 0;
    int wrapped_height = 0;
    std::string text;
};

struct Tab {
    std::string tabs;
    int index = 0;
    RECT rect = {};
    int text_width = 0;
    std::string text;
};

struct Report {
    std::vector<Measured> controls;
    std::vector<Tab> tabs;
    std::string raw;  // as the probe wrote it
};

int Dpi() {
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi;
}

// Measures `window` and every control under it inside its own process, through the probe hook.
std::optional<Report> Probe(HWND window) {
    const std::string probe_dll = Join(DoublesDir(), "layout_probe.dll");
    HMODULE probe = LoadLibraryA(probe_dll.c_str());
    if (!probe) return std::nullopt;
    auto hook_proc = reinterpret_cast<HOOKPROC>(
        reinterpret_cast<void*>(GetProcAddress(probe, "LayoutProbeHook")));
    DWORD pid = 0;
    const DWORD thread = GetWindowThreadProcessId(window, &pid);
    char folder[MAX_PATH] = {};
    GetTempPathA(sizeof(folder), folder);
    const std::string path = std::string(folder) + "ostrey-layout-" + std::to_string(pid) + ".txt";
    DeleteFileA(path.c_str());
    HHOOK hook = hook_proc ? SetWindowsHookExA(WH_CALLWNDPROC, hook_proc, probe, thread) : nullptr;
    std::optional<std::string> text;
    if (hook) {
        DWORD_PTR ignored = 0;
        SendMessageTimeoutA(window, RegisterWindowMessageA("OstreyLayoutProbe"), 0, 0,
                            SMTO_ABORTIFHUNG, 15000, &ignored);
        WaitUntil([&] { return PathExists(path); }, kAppearTimeout);
        text = ReadTextFile(path);
        UnhookWindowsHookEx(hook);
    }
    DeleteFileA(path.c_str());
    FreeLibrary(probe);
    if (!text) return std::nullopt;

    Report report;
    report.raw = *text;
    std::istringstream lines(*text);
    std::string line;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const size_t first_tab = line.find('\t');
        const size_t last_tab = line.rfind('\t');
        if (first_tab == std::string::npos || last_tab == first_tab) continue;
        const std::string kind = line.substr(0, first_tab);
        std::istringstream fields(line.substr(first_tab + 1, last_tab - first_tab - 1));
        const std::string rest = line.substr(last_tab + 1);
        if (kind == "ctl") {
            Measured m;
            int visible = 0;
            fields >> m.hwnd >> m.parent >> m.id >> m.class_name >> m.style >> visible >>
                m.rect.left >> m.rect.top >> m.rect.right >> m.rect.bottom >> m.parent_width >>
                m.parent_height >> m.line_height >> m.text_width >> m.wrapped_height;
            m.visible = visible != 0;
            m.text = rest;
            report.controls.push_back(m);
        } else if (kind == "tab") {
            Tab t;
            fields >> t.tabs >> t.index >> t.rect.left >> t.rect.top >> t.rect.right >>
                t.rect.bottom >> t.text_width;
            t.text = rest;
            report.tabs.push_back(t);
        }
    }
    return report;
}

bool IsClass(const Measured& m, const char* name) {
    return _stricmp(m.class_name.c_str(), name) == 0;
}

// Controls that show their window text as text (not as a picture or a frame).
bool ShowsText(const Measured& m) {
    // The animation is a static whose text only names it.
    if (m.text.empty() || m.id == IDC_RUNTIME_CHILD) return false;
    if (IsClass(m, "Static")) {
        const unsigned long type = m.style & SS_TYPEMASK;
        return type == SS_LEFT || type == SS_CENTER || type == SS_RIGHT || type == SS_SIMPLE ||
               type == SS_LEFTNOWORDWRAP || type == SS_OWNERDRAW;
    }
    if (IsClass(m, "Button")) {
        const unsigned long type = m.style & BS_TYPEMASK;
        return type != BS_OWNERDRAW && type != BS_GROUPBOX;
    }
    return false;
}

bool IsCheckBox(const Measured& m) {
    const unsigned long type = m.style & BS_TYPEMASK;
    return IsClass(m, "Button") &&
           (type == BS_CHECKBOX || type == BS_AUTOCHECKBOX || type == BS_3STATE ||
            type == BS_AUTO3STATE || type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON);
}

// Pictures of fixed pixel size: bitmaps and icons, the image buttons, the loading animation.
bool IsPicture(const Measured& m) {
    if (IsClass(m, "Static")) {
        const unsigned long type = m.style & SS_TYPEMASK;
        return type == SS_BITMAP || type == SS_ICON || m.id == IDC_RUNTIME_CHILD;
    }
    return IsClass(m, "Button") && (m.style & BS_TYPEMASK) == BS_OWNERDRAW;
}

std::string Describe(const Measured& m) {
    std::ostringstream out;
    out << m.class_name << " " << m.id << " \"" << m.text << "\" at (" << m.rect.left << ","
        << m.rect.top << ")-(" << m.rect.right << "," << m.rect.bottom << ")";
    return out.str();
}

// Every broken rule of the report, one line each.
std::vector<std::string> Faults(const Report& report) {
    std::vector<std::string> faults;
    // What a check box's own box and the gap after it take, at this DPI.
    const int box_width = GetSystemMetrics(SM_CXMENUCHECK) + 4;
    for (const Measured& m : report.controls) {
        const int width = m.rect.right - m.rect.left;
        const int height = m.rect.bottom - m.rect.top;
        if (m.rect.left < 0 || m.rect.top < 0 || m.rect.right > m.parent_width ||
            m.rect.bottom > m.parent_height) {
            faults.push_back(Describe(m) + " sticks out of its parent's " +
                             std::to_string(m.parent_width) + " x " +
                             std::to_string(m.parent_height));
        }
        if (ShowsText(m)) {
            int room = width;
            if (IsCheckBox(m)) room -= box_width;
            else if (IsClass(m, "Button")) room -= 2 * GetSystemMetrics(SM_CXEDGE) + 2;
            if (height < m.line_height) {
                faults.push_back(Describe(m) + " is lower than a line of its font (" +
                                 std::to_string(m.line_height) + ")");
            }
            const bool wraps = height >= 2 * m.line_height &&
                               (!IsClass(m, "Button") || (m.style & BS_MULTILINE));
            if (!wraps && m.text_width > room) {
                faults.push_back(Describe(m) + ": its text is " + std::to_string(m.text_width) +
                                 " pixels wide, it has " + std::to_string(room));
            }
            if (wraps && IsClass(m, "Static") && m.wrapped_height > height) {
                faults.push_back(Describe(m) + ": its text needs " +
                                 std::to_string(m.wrapped_height) + " pixels of height");
            }
        }
    }
    for (const Tab& tab : report.tabs) {
        const int room = tab.rect.right - tab.rect.left - 2;
        if (tab.text_width > room) {
            faults.push_back("tab " + std::to_string(tab.index) + " \"" + tab.text + "\": " +
                             std::to_string(tab.text_width) + " pixels of text in " +
                             std::to_string(room));
        }
    }
    // A picture over a text on show, among the controls of one parent.
    for (const Measured& picture : report.controls) {
        if (!picture.visible || !IsPicture(picture)) continue;
        for (const Measured& text : report.controls) {
            if (!text.visible || text.parent != picture.parent || !ShowsText(text)) continue;
            RECT overlap;
            if (IntersectRect(&overlap, &picture.rect, &text.rect)) {
                faults.push_back(Describe(picture) + " covers " + Describe(text));
            }
        }
    }
    return faults;
}

POINT Centre(HWND window) {
    RECT rect = {};
    GetWindowRect(window, &rect);
    return POINT{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}

// Centred to the pixel, give or take the rounding of an odd difference.
void ExpectCentredOn(HWND window, POINT centre, const char* what) {
    const POINT own = Centre(window);
    EXPECT_NEAR(own.x, centre.x, 1) << what;
    EXPECT_NEAR(own.y, centre.y, 1) << what;
}

}  // namespace

class Layout : public UpdateWindowTest {
protected:
    explicit Layout(std::string product_name = UniqueName("Fit"))
        : UpdateWindowTest(std::move(product_name)) {}

    // The window (or box) as it is now: every fault is added once, with where it was seen.
    void Measure(HWND window, const std::string& where) {
        ASSERT_NE(window, nullptr) << where;
        LetItPaint(window);
        const std::optional<Report> report = Probe(window);
        ASSERT_TRUE(report.has_value()) << where << ": the probe did not answer";
        ASSERT_FALSE(report->controls.empty()) << where;
        const std::string name = "layout_" + std::to_string(dpi) + "_" + where;
        const std::vector<std::string> faults = Faults(*report);
        for (const std::string& fault : faults) {
            if (seen.insert(fault).second) ADD_FAILURE() << where << " at " << dpi << " DPI: " << fault;
        }
        // What was measured, for whoever has to mend a fault.
        if (!faults.empty()) WriteTextFile(Join(ArtifactDir(), name + ".txt"), report->raw);
        SaveWindowScreenshot(window, name + ".png");
    }

    const int dpi = Dpi();
    std::set<std::string> seen;
};

// The session really has the DPI it was made for; otherwise every other case proves little.
TEST_F(Layout, SessionHasItsDpi) {
    const char* expected = std::getenv("OSTREY_LAYOUT_DPI");
    EXPECT_EQ(dpi, expected ? std::atoi(expected) : 96);
}

// One update from the loading page to the end offer's download: both offers on the option
// page, the licence, the progress and the completion page with its offer.
TEST_F(Layout, EveryPageOfAnUpdateFits) {
    const std::string setup = Join(DoublesDir(), "offer_setup.exe");
    LoopbackServer::Response slow;
    slow.body = ReadTextFile(setup).value_or("");
    ASSERT_FALSE(slow.body.empty());
    slow.slow_piece = slow.body.size() / 40 + 1;
    slow.slow_interval_ms = 150;
    server.Serve("/end/notely_setup.exe", slow);
    server.Serve("/eula.rtf", "{\\rtf1 Terms of use of the product, short enough for one line.}");
    WriteOptionFile(
        "<addproduct type=\"middle\"><productinfo><name>Fennick</name>"
        "<namelocal>Fennick Notes</namelocal><ver>3.1</ver>"
        "<url checksum=\"00112233445566778899aabbccddeeff\"><![CDATA[http://127.0.0.1:9/f.exe]]>"
        "</url><setcheckbox>0</setcheckbox><textadd><![CDATA[Also install Fennick Notes]]>"
        "</textadd><textupdate><![CDATA[Update Fennick Notes]]></textupdate></productinfo>"
        "</addproduct>"
        "<addproduct type=\"end\"><productinfo><name>" + UniqueName("Notely") + "</name>"
        "<namelocal>Notely Notes</namelocal><ver>2.0</ver><url checksum=\"" +
        std::string(32, '0') + "\"><![CDATA[" + server.Url("/end/notely_setup.exe") +
        "]]></url><setcheckbox>1</setcheckbox><textadd><![CDATA[Also install Notely Notes]]>"
        "</textadd><textupdate><![CDATA[Update Notely Notes]]></textupdate></productinfo>"
        "</addproduct>");
    InstallProduct();
    RequireLicence();
    UpdateInfoText info = DefaultInfo();
    info.logo_path = root.File("logo.bmp");
    ASSERT_TRUE(WriteTextFile(info.logo_path, LogoBitmap()));
    AgentWillFind(info, true, 4000);

    const DWORD pid = StartNorvane("/explicitupdate");
    HWND window = MainWindow(pid);
    ASSERT_NE(window, nullptr);
    ASSERT_NE(WaitForPage(window, kLoadingPage), nullptr);
    Measure(window, "loading");

    HWND description = WaitForPage(window, kDescriptionPage);
    ASSERT_NE(description, nullptr);
    Measure(window, "description");
    ASSERT_TRUE(Click(Control(description, IDC_NEXT)));

    HWND options = WaitForPage(window, kOptionPage);
    ASSERT_NE(options, nullptr);
    Answers(options, 5000);
    EXPECT_TRUE(IsWindowVisible(Control(options, IDC_EXTRA_OFFER_CHECK)));
    Measure(window, "options_description");
    ASSERT_TRUE(ClickTab(Control(options, IDC_OPTION_TABS), 1));
    WaitUntil([&] { return IsWindowVisible(Control(options, IDC_OPTION_TREE)) != 0; },
              kAppearTimeout);
    Measure(window, "options_tree");
    ASSERT_TRUE(Click(Control(options, IDC_NEXT)));

    HWND licence = WaitForPage(window, kLicensePage);
    ASSERT_NE(licence, nullptr);
    Measure(window, "licence");
    ASSERT_TRUE(Click(Control(licence, IDC_LICENSE_ACCEPT)));
    ASSERT_TRUE(WaitUntil([&] { return IsWindowEnabled(Control(licence, IDC_LICENSE_NEXT)); },
                          kAppearTimeout));
    ASSERT_TRUE(Click(Control(licence, IDC_LICENSE_NEXT)));

    ASSERT_NE(WaitForPage(window, kProgressPage), nullptr);
    WaitForSetupAtTheGate();
    Measure(window, "progress");
    OpenSetupGate();

    HWND complete = WaitForPage(window, kCompletePage);
    ASSERT_NE(complete, nullptr);
    EXPECT_TRUE(IsWindowVisible(Control(complete, IDC_END_OFFER_CHECK)));
    Measure(window, "complete");
    ASSERT_TRUE(Click(Control(complete, IDC_PAGE_BUTTON)));

    HWND box = nullptr;
    WaitUntil(
        [&] {
            for (HWND candidate : WindowsOfProcess(pid)) {
                if (candidate != window && IsWindowVisible(candidate) &&
                    Control(candidate, IDC_END_OFFER_PROGRESS)) {
                    box = candidate;
                }
            }
            return box != nullptr;
        },
        kAppearTimeout);
    ASSERT_NE(box, nullptr) << "no download box";
    EXPECT_EQ(GetWindow(box, GW_OWNER), window);
    ExpectCentredOn(box, Centre(window), "the download box");
    Measure(box, "end_offer_download");
    // The offer here is no setup that runs: the page says so in its message line, which must
    // fit as well, and the next click ends the update.
    std::string failed = Module(IDS_END_OFFER_FAILED);
    failed = failed.substr(failed.find("%s") + 2);
    std::optional<DWORD> code;
    bool said = false;
    WaitUntil(
        [&] {
            if ((code = WaitForExit(pid, 0)).has_value()) return true;
            said = WindowText(Control(complete, IDC_TITLE)).find(failed) != std::string::npos;
            return said;
        },
        60000);
    if (said) {
        Measure(window, "complete_end_offer_failed");
        ASSERT_TRUE(Click(Control(complete, IDC_PAGE_BUTTON)));
        code = WaitForExit(pid, 60000);
    }
    EXPECT_EQ(code, std::optional<DWORD>(0u));
}

// The two pages that end an update early.
TEST_F(Layout, AlreadyCurrentAndErrorPagesFit) {
    InstallProduct();
    for (const char* updated : {"0", "no"}) {
        SCOPED_TRACE(updated);
        UpdateInfoText info = DefaultInfo();
        info.updated = updated;
        AgentWillFind(info);
        const DWORD pid = StartNorvane("/explicitupdate");
        HWND window = MainWindow(pid);
        const int index = std::strcmp(updated, "0") == 0 ? kAlreadyCurrentPage : kErrorPage;
        ASSERT_NE(WaitForPage(window, index), nullptr);
        Measure(window, index == kErrorPage ? "error" : "already_current");
        owner.EndAll();
    }
}

// The window opens in the middle of the work area; a question it asks appears over it, wherever
// it has been dragged, and belongs to it.
TEST_F(Layout, WindowAndItsBoxesAreCentred) {
    InstallProduct();
    AgentWillFind(DefaultInfo());
    const DWORD pid = StartNorvane("/explicitupdate");
    HWND window = MainWindow(pid);
    ASSERT_NE(window, nullptr);
    ASSERT_NE(WaitForPage(window, kDescriptionPage), nullptr);
    RECT work = {};
    ASSERT_TRUE(SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0));
    ExpectCentredOn(window, POINT{(work.left + work.right) / 2, (work.top + work.bottom) / 2},
                    "the window");

    ASSERT_TRUE(SetWindowPos(window, nullptr, work.left + 20, work.top + 30, 0, 0,
                             SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE));
    ASSERT_TRUE(PressKey(window, VK_ESCAPE));
    const std::optional<MessageBoxInfo> question = WaitForMessageBox(pid, kAppearTimeout);
    ASSERT_TRUE(question.has_value()) << "Escape asked nothing";
    EXPECT_EQ(GetWindow(question->window, GW_OWNER), window);
    ExpectCentredOn(question->window, Centre(window), "the question");
    ASSERT_TRUE(AnswerMessageBox(*question, IDNO));
}

class ToolbarLayout : public Layout {
protected:
    ToolbarLayout() : Layout("Wendle") {
        DeleteRegValue(HKEY_CURRENT_USER, kAlarmKey, "PhishingAlarm2", View::Own);
    }
    static constexpr const char* kAlarmKey = "Software\\AppDataLow\\Software\\Quindel\\Wendle";
    ScopedRegValue alarm{HKEY_CURRENT_USER, kAlarmKey, "PhishingAlarm2", View::Own};
};

// The toolbar's description page carries the product option panel below its button.
TEST_F(ToolbarLayout, DescriptionWithTheOptionPanelFits) {
    InstallProduct();
    UpdateInfoText info = DefaultInfo();
    info.local_name = "Wendle Toolbar";
    AgentHasWritten(info);
    const DWORD pid = StartNorvane("/updatenotice");
    HWND window = MainWindow(pid);
    ASSERT_NE(window, nullptr);
    HWND page = WaitForPage(window, kDescriptionPage);
    ASSERT_NE(page, nullptr);
    bool panel_shown = false;
    WaitUntil(
        [&] {
            for (HWND child : ChildDialogs(page)) panel_shown |= IsWindowVisible(child) != 0;
            return panel_shown;
        },
        kAppearTimeout);
    ASSERT_TRUE(panel_shown) << "no option panel";
    Measure(window, "description_panel");
}
