// Where the advertisement view may go, and which documents count as the advertisement server's
// pages. No Windows header: also runs natively (native/CMakeLists.txt).
#include <gtest/gtest.h>

#include <string>

#include "updater/adview/AdNavigation.h"
#include "updater/adview/AdViewModel.h"

namespace {

constexpr char kAddin[] = "http://ad.example/show/dravel_end_addin.aspx";
constexpr char kNormal[] = "http://ad.example/show/dravel_end_normal.aspx";

// The view's own document may show only the advertisement server's pages; its frames any web
// page; nothing but web addresses anywhere.
TEST(AdNavigation, OnlyWebAddressesAndOnlyTheServersOwnPagesAtTheTop) {
    const struct {
        const char* url;
        bool top_level;
        AdNavigation expected;
    } cases[] = {
        {kAddin, true, AdNavigation::kShow},
        {"HTTP://AD.EXAMPLE/show/other.aspx?x=1", true, AdNavigation::kShow},
        {"https://ad.example/", true, AdNavigation::kShow},
        {"about:blank", true, AdNavigation::kShow},
        {"http://partner.example/", true, AdNavigation::kOpenOutside},
        {"http://ad.example.partner.example/", true, AdNavigation::kOpenOutside},
        {"http://ad.example@partner.example/", true, AdNavigation::kOpenOutside},
        {"http://partner.example\\@ad.example/", true, AdNavigation::kOpenOutside},
        {"http://partner.example/?http://ad.example/", true, AdNavigation::kOpenOutside},
        {"http://partner.example/frame.html", false, AdNavigation::kShow},
        {"file:///C:/Windows/system32/calc.exe", true, AdNavigation::kRefuse},
        {"file:///C:/Windows/system32/calc.exe", false, AdNavigation::kRefuse},
        {"\\\\server\\share\\setup.exe", true, AdNavigation::kRefuse},
        {"javascript:alert(1)", false, AdNavigation::kRefuse},
        {"res://ieframe.dll/navcancl.htm", true, AdNavigation::kRefuse},
        {"mk:@MSITStore:C:\\help.chm::/a.htm", true, AdNavigation::kRefuse},
        {"ftp://ad.example/setup.exe", true, AdNavigation::kRefuse},
        {"http://", true, AdNavigation::kRefuse},
        {"http://ad.example:99999/", true, AdNavigation::kRefuse},
        {"", true, AdNavigation::kRefuse},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DecideAdNavigation(c.url, kAddin, c.top_level), c.expected)
            << c.url << (c.top_level ? " (top)" : " (frame)");
    }
    // Before the view has been sent anywhere, no web address stays at the top.
    EXPECT_EQ(DecideAdNavigation(kAddin, "", true), AdNavigation::kOpenOutside);
}

TEST(AdNavigation, APageIsTheServersWhenServerAndPathMatchWhole) {
    const struct {
        const char* url;
        bool is_page;
    } cases[] = {
        {kAddin, true},
        {"http://AD.example/SHOW/dravel_end_addin.aspx?session=1#top", true},
        {"http://ad.example:80/show/dravel_end_addin.aspx", true},
        {"http://ad.example/show\\dravel_end_addin.aspx", true},
        // Merely containing the page's address is not being it.
        {"http://partner.example/?u=http://ad.example/show/dravel_end_addin.aspx", false},
        {"http://partner.example/http://ad.example/show/dravel_end_addin.aspx", false},
        {"http://ad.example.partner.example/show/dravel_end_addin.aspx", false},
        {"http://ad.example@partner.example/show/dravel_end_addin.aspx", false},
        {"http://ad.example:8080/show/dravel_end_addin.aspx", false},
        {"https://ad.example/show/dravel_end_addin.aspx", false},
        {"http://ad.example/show/dravel_end_addin.aspx.partner/x", false},
        {"http://ad.example/other/show/dravel_end_addin.aspx", false},
        {"file://ad.example/show/dravel_end_addin.aspx", false},
    };
    for (const auto& c : cases) EXPECT_EQ(IsAdPageAddress(c.url, kAddin), c.is_page) << c.url;
    EXPECT_TRUE(IsAdPageAddress("http://127.0.0.1:5000/show/x.aspx",
                                "http://127.0.0.1:5000/show/x.aspx"));
    EXPECT_FALSE(IsAdPageAddress(kAddin, ""));
}

class CountingTaker : public AdOfferTaker {
public:
    bool TakeOffer(const AdPageOffer&) override {
        ++offers;
        return true;
    }
    int offers = 0;
};

// A page elsewhere that carries the marker, an offer and the add-in address in its own address
// must not choose what the elevated copy installs.
TEST(AdNavigation, APageOfAnotherHostNamesNoEndOffer) {
    const std::string page =
        "<html><!--86435486-A14F-4f74-B4AC-444F6968BA1B-->"
        "<input id=\"productName\" value=\"Ferlin\"><input id=\"productLocalName\" value=\"F\">"
        "<input id=\"setupUrl\" value=\"http://partner.example/f.exe\"></html>";
    for (const char* url : {"http://partner.example/x?http://ad.example/show/dravel_end_addin.aspx",
                            "http://ad.example.partner.example/show/dravel_end_addin.aspx"}) {
        AdViewModel model(kAddin, kNormal);
        CountingTaker taker;
        EXPECT_FALSE(model.NeedsSource(url, false)) << url;
        const AdViewStep step = model.OnDocumentComplete(url, page, false, taker);
        EXPECT_EQ(taker.offers, 0) << url;
        EXPECT_FALSE(step.offer_handed);
        EXPECT_EQ(step.view, AdViewStep::View::Unchanged);
        EXPECT_EQ(model.state(), kAdNothingShown);
        // The server's own page still does.
        EXPECT_EQ(model.OnDocumentComplete(kAddin, page, false, taker).view,
                  AdViewStep::View::Show);
        EXPECT_EQ(taker.offers, 1);
    }
}

}  // namespace
