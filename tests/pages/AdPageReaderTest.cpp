// Reading the advertisement pages from their text, and what the completion page does with each
// completed document. No Windows header: these also run natively under the sanitizers.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "updater/adview/AdPageReader.h"
#include "updater/adview/AdViewModel.h"

namespace {

const std::string kMarker(kAdPageMarker);

std::string Input(const std::string& id, const std::string& value) {
    return "<input type=\"hidden\" id=\"" + id + "\" value=\"" + value + "\">\n";
}

// An add-in page as the server writes it: the marker and six hidden inputs.
std::string AddinPage(const std::string& product = "Ferlin",
                      const std::string& url = "http://setup.example/ferlin.exe",
                      const std::string& local = "Ferlin Viewer", const std::string& check = "0",
                      const std::string& selector = "0") {
    return "<html><head>" + kMarker + "<title>ad</title></head><body>\n" +
           Input("productName", product) + Input("setupUrl", url) +
           Input("productLocalName", local) + Input("ver", "2.1.0.4") +
           Input("btn_checkselector", check) + Input("btn_selector", selector) + "</body></html>";
}

TEST(AdPageText, ValuesAreQuotedEitherWayOrBareAndIdsComeInAnyOrder) {
    const std::string page =
        "<div><INPUT VALUE='single' ID='b'><input id=c value=bare/><p id=\"a\" class=x "
        "value = \"double\"></p><input value=\"x y\" id=\"d\">";
    EXPECT_EQ(ElementValue(page, "a"), "double");
    EXPECT_EQ(ElementValue(page, "b"), "single");
    EXPECT_EQ(ElementValue(page, "c"), "bare/");
    EXPECT_EQ(ElementValue(page, "d"), "x y");
    // No element, or an element without a value, reads as "".
    EXPECT_EQ(ElementValue(page, "e"), "");
    EXPECT_EQ(ElementValue("<span id=\"e\">text</span>", "e"), "");
    // Ids are matched exactly.
    EXPECT_EQ(ElementValue(page, "A"), "");
    EXPECT_EQ(ElementValue(page, "a "), "");
}

TEST(AdPageText, TheFirstElementAndTheFirstAttributeCount) {
    const std::string page =
        "<input id=\"x\" value=\"one\" value=\"two\"><input id=\"x\" value=\"three\">"
        "<input id=\"y\" id=\"z\" value=\"four\">";
    EXPECT_EQ(ElementValue(page, "x"), "one");
    EXPECT_EQ(ElementValue(page, "y"), "four");
    EXPECT_EQ(ElementValue(page, "z"), "");
}

TEST(AdPageText, TagsInCommentsScriptsAndCutOffTagsAreNoElements) {
    EXPECT_EQ(
        ElementValue("<!-- <input id=\"x\" value=\"c\"> --><input id=\"x\" value=\"real\">", "x"),
        "real");
    EXPECT_EQ(ElementValue("<script>var s = '<input id=\"x\" value=\"s\">';</script>"
                           "<input id=\"x\" value=\"real\">",
                           "x"),
              "real");
    // "</scripts" does not end a script; "</SCRIPT >" does.
    EXPECT_EQ(ElementValue(
                  "<script>a</scripts><input id=x value=s></SCRIPT ><input id=x value=real>", "x"),
              "real");
    EXPECT_EQ(ElementValue("<textarea><input id=x value=t></textarea><input id=x value=real>", "x"),
              "real");
    // As in a browser, a script written as self-closed still opens its content.
    EXPECT_EQ(
        ElementValue("<script src=\"a.js\"/><input id=x value=s></script><input id=x value=real>",
                     "x"),
        "real");
    // Whatever follows an unclosed comment, quote or script is part of it.
    EXPECT_EQ(ElementValue("<!-- <input id=x value=c>", "x"), "");
    EXPECT_EQ(ElementValue("<input id=x value=\"cut", "x"), "");
    EXPECT_EQ(ElementValue("<input id=x value=v", "x"), "");
    EXPECT_EQ(ElementValue("<script><input id=x value=s>", "x"), "");
    // End tags, declarations and a lone "<" carry no element.
    EXPECT_EQ(
        ElementValue("<!DOCTYPE html><?xml x?></p id=x value=e>a < b <input id=x value=ok>", "x"),
        "ok");
}

TEST(AdPageText, ReferencesInValuesAreDecodedAndNulBytesNeverPassThrough) {
    EXPECT_EQ(
        ElementValue(
            "<input id=\"u\" value=\"a?b=1&amp;c=&quot;2&quot;&#38;&#x3C;&lt;&gt;&apos;\">", "u"),
        "a?b=1&c=\"2\"&<<>'");
    // References we do not decode stay as written; so do unfinished ones.
    EXPECT_EQ(ElementValue("<input id=u value=\"&nbsp;&#233;&#x;&amp&#99999999999;&\">", "u"),
              "&nbsp;&#233;&#x;&amp&#99999999999;&");
    const char raw[] = "<input id=u value=\"a\0b&#0;\">";
    const std::string with_nul(raw, sizeof(raw) - 1);
    EXPECT_EQ(ElementValue(with_nul, "u"), "a?b?");
    // The id is decoded the same way before it is compared.
    EXPECT_EQ(ElementValue("<input id=\"a&amp;b\" value=v>", "a&b"), "v");
}

TEST(AdPageText, AnAddinPageYieldsItsOffer) {
    AdPageOffer offer;
    ASSERT_TRUE(ReadAdPageOffer(AddinPage(), &offer));
    EXPECT_EQ(offer.product_name, "Ferlin");
    EXPECT_EQ(offer.setup_url, "http://setup.example/ferlin.exe");
    EXPECT_EQ(offer.local_name, "Ferlin Viewer");
    EXPECT_EQ(offer.version, "2.1.0.4");
    EXPECT_EQ(offer.default_selection, 0);

    // "btn_checkselector" decides when it is "1"; otherwise "btn_selector" does.
    const struct {
        const char* check;
        const char* selector;
        int selection;
    } cases[] = {{"1", "0", 1}, {"0", "1", 1}, {"", "1", 1},   {"1", "", 1},
                 {"2", "0", 0}, {"", "", 0},   {" 1", "1 ", 0}};
    for (const auto& c : cases) {
        ASSERT_TRUE(ReadAdPageOffer(AddinPage("F", "u", "L", c.check, c.selector), &offer));
        EXPECT_EQ(offer.default_selection, c.selection) << c.check << "/" << c.selector;
    }
}

TEST(AdPageText, NoOfferWithoutTheMarkerOrWithoutANameOrAddress) {
    AdPageOffer offer;
    std::string page = AddinPage();
    page.erase(page.find(kMarker), kMarker.size());
    EXPECT_FALSE(ReadAdPageOffer(page, &offer));
    // The marker in another case is not the marker.
    std::string lower = AddinPage();
    lower.replace(lower.find("4f74"), 4, "4F74");
    EXPECT_FALSE(ReadAdPageOffer(lower, &offer));

    EXPECT_FALSE(ReadAdPageOffer(AddinPage(""), &offer));
    EXPECT_FALSE(ReadAdPageOffer(AddinPage("F", ""), &offer));
    EXPECT_FALSE(ReadAdPageOffer(AddinPage("F", "u", ""), &offer));
    // The version may be missing.
    EXPECT_TRUE(ReadAdPageOffer(kMarker + "<input id=productName value=F><input id=setupUrl "
                                          "value=u><input id=productLocalName value=L>",
                                &offer));
    EXPECT_EQ(offer.version, "");
    // The marker twice is still one page.
    EXPECT_TRUE(ReadAdPageOffer(kMarker + AddinPage() + kMarker, &offer));
}

TEST(AdPageText, AHugePageIsReadToItsEnd) {
    std::string page = kMarker;
    page.reserve(8 << 20);
    while (page.size() < (8u << 20))
        page += "<div class=\"c\" id=\"n\" value=\"v\"><!-- x --></div>";
    page +=
        "<input id=productName value=F><input id=setupUrl value=u>"
        "<input id=productLocalName value=L>";
    AdPageOffer offer;
    EXPECT_TRUE(ReadAdPageOffer(page, &offer));
    EXPECT_EQ(offer.local_name, "L");
}

// ---- the document-complete steps ----

constexpr char kAddin[] = "http://ad.example/show/dravel_end_addin.aspx";
constexpr char kNormal[] = "http://ad.example/show/dravel_end_normal.aspx";

class RecordingTaker : public AdOfferTaker {
public:
    explicit RecordingTaker(bool accept) : accept_(accept) {}
    bool TakeOffer(const AdPageOffer& offer) override {
        offers.push_back(offer);
        return accept_;
    }
    std::vector<AdPageOffer> offers;

private:
    bool accept_;
};

TEST(AdDocuments, AnAcceptedAddinOfferShowsTheAddinPage) {
    AdViewModel model(kAddin, kNormal);
    RecordingTaker taker(true);
    EXPECT_TRUE(model.NeedsSource(kAddin, false));
    const AdViewStep step = model.OnDocumentComplete(kAddin, AddinPage(), false, taker);
    EXPECT_EQ(step.view, AdViewStep::View::Show);
    EXPECT_FALSE(step.request_normal_page);
    EXPECT_TRUE(step.offer_handed);
    ASSERT_EQ(taker.offers.size(), 1u);
    EXPECT_EQ(taker.offers[0].product_name, "Ferlin");
    EXPECT_EQ(model.state(), kAdAddinShown);
    // Later documents (frames of the page, the normal page) change nothing.
    EXPECT_FALSE(model.NeedsSource(kAddin, false));
    EXPECT_EQ(model.OnDocumentComplete(kAddin, AddinPage(), false, taker).view,
              AdViewStep::View::Unchanged);
    EXPECT_EQ(model.OnDocumentComplete(kNormal, kMarker, false, taker).view,
              AdViewStep::View::Unchanged);
    EXPECT_EQ(taker.offers.size(), 1u);
    EXPECT_EQ(model.state(), kAdAddinShown);
}

TEST(AdDocuments, AnAddinPageWithoutAUsableOfferFallsBackToTheNormalPage) {
    std::string no_marker = AddinPage();
    no_marker.erase(no_marker.find(kMarker), kMarker.size());
    const struct {
        std::string page;
        bool accept;
        bool handed;
    } cases[] = {
        {no_marker, true, false},
        {AddinPage("Ferlin", ""), true, false},  // the marker but an empty setupUrl
        {AddinPage(), false, true},              // the end offer refuses
    };
    for (const auto& c : cases) {
        AdViewModel model(kAddin, kNormal);
        RecordingTaker taker(c.accept);
        const AdViewStep step = model.OnDocumentComplete(kAddin, c.page, false, taker);
        EXPECT_EQ(step.view, AdViewStep::View::Hide);
        EXPECT_TRUE(step.request_normal_page);
        EXPECT_EQ(step.offer_handed, c.handed);
        EXPECT_EQ(taker.offers.size(), c.handed ? 1u : 0u);
        EXPECT_EQ(model.state(), kAdNormalRequested);

        // The normal page is shown only with the marker.
        AdViewModel without = model;
        EXPECT_TRUE(model.NeedsSource(kNormal, false));
        EXPECT_EQ(
            model.OnDocumentComplete(kNormal, "<html>" + kMarker + "</html>", false, taker).view,
            AdViewStep::View::Show);
        EXPECT_EQ(model.state(), kAdNormalShown);
        EXPECT_EQ(without.OnDocumentComplete(kNormal, "<html>no marker</html>", false, taker).view,
                  AdViewStep::View::Hide);
        EXPECT_EQ(without.state(), kAdNothingShown);
    }
}

TEST(AdDocuments, OtherDocumentsAndAShownPageLeaveTheViewAlone) {
    AdViewModel model(kAddin, kNormal);
    RecordingTaker taker(true);
    // A normal page before any request, and unrelated documents, do nothing.
    for (const char* url : {kNormal, "about:blank", "http://ad.example/show/other.aspx"}) {
        EXPECT_FALSE(model.NeedsSource(url, false));
        const AdViewStep step = model.OnDocumentComplete(url, kMarker, false, taker);
        EXPECT_EQ(step.view, AdViewStep::View::Unchanged) << url;
        EXPECT_FALSE(step.request_normal_page);
        EXPECT_EQ(model.state(), kAdNothingShown);
    }
    // The add-in address may carry a query or a fragment.
    RecordingTaker refusing(false);
    EXPECT_TRUE(model.OnDocumentComplete(std::string(kAddin) + "?x=1", AddinPage(), false, refusing)
                    .request_normal_page);
    EXPECT_EQ(model.state(), kAdNormalRequested);

    // Once the page has been shown, any document sets the state back and changes nothing else.
    EXPECT_FALSE(model.NeedsSource(kNormal, true));
    const AdViewStep step = model.OnDocumentComplete(kNormal, kMarker, true, taker);
    EXPECT_EQ(step.view, AdViewStep::View::Unchanged);
    EXPECT_FALSE(step.request_normal_page);
    EXPECT_EQ(model.state(), kAdNothingShown);
    EXPECT_TRUE(taker.offers.empty());

    // An empty address matches no document.
    AdViewModel unset("", "");
    EXPECT_EQ(unset.OnDocumentComplete(kAddin, AddinPage(), false, taker).view,
              AdViewStep::View::Unchanged);
}

}  // namespace

// The end offer's box, the caption and the completion message as the page is shown: the box
// whenever the offer can be offered; the caption over the normal advertisement when there is no
// box; the message unless an advertisement on show takes the page. An offer without any
// advertisement on show (the server down, or nothing completed yet) keeps the message.
TEST(CompletionControls, TheMessageGivesWayOnlyToAnAdvertisementOnShow) {
    const struct {
        bool offerable;
        int state;
        bool box, caption, labels;
    } cases[] = {
        {false, kAdNothingShown, false, false, true},
        {true, kAdNothingShown, true, false, true},
        {false, kAdNormalRequested, false, false, true},
        {true, kAdNormalRequested, true, false, true},
        {true, kAdAddinShown, true, false, false},
        {false, kAdAddinShown, false, false, true},
        {false, kAdNormalShown, false, true, false},
        {true, kAdNormalShown, true, false, false},
    };
    for (const auto& c : cases) {
        const CompletionControls shown = CompletionPageControls(c.offerable, c.state);
        EXPECT_EQ(shown.offer_box, c.box) << c.offerable << " " << c.state;
        EXPECT_EQ(shown.ad_caption, c.caption) << c.offerable << " " << c.state;
        EXPECT_EQ(shown.labels, c.labels) << c.offerable << " " << c.state;
    }
}
