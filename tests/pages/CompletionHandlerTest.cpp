// The completion page's own handler of a completed advertisement document. This platform's
// browser control sends the page's requests but never completes a document, so the test raises
// the completion itself, with a document it supplies, on a page made as the window makes it (its
// view created by the request for the add-in page); the view, the page's requests and the end
// offer are then looked at as the user and the server would see them.
#include <gtest/gtest.h>

#include <ole2.h>

#include <memory>
#include <string>
#include <vector>

#include "resources/ResourceIds.h"
#include "tests/support/LoopbackServer.h"
#include "tests/support/TestSupport.h"
#include "updater/adview/CompletionAd.h"
#include "updater/data/UpdateInfo.h"
#include "updater/framework/WinApp.h"
#include "updater/offers/AdditionalInstall.h"
#include "updater/pages/UpdateCompleteDlg.h"

using namespace testsupport;

namespace {

const std::string kMarker(kAdPageMarker);

class SuppliedDocument : public WebUIDocument {
public:
    explicit SuppliedDocument(std::string text) : text_(std::move(text)) {}
    std::string Source() const override {
        ++reads;
        return text_;
    }
    mutable int reads = 0;

private:
    std::string text_;
};

std::string AddinPage(const std::string& marker, const std::string& setup_url) {
    return "<html><head>" + marker + "</head><body>"
           "<input type=hidden id=productName value=\"FerlinViewer\">"
           "<input type=hidden id=setupUrl value=\"" + setup_url + "\">"
           "<input type=hidden id=productLocalName value=\"Ferlin Viewer\">"
           "<input type=hidden id=ver value=2.0><input type=hidden id=btn_selector value=1>"
           "</body></html>";
}

// The language module's templates and bitmaps for the page, as the program loads them.
class LanguageModule {
public:
    LanguageModule() : previous_(framework::ResourceHandle()) {
        module_ = LoadLibraryA(Join(BinDir(), "ko-KR.dll").c_str());
        if (module_) framework::SetResourceHandle(module_);
    }
    ~LanguageModule() {
        framework::SetResourceHandle(previous_);
        if (module_) FreeLibrary(module_);
    }
    bool ok() const { return module_ != nullptr; }

private:
    HINSTANCE previous_;
    HMODULE module_ = nullptr;
};

// One completed document and what the page must have done after it.
struct Step {
    bool addin;  // the add-in page's address, else the normal page's
    std::string source;
    bool view_shown;
    bool normal_page_asked;
    int ad_state;
};

struct Scenario {
    const char* name;
    std::vector<Step> steps;
    bool offer_taken;
};

class CompletionHandler : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server.ok());
        ASSERT_TRUE(module.ok()) << "no language module in " << BinDir();
        ASSERT_TRUE(SetRegString(HKEY_LOCAL_MACHINE, "Software\\Quindel\\Dravel", "AdServerHost",
                                 server.host(), View::View32));
        ole_ = SUCCEEDED(OleInitialize(nullptr));
        parent_ = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 640, 480, nullptr, nullptr,
                                  GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(parent_, nullptr);
        update_info.EngName = "Ferlin";
        end_offer = std::make_unique<CEndInstall>();
        page = std::make_unique<CUpdateCompleteDlg>();
        ASSERT_TRUE(page->SetUp(parent_, &update_info, end_offer.get(), kUpdated));
        ASSERT_EQ(View(), nullptr) << "the view is made before any page is asked for";
        page->RequestAddinAd();
        ASSERT_NE(View(), nullptr) << "no browser control";
        ASSERT_TRUE(WaitUntil([&] { return !server.RequestsFor(kAddinAdPath).empty(); }, 20000));
    }
    void TearDown() override {
        page.reset();
        end_offer.reset();
        if (parent_) DestroyWindow(parent_);
        parent_ = nullptr;
        if (ole_) OleUninitialize();
        ole_ = false;
    }

    HWND View() const { return GetDlgItem(page->hwnd(), IDC_RUNTIME_CHILD); }
    // The page is never shown here, so the view's own style tells whether it would be.
    bool ViewShown() const { return (GetWindowLongA(View(), GWL_STYLE) & WS_VISIBLE) != 0; }
    // Takes the page's request for the normal page from its queue and lets the page carry it out.
    bool TakeNormalPageRequest() {
        MSG msg;
        if (!PeekMessageA(&msg, page->hwnd(), kMsgRequestNormalAd, kMsgRequestNormalAd, PM_REMOVE)) {
            return false;
        }
        DispatchMessageA(&msg);
        return true;
    }

    const ProductSettings kUpdated{"Ferlin", "3.1.0.2", "ko-KR", "Free"};
    LoopbackServer server;
    ScopedRegValue host{HKEY_LOCAL_MACHINE, "Software\\Quindel\\Dravel", "AdServerHost",
                        View::View32};
    LanguageModule module;
    CUpdateInfo update_info;
    std::unique_ptr<CEndInstall> end_offer;
    std::unique_ptr<CUpdateCompleteDlg> page;

private:
    bool ole_ = false;
    HWND parent_ = nullptr;
};

TEST_F(CompletionHandler, ShowsOrHidesTheViewTakesTheOfferAndAsksForTheNormalPage) {
    const std::string setup = "http://127.0.0.1:9/ferlin_viewer.exe";
    const std::string marked_normal = "<html>" + kMarker + "<img src=banner.gif></html>";
    const Scenario scenarios[] = {
        {"an add-in page with an offer",
         {{true, AddinPage(kMarker, setup), true, false, kAdAddinShown}},
         true},
        {"an add-in page without the marker, then the normal page",
         {{true, AddinPage("", setup), false, true, kAdNormalRequested},
          {false, marked_normal, true, false, kAdNormalShown}},
         false},
        {"an add-in page without an address, then a normal page without the marker",
         {{true, AddinPage(kMarker, ""), false, true, kAdNormalRequested},
          {false, "<html>no marker</html>", false, false, kAdNothingShown}},
         false},
        {"the normal page before it was asked for",
         {{false, marked_normal, false, false, kAdNothingShown}},
         false},
    };
    bool first = true;
    for (const Scenario& scenario : scenarios) {
        SCOPED_TRACE(scenario.name);
        if (!first) {
            // Each scenario on a page of its own, as each update has one.
            TearDown();
            SetUp();
            if (HasFatalFailure()) return;
        }
        first = false;
        for (const Step& step : scenario.steps) {
            const std::string url = step.addin ? AddinAdAddress() : NormalAdAddress();
            SuppliedDocument document(step.source);
            const size_t normal_requests = server.RequestsFor(kNormalAdPath).size();
            page->OnDocumentComplete(url + "?from=test", document);

            EXPECT_EQ(ViewShown(), step.view_shown) << url;
            EXPECT_EQ(page->ad_state(), step.ad_state) << url;
            const bool asked = TakeNormalPageRequest();
            EXPECT_EQ(asked, step.normal_page_asked) << url;
            if (asked) {
                // The view carries the request out: the normal page, with the same form data.
                ASSERT_TRUE(WaitUntil(
                    [&] { return server.RequestsFor(kNormalAdPath).size() > normal_requests; },
                    20000));
                const auto addin = server.RequestsFor(kAddinAdPath);
                const auto normal = server.RequestsFor(kNormalAdPath);
                EXPECT_EQ(normal.back().method, "POST");
                ASSERT_FALSE(addin.empty());
                EXPECT_EQ(normal.back().body, addin.front().body);
            }
        }
        EXPECT_EQ(end_offer->loaded, scenario.offer_taken);
        if (scenario.offer_taken) {
            EXPECT_EQ(end_offer->selected.ProductName, "FerlinViewer");
            EXPECT_EQ(end_offer->selected.SetupURL, setup);
            EXPECT_EQ(end_offer->parent_product, "Ferlin");
        }
    }
}

// Only the two pages' documents are read: the text of anything else loaded in the view (a
// frame, a page it was led to) is never fetched, and nothing changes.
TEST_F(CompletionHandler, ADocumentOfAnotherAddressIsNeitherReadNorActedOn) {
    SuppliedDocument document(AddinPage(kMarker, "http://127.0.0.1:9/x.exe"));
    page->OnDocumentComplete("http://elsewhere.example/show/dravel_end_addin.aspx", document);
    EXPECT_EQ(document.reads, 0);
    EXPECT_FALSE(ViewShown());
    EXPECT_FALSE(TakeNormalPageRequest());
    EXPECT_EQ(page->ad_state(), kAdNothingShown);
    EXPECT_FALSE(end_offer->loaded);
}

}  // namespace
