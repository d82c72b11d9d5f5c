// The completion page's advertisement against the machine: the form data read from the
// registry and the system, and the two pages of the advertisement server (the loopback server)
// fetched as the page's view asks for them, read from their text and handed to the end offer.
#include <gtest/gtest.h>

#include <wininet.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/LoopbackServer.h"
#include "tests/support/TestSupport.h"
#include "updater/data/UpdateInfo.h"
#include "updater/offers/AdditionalInstall.h"
#include "updater/adview/CompletionAd.h"

using namespace testsupport;

namespace {

const std::string kSuite = "Software\\Quindel\\";
const std::string kFoundEntry = "notgorsk#0.0#\xB0\xF8\xB0\xB3\xBF\xEB#ko-kr|";
// avast!: an international product known by its uninstall key alone.
const std::string kAvastUninstall =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\avast!";
const ProductSettings kUpdated{"Ferlin", "3.1.0.2", "ko-KR", "Free"};

// The "o=" part as this process sees the system.
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

std::string ProductList(const std::string& form_data) {
    const size_t at = form_data.find("&i=");
    return at == std::string::npos ? "<no list>" : form_data.substr(at + 3);
}

class SuiteProducts : public ::testing::Test {
protected:
    std::vector<std::unique_ptr<ScopedRegTree>> trees;
    std::vector<std::unique_ptr<ScopedRegValue>> values;

    void SetUp() override {
        // The agent's own key carries complete values here, so that only its name leaves it out.
        for (const char* name : {"Version", "LicenseType", "Locale"}) {
            values.push_back(
                std::make_unique<ScopedRegValue>(HKEY_LOCAL_MACHINE, kSuite + "Dravel", name));
            SetRegString(HKEY_LOCAL_MACHINE, kSuite + "Dravel", name, "1");
        }
        for (View view : {View::View32, View::View64}) {
            DeleteRegTree(HKEY_LOCAL_MACHINE, kAvastUninstall, view);
            trees.push_back(
                std::make_unique<ScopedRegTree>(HKEY_LOCAL_MACHINE, kAvastUninstall, view));
        }
        ASSERT_EQ(ProductList(CAdParams().Get(kUpdated)), "")
            << "another suite product or antivirus product is registered";
    }

    // A suite product with its three values (an empty one is stored as empty) in one view.
    void AddProduct(const std::string& name, View view, const std::string& version,
                    const std::string& licence, const std::string& locale) {
        trees.push_back(std::make_unique<ScopedRegTree>(HKEY_LOCAL_MACHINE, kSuite + name, view));
        ASSERT_TRUE(SetRegString(HKEY_LOCAL_MACHINE, kSuite + name, "Version", version, view));
        ASSERT_TRUE(SetRegString(HKEY_LOCAL_MACHINE, kSuite + name, "LicenseType", licence, view));
        ASSERT_TRUE(SetRegString(HKEY_LOCAL_MACHINE, kSuite + name, "Locale", locale, view));
    }
};

TEST_F(SuiteProducts, FormDataListsTheProductsOfBothViewsSixtyFourBitFirst) {
    // Names chosen so that the view order, not the alphabet, decides.
    const std::string only64 = UniqueName("Zeta");
    const std::string only32 = UniqueName("Alpha");
    const std::string both = UniqueName("Mid");
    const std::string no_locale = UniqueName("Beta");
    AddProduct(only64, View::View64, "2.0", "Pro", "en-US");
    AddProduct(only32, View::View32, "1.0", "Free", "ko-KR");
    AddProduct(both, View::View64, "5.0", "Pro", "ko-KR");
    AddProduct(both, View::View32, "4.0", "Free", "ko-KR");
    AddProduct(no_locale, View::View32, "1.0", "Free", "");

    const std::string text = CAdParams().Get(kUpdated);
    EXPECT_EQ(text, "p=Ferlin#3.1.0.2#ko-KR#Free&" + SystemPart() + "&i=" + both +
                        "#5.0#Pro#ko-KR|" + only64 + "#2.0#Pro#en-US|" + only32 +
                        "#1.0#Free#ko-KR|");
}

TEST_F(SuiteProducts, AntivirusEntriesEndTheList) {
    for (View view : {View::View32, View::View64}) {
        ASSERT_TRUE(SetRegString(HKEY_LOCAL_MACHINE, kAvastUninstall, "DisplayName", "x", view));
        EXPECT_EQ(ProductList(CAdParams().Get(kUpdated)),
                  kFoundEntry + "international_avs#0.0#public#ko-kr|");
        ASSERT_TRUE(DeleteRegTree(HKEY_LOCAL_MACHINE, kAvastUninstall, view));
    }
}

TEST_F(SuiteProducts, FormDataIsBuiltOnceEvenWhenTheProductsChange) {
    CAdParams params;
    const std::string first = params.Get(kUpdated);
    const std::string added = UniqueName("Late");
    AddProduct(added, View::View32, "1.0", "Free", "ko-KR");
    ASSERT_TRUE(
        SetRegString(HKEY_LOCAL_MACHINE, kAvastUninstall, "DisplayName", "x", View::View32));
    EXPECT_EQ(params.Get(ProductSettings{"Other", "9", "en-US", "Pro"}), first);
    // A new page would see them.
    EXPECT_EQ(ProductList(CAdParams().Get(kUpdated)),
              added + "#1.0#Free#ko-KR|" + kFoundEntry + "international_avs#0.0#public#ko-kr|");
}

// ---- the advertisement server ----

// Fetches a page the way the page's view navigates to it: a POST of the form data with the
// form header, never from the cache. False when no answer arrived.
bool PostLikeTheView(const std::string& url, const std::string& form_data, std::string* page) {
    page->clear();
    HINTERNET internet = InternetOpenA("", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    if (!internet) return false;
    URL_COMPONENTSA parts = {};
    parts.dwStructSize = sizeof(parts);
    char host[256] = {}, path[1024] = {};
    parts.lpszHostName = host;
    parts.dwHostNameLength = sizeof(host);
    parts.lpszUrlPath = path;
    parts.dwUrlPathLength = sizeof(path);
    bool ok = InternetCrackUrlA(url.c_str(), 0, 0, &parts) != FALSE;
    HINTERNET connection = ok ? InternetConnectA(internet, host, parts.nPort, nullptr, nullptr,
                                                 INTERNET_SERVICE_HTTP, 0, 0)
                              : nullptr;
    HINTERNET request =
        connection ? HttpOpenRequestA(connection, "POST", path, nullptr, nullptr, nullptr,
                                      INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE, 0)
                   : nullptr;
    ok = request && HttpSendRequestA(request, kAdPostHeaders, static_cast<DWORD>(-1),
                                     const_cast<char*>(form_data.data()),
                                     static_cast<DWORD>(form_data.size()));
    char buffer[4096];
    DWORD read = 0;
    while (ok && InternetReadFile(request, buffer, sizeof(buffer), &read) && read > 0) {
        page->append(buffer, read);
    }
    if (request) InternetCloseHandle(request);
    if (connection) InternetCloseHandle(connection);
    InternetCloseHandle(internet);
    return ok;
}

const std::string kMarker(kAdPageMarker);

std::string AddinPage(const std::string& product, const std::string& url) {
    // Quoted both ways and bare, as a hand-written page may have it.
    const std::string name = "<input type=hidden id=\"productName\" value=\"" + product + "\">";
    const std::string address = "<input type=hidden id='setupUrl' value='" + url + "'>";
    return "<html><head>" + kMarker + "</head><body><img src=\"banner.gif\">" + name + address +
           "<input type=hidden id=productLocalName value=\"Ferlin &amp; Co\">"
           "<input type=hidden id=ver value=2.0><input type=hidden id=btn_selector value=1>"
           "</body></html>";
}

class AdvertisementServer : public ::testing::Test {
protected:
    LoopbackServer server;
    ScopedRegValue host{HKEY_LOCAL_MACHINE, "Software\\Quindel\\Dravel", "AdServerHost", View::View32};
    CUpdateInfo update_info;
    CEndInstall end_offer;
    const std::string form_data = "p=Ferlin#3.1.0.2#ko-KR#Free&o=0601&i=";
    std::unique_ptr<AdViewModel> model;

    void SetUp() override {
        ASSERT_TRUE(server.ok());
        ASSERT_TRUE(SetRegString(HKEY_LOCAL_MACHINE, "Software\\Quindel\\Dravel", "AdServerHost",
                                 server.host(), View::View32));
        ASSERT_EQ(AddinAdAddress(), server.Url(kAddinAdPath));
        ASSERT_EQ(NormalAdAddress(), server.Url(kNormalAdPath));
        model = std::make_unique<AdViewModel>(AddinAdAddress(), NormalAdAddress());
        update_info.EngName = "Ferlin";
    }

    // Loads a page as the view does and lets the model take its step.
    AdViewStep Complete(const std::string& address) {
        std::string page;
        EXPECT_TRUE(PostLikeTheView(address, form_data, &page)) << address;
        CEndOfferTaker taker(&end_offer, &update_info);
        return model->OnDocumentComplete(address, page, false, taker);
    }
};

TEST_F(AdvertisementServer, AnAddinPageSuppliesTheEndOfferWithoutADigest) {
    TempDir dir;
    const std::string record = dir.File("setup-record.txt");
    server.Serve("/setup/ferlin.exe",
                 ReadTextFile(Join(DoublesDir(), "offer_setup.exe")).value_or(""));
    server.Serve(kAddinAdPath, AddinPage("FerlinViewer", server.Url("/setup/ferlin.exe")));

    const AdViewStep step = Complete(AddinAdAddress());
    EXPECT_EQ(step.view, AdViewStep::View::Show);
    EXPECT_FALSE(step.request_normal_page);
    EXPECT_EQ(model->state(), kAdAddinShown);

    // The request the view makes: the form data as the body, with the form header.
    const auto requests = server.RequestsFor(kAddinAdPath);
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].method, "POST");
    EXPECT_EQ(requests[0].body, form_data);
    EXPECT_EQ(requests[0].Header("Content-Type"), "application/x-www-form-urlencoded");

    ASSERT_TRUE(end_offer.loaded);
    EXPECT_EQ(end_offer.parent_product, "Ferlin");
    EXPECT_EQ(end_offer.selected.ProductName, "FerlinViewer");
    EXPECT_EQ(end_offer.selected.ProductLocalName, "Ferlin & Co");
    EXPECT_EQ(end_offer.selected.version, "2.0");
    EXPECT_EQ(end_offer.selected.CheckboxDefault, 1);
    EXPECT_EQ(end_offer.selected.SetupChecksum, "");
    EXPECT_EQ(end_offer.GetTitle(), "Also install Ferlin & Co");
    EXPECT_TRUE(end_offer.checkbox_shown);

    // Without a digest the offer's setup runs unchecked, told which product was updated.
    SetEnvironmentVariableA("OFFER_SETUP_RECORD", record.c_str());
    const bool installed = end_offer.Install();
    SetEnvironmentVariableA("OFFER_SETUP_RECORD", nullptr);
    EXPECT_TRUE(installed);
    EXPECT_EQ(end_offer.install_result, 1);
    EXPECT_NE(ReadTextFile(record).value_or("").find("/parentproduct=\"Ferlin\""),
              std::string::npos);
}

TEST_F(AdvertisementServer, AnAddinPageWithoutAnAddressFallsBackToTheNormalPage) {
    server.Serve(kAddinAdPath, AddinPage("FerlinViewer", ""));
    server.Serve(kNormalAdPath, "<html>" + kMarker + "<img src=\"banner.gif\"></html>");

    AdViewStep step = Complete(AddinAdAddress());
    EXPECT_EQ(step.view, AdViewStep::View::Hide);
    EXPECT_TRUE(step.request_normal_page);
    EXPECT_FALSE(end_offer.loaded);

    step = Complete(NormalAdAddress());
    EXPECT_EQ(step.view, AdViewStep::View::Show);
    EXPECT_EQ(model->state(), kAdNormalShown);
    EXPECT_EQ(server.RequestsFor(kNormalAdPath).size(), 1u);
    EXPECT_FALSE(end_offer.loaded);
}

TEST_F(AdvertisementServer, PagesWithoutTheMarkerAreNeverShown) {
    std::string unmarked = AddinPage("FerlinViewer", "http://setup.example/f.exe");
    unmarked.erase(unmarked.find(kMarker), kMarker.size());
    server.Serve(kAddinAdPath, unmarked);
    server.Serve(kNormalAdPath, "<html><img src=\"banner.gif\"></html>");

    AdViewStep step = Complete(AddinAdAddress());
    EXPECT_EQ(step.view, AdViewStep::View::Hide);
    EXPECT_TRUE(step.request_normal_page);
    step = Complete(NormalAdAddress());
    EXPECT_EQ(step.view, AdViewStep::View::Hide);
    EXPECT_EQ(model->state(), kAdNothingShown);
    EXPECT_FALSE(end_offer.loaded);

    // A server that answers with an error page is no different.
    server.Serve(kAddinAdPath, "not found", 404);
    model = std::make_unique<AdViewModel>(AddinAdAddress(), NormalAdAddress());
    EXPECT_TRUE(Complete(AddinAdAddress()).request_normal_page);
}

TEST_F(AdvertisementServer, AHostileProductNameNeverLeadsOutOfTheOfferFolder) {
    server.Serve("/setup/evil.exe", "MZ");
    server.Serve(kAddinAdPath, AddinPage("..\\..\\..\\evil", server.Url("/setup/evil.exe")));
    // The end offer takes the record (it has a name, an address and a local name)...
    EXPECT_EQ(Complete(AddinAdAddress()).view, AdViewStep::View::Show);
    ASSERT_TRUE(end_offer.loaded);
    // ...but never fetches or writes the setup program under that name.
    EXPECT_FALSE(end_offer.Install());
    EXPECT_EQ(end_offer.install_result, 0);
    EXPECT_TRUE(server.RequestsFor("/setup/evil.exe").empty());
}

TEST(AdOfferRecord, TheCaptionIsTheModulesFormatWithTheLocalName) {
    AdPageOffer offer;
    offer.product_name = "FerlinViewer";
    offer.local_name = "100% Ferlin";
    offer.setup_url = "http://setup.example/f.exe";
    offer.version = "2.0";
    offer.default_selection = 1;
    const AdditionalInstallInfo record = EndOfferRecord(offer);
    EXPECT_EQ(record.ProductName, "FerlinViewer");
    EXPECT_EQ(record.SetupURL, "http://setup.example/f.exe");
    EXPECT_EQ(record.CheckboxDefault, 1);
    EXPECT_EQ(record.TitleNew, "Also install 100% Ferlin");
    EXPECT_EQ(record.SetupChecksum, "");

    // Without an end offer nothing is taken.
    CEndOfferTaker nobody(nullptr, nullptr);
    EXPECT_FALSE(nobody.TakeOffer(offer));
    // Without update information the updated product's name is empty.
    CEndInstall end_offer;
    CEndOfferTaker taker(&end_offer, nullptr);
    EXPECT_TRUE(taker.TakeOffer(offer));
    EXPECT_EQ(end_offer.parent_product, "");
}

}  // namespace
