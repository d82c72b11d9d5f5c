#include "tests/window/UpdateWindowFixture.h"

#include <commctrl.h>

#include <cstdio>

#include "resources/ResourceIds.h"
#include "updater/app/PageFlow.h"
#include "updater/data/UpdateInfo.h"

using namespace testsupport;

namespace windowtest {

const char kInstalledVersion[] = "1.0.0.1";
const char kNewVersion[] = "2.0.0.1";

namespace {

constexpr int kEulaRevision = 7;
const char kAgentUserKey[] = "Software\\Quindel\\Dravel";

std::string ValueAfter(const std::string& text, const std::string& key) {
    const size_t start = text.find("\r\n" + key + "=");
    const size_t begin = start == std::string::npos
                             ? (text.compare(0, key.size() + 1, key + "=") == 0 ? 0 : std::string::npos)
                             : start + 2;
    if (begin == std::string::npos) return "";
    const size_t value = begin + key.size() + 1;
    const size_t end = text.find("\r\n", value);
    return text.substr(value, end == std::string::npos ? std::string::npos : end - value);
}

// Creates the folder and every missing one above it.
bool CreateFolder(const std::string& path) {
    const size_t cut = path.find_last_of('\\');
    if (cut != std::string::npos && cut > 2 && !PathExists(path.substr(0, cut))) {
        CreateFolder(path.substr(0, cut));
    }
    return CreateDirectoryA(path.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

}  // namespace

std::vector<CallRecord> CallsOf(const std::string& executable) {
    std::vector<CallRecord> calls;
    const size_t cut = executable.find_last_of('\\');
    const std::string folder = executable.substr(0, cut);
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((executable + ".*.call").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return calls;
    do {
        const std::string text = ReadTextFile(Join(folder, data.cFileName)).value_or("");
        CallRecord call;
        call.pid = strtoul(ValueAfter(text, "pid").c_str(), nullptr, 10);
        call.elevated = ValueAfter(text, "elevated") == "1";
        call.command = ValueAfter(text, "cmd");
        calls.push_back(call);
    } while (FindNextFileA(find, &data));
    FindClose(find);
    return calls;
}

std::vector<CallRecord> WaitForCalls(const std::string& executable, size_t count, DWORD timeout_ms) {
    std::vector<CallRecord> calls;
    WaitUntil([&] { return (calls = CallsOf(executable)).size() >= count; }, timeout_ms);
    return calls;
}

void ForgetCalls(const std::string& executable) {
    const std::string folder = executable.substr(0, executable.find_last_of('\\'));
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((executable + ".*.call").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
        DeleteFileA(Join(folder, data.cFileName).c_str());
    } while (FindNextFileA(find, &data));
    FindClose(find);
}

int PageIndexOf(HWND page) {
    if (!page) return -1;
    if (Control(page, IDC_OPTION_TREE)) return kOptionPage;
    if (Control(page, IDC_LICENSE_TEXT)) return kLicensePage;
    if (Control(page, IDC_PROGRESS_BAR)) return kProgressPage;
    if (Control(page, IDC_AD_PLACEHOLDER)) return kCompletePage;
    if (Control(page, IDC_NEXT) && Control(page, IDC_DESC_LINE2)) return kDescriptionPage;
    if (Control(page, IDC_PAGE_BUTTON)) {
        return Control(page, IDC_TITLE) ? kAlreadyCurrentPage : kErrorPage;
    }
    return kLoadingPage;
}

HWND PageOf(HWND window, int index) {
    for (HWND page : ChildDialogs(window)) {
        if (PageIndexOf(page) == index) return page;
    }
    return nullptr;
}

std::ostream& operator<<(std::ostream& out, const BarState& bar) {
    return out << bar.low << ".." << bar.high << " at " << bar.position;
}

std::optional<BarState> ReadBar(HWND bar) {
    DWORD_PTR low = 0, high = 0, position = 0;
    // With a null range record the control answers one limit at a time.
    if (!bar || !SendMessageTimeoutA(bar, PBM_GETRANGE, TRUE, 0, SMTO_ABORTIFHUNG, 5000, &low) ||
        !SendMessageTimeoutA(bar, PBM_GETRANGE, FALSE, 0, SMTO_ABORTIFHUNG, 5000, &high) ||
        !SendMessageTimeoutA(bar, PBM_GETPOS, 0, 0, SMTO_ABORTIFHUNG, 5000, &position)) {
        return std::nullopt;
    }
    BarState state;
    state.low = static_cast<int>(low);
    state.high = static_cast<int>(high);
    state.position = static_cast<int>(position);
    return state;
}

std::string ModuleString(const std::string& module_path, UINT id) {
    HMODULE module = LoadLibraryExA(module_path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!module) return "<no module>";
    char text[1024] = {};
    LoadStringA(module, id, text, sizeof(text));
    FreeLibrary(module);
    return text;
}

std::string Fill(const std::string& format, const std::string& first, const std::string& second) {
    std::string text = format;
    for (const std::string* argument : {&first, &second}) {
        const size_t at = text.find("%s");
        if (at == std::string::npos) break;
        text.replace(at, 2, *argument);
    }
    return text;
}

std::string DateInDays(int days) {
    SYSTEMTIME now;
    GetLocalTime(&now);
    FILETIME file_time;
    SystemTimeToFileTime(&now, &file_time);
    ULARGE_INTEGER ticks;
    ticks.LowPart = file_time.dwLowDateTime;
    ticks.HighPart = file_time.dwHighDateTime;
    ticks.QuadPart += static_cast<ULONGLONG>(days) * 24 * 3600 * 10000000ULL;
    file_time.dwLowDateTime = ticks.LowPart;
    file_time.dwHighDateTime = ticks.HighPart;
    SYSTEMTIME then;
    FileTimeToSystemTime(&file_time, &then);
    char text[16];
    snprintf(text, sizeof(text), "%04d%02d%02d", then.wYear, then.wMonth, then.wDay);
    return text;
}

std::string LogoBitmap() {
    constexpr int kSide = 48;
    constexpr int kRow = kSide * 3;  // a multiple of four: no padding
    constexpr int kPixels = kRow * kSide;
    std::string file(54 + kPixels, '\0');
    auto put = [&](size_t at, unsigned value, int bytes) {
        for (int i = 0; i < bytes; ++i) file[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
    };
    file[0] = 'B';
    file[1] = 'M';
    put(2, static_cast<unsigned>(file.size()), 4);
    put(10, 54, 4);
    put(14, 40, 4);
    put(18, kSide, 4);
    put(22, kSide, 4);  // bottom-up rows
    put(26, 1, 2);
    put(28, 24, 2);
    put(34, kPixels, 4);
    for (int y = 0; y < kSide; ++y) {
        for (int x = 0; x < kSide; ++x) {
            const int dx = x - 24, dy = (kSide - 1 - y) - 24;  // dy grows downwards
            unsigned colour = 0xFDFDFD;
            if (dx * dx + dy * dy <= 18 * 18) {
                colour = 0x2A7BD4;
                // The arrow: a shaft and a head pointing down.
                const bool shaft = dx >= -3 && dx <= 3 && dy >= -11 && dy <= 2;
                const bool head = dy > 2 && dy <= 9 && (dx < 0 ? -dx : dx) <= 9 - dy;
                const bool base = dy >= 10 && dy <= 12 && dx >= -9 && dx <= 9;
                if (shaft || head || base) colour = 0xFFFFFF;
            }
            put(54 + y * kRow + x * 3, colour, 3);  // blue, green, red
        }
    }
    return file;
}

void LetItPaint(HWND window) {
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
    Answers(window, 5000);
    Sleep(300);
    Answers(window, 5000);
}

std::optional<bool> ProcessElevated(DWORD pid) {
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (!process) return std::nullopt;
    HANDLE token = nullptr;
    std::optional<bool> elevated;
    if (OpenProcessToken(process, TOKEN_QUERY, &token)) {
        TOKEN_ELEVATION elevation = {};
        DWORD size = 0;
        if (GetTokenInformation(token, TokenElevation, &elevation, sizeof(elevation), &size)) {
            elevated = elevation.TokenIsElevated != 0;
        }
        CloseHandle(token);
    }
    CloseHandle(process);
    return elevated;
}

std::string UpdateInfoText::Text() const {
    std::string text = "[ProductInfo]\r\nEngName=" + eng_name + "\r\nLocalName=" + local_name +
                       "\r\nMutex=" + mutex + "\r\nMainApp=" + main_app +
                       "\r\nNewVersion=" + new_version + "\r\nDescript1=" + descript1 +
                       "\r\nDescript2=" + descript2 + "\r\nSimpleDescript=" + simple_descript +
                       "\r\n";
    if (!logo_url.empty()) text += "LogoImageURL=" + logo_url + "\r\n";
    if (!logo_path.empty()) text += "LogoImagePath=" + logo_path + "\r\n";
    if (!updated.empty()) text += "Updated=" + updated + "\r\n";
    text += "[FileInfo]\r\n";
    if (!downloaded_path.empty()) text += "DownloadedPath=" + downloaded_path + "\r\n";
    return text;
}

UpdateWindowTest::UpdateWindowTest(std::string product_name)
    : product(std::move(product_name)),
      install_dir(root.File("Ostrey Update")),
      product_dir(Join(root.File("Program Files"), product)),
      agent_dir(root.File("Quindel Dravel")),
      main_app(product + "Main.exe"),
      setup_path(Join(root.File("Downloads"), product + "_setup.exe")),
      setup_record(root.File("setup.record")),
      setup_gate(root.File("setup.gate")),
      option_path(root.File("option.xml")),
      language(HKEY_CURRENT_USER, kAgentUserKey, "Language", View::Own),
      option_file(HKEY_CURRENT_USER, kAgentUserKey, "OptionFileName", View::Own),
      addon_host(HKEY_LOCAL_MACHINE, kAgentUserKey, "AddonServerHost", View::View32),
      ad_host(HKEY_LOCAL_MACHINE, kAgentUserKey, "AdServerHost", View::View32),
      stat_host(HKEY_LOCAL_MACHINE, kAgentUserKey, "StatServerHost", View::View32),
      install_host(HKEY_LOCAL_MACHINE, kAgentUserKey, "InstallServerHost", View::View32),
      agent_root(HKEY_LOCAL_MACHINE, "Software\\Quindel\\Dravel", "RootDir", View::View32),
      product_key(HKEY_LOCAL_MACHINE, "Software\\Quindel\\" + product, View::View32),
      agent_state(HKEY_CURRENT_USER, "SOFTWARE\\Quindel\\Dravel\\" + product, View::Own) {
    owner.Watch(root.path());

    // Norvane as the suite installs it, with the agent it asks beside it.
    CreateFolder(install_dir);
    CopyInto(Join(BinDir(), "Norvane.exe"), install_dir);
    CopyInto(Join(BinDir(), "ko-KR.dll"), install_dir);
    CopyInto(Join(DoublesDir(), "Dravel.exe"), install_dir);
    // The agent's own installation, from which Norvane restarts it after an update.
    CreateFolder(agent_dir);
    CopyInto(Join(DoublesDir(), "Dravel.exe"), agent_dir);
    CreateFolder(root.File("Downloads"));
    CopyInto(Join(DoublesDir(), "product_setup.exe"), root.File("Downloads"),
             product + "_setup.exe");
    SetSetup("RECORD", setup_record);
    SetSetup("GATE", setup_gate);

    SetRegString(HKEY_CURRENT_USER, kAgentUserKey, "Language", "ko-KR", View::Own);
    SetRegString(HKEY_LOCAL_MACHINE, "Software\\Quindel\\Dravel", "RootDir", agent_dir,
                 View::View32);
    // The option file lies on disk, as the agent leaves it; its log address is the server.
    server.Serve("/eula.rtf", "{\\rtf1 Terms}");
    server.Serve("/UpdateLog.aspx", "OK");
    WriteOptionFile();
    SetRegString(HKEY_CURRENT_USER, kAgentUserKey, "OptionFileName", option_path, View::Own);
    // Nothing is fetched from the network; should anything try, it meets a closed port.
    const std::string closed = "127.0.0.1:" + std::to_string(LoopbackServer::UnusedPort());
    for (const char* host : {"AddonServerHost", "AdServerHost", "StatServerHost", "InstallServerHost"}) {
        SetRegString(HKEY_LOCAL_MACHINE, kAgentUserKey, host, closed, View::View32);
    }
}

UpdateWindowTest::~UpdateWindowTest() {
    // Nothing may still use the files below.
    owner.EndAll();
    started.clear();
    RemoveTree(DataFolder());
    DeleteFileA(Join(DataRoot(), "EULA_" + std::to_string(kEulaRevision) + ".rtf").c_str());
}

void UpdateWindowTest::WriteOptionFile(const std::string& offers_xml) {
    ASSERT_TRUE(WriteTextFile(
        option_path, "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<addon>" + offers_xml +
                         "<option><logurl><![CDATA[" + server.Url("/UpdateLog.aspx") +
                         "]]></logurl><eula ver=\"" + std::to_string(kEulaRevision) +
                         "\"><![CDATA[" + server.Url("/eula.rtf") +
                         "]]></eula></option></addon>\r\n"));
}

void UpdateWindowTest::RequireLicence() {
    ASSERT_TRUE(SetRegDword(HKEY_LOCAL_MACHINE, "Software\\Quindel\\" + product, "EULAVersion",
                            kEulaRevision - 1));
}

void UpdateWindowTest::SetSetup(const std::string& name, const std::string& value) {
    const std::string prefix = "PRODUCT_SETUP_" + name + "=";
    for (std::string& entry : norvane_environment) {
        if (entry.compare(0, prefix.size(), prefix) == 0) {
            entry = prefix + value;
            return;
        }
    }
    norvane_environment.push_back(prefix + value);
}

std::optional<SetupRun> UpdateWindowTest::WaitForSetupRun(DWORD timeout_ms) {
    std::optional<std::string> text;
    if (!WaitUntil([&] { return (text = ReadTextFile(setup_record)).has_value(); }, timeout_ms)) {
        return std::nullopt;
    }
    // "pid=<id>\nelevated=<0|1>\ncmd=<arguments>\n"
    SetupRun run;
    size_t at = 0;
    while (at < text->size()) {
        size_t end = text->find('\n', at);
        if (end == std::string::npos) end = text->size();
        const std::string line = text->substr(at, end - at);
        if (line.compare(0, 4, "pid=") == 0) run.pid = strtoul(line.c_str() + 4, nullptr, 10);
        if (line.compare(0, 9, "elevated=") == 0) run.elevated = line.substr(9) == "1";
        if (line.compare(0, 4, "cmd=") == 0) run.arguments = line.substr(4);
        at = end + 1;
    }
    if (run.pid == 0) return std::nullopt;
    // The id names the setup only while it runs; a setup that already ended needs no owner.
    owner.Own(run.pid, setup_path);
    return run;
}

bool UpdateWindowTest::WaitForSetupAtTheGate(DWORD timeout_ms) {
    return WaitUntil([&] { return PathExists(setup_gate + ".reached"); }, timeout_ms);
}

void UpdateWindowTest::OpenSetupGate() { ASSERT_TRUE(WriteTextFile(setup_gate, "open")); }

std::string UpdateWindowTest::DataFolder() const { return Join(DataRoot(), product); }

UpdateInfoText UpdateWindowTest::DefaultInfo() const {
    UpdateInfoText text;
    text.eng_name = product;
    text.mutex = product + "_Running";
    text.main_app = main_app;
    text.downloaded_path = setup_path;
    return text;
}

void UpdateWindowTest::InstallProduct(const std::string& version) {
    const std::string key = "Software\\Quindel\\" + product;
    ASSERT_TRUE(SetRegString(HKEY_LOCAL_MACHINE, key, "Version", version));
    ASSERT_TRUE(SetRegString(HKEY_LOCAL_MACHINE, key, "Locale", "ko-KR"));
    ASSERT_TRUE(SetRegString(HKEY_LOCAL_MACHINE, key, "LicenseType", "Free Home"));
    ASSERT_TRUE(SetRegString(HKEY_LOCAL_MACHINE, key, "RootDir", product_dir));
    // The licence of the option file is the one the product accepted: no licence page.
    ASSERT_TRUE(SetRegDword(HKEY_LOCAL_MACHINE, key, "EULAVersion", kEulaRevision));
    ASSERT_TRUE(CreateFolder(root.File("Program Files")));
    ASSERT_TRUE(CreateFolder(product_dir));
    ASSERT_TRUE(CopyInto(Join(DoublesDir(), "RecordedProgram.exe"), product_dir, main_app));
}

void UpdateWindowTest::AgentWillFind(const UpdateInfoText& text, bool write, DWORD delay_ms,
                                     const std::string& end) {
    const std::string found = Join(install_dir, "Dravel.UpdateInfo.ini");
    if (write) {
        ASSERT_TRUE(WriteTextFile(found, text.Text()));
    } else {
        DeleteFileA(found.c_str());
    }
    ASSERT_TRUE(WriteTextFile(Join(install_dir, "Dravel.scenario.ini"),
                              "[Check]\r\nDelayMs=" + std::to_string(delay_ms) + "\r\nEnd=" + end +
                                  "\r\n"));
    // Whatever an earlier check left is not this check's finding.
    DeleteFileA(UpdateInfoPath(product).c_str());
}

std::string UpdateWindowTest::RecordWebAddresses() {
    const std::string folder = root.File("Link Opener");
    const std::string opener = Join(folder, "opener.exe");
    EXPECT_TRUE(MakeFolders(folder));
    EXPECT_TRUE(CopyInto(Join(DoublesDir(), "RecordedProgram.exe"), folder, "opener.exe"));
    const char kCommand[] = "http\\shell\\open\\command";
    if (!http_association) http_association.emplace(HKEY_CLASSES_ROOT, kCommand, "", View::Own);
    EXPECT_TRUE(SetRegString(HKEY_CLASSES_ROOT, kCommand, "", Quote(opener) + " \"%1\"", View::Own));
    return opener;
}

void UpdateWindowTest::AgentHasWritten(const UpdateInfoText& text) {
    ASSERT_TRUE(CreateFolder(DataFolder()));
    ASSERT_TRUE(WriteTextFile(UpdateInfoPath(product), text.Text()));
}

DWORD UpdateWindowTest::StartNorvane(const std::string& mode, bool limited_token,
                                     const std::string& after_product) {
    Process norvane;
    Process::Options options;
    options.limited_token = limited_token;
    options.extra_environment = norvane_environment;
    const std::string line = Quote(Join(install_dir, "Norvane.exe")) + " " + mode + " " + product +
                             (after_product.empty() ? "" : " " + after_product);
    if (!norvane.Start(line, options)) {
        ADD_FAILURE() << "Norvane did not start";
        return 0;
    }
    owner.Own(norvane.pid());
    const DWORD pid = norvane.pid();
    started.push_back(std::move(norvane));
    return pid;
}

HWND UpdateWindowTest::WaitForPage(HWND window, int index, DWORD timeout_ms) {
    HWND page = nullptr;
    WaitUntil(
        [&] {
            page = VisibleChildDialog(window);
            return PageIndexOf(page) == index;
        },
        timeout_ms);
    return PageIndexOf(page) == index ? page : nullptr;
}

bool UpdateWindowTest::CloseButtonEnabled(HWND window) {
    HWND button = Control(window, IDC_CLOSE);
    return button && IsWindowEnabled(button);
}

void UpdateWindowTest::MoveOnToTheProgressStep(HWND window) {
    HWND description = WaitForPage(window, kDescriptionPage);
    ASSERT_NE(description, nullptr);
    ASSERT_TRUE(Click(Control(description, IDC_NEXT)));
    HWND options = WaitForPage(window, kOptionPage);
    ASSERT_NE(options, nullptr) << "the description page's button did not move on";
    ASSERT_TRUE(Click(Control(options, IDC_NEXT)));
}

bool UpdateWindowTest::SetupHasEnded() {
    const std::optional<SetupRun> run = WaitForSetupRun();
    if (!run) return false;
    return WaitUntil([&] { return !ProcessRuns(run->pid); }, kExitTimeout);
}

void UpdateWindowTest::CancelWithYes(DWORD pid, HWND window) {
    ASSERT_TRUE(PressKey(window, VK_ESCAPE));
    auto question = WaitForMessageBox(pid, kAppearTimeout);
    ASSERT_TRUE(question.has_value()) << "Escape asked nothing";
    EXPECT_EQ(question->text, Module(IDS_CANCEL_CONFIRM));
    ASSERT_TRUE(AnswerMessageBox(*question, IDYES));
    EXPECT_EQ(WaitForExit(pid, kExitTimeout), std::optional<DWORD>(0u));
}

void UpdateWindowTest::ExpectEndsWithoutWindow(DWORD pid) {
    std::optional<DWORD> code;
    std::vector<HWND> shown;
    WaitUntil(
        [&] {
            for (HWND window : WindowsOfProcess(pid)) {
                if (IsWindowVisible(window)) shown.push_back(window);
            }
            return (code = WaitForExit(pid, 0)).has_value();
        },
        kExitTimeout);
    EXPECT_TRUE(shown.empty()) << "a window was shown";
    EXPECT_EQ(code, std::optional<DWORD>(0u));
}

}  // namespace windowtest
