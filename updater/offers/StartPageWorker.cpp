#include "updater/offers/StartPageWorker.h"

#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <vector>

#include "updater/data/ProductSettings.h"
#include "updater/platform/Registry.h"
#include "updater/offers/OptionXml.h"
#include "updater/offers/SetupOptionIni.h"
#include "updater/platform/BasicHelpers.h"
#include "updater/platform/DebugTrace.h"
#include "updater/platform/Download.h"
#include "updater/platform/Launch.h"
#include "updater/platform/MessageWait.h"
#include "updater/platform/SafeFolder.h"
#include "updater/platform/ServerHosts.h"
#include "updater/platform/Shell.h"

namespace {

constexpr const char* kInfoSection = "StartpageInfo";
constexpr const char* kListSection = "StartPageList";

const char kAgentKey[] = "Software\\Quindel\\Dravel";
const char kBrowserMainKey[] = "Software\\Microsoft\\Internet Explorer\\Main";
const char kStartPageValue[] = "Start Page";
const char kVersionVectorKey[] = "SOFTWARE\\Microsoft\\Internet Explorer\\Version Vector";
const char kEnumListFile[] = "dravel_enumlist.xml";
const char kEnumListPath[] = "/data/StartPageEnum.xml";
const char kStartPageTool[] = "zoz.exe";

// The browser accepts addresses of 2083 characters; a value far beyond any address is not a
// start page and is not read.
constexpr DWORD kStartPageReadLimit = 65536;

// Sends a formatted line to the debugger output when tracing is on.
void Trace(const char* format, ...) {
    if (!IsDebugTraceEnabled()) return;
    va_list arguments;
    va_start(arguments, format);
    va_list measure;
    va_copy(measure, arguments);
    const int length = std::vsnprintf(nullptr, 0, format, measure);
    va_end(measure);
    if (length >= 0) {
        std::vector<char> text(static_cast<std::size_t>(length) + 1);
        std::vsnprintf(text.data(), text.size(), format, arguments);
        DebugTrace(text.data());
    }
    va_end(arguments);
}

std::string ProgramOf(const CStartPageWorker& worker) {
    return worker.program_path.empty() ? OwnModulePath() : worker.program_path;
}

// Reads a string value whole (up to the limit) from an open key; "" when it cannot be read.
std::string ReadWholeString(HKEY key, const char* value_name) {
    for (int attempt = 0; attempt < 3; ++attempt) {
        DWORD size = 0;
        if (RegQueryValueExA(key, value_name, nullptr, nullptr, nullptr, &size) != ERROR_SUCCESS ||
            size > kStartPageReadLimit)
            return "";
        std::vector<char> buffer(size + 1, '\0');
        DWORD got = size;
        LONG status = RegQueryValueExA(key, value_name, nullptr, nullptr,
                                       reinterpret_cast<BYTE*>(buffer.data()), &got);
        if (status == ERROR_MORE_DATA) continue;  // the value grew in between
        if (status != ERROR_SUCCESS) return "";
        buffer[got < size ? got : size] = '\0';
        return buffer.data();
    }
    return "";
}

void TakeFirstChildText(const XmlNode& node, std::string* field) {
    std::string text;
    if (FirstChildText(node, &text)) *field = Utf8ToAnsi(TrimText(text));
}

void ReadStartPageElement(const XmlNode& startpage, StartPageInfo* info) {
    for (const auto& child : startpage.children) {
        const XmlNode& e = *child;
        if (ElementIs(e, "setstartpage")) {
            TakeFirstChildText(e, &info->StartpageUrl);
        } else if (ElementIs(e, "setstartpagename")) {
            TakeFirstChildText(e, &info->TitleStartpage);
        } else if (ElementIs(e, "setcheckstartpage")) {
            TakeFirstChildText(e, &info->StartpageCheckUrls);
        } else if (ElementIs(e, "otherstartpagesendurl")) {
            TakeFirstChildText(e, &info->PartnerSenderUrl);
        } else if (ElementIs(e, "changepagename")) {
            std::string text;
            info->ChangePageName =
                FirstChildText(e, &text) ? Utf8ToAnsi(TrimText(text)) : Utf8ToAnsi(e.value);
        } else if (ElementIs(e, "setcheckbox")) {
            info->CheckboxDefault = FlagOf(e);
        } else if (ElementIs(e, "sendcondition")) {
            info->sendcondition = FlagOf(e);
        } else if (ElementIs(e, "viewcheckbox")) {
            info->viewcheckbox = FlagOf(e);
        } else if (ElementIs(e, "regbackupchange")) {
            info->StartPageMode = FlagOf(e);
        } else if (ElementIs(e, "faviconurl")) {
            info->LinkIconUrl = Utf8ToAnsi(TrimText(e.value));
        } else if (ElementIs(e, "linkName")) {
            info->LinkName = Utf8ToAnsi(TrimText(e.value));
        } else if (ElementIs(e, "linkDesc")) {
            info->LinkDesc = Utf8ToAnsi(TrimText(e.value));
        } else if (ElementIs(e, "linkUrl")) {
            info->LinkUrl = Utf8ToAnsi(TrimText(e.value));
        }
    }
}

}  // namespace

bool StartPageInfo::IsComplete() const {
    return !StartpageUrl.empty() && !TitleStartpage.empty() && !StartpageCheckUrls.empty() &&
           !PartnerSenderUrl.empty() && !ChangePageName.empty();
}

bool StartPageInfo::operator==(const StartPageInfo& o) const {
    return StartpageUrl == o.StartpageUrl && TitleStartpage == o.TitleStartpage &&
           StartpageCheckUrls == o.StartpageCheckUrls && PartnerSenderUrl == o.PartnerSenderUrl &&
           ChangePageName == o.ChangePageName && CheckboxDefault == o.CheckboxDefault &&
           CheckboxUserState == o.CheckboxUserState && sendcondition == o.sendcondition &&
           viewcheckbox == o.viewcheckbox && StartPageMode == o.StartPageMode &&
           LinkUrl == o.LinkUrl && LinkIconUrl == o.LinkIconUrl && LinkName == o.LinkName &&
           LinkDesc == o.LinkDesc && LinkFlags == o.LinkFlags;
}

bool LoadStartPageFromXml(const std::string& option_file, CStartPageWorker* worker,
                          const std::string& product) {
    XmlNode root;
    if (option_file.empty() || !LoadXmlFile(option_file, &root)) return false;
    for (const auto& child : root.children) {
        if (ElementIs(*child, "startpage")) ReadStartPageElement(*child, &worker->info);
    }
    worker->info.CheckboxUserState = 0;
    if (!worker->info.IsComplete() || product.empty()) return false;

    // The agent may name a list it keeps; otherwise the install server's list is fetched into
    // the temporary folder and removed once read (the agent's own file is left alone). No list
    // still leaves the offer standing.
    std::string list = ReadRegString(HKEY_CURRENT_USER, kAgentKey, "StartPageEnumList", "", false);
    bool downloaded = false;
    if (list.empty()) {
        list = DownloadToTempFile(kEnumListFile, ServerUrl(VendorServer::Install, kEnumListPath));
        downloaded = !list.empty();
    }
    XmlNode document;
    // A list that does not parse may have stopped anywhere; none of it is taken.
    if (!list.empty() && LoadXmlFile(list, &document)) {
        AddEnumerationEntries(document, &worker->page_list, &Utf8ToAnsi);
    }
    if (downloaded) DeleteFileA(list.c_str());

    worker->product = product;
    worker->active = true;
    worker->checkbox_visible = worker->ComputeCheckboxVisible();
    return true;
}

bool LoadStartPageFromIni(const std::string& product, CStartPageWorker* worker,
                          const std::string& ini_path) {
    SetupOptionIni ini(ini_path);
    StartPageInfo info;
    info.StartpageUrl = ini.ReadText(kInfoSection, "StartpageUrl");
    info.TitleStartpage = ini.ReadText(kInfoSection, "TitleStartpage");
    info.StartpageCheckUrls = ini.ReadText(kInfoSection, "StartpageCheckUrls");
    info.PartnerSenderUrl = ini.ReadText(kInfoSection, "PartnerSenderUrl");
    info.ChangePageName = ini.ReadText(kInfoSection, "ChangePageName");
    info.CheckboxDefault = ini.ReadFlag(kInfoSection, "CheckboxDefault", 1);
    info.CheckboxUserState = ini.ReadFlag(kInfoSection, "CheckboxUserState", 1);
    info.sendcondition = ini.ReadFlag(kInfoSection, "sendcondition", 1);
    info.viewcheckbox = ini.ReadFlag(kInfoSection, "viewcheckbox", 0);
    info.StartPageMode = ini.ReadNumber(kInfoSection, "StartPageMode", 0) == 1 ? 1 : 0;
    info.LinkIconUrl = ini.ReadText(kInfoSection, "LinkIconUrl");
    info.LinkName = ini.ReadText(kInfoSection, "LinkName");
    info.LinkDesc = ini.ReadText(kInfoSection, "LinkDesc");
    info.LinkFlags = ini.ReadNumber(kInfoSection, "LinkFlags", 0);
    info.LinkUrl = ini.ReadText(kInfoSection, "LinkUrl");
    if (!info.IsComplete() || product.empty()) return false;
    worker->info = info;

    worker->page_list.clear();
    const int count = CappedListCount(ini.ReadNumber(kListSection, "ItemCount", 0));
    for (int index = 0; index < count; ++index) {
        std::string id_key = "pageID" + std::to_string(index);
        std::string url_key = "pageURL" + std::to_string(index);
        int page = ini.ReadNumber(kListSection, id_key.c_str(), -1);
        std::string url = ini.ReadText(kListSection, url_key.c_str());
        if (page >= 0 && !url.empty()) worker->page_list.emplace(page, url);
    }
    worker->product = product;
    worker->active = true;
    worker->checkbox_visible = worker->ComputeCheckboxVisible();
    return true;
}

bool CStartPageWorker::SaveToIni(const std::string& ini_path) const {
    if (!active) return false;
    SetupOptionIni ini(ini_path);
    // Each section is written whole or not at all; the other still gets its chance.
    IniSection list;
    list.Number("ItemCount", static_cast<int>(page_list.size()));
    int index = 0;
    for (const auto& [page, url] : page_list) {
        const std::string number = std::to_string(index++);
        list.Number(("pageID" + number).c_str(), page);
        list.Text(("pageURL" + number).c_str(), url);
    }
    const bool list_ok = ini.WriteSection(kListSection, list);

    const StartPageInfo& i = info;
    IniSection keys;
    keys.Text("StartpageUrl", i.StartpageUrl);
    keys.Text("TitleStartpage", i.TitleStartpage);
    keys.Text("StartpageCheckUrls", i.StartpageCheckUrls);
    keys.Text("PartnerSenderUrl", i.PartnerSenderUrl);
    keys.Text("ChangePageName", i.ChangePageName);
    keys.Flag("CheckboxDefault", i.CheckboxDefault);
    keys.Flag("CheckboxUserState", i.CheckboxUserState);
    keys.Flag("sendcondition", i.sendcondition);
    keys.Flag("viewcheckbox", i.viewcheckbox);
    keys.Number("StartPageMode", i.StartPageMode);
    keys.Text("LinkIconUrl", i.LinkIconUrl);
    keys.Text("LinkName", i.LinkName);
    keys.Text("LinkDesc", i.LinkDesc);
    keys.Number("LinkFlags", i.LinkFlags);
    keys.Text("LinkUrl", i.LinkUrl);
    const bool info_ok = ini.WriteSection(kInfoSection, keys);
    return list_ok && info_ok;
}

std::string ReadCurrentStartPage() {
    ScopedRegKey key;
    if (!key.Open(HKEY_CURRENT_USER, kBrowserMainKey, KEY_READ)) return "";
    return ReadWholeString(key.get(), kStartPageValue);
}

std::string ReportOsVersion() {
    const std::string browser =
        ReadRegString(HKEY_LOCAL_MACHINE, kVersionVectorKey, "IE", "", false);
    OSVERSIONINFOA version;
    ZeroMemory(&version, sizeof(version));
    version.dwOSVersionInfoSize = sizeof(version);
    if (!GetVersionExA(&version)) ZeroMemory(&version, sizeof(version));
    char text[64];
    std::snprintf(text, sizeof(text), "%d.%lu.%lu.%lu", LeadingNumber(browser),
                  static_cast<unsigned long>(version.dwPlatformId),
                  static_cast<unsigned long>(version.dwMajorVersion),
                  static_cast<unsigned long>(version.dwMinorVersion));
    return text;
}

bool CStartPageWorker::ComputeCheckboxVisible() const {
    if (!active || info.viewcheckbox == 0) return false;
    return !PageHoldsCheckUrl(ReadCurrentStartPage(), info.StartpageCheckUrls);
}

namespace {

// One shortcut to the browser with the partner's page; its path, or "" when it was not written.
// A folder that is a link, or a shared one that an untrusted account made, gets nothing: an
// elevated copy would write wherever it leads.
std::string WriteLink(const std::string& folder, FolderScope scope, const std::string& browser,
                      const StartPageInfo& info, const std::string& icon) {
    if (folder.empty()) return "";
    const FolderVerdict verdict = CheckFolderForWriting(folder, scope);
    if (verdict != FolderVerdict::Write) {
        Trace("Partner shortcut not written : %s %s", folder.c_str(), FolderVerdictText(verdict));
        return "";
    }
    const std::string path = JoinPath(folder, info.LinkName + ".lnk");
    return CreateShortcut(browser, info.LinkUrl, path, info.LinkDesc, icon) ? path : "";
}

std::string TemporaryFolder() {
    char path[MAX_PATH + 1] = {};
    DWORD length = GetTempPathA(MAX_PATH, path);
    if (length == 0 || length > MAX_PATH) return "";
    return std::string(path, length);
}

// The desktop, start-menu and quick-launch (or taskbar) shortcuts that LinkFlags asks for. What
// becomes of them does not touch the reports.
void CreatePartnerShortcuts(const StartPageInfo& info) {
    if (info.LinkFlags == 0 || info.LinkName.empty() || info.LinkUrl.empty()) return;
    // The name becomes a file name in shared folders; it must not lead out of them.
    if (!IsPlainFileName(info.LinkName)) return;
    const std::string program_files = GetSpecialFolder(kFolderProgramFiles);
    if (program_files.empty()) return;
    const std::string browser = program_files + "\\" + "Internet Explorer\\iexplore.exe";
    if (!FileExists(browser)) return;

    std::string icon;
    const std::string common_data = GetSpecialFolder(kFolderCommonAppData);
    if (!common_data.empty() && !info.LinkIconUrl.empty()) {
        // Any user may create folders here first; the shortcuts then go without their icon.
        std::string why;
        const std::string folder = PrepareSharedFolder(common_data, "Quindel\\Common", &why);
        if (folder.empty()) {
            Trace("Partner icon not written : %s", why.c_str());
        } else {
            const std::string path = JoinPath(folder, info.LinkName + ".ico");
            if (DownloadReplacing(info.LinkIconUrl, path)) icon = path;
        }
    }

    if (info.LinkFlags & 1) {
        WriteLink(GetSpecialFolder(kFolderCommonDesktop), FolderScope::Shared, browser, info,
                  icon);
    }
    if (info.LinkFlags & 2) {
        const std::string link = WriteLink(GetSpecialFolder(kFolderCommonStartMenu),
                                           FolderScope::Shared, browser, info, icon);
        if (!link.empty()) PinToStartMenu(link);
    }
    if (info.LinkFlags & 4) {
        if (IsPostVistaMinorVersion()) {
            // The taskbar keeps its own copy of a pinned shortcut; ours is only the means.
            const std::string link =
                WriteLink(TemporaryFolder(), FolderScope::UserOwn, browser, info, icon);
            if (!link.empty()) {
                PinToTaskbar(link);
                DeleteFileA(link.c_str());
            }
        } else {
            WriteLink(QuickLaunchFolder(), FolderScope::UserOwn, browser, info, icon);
        }
    }
}

}  // namespace

bool CStartPageWorker::Run(int state) {
    if (!active) return false;
    CreatePartnerShortcuts(info);

    const std::string report_template = FillReportNames(
        ServerUrl(VendorServer::Statistics, kVendorReportPathAndQuery), product,
        info.ChangePageName);

    Trace("[CStartPageWorker::Run] Checkbox visible : %d\nCheckbox state : %d\n"
          "sendCondition = %d\ncheckboxView = %d\nmode = %d",
          checkbox_visible ? 1 : 0, state, info.sendcondition == 1 ? 1 : 0,
          info.viewcheckbox == 1 ? 1 : 0, info.StartPageMode);

    StartPageExtension run;
    run.mode = checkbox_visible ? (state == 1 ? 1 : 0) : 2;
    run.report_url = report_template;
    run.product = product;
    run.new_start_page = info.StartpageUrl;
    run.partner_url = info.PartnerSenderUrl;
    return run.Execute(*this);
}

bool StartPageExtension::Execute(const CStartPageWorker& worker) {
    // Taken before anything is changed: the report tells which page the user had.
    current_page_class = StartPageClass(ReadCurrentStartPage(), worker.page_list);
    const std::string program = ProgramOf(worker);
    if (mode == 1) change_result = ChangeStartPage(worker.info.StartPageMode, program);
    const std::string os_version = ReportOsVersion();
    if (mode == 1 || worker.info.sendcondition == 1) {
        send_result = SendPartnerReport(os_version, program);
    }
    return SendVendorReport(os_version) == kHttpGetSent;
}

int StartPageExtension::ChangeStartPage(int start_page_mode, const std::string& program) const {
    try {
        if (start_page_mode == 1) {
            // Without our own path a bare tool name would be looked for anywhere.
            if (program.empty()) return kChangeNotConfirmed;
            const std::string tool = JoinPath(ParentFolder(program), kStartPageTool);
            if (!RunProgram(tool, "-regstartrun " + new_start_page, false, false)) {
                return kChangeNotConfirmed;
            }
            Trace("StartPage : %s (%d)", new_start_page.c_str(), 1);
            return kChangeDone;
        }
        ScopedRegKey key;
        if (!key.Open(HKEY_CURRENT_USER, kBrowserMainKey, KEY_QUERY_VALUE | KEY_SET_VALUE)) {
            return kChangeNotWritten;
        }
        if (RegSetValueExA(key.get(), kStartPageValue, 0, REG_SZ,
                           reinterpret_cast<const BYTE*>(new_start_page.c_str()),
                           static_cast<DWORD>(new_start_page.size() + 1)) != ERROR_SUCCESS) {
            return kChangeNotWritten;
        }
        const std::string stored = ReadWholeString(key.get(), kStartPageValue);
        Trace("StartPage : %s (%d)", stored.c_str(), start_page_mode);
        return stored == new_start_page ? kChangeDone : kChangeNotConfirmed;
    } catch (...) {
        return kChangeFailed;
    }
}

StartPageReport StartPageExtension::Report(const std::string& os_version) const {
    StartPageReport report;
    report.current_page_class = current_page_class;
    report.mode = mode;
    report.change_result = change_result;
    report.send_result = send_result;
    report.product = product;
    report.os_version = os_version;
    return report;
}

int StartPageExtension::SendPartnerReport(const std::string& os_version,
                                          const std::string& program) const {
    const std::string address = FillPartnerReport(partner_url, Report(os_version));
    Trace("To Partner : %s", address.c_str());
    if (!IsVistaOrLater() || IsLowIntegrity()) return HttpGet(address);

    // From Vista on, unless this process already runs at low integrity, a low-integrity copy of
    // Norvane sends the request and answers with its exit code.
    if (program.empty()) return kHttpGetFailed;
    const std::string parameters = SendLogParameters(address);
    Trace("Run protected mode : %s", parameters.c_str());
    // Quoted, so that a folder with blanks cannot split the program's path.
    HANDLE process = RunAsLowIntegrity("\"" + program + "\"", parameters);
    if (!process) return kHttpGetFailed;
    int result = kHttpGetFailed;
    // The window stays alive through the wait, however long the copy takes.
    if (WaitDispatchingMessages(process, kSendLogWaitMs) == WaitEnd::kSignalled) {
        DWORD code = 0;
        if (GetExitCodeProcess(process, &code)) result = static_cast<int>(code);
    }
    // A copy still running after the last poll has not answered; it is left to end by itself.
    CloseHandle(process);
    return result;
}

int StartPageExtension::SendVendorReport(const std::string& os_version) const {
    const std::string address = FillVendorReport(report_url, Report(os_version));
    Trace("To Quindel : %s", address.c_str());
    return HttpGet(address);
}
