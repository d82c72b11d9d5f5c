// The setup-option store: reading option files (local and downloaded), writing and reading
// SetupOption.ini, and what damaged input leads to.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "tests/support/LoopbackServer.h"
#include "tests/support/TestSupport.h"
#include "updater/offers/SetupOptionIni.h"
#include "updater/offers/SetupOptionManager.h"
#include "updater/platform/Shell.h"

using namespace testsupport;

namespace {

const char kAgentKey[] = "Software\\Quindel\\Dravel";

std::string ProductInfo(const std::string& name, const std::string& extra = "") {
    return "<productinfo><name>" + name + "</name><namelocal>" + name + " local</namelocal>"
           "<ver>1.2.3</ver><url checksum=\"0123456789abcdef0123456789abcdef\">"
           "<![CDATA[  http://dl.test/" + name + ".exe \n]]></url><setcheckbox>1</setcheckbox>"
           "<textadd><![CDATA[ Add " + name + " ]]></textadd>"
           "<textupdate><![CDATA[Update " + name + "]]></textupdate>" + extra + "</productinfo>";
}

const char kStartPage[] =
    "<startpage><setstartpage><![CDATA[ http://portal.test/ ]]></setstartpage>"
    "<setstartpagename><![CDATA[Portal]]></setstartpagename>"
    "<setcheckstartpage><![CDATA[portal.test;search.test]]></setcheckstartpage>"
    "<otherstartpagesendurl><![CDATA[http://partner.test/r?s=%StartPage%]]></otherstartpagesendurl>"
    "<changepagename>portal1</changepagename><setcheckbox>0</setcheckbox>"
    "<sendcondition>1</sendcondition><viewcheckbox>1</viewcheckbox>"
    "<regbackupchange>1</regbackupchange><faviconurl> http://portal.test/f.ico </faviconurl>"
    "<LINKNAME>Portal link</LINKNAME><linkDesc>Desc</linkDesc><linkUrl>http://portal.test/l</linkUrl>"
    "</startpage>";

const char kOption[] =
    "<option><logurl><![CDATA[ http://log.test/u.aspx ]]></logurl>"
    "<eula ver=\"12\"><![CDATA[http://eula.test/e.rtf]]></eula></option>";

std::vector<std::string> SectionNames(const std::string& ini) {
    std::vector<char> buffer(65536);
    DWORD got = GetPrivateProfileSectionNamesA(buffer.data(), static_cast<DWORD>(buffer.size()),
                                               ini.c_str());
    std::vector<std::string> names;
    for (const char* p = buffer.data(); p < buffer.data() + got && *p; p += strlen(p) + 1) {
        names.push_back(p);
    }
    return names;
}

std::string IniValue(const std::string& ini, const char* section, const char* key) {
    char buffer[4096] = {};
    GetPrivateProfileStringA(section, key, "<missing>", buffer, sizeof(buffer), ini.c_str());
    return buffer;
}

bool HasSection(const std::string& ini, const std::string& section) {
    auto names = SectionNames(ini);
    return std::find(names.begin(), names.end(), section) != names.end();
}

std::string ToAnsi(const std::wstring& text) {
    char buffer[512] = {};
    WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, buffer, sizeof(buffer), nullptr, nullptr);
    return buffer;
}

class SetupOptionStore : public ::testing::Test {
protected:
    void SetUp() override {
        // No test may reach a real server: the add-on and install hosts point at the loopback
        // server, and the agent's option file and start-page list names are empty unless a test
        // sets them.
        ASSERT_TRUE(SetRegString(HKEY_LOCAL_MACHINE, kAgentKey, "AddonServerHost", server.host(),
                                 View::View32));
        ASSERT_TRUE(SetRegString(HKEY_LOCAL_MACHINE, kAgentKey, "InstallServerHost", server.host(),
                                 View::View32));
        DeleteRegValue(HKEY_CURRENT_USER, kAgentKey, "OptionFileName", View::Own);
        DeleteRegValue(HKEY_CURRENT_USER, kAgentKey, "StartPageEnumList", View::Own);
    }
    void TearDown() override {
        std::string ini = SetupOptionIniPath(product);
        RemoveTree(ParentFolder(ini));
    }

    std::string WriteOptionFile(const std::string& body) {
        std::string path = dir.File("option.xml");
        std::FILE* f = std::fopen(path.c_str(), "wb");
        std::fwrite(body.data(), 1, body.size(), f);
        std::fclose(f);
        return path;
    }
    void UseOptionFile(const std::string& body) {
        option_file = WriteOptionFile(body);
        ASSERT_TRUE(SetRegString(HKEY_CURRENT_USER, kAgentKey, "OptionFileName", option_file,
                                 View::Own));
    }
    std::string Ini() const { return SetupOptionIniPath(product); }

    std::string product = UniqueName("OptTest");
    TempDir dir;
    std::string option_file;
    LoopbackServer server;
    ScopedRegValue host_guard{HKEY_LOCAL_MACHINE, kAgentKey, "AddonServerHost", View::View32};
    ScopedRegValue file_guard{HKEY_CURRENT_USER, kAgentKey, "OptionFileName", View::Own};
    ScopedRegValue install_guard{HKEY_LOCAL_MACHINE, kAgentKey, "InstallServerHost", View::View32};
    ScopedRegValue list_guard{HKEY_CURRENT_USER, kAgentKey, "StartPageEnumList", View::Own};
};

TEST_F(SetupOptionStore, TwoEndProductsBecomeTwoNumberedSections) {
    UseOptionFile("<?xml version=\"1.0\"?><Dravel>"
                  "<addproduct type=\"END\">" + ProductInfo(" Viewer ") + ProductInfo("Player") +
                  "</addproduct><addproduct>" + ProductInfo("Untyped") + "</addproduct>"
                  "<addproduct type=\"other\">" + ProductInfo("Other") + "</addproduct></Dravel>");
    CSetupOptionManager store;
    EXPECT_TRUE(store.LoadFromOptionFile(product));
    ASSERT_EQ(store.end.products.size(), 2u);
    EXPECT_TRUE(store.end.loaded);
    const AdditionalInstallInfo& viewer = store.end.products[0];
    EXPECT_EQ(viewer.ProductName, " Viewer ");  // names are not trimmed
    EXPECT_EQ(viewer.SetupURL, "http://dl.test/ Viewer .exe");
    EXPECT_EQ(viewer.SetupChecksum, "0123456789abcdef0123456789abcdef");
    EXPECT_EQ(viewer.TitleNew, "Add  Viewer");
    EXPECT_EQ(viewer.CheckboxDefault, 1);
    EXPECT_EQ(viewer.CheckboxUserState, 0);
    EXPECT_TRUE(store.medium.products.empty());
    EXPECT_FALSE(store.start_page.active);
    EXPECT_FALSE(store.option.valid);
    // The agent's file stays where it is.
    EXPECT_TRUE(PathExists(option_file));

    store.SaveToSetupOptionIni(product);
    EXPECT_EQ(IniValue(Ini(), "AdditionalInstallInfo_end", "InfoCount"), "2");
    EXPECT_EQ(IniValue(Ini(), "AdditionalInstallInfo_end1", "ProductName"), " Viewer ");
    EXPECT_EQ(IniValue(Ini(), "AdditionalInstallInfo_end2", "ProductName"), "Player");
    EXPECT_EQ(IniValue(Ini(), "AdditionalInstallInfo_end2", "CheckboxDefault"), "1");
    EXPECT_FALSE(HasSection(Ini(), "AdditionalInstallInfo_end3"));
    // Without a start-page offer and a valid option record their sections are not written;
    // the installation choices always are.
    EXPECT_FALSE(HasSection(Ini(), "StartpageInfo"));
    EXPECT_FALSE(HasSection(Ini(), "StartPageList"));
    EXPECT_FALSE(HasSection(Ini(), "OptionInfo"));
    EXPECT_EQ(IniValue(Ini(), "SetupOptionInfo", "RunAfterSetup"), "1");

    CSetupOptionManager later;
    EXPECT_TRUE(later.LoadFromSetupOptionIni(product));
    ASSERT_EQ(later.end.products.size(), 2u);
    EXPECT_EQ(later.end.products[0], store.end.products[0]);
    EXPECT_EQ(later.end.products[1], store.end.products[1]);
}

TEST_F(SetupOptionStore, FlagsAndTextsAsTheSchemaSays) {
    UseOptionFile("<r><addproduct type='middle'><productinfo><name>Wendle</name>"
                  "<setcheckbox> 1</setcheckbox><url><!--no cdata-->x</url>"
                  "<textadd>no child</textadd><textenable><![CDATA[On]]></textenable>"
                  "</productinfo></addproduct>"
                  "<option><eula><![CDATA[http://eula.test/first.rtf]]></eula></option>"
                  "<option><logurl><![CDATA[http://log.test/]]></logurl></option>" +
                  std::string(kStartPage) + "</r>");
    CSetupOptionManager store;
    store.LoadFromOptionFile(product);
    ASSERT_EQ(store.medium.products.size(), 1u);
    const AdditionalInstallInfo& wendle = store.medium.products[0];
    EXPECT_EQ(wendle.CheckboxDefault, 0);      // " 1" is not "1"
    EXPECT_EQ(wendle.SetupURL, "no cdata");    // the first child, whatever its kind
    EXPECT_EQ(wendle.TitleNew, "");            // no child: unchanged
    EXPECT_EQ(wendle.TitleEnabale, "On");
    EXPECT_EQ(wendle.SetupChecksum, "");

    // The option elements fill one record; a "eula" without "ver" leaves the revision at 0.
    EXPECT_TRUE(store.option.valid);
    EXPECT_EQ(store.option.product_name, product);
    EXPECT_EQ(store.option.EulaRevision, 0);
    EXPECT_EQ(store.option.EulaURL, "http://eula.test/first.rtf");
    EXPECT_EQ(store.option.UpdateLogUrl, "http://log.test/");

    const StartPageInfo& page = store.start_page.info;
    EXPECT_TRUE(store.start_page.active);
    EXPECT_EQ(store.start_page.product, product);
    EXPECT_EQ(page.StartpageUrl, "http://portal.test/");
    EXPECT_EQ(page.ChangePageName, "portal1");  // own text when there is no child
    EXPECT_EQ(page.CheckboxDefault, 0);
    EXPECT_EQ(page.sendcondition, 1);
    EXPECT_EQ(page.viewcheckbox, 1);
    EXPECT_EQ(page.StartPageMode, 1);
    EXPECT_EQ(page.LinkIconUrl, "http://portal.test/f.ico");
    EXPECT_EQ(page.LinkName, "Portal link");
    EXPECT_EQ(page.LinkFlags, 0);

    store.SaveToSetupOptionIni(product);
    EXPECT_EQ(IniValue(Ini(), "OptionInfo", "EulaRevision"), "0");
    EXPECT_EQ(IniValue(Ini(), "StartpageInfo", "StartPageMode"), "1");
    EXPECT_EQ(IniValue(Ini(), "StartPageList", "ItemCount"), "0");
    // No selected middle product yet, so no middle section.
    EXPECT_FALSE(HasSection(Ini(), "AdditionalInstallInfo_middle"));
}

TEST_F(SetupOptionStore, IncompleteStartPageIsNoOffer) {
    std::string partial = kStartPage;
    partial.replace(partial.find("<changepagename>portal1</changepagename>"),
                    strlen("<changepagename>portal1</changepagename>"), "");
    UseOptionFile("<r>" + partial + kOption + "</r>");
    CSetupOptionManager store;
    store.LoadFromOptionFile(product);
    EXPECT_FALSE(store.start_page.active);
    EXPECT_TRUE(store.option.valid);
    EXPECT_EQ(store.option.EulaRevision, 12);
    store.SaveToSetupOptionIni(product);
    EXPECT_FALSE(HasSection(Ini(), "StartpageInfo"));
    EXPECT_EQ(IniValue(Ini(), "OptionInfo", "UpdateLogUrl"), "http://log.test/u.aspx");
}

TEST_F(SetupOptionStore, DownloadedOptionFileIsRequestedAndDeleted) {
    std::string body = "<r><addproduct type=\"end\">" + ProductInfo("Viewer") + "</addproduct>" +
                       kOption + "</r>";
    server.Serve("/default.ashx", body);
    CSetupOptionManager store;
    EXPECT_TRUE(store.LoadFromOptionFile(product));
    EXPECT_EQ(store.end.products.size(), 1u);
    EXPECT_TRUE(store.option.valid);

    auto requests = server.RequestsFor("/default.ashx");
    ASSERT_EQ(requests.size(), 1u);
    std::string expected_query = "t=3&ios=" + OsDescription() + "&p=" + product;
    EXPECT_NE(requests[0].target.find(expected_query), std::string::npos) << requests[0].target;

    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    EXPECT_FALSE(PathExists(JoinPath(temp, "dravel_" + product + "_option.xml")));
}

TEST_F(SetupOptionStore, DeadServerOrBadFilesGiveNoOffers) {
    auto expect_nothing = [&](const char* what) {
        CSetupOptionManager store;
        EXPECT_TRUE(store.LoadFromOptionFile(product)) << what;
        EXPECT_TRUE(store.end.products.empty()) << what;
        EXPECT_TRUE(store.medium.products.empty()) << what;
        EXPECT_FALSE(store.end.loaded || store.medium.loaded) << what;
        EXPECT_FALSE(store.start_page.active) << what;
        EXPECT_FALSE(store.option.valid) << what;
    };
    // A server that answers 404 with a page, one that breaks off, one that is not there.
    server.Serve("/default.ashx", "<html><body>not found</body>", 404);
    expect_nothing("404 page");
    std::string body = "<r><addproduct type=\"end\">" + ProductInfo("Viewer") + "</addproduct>" +
                       kOption + "</r>";
    LoopbackServer::Response cut;
    cut.body = body;
    cut.truncate_after = body.find("dl.test");  // inside the first CDATA section
    server.Serve("/default.ashx", cut);
    expect_nothing("truncated download");
    ASSERT_TRUE(SetRegString(HKEY_LOCAL_MACHINE, kAgentKey, "AddonServerHost",
                             "127.0.0.1:" + std::to_string(LoopbackServer::UnusedPort()),
                             View::View32));
    expect_nothing("dead server");

    // Local files: malformed, truncated inside character data, binary, empty.
    UseOptionFile("<r><addproduct type=\"end\">" + ProductInfo("Viewer") + "</Addproduct></r>");
    expect_nothing("mismatched close");
    UseOptionFile(body.substr(0, body.find("http://log.test")));
    expect_nothing("cut inside data");
    std::string binary;
    std::mt19937 random(7);
    for (int i = 0; i < 70000; ++i) binary += static_cast<char>(random());
    UseOptionFile(binary);
    expect_nothing("binary");
    UseOptionFile("");
    expect_nothing("empty");
    ASSERT_TRUE(SetRegString(HKEY_CURRENT_USER, kAgentKey, "OptionFileName", dir.File("none.xml"),
                             View::Own));
    expect_nothing("missing");
}

// An option file may list more offers than anyone offers; only as many are taken as the ini
// file's lists are read for, in file order, and each is saved whole in its own section.
TEST_F(SetupOptionStore, OffersBeyondTheListCapAreNotTaken) {
    std::string products;
    for (int i = 1; i <= kIniMaxListCount + 88; ++i) products += ProductInfo("P" + std::to_string(i));
    UseOptionFile("<r><addproduct type=\"end\">" + products + "</addproduct>"
                  "<addproduct type=\"middle\">" + products + "</addproduct></r>");
    CSetupOptionManager store;
    store.LoadFromOptionFile(product);
    ASSERT_EQ(store.end.products.size(), static_cast<size_t>(kIniMaxListCount));
    EXPECT_EQ(store.end.products.back().ProductName, "P" + std::to_string(kIniMaxListCount));
    EXPECT_EQ(store.medium.products.size(), static_cast<size_t>(kIniMaxListCount));

    store.SaveToSetupOptionIni(product);
    const std::string last = "AdditionalInstallInfo_end" + std::to_string(kIniMaxListCount);
    EXPECT_EQ(IniValue(Ini(), "AdditionalInstallInfo_end", "InfoCount"), std::to_string(kIniMaxListCount));
    EXPECT_EQ(IniValue(Ini(), last.c_str(), "ProductName"), "P" + std::to_string(kIniMaxListCount));
    EXPECT_EQ(IniValue(Ini(), last.c_str(), "CheckboxUserState"), "0");
    EXPECT_FALSE(HasSection(Ini(), "AdditionalInstallInfo_end" + std::to_string(kIniMaxListCount + 1)));
    CSetupOptionManager later;
    later.LoadFromSetupOptionIni(product);
    ASSERT_EQ(later.end.products.size(), static_cast<size_t>(kIniMaxListCount));
    EXPECT_EQ(later.end.products[kIniMaxListCount - 1], store.end.products[kIniMaxListCount - 1]);
}

TEST_F(SetupOptionStore, Utf8TextArrivesInTheAnsiCodePage) {
    // "Caf\u00e9" in UTF-8; the checksum attribute is taken byte for byte.
    UseOptionFile("<r><addproduct type=\"end\"><productinfo><name>Caf\xC3\xA9</name>"
                  "<namelocal>Caf\xC3\xA9 local</namelocal><ver>1</ver>"
                  "<url checksum=\"\xC3\xA9\"><![CDATA[http://dl.test/\xC3\xA9]]></url>"
                  "<textadd><![CDATA[Add \xC3\xA9]]></textadd></productinfo></addproduct></r>");
    CSetupOptionManager store;
    store.LoadFromOptionFile(product);
    ASSERT_EQ(store.end.products.size(), 1u);
    const AdditionalInstallInfo& info = store.end.products[0];
    EXPECT_EQ(info.ProductName, ToAnsi(L"Caf\u00e9"));
    EXPECT_EQ(info.ProductLocalName, ToAnsi(L"Caf\u00e9 local"));
    EXPECT_EQ(info.SetupURL, ToAnsi(L"http://dl.test/\u00e9"));
    EXPECT_EQ(info.TitleNew, ToAnsi(L"Add \u00e9"));
    EXPECT_EQ(info.SetupChecksum, "\xC3\xA9");
}

// ---- SetupOption.ini ----

class SetupOptionFile : public SetupOptionStore {
protected:
    void SetUp() override {
        SetupOptionStore::SetUp();
        CreateFolderPath(Ini(), false);
    }
    void Put(const char* section, const char* key, const std::string& value) {
        ASSERT_TRUE(WritePrivateProfileStringA(section, key, value.c_str(), Ini().c_str()));
    }
    void PutOffer(const std::string& section, const std::string& name, bool with_enable) {
        const char* s = section.c_str();
        Put(s, "ProductName", name);
        Put(s, "ProductLocalName", name + " local");
        Put(s, "version", "2.0");
        Put(s, "SetupURL", "http://dl.test/x.exe");
        Put(s, "SetupChecksum", "00112233445566778899aabbccddeeff");
        Put(s, "TitleNew", "new");
        Put(s, "TitleUpdate", "update");
        if (with_enable) Put(s, "TitleEnabale", "enable");
    }
};

TEST_F(SetupOptionFile, MissingFileChangesNothing) {
    CSetupOptionManager store;
    store.setup_options.RunAfterSetup = 0;
    store.option.EulaRevision = 5;
    EXPECT_FALSE(store.LoadFromSetupOptionIni(product + "_absent"));
    EXPECT_EQ(store.setup_options.RunAfterSetup, 0);
    EXPECT_EQ(store.option.EulaRevision, 5);
}

TEST_F(SetupOptionFile, InvalidOfferSectionsAreSkipped) {
    Put("AdditionalInstallInfo_end", "InfoCount", "4");
    PutOffer("AdditionalInstallInfo_end1", "Viewer", false);
    PutOffer("AdditionalInstallInfo_end2", "wendle", false);  // toolbar without its caption
    PutOffer("AdditionalInstallInfo_end3", "WENDLE", true);
    PutOffer("AdditionalInstallInfo_end4", "Player", false);
    Put("AdditionalInstallInfo_end4", "SetupURL", "");         // no URL and no download path
    PutOffer("AdditionalInstallInfo_middle", "Wendle", false);
    CSetupOptionManager store;
    EXPECT_TRUE(store.LoadFromSetupOptionIni(product));
    ASSERT_EQ(store.end.products.size(), 2u);
    EXPECT_EQ(store.end.products[0].ProductName, "Viewer");
    EXPECT_EQ(store.end.products[1].ProductName, "WENDLE");
    EXPECT_EQ(store.end.products[0].CheckboxDefault, 1);  // missing: default 1
    EXPECT_EQ(store.end.products[0].CheckboxUserState, 0);
    EXPECT_FALSE(store.medium.loaded);

    // A valid middle section is the selected middle product and goes back out unchanged.
    PutOffer("AdditionalInstallInfo_middle", "Wendle", true);
    Put("AdditionalInstallInfo_middle", "SetupURL", "");
    Put("AdditionalInstallInfo_middle", "SetupDownloadPath", "C:\\x\\Wendle.exe");
    CSetupOptionManager again;
    again.LoadFromSetupOptionIni(product);
    ASSERT_TRUE(again.medium.loaded);
    EXPECT_EQ(again.medium.selected.SetupDownloadPath, "C:\\x\\Wendle.exe");
    EXPECT_EQ(again.medium.parent_product, product);
}

TEST_F(SetupOptionFile, GarbageNumbersReadAsDefaults) {
    Put("AdditionalInstallInfo_end", "InfoCount", "two");
    Put("SetupOptionInfo", "RunAfterSetup", "yes");
    Put("SetupOptionInfo", "CreateDesktopIcon", "2");
    Put("SetupOptionInfo", "CreateStartMenuIcon", " 1 ");
    Put("OptionInfo", "UpdateLogUrl", "http://log.test/");
    Put("OptionInfo", "EulaURL", "http://eula.test/");
    Put("OptionInfo", "EulaRevision", "7x");
    Put("StartpageInfo", "StartpageUrl", "http://p.test/");
    Put("StartpageInfo", "TitleStartpage", "t");
    Put("StartpageInfo", "StartpageCheckUrls", "p.test");
    Put("StartpageInfo", "PartnerSenderUrl", "http://partner.test/");
    Put("StartpageInfo", "ChangePageName", "p");
    Put("StartpageInfo", "StartPageMode", "5");
    Put("StartpageInfo", "LinkFlags", "99999999999999");
    Put("StartpageInfo", "CheckboxDefault", "-1");
    Put("StartPageList", "ItemCount", "4");
    Put("StartPageList", "pageID0", "3");
    Put("StartPageList", "pageURL0", "three.test");
    Put("StartPageList", "pageID1", "-3");
    Put("StartPageList", "pageURL1", "negative.test");
    Put("StartPageList", "pageID2", "x");
    Put("StartPageList", "pageURL2", "garbage.test");
    Put("StartPageList", "pageID3", "1");  // no address
    CSetupOptionManager store;
    store.LoadFromSetupOptionIni(product);
    EXPECT_FALSE(store.end.loaded);
    EXPECT_EQ(store.setup_options.RunAfterSetup, 1);
    EXPECT_EQ(store.setup_options.CreateDesktopIcon, 0);
    EXPECT_EQ(store.setup_options.CreateStartMenuIcon, 1);
    EXPECT_TRUE(store.option.valid);
    EXPECT_EQ(store.option.EulaRevision, 0);
    ASSERT_TRUE(store.start_page.active);
    EXPECT_EQ(store.start_page.info.StartPageMode, 0);
    EXPECT_EQ(store.start_page.info.LinkFlags, 0);
    EXPECT_EQ(store.start_page.info.CheckboxDefault, 1);
    EXPECT_EQ(store.start_page.info.CheckboxUserState, 1);
    EXPECT_EQ(store.start_page.info.sendcondition, 1);
    EXPECT_EQ(store.start_page.info.viewcheckbox, 0);
    ASSERT_EQ(store.start_page.page_list.size(), 1u);
    EXPECT_EQ(store.start_page.page_list.at(3), "three.test");
}

TEST_F(SetupOptionFile, HugeCountsAndLongValuesStayBounded) {
    // A damaged count must not keep the reader busy for hours; an overlong text is cut at 2047
    // characters without running past a buffer.
    Put("AdditionalInstallInfo_end", "InfoCount", "2000000000");
    PutOffer("AdditionalInstallInfo_end1", "Viewer", false);
    Put("AdditionalInstallInfo_end1", "TitleNew", std::string(5000, 'n'));
    Put("StartPageList", "ItemCount", "2147483647");
    DWORD start = GetTickCount();
    CSetupOptionManager store;
    store.LoadFromSetupOptionIni(product);
    EXPECT_LT(GetTickCount() - start, 60000u);
    ASSERT_EQ(store.end.products.size(), 1u);
    EXPECT_EQ(store.end.products[0].TitleNew, std::string(2047, 'n'));
}

TEST_F(SetupOptionFile, LineBreaksCannotForgeSectionsOrKeys) {
    CSetupOptionManager store;
    store.option.UpdateLogUrl = "http://log.test/\r\n[SetupOptionInfo]\r\nRunAfterSetup=0";
    store.option.EulaURL = "http://eula.test/";
    store.option.valid = true;
    store.SaveToSetupOptionIni(product);
    CSetupOptionManager later;
    later.LoadFromSetupOptionIni(product);
    EXPECT_EQ(later.setup_options.RunAfterSetup, 1);
    EXPECT_EQ(later.option.UpdateLogUrl, "http://log.test/  [SetupOptionInfo]  RunAfterSetup=0");
}

TEST_F(SetupOptionFile, ControlCharactersAtTheEndsOfAValueTravel) {
    // The profile reader drops a vertical tab or an end-of-file mark around a value as it drops
    // blanks: written bare, the address would come back shorter.
    CSetupOptionManager store;
    store.option.UpdateLogUrl = "\vhttp://log.test/u.aspx\x1a";
    store.option.EulaURL = "\fhttp://eula.test/e.rtf";
    store.option.valid = true;
    ASSERT_TRUE(store.SaveToSetupOptionIni(product));
    CSetupOptionManager later;
    ASSERT_TRUE(later.LoadFromSetupOptionIni(product));
    EXPECT_EQ(later.option.UpdateLogUrl, store.option.UpdateLogUrl);
    EXPECT_EQ(later.option.EulaURL, store.option.EulaURL);
}

TEST_F(SetupOptionFile, ProductOptionStatesTravel) {
    CSetupOptionManager store;
    store.product_option.entries[1].state = 0;
    store.product_option.entries[2].state = 1;
    store.SaveToSetupOptionIni(product);
    EXPECT_EQ(IniValue(Ini(), "ProductOption", "1"), "0");
    EXPECT_EQ(IniValue(Ini(), "ProductOption", "2"), "1");
    Put("ProductOption", "1", "5");
    Put("ProductOption", "2", "junk");
    CSetupOptionManager later;
    later.product_option.entries[1].state = 1;
    later.product_option.entries[2].state = 1;
    later.product_option.entries[3].state = 1;  // not in the file: default 0
    later.LoadFromSetupOptionIni(product);
    EXPECT_EQ(later.product_option.entries[1].state, 5);
    EXPECT_EQ(later.product_option.entries[2].state, 0);
    EXPECT_EQ(later.product_option.entries[3].state, 0);
}

// ---- round trip over many varied records ----

class Generator {
public:
    explicit Generator(unsigned seed) : random_(seed) {}
    int Int(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }
    // Texts with the characters an ini file could trip over: blanks at the ends, quotes, "=",
    // ";", brackets, "%" and high bytes of the Western code page.
    std::string Text(bool non_empty) {
        static const std::string alphabet =
            "abcXYZ019 .:/\\?&=;[]'\"%#-_\xE9\xFC\xC4";
        int length = Int(non_empty ? 1 : 0, Int(0, 3) == 0 ? 300 : 40);
        std::string text;
        for (int i = 0; i < length; ++i) text += alphabet[Int(0, int(alphabet.size()) - 1)];
        return text;
    }
    std::string Required() { return Text(true); }
    AdditionalInstallInfo Offer() {
        AdditionalInstallInfo info;
        info.ProductName = Int(0, 4) == 0 ? "Wendle" : Required();
        info.ProductLocalName = Required();
        info.version = Required();
        info.SetupURL = Text(false);
        info.SetupDownloadPath = info.SetupURL.empty() ? Required() : Text(false);
        info.SetupChecksum = Required();
        info.CheckboxDefault = Int(0, 1);
        info.TitleNew = Required();
        info.TitleUpdate = Required();
        info.TitleEnabale = info.ProductName == "Wendle" ? Required() : Text(false);
        info.CheckboxUserState = Int(0, 1);
        return info;
    }

private:
    std::mt19937 random_;
};

TEST_F(SetupOptionFile, SaveThenLoadKeepsEveryField) {
    for (unsigned seed = 1; seed <= 25; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        Generator g(seed);
        CSetupOptionManager store;
        store.medium.selected = g.Offer();
        store.medium.loaded = true;
        int ends = g.Int(1, 5);
        for (int i = 0; i < ends; ++i) store.end.products.push_back(g.Offer());
        store.end.loaded = true;
        StartPageInfo& page = store.start_page.info;
        page.StartpageUrl = g.Required();
        page.TitleStartpage = g.Required();
        page.StartpageCheckUrls = g.Required();
        page.PartnerSenderUrl = g.Required();
        page.ChangePageName = g.Required();
        page.CheckboxDefault = g.Int(0, 1);
        page.CheckboxUserState = g.Int(0, 1);
        page.sendcondition = g.Int(0, 1);
        page.viewcheckbox = g.Int(0, 1);
        page.StartPageMode = g.Int(0, 1);
        page.LinkUrl = g.Text(false);
        page.LinkIconUrl = g.Text(false);
        page.LinkName = g.Text(false);
        page.LinkDesc = g.Text(false);
        page.LinkFlags = g.Int(0, 7);
        int pages = g.Int(0, 6);
        for (int i = 0; i < pages; ++i) store.start_page.page_list[g.Int(0, 1000)] = g.Required();
        store.start_page.active = true;
        store.option.UpdateLogUrl = g.Required();
        store.option.EulaURL = g.Text(false);
        store.option.EulaDownloadPath = store.option.EulaURL.empty() ? g.Required() : g.Text(false);
        store.option.EulaRevision = g.Int(-5, 1000000);
        store.option.valid = true;
        store.setup_options.RunAfterSetup = g.Int(0, 1);
        store.setup_options.CreateDesktopIcon = g.Int(0, 1);
        store.setup_options.CreateStartMenuIcon = g.Int(0, 1);
        store.setup_options.CreateQuickLaunchIcon = g.Int(0, 1);
        store.setup_options.OpenOstreyWeb = g.Int(0, 1);
        store.product_option.entries[1].state = g.Int(0, 1);
        store.product_option.entries[2].state = g.Int(0, 1);

        store.SaveToSetupOptionIni(product);
        CSetupOptionManager back;
        back.product_option.entries[1];
        back.product_option.entries[2];
        ASSERT_TRUE(back.LoadFromSetupOptionIni(product));
        ASSERT_TRUE(back.medium.loaded);
        EXPECT_EQ(back.medium.selected, store.medium.selected);
        ASSERT_EQ(back.end.products.size(), store.end.products.size());
        for (size_t i = 0; i < store.end.products.size(); ++i) {
            EXPECT_EQ(back.end.products[i], store.end.products[i]) << "end " << i + 1;
        }
        ASSERT_TRUE(back.start_page.active);
        EXPECT_EQ(back.start_page.info, store.start_page.info);
        EXPECT_EQ(back.start_page.page_list, store.start_page.page_list);
        ASSERT_TRUE(back.option.valid);
        EXPECT_EQ(back.option.UpdateLogUrl, store.option.UpdateLogUrl);
        EXPECT_EQ(back.option.EulaURL, store.option.EulaURL);
        EXPECT_EQ(back.option.EulaDownloadPath, store.option.EulaDownloadPath);
        EXPECT_EQ(back.option.EulaRevision, store.option.EulaRevision);
        EXPECT_EQ(back.setup_options.RunAfterSetup, store.setup_options.RunAfterSetup);
        EXPECT_EQ(back.setup_options.CreateDesktopIcon, store.setup_options.CreateDesktopIcon);
        EXPECT_EQ(back.setup_options.CreateStartMenuIcon, store.setup_options.CreateStartMenuIcon);
        EXPECT_EQ(back.setup_options.CreateQuickLaunchIcon, store.setup_options.CreateQuickLaunchIcon);
        EXPECT_EQ(back.setup_options.OpenOstreyWeb, store.setup_options.OpenOstreyWeb);
        EXPECT_EQ(back.product_option.entries[1].state, store.product_option.entries[1].state);
        EXPECT_EQ(back.product_option.entries[2].state, store.product_option.entries[2].state);
        if (HasFailure()) break;
    }
}

}  // namespace
