#include "tests/scenarios/ScenarioFixture.h"

#include <wincrypt.h>

#include <cstdio>

#include "resources/ResourceIds.h"
#include "updater/app/PageFlow.h"
#include "updater/data/UpdateInfo.h"

using namespace testsupport;
using namespace windowtest;

namespace scenario {

namespace {

constexpr DWORD kWholeJobTimeout = 60000;  // an end offer's download and run, then the log
const char kAgentUserKey[] = "Software\\Quindel\\Dravel";
const char kBrowserMainKey[] = "Software\\Microsoft\\Internet Explorer\\Main";

std::string Cdata(const std::string& text) { return "<![CDATA[" + text + "]]>"; }

std::string ProductInfoXml(const OfferSpec& offer) {
    std::string xml = "<productinfo><name>" + offer.name + "</name><namelocal>" +
                      offer.local_name + "</namelocal><ver>" + offer.version + "</ver><url";
    if (!offer.checksum.empty()) xml += " checksum=\"" + offer.checksum + "\"";
    xml += ">" + Cdata(offer.url) + "</url><setcheckbox>" +
           (offer.checked_by_default ? "1" : "0") + "</setcheckbox><textadd>" +
           Cdata(offer.title_new) + "</textadd><textupdate>" + Cdata(offer.title_update) +
           "</textupdate></productinfo>";
    return xml;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty()) lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

}  // namespace

std::string Md5Hex(const std::string& bytes) {
    HCRYPTPROV provider = 0;
    if (!CryptAcquireContextA(&provider, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT)) {
        return "";
    }
    std::string hex;
    HCRYPTHASH hash = 0;
    if (CryptCreateHash(provider, CALG_MD5, 0, 0, &hash)) {
        BYTE digest[16];
        DWORD size = sizeof(digest);
        if (CryptHashData(hash, reinterpret_cast<const BYTE*>(bytes.data()),
                          static_cast<DWORD>(bytes.size()), 0) &&
            CryptGetHashParam(hash, HP_HASHVAL, digest, &size, 0)) {
            char text[3];
            for (DWORD i = 0; i < size; ++i) {
                snprintf(text, sizeof(text), "%02x", digest[i]);
                hex += text;
            }
        }
        CryptDestroyHash(hash);
    }
    CryptReleaseContext(provider, 0);
    return hex;
}

std::string FileBytes(const std::string& path) { return ReadTextFile(path).value_or(""); }

std::string OptionSpec::Xml() const {
    std::string xml = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<addon>";
    if (middle) xml += "<addproduct type=\"middle\">" + ProductInfoXml(*middle) + "</addproduct>";
    if (end) xml += "<addproduct type=\"end\">" + ProductInfoXml(*end) + "</addproduct>";
    if (start_page) {
        const StartPageSpec& s = *start_page;
        xml += "<startpage><setstartpage>" + Cdata(s.page) + "</setstartpage><setstartpagename>" +
               Cdata(s.title) + "</setstartpagename><setcheckstartpage>" + Cdata(s.check_urls) +
               "</setcheckstartpage><otherstartpagesendurl>" + Cdata(s.partner_url) +
               "</otherstartpagesendurl><changepagename>" + Cdata(s.page_name) +
               "</changepagename><setcheckbox>" + (s.checked_by_default ? "1" : "0") +
               "</setcheckbox><sendcondition>" + (s.send_always ? "1" : "0") +
               "</sendcondition><viewcheckbox>1</viewcheckbox><regbackupchange>0</regbackupchange>"
               "</startpage>";
    }
    if (!log_url.empty()) {
        xml += "<option><logurl>" + Cdata(log_url) + "</logurl>";
        if (!eula_url.empty()) {
            xml += "<eula ver=\"" + std::to_string(eula_revision) + "\">" + Cdata(eula_url) + "</eula>";
        }
        xml += "</option>";
    }
    return xml + "</addon>\r\n";
}

Scenario::Scenario(std::string product_name)
    : UpdateWindowTest(std::move(product_name)),
      setup_record(root.File("product-setup.record")),
      offer_record(root.File("offer-setups.record")),
      start_page_value(HKEY_CURRENT_USER, kBrowserMainKey, "Start Page", View::Own),
      enum_list(HKEY_CURRENT_USER, kAgentUserKey, "StartPageEnumList", View::Own) {
    environment = {"PRODUCT_SETUP_RECORD=" + setup_record, "OFFER_SETUP_RECORD=" + offer_record,
                   "PRODUCT_SETUP_DELAY=20"};
    // A start page of nobody's in particular; the list of known start pages is a file on disk
    // that does not exist (nothing is fetched for it).
    SetRegString(HKEY_CURRENT_USER, kBrowserMainKey, "Start Page", "http://home.example/", View::Own);
    SetRegString(HKEY_CURRENT_USER, kAgentUserKey, "StartPageEnumList", root.File("no-enum.xml"),
                 View::Own);
}

Scenario::~Scenario() {
    owner.EndAll();
    for (const std::string& file : offer_files) DeleteFileA(file.c_str());
}

OfferSpec Scenario::ServedOffer(const std::string& prefix, const std::string& local_name) {
    OfferSpec offer;
    offer.name = UniqueName(prefix);
    offer.local_name = local_name;
    const std::string setup = FileBytes(Join(DoublesDir(), "offer_setup.exe"));
    EXPECT_FALSE(setup.empty());
    offer.checksum = Md5Hex(setup);
    const std::string path = "/offers/" + offer.name + ".exe";
    server.Serve(path, setup);
    offer.url = server.Url(path);
    offer_files.push_back(MiddleSetupFile(offer.name));
    offer_files.push_back(EndSetupFile(offer.name));
    return offer;
}

StartPageSpec Scenario::ServedStartPage() {
    StartPageSpec page_offer;
    server.Serve("/partner.aspx", "OK");
    page_offer.partner_url = server.Url("/partner.aspx") +
                       "?page=%StartPage%&state=%CheckBoxState%&pd=%Product%&cr=%ChangeResult%";
    return page_offer;
}

OptionSpec Scenario::Options(bool licence) {
    OptionSpec option_file;
    option_file.log_url = server.Url("/UpdateLog.aspx");
    // The window fixture's product accepted revision 7 (InstallProduct); offering 7 shows no
    // licence page, an older accepted one does.
    option_file.eula_revision = 7;
    option_file.eula_url = server.Url("/eula.rtf");
    if (licence) {
        EXPECT_TRUE(SetRegDword(HKEY_LOCAL_MACHINE, "Software\\Quindel\\" + product, "EULAVersion", 6));
    }
    return option_file;
}

void Scenario::UseOptionFile(const OptionSpec& option_file) {
    ASSERT_TRUE(WriteTextFile(root.File("option.xml"), option_file.Xml()));
    ASSERT_TRUE(SetRegString(HKEY_CURRENT_USER, kAgentUserKey, "OptionFileName",
                             root.File("option.xml"), View::Own));
}

void Scenario::ServeOptionFile(const OptionSpec& option_file) {
    DeleteRegValue(HKEY_CURRENT_USER, kAgentUserKey, "OptionFileName", View::Own);
    ASSERT_TRUE(SetRegString(HKEY_LOCAL_MACHINE, kAgentUserKey, "AddonServerHost", server.host(),
                             View::View32));
    server.Serve("/default.ashx", option_file.Xml());
}

void Scenario::UseProductSetup(const std::string& mode) {
    PutSetupBack();
    SetEnvironment("PRODUCT_SETUP_MODE", mode);
}

void Scenario::PutSetupBack() {
    ASSERT_TRUE(CopyInto(Join(DoublesDir(), "product_setup.exe"), root.File("Downloads"),
                         product + "_setup.exe"));
    DeleteFileA(setup_record.c_str());
}

void Scenario::SetEnvironment(const std::string& name, const std::string& value) {
    const std::string head = name + "=";
    for (std::string& entry : environment) {
        if (entry.compare(0, head.size(), head) == 0) {
            entry = head + value;
            return;
        }
    }
    environment.push_back(head + value);
}

std::optional<DWORD> Scenario::AcceptEverything(DWORD pid, bool licence,
                                                std::optional<bool> middle,
                                                std::optional<bool> start_page,
                                                std::optional<bool> end_offer) {
    HWND window = MainWindow(pid);
    if (!window) {
        ADD_FAILURE() << "no window";
        return std::nullopt;
    }
    HWND description = WaitForPage(window, kDescriptionPage);
    if (!description) {
        ADD_FAILURE() << "no description page; shows page " << PageShown(window);
        return std::nullopt;
    }
    if (!Click(Control(description, IDC_NEXT))) return std::nullopt;
    ChooseOptions(window, middle, start_page);
    if (licence) AcceptLicence(window);
    return Finish(pid, window, end_offer);
}

void Scenario::ServeStatistics() {
    server.Serve("/InstallerPattern.aspx", "OK");
    ASSERT_TRUE(SetRegString(HKEY_LOCAL_MACHINE, kAgentUserKey, "StatServerHost", server.host(),
                             View::View32));
}

DWORD Scenario::StartWithEnvironment(const std::string& mode, bool limited_token) {
    Process norvane;
    Process::Options options;
    options.limited_token = limited_token;
    options.extra_environment = environment;
    if (!norvane.Start(Quote(Join(install_dir, "Norvane.exe")) + " " + mode + " " + product,
                       options)) {
        ADD_FAILURE() << "Norvane did not start";
        return 0;
    }
    owner.Own(norvane.pid());
    const DWORD pid = norvane.pid();
    started.push_back(std::move(norvane));
    return pid;
}

void Scenario::SetBox(HWND dialog, int id, bool checked) {
    HWND box = Control(dialog, id);
    ASSERT_NE(box, nullptr) << "no control " << id;
    if (IsChecked(box) == checked) return;
    ASSERT_TRUE(Click(box));
    ASSERT_TRUE(WaitUntil([&] { return IsChecked(box) == checked; }, kAppearTimeout))
        << "control " << id << " did not change";
}

void Scenario::ChooseOptions(HWND window, std::optional<bool> middle,
                             std::optional<bool> start_page) {
    HWND options = WaitForPage(window, kOptionPage);
    ASSERT_NE(options, nullptr) << "shows page " << PageShown(window);
    if (middle) {
        ASSERT_TRUE(IsWindowVisible(Control(options, IDC_EXTRA_OFFER_CHECK)))
            << "no middle offer on the option page";
        SetBox(options, IDC_EXTRA_OFFER_CHECK, *middle);
    }
    if (start_page) {
        ASSERT_TRUE(IsWindowVisible(Control(options, IDC_START_PAGE_CHECK)))
            << "no start-page offer on the option page";
        SetBox(options, IDC_START_PAGE_CHECK, *start_page);
    }
    ASSERT_TRUE(Click(Control(options, IDC_NEXT)));
}

void Scenario::AcceptLicence(HWND window) {
    HWND licence = WaitForPage(window, kLicensePage);
    ASSERT_NE(licence, nullptr) << "shows page " << PageShown(window);
    SetBox(licence, IDC_LICENSE_ACCEPT, true);
    HWND next = Control(licence, IDC_LICENSE_NEXT);
    ASSERT_TRUE(WaitUntil([&] { return IsWindowEnabled(next) != FALSE; }, kAppearTimeout));
    ASSERT_TRUE(Click(next));
}

std::optional<DWORD> Scenario::Finish(DWORD pid, HWND window, std::optional<bool> end_offer) {
    HWND complete = WaitForPage(window, kCompletePage, kWholeJobTimeout);
    if (!complete) {
        ADD_FAILURE() << "no completion page; shows page " << PageShown(window);
        return std::nullopt;
    }
    if (end_offer) {
        HWND box = Control(complete, IDC_END_OFFER_CHECK);
        EXPECT_TRUE(box && IsWindowVisible(box)) << "no end offer on the completion page";
        SetBox(complete, IDC_END_OFFER_CHECK, *end_offer);
    }
    end_offer_failure.clear();
    if (!Click(Control(complete, IDC_PAGE_BUTTON))) return std::nullopt;
    // A chosen end offer that fails keeps the page, its message line saying so; the next click
    // closes the update.
    const std::string failed = Module(IDS_END_OFFER_FAILED).substr(2);
    std::optional<DWORD> code;
    WaitUntil(
        [&] {
            if ((code = WaitForExit(pid, 0)).has_value()) return true;
            const std::string message = WindowText(Control(complete, IDC_TITLE));
            if (message.find(failed) == std::string::npos) return false;
            end_offer_failure = message;
            return true;
        },
        kWholeJobTimeout);
    if (code || end_offer_failure.empty()) return code;
    EXPECT_FALSE(IsWindowVisible(Control(complete, IDC_END_OFFER_CHECK)));
    EXPECT_TRUE(IsWindowVisible(Control(complete, IDC_TITLE)));
    if (!Click(Control(complete, IDC_PAGE_BUTTON))) return std::nullopt;
    return WaitForExit(pid, kWholeJobTimeout);
}

void Scenario::ExpectCancelledWithYes(DWORD pid) {
    auto question = WaitForMessageBox(pid, kAppearTimeout);
    ASSERT_TRUE(question.has_value()) << "nothing asked";
    EXPECT_EQ(question->text, Module(IDS_CANCEL_CONFIRM));
    ASSERT_TRUE(AnswerMessageBox(*question, IDYES));
    EXPECT_EQ(WaitForExit(pid, kExitTimeout), std::optional<DWORD>(0u));
}

std::optional<std::string> Scenario::SetupCommand() {
    auto text = ReadTextFile(setup_record);
    if (!text) return std::nullopt;
    const size_t at = text->find("cmd=");
    if (at == std::string::npos) return std::string();
    const size_t end = text->find('\n', at);
    return text->substr(at + 4, end == std::string::npos ? std::string::npos : end - at - 4);
}

std::vector<std::string> Scenario::OfferRuns() { return Lines(FileBytes(offer_record)); }

std::vector<LoopbackServer::Request> Scenario::LogRequests(size_t at_least) {
    WaitUntil([&] { return server.RequestsFor("/UpdateLog.aspx").size() >= at_least; },
              kAppearTimeout);
    return server.RequestsFor("/UpdateLog.aspx");
}

std::string Scenario::MiddleSetupFile(const std::string& name) const {
    return Join(DataRoot(), "AdditionalInstallInfo_middle\\" + name + ".exe");
}

std::string Scenario::EndSetupFile(const std::string& name) const {
    return Join(DataRoot(), "AdditionalInstallInfo_end\\" + name + ".exe");
}

std::optional<std::string> Scenario::StartPage() {
    return GetRegString(HKEY_CURRENT_USER, kBrowserMainKey, "Start Page", View::Own);
}

std::string Scenario::UpdateFields() const {
    return "&uName=" + product + "&uOldVer=" + kInstalledVersion +
           "&uOldLocale=ko-KR&uOldLicense=Free%20Home&uNewVer=" + kNewVersion +
           "&uNewLocale=ko-KR&uNewLicense=Free%20Home";
}

std::string Scenario::OfferFields(char prefix, const OfferSpec* offer, int shown, int by_default,
                                  int user, int state) {
    char numbers[96];
    snprintf(numbers, sizeof(numbers), "&%cShown=%d&%cDefault=%d&%cUser=%d&%cState=%d", prefix,
             shown, prefix, by_default, prefix, user, prefix, state);
    return std::string(1, prefix) + "Name=" + (offer ? offer->name : "") + "&" + prefix +
           "Ver=" + (offer ? offer->version : "") + numbers;
}

}  // namespace scenario
