// The start-page offer's rules without Windows: check addresses, the start-page class, the
// enumeration list's entries and the report placeholders. Includes no Windows header, so it
// also runs natively under the sanitizers.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "updater/offers/StartPageRules.h"

namespace {

std::map<int, std::string> ListOf(const std::string& xml) {
    XmlNode document;
    EXPECT_TRUE(LoadXmlText(xml, &document)) << xml;
    std::map<int, std::string> list;
    AddEnumerationEntries(document, &list, nullptr);
    return list;
}

std::string Tagged(const std::string& text) { return "[" + text + "]"; }

TEST(CheckUrls, PartsFollowTheSeparatorsExactly) {
    using Parts = std::vector<std::string>;
    EXPECT_EQ(SplitCheckUrls("a.test;b.test"), (Parts{"a.test", "b.test"}));
    EXPECT_EQ(SplitCheckUrls("a.test;"), (Parts{"a.test"}));       // nothing after the last ";"
    EXPECT_EQ(SplitCheckUrls(";a.test"), (Parts{"", "a.test"}));
    EXPECT_EQ(SplitCheckUrls("a;;b"), (Parts{"a", "", "b"}));
    EXPECT_EQ(SplitCheckUrls(";;;"), (Parts{"", "", ""}));
    EXPECT_EQ(SplitCheckUrls(""), Parts{});
    EXPECT_EQ(SplitCheckUrls(" a ; b "), (Parts{" a ", " b "}));  // blanks belong to the parts
}

TEST(CheckUrls, AnyPartInTheCurrentPageCountsAsSet) {
    EXPECT_TRUE(PageHoldsCheckUrl("http://www.portal.test/home", "other.test;portal.test"));
    EXPECT_FALSE(PageHoldsCheckUrl("http://www.PORTAL.test/", "portal.test"));  // case counts
    EXPECT_FALSE(PageHoldsCheckUrl("", "portal.test"));
    EXPECT_FALSE(PageHoldsCheckUrl("", "a;;b"));  // an empty page holds nothing
    // An empty part occurs in every non-empty page, wherever it stands.
    EXPECT_TRUE(PageHoldsCheckUrl("http://unrelated.test/", "zz;;yy"));
    EXPECT_TRUE(PageHoldsCheckUrl("http://unrelated.test/", ";zz"));
    EXPECT_FALSE(PageHoldsCheckUrl("http://unrelated.test/", "zz;"));
    EXPECT_FALSE(PageHoldsCheckUrl("http://unrelated.test/", ""));
    // A long page is searched to its end.
    std::string long_page = "http://x.test/?" + std::string(2050, 'q') + "portal.test";
    EXPECT_TRUE(PageHoldsCheckUrl(long_page, "portal.test"));
}

TEST(PageClass, PortalTableOnlyWithoutAListAndOnTheLowerCasedPage) {
    const std::map<int, std::string> none;
    EXPECT_EQ(StartPageClass("HTTP://WWW.NAVER.COM/", none), 1);
    EXPECT_EQ(StartPageClass("http://www.daum.net/", none), 2);
    EXPECT_EQ(StartPageClass("http://kr.Yahoo.com/", none), 3);
    EXPECT_EQ(StartPageClass("http://www.empas.com", none), 4);
    EXPECT_EQ(StartPageClass("http://www.nate.com/", none), 5);
    EXPECT_EQ(StartPageClass("http://www.google.com/", none), 6);
    // The first portal of the table wins when a page names several.
    EXPECT_EQ(StartPageClass("http://www.google.com/?q=naver.com", none), 1);
    EXPECT_EQ(StartPageClass("http://portal.test/", none), kStartPageClassNone);
    EXPECT_EQ(StartPageClass("", none), kStartPageClassNone);

    // With a list, the table is not looked at; entries are tried by ascending number.
    const std::map<int, std::string> list = {{9, "naver.com"}, {4, "Portal.TEST"}};
    EXPECT_EQ(StartPageClass("http://www.naver.com/", list), 9);
    EXPECT_EQ(StartPageClass("http://PORTAL.test/?naver.com", list), 4);
    EXPECT_EQ(StartPageClass("http://www.google.com/", list), kStartPageClassNone);
    EXPECT_EQ(StartPageClass("", list), kStartPageClassNone);
    // An empty address never claims a page.
    EXPECT_EQ(StartPageClass("http://x.test/", {{0, ""}, {2, "x.test"}}), 2);
}

TEST(EnumerationEntries, FirstEntryPerNumberAndOnlyUsableEntries) {
    auto list = ListOf(
        "<List><StartPage Index=\"3\">three.test</StartPage>"
        "<startpage Index=\"1\">one.test</startpage>"
        "<STARTPAGE Index=\"3\">later.test</STARTPAGE>"      // the first entry per number stays
        "<StartPage index=\"5\">lower-case attribute</StartPage>"
        "<StartPage>no index</StartPage>"
        "<StartPage Index=\"-2\">negative.test</StartPage>"
        "<StartPage Index=\"x7\">garbage.test</StartPage>"
        "<StartPage Index=\"99999999999\">overflow.test</StartPage>"
        "<StartPage Index=\" 8 \">eight.test</StartPage>"
        "<StartPage Index=\"6\"></StartPage>"
        "<Other Index=\"7\">other.test</Other>"
        "<Group><StartPage Index=\"4\">nested.test</StartPage></Group></List>");
    const std::map<int, std::string> expected = {{1, "one.test"}, {3, "three.test"},
                                                 {8, "eight.test"}};
    EXPECT_EQ(list, expected);
}

TEST(EnumerationEntries, AddsToWhatIsThereAndStopsAtTheLimit) {
    std::map<int, std::string> list = {{1, "kept.test"}};
    XmlNode document;
    ASSERT_TRUE(LoadXmlText("<l><StartPage Index='1'>new.test</StartPage>"
                            "<StartPage Index='2'>two.test</StartPage></l>",
                            &document));
    AddEnumerationEntries(document, &list, &Tagged);
    EXPECT_EQ(list, (std::map<int, std::string>{{1, "kept.test"}, {2, "[two.test]"}}));

    std::string many = "<l>";
    for (int i = 0; i < 2000; ++i) {
        many += "<StartPage Index='" + std::to_string(i) + "'>p" + std::to_string(i) + "</StartPage>";
    }
    many += "</l>";
    auto capped = ListOf(many);
    ASSERT_EQ(capped.size(), static_cast<size_t>(kStartPageListLimit));
    EXPECT_EQ(capped.rbegin()->first, kStartPageListLimit - 1);
}

TEST(ListIndex, WholeNonNegativeNumbersOnly) {
    int index = -1;
    EXPECT_TRUE(ParseListIndex("0", &index));
    EXPECT_EQ(index, 0);
    EXPECT_TRUE(ParseListIndex("2147483647", &index));
    EXPECT_EQ(index, 2147483647);
    for (const char* bad : {"", " ", "-1", "+1", "2147483648", "1.5", "1a", "a1", "0x10"}) {
        EXPECT_FALSE(ParseListIndex(bad, &index)) << bad;
    }
}

TEST(Placeholders, EveryNameFilledOnceAndIdsNeverMistakenForPages) {
    StartPageReport report;
    report.current_page_class = 4;
    report.mode = 1;
    report.change_result = 2;
    report.send_result = 1;
    report.product = "Fennick";
    report.os_version = "9.2.6.1";

    std::string vendor = FillReportNames(std::string("http://stat.test") + kVendorReportPathAndQuery,
                                         "Fennick", "home1");
    EXPECT_EQ(vendor.find("%StartPageID%"), std::string::npos);
    EXPECT_EQ(FillVendorReport(vendor, report),
              "http://stat.test/InstallerPattern.aspx?url=4&no=1&pd=dv_Fennick&cr=2&sr=1&cv=1.0"
              "&ov=9.2.6.1&ch=home1");

    // The partner knows no send result and no cooperation version, but the version.
    EXPECT_EQ(FillPartnerReport("p?a=%StartPage%&b=%CheckBoxState%&c=%Product%&d=%ChangeResult%"
                                "&e=%Version%&f=%OSVer%&g=%SendResult%&h=%CoopVer%&i=%StartPageID%",
                                report),
              "p?a=4&b=1&c=Fennick&d=2&e=1.0&f=9.2.6.1&g=%SendResult%&h=%CoopVer%"
              "&i=%StartPageID%");
    // Every occurrence, next to each other and at both ends.
    EXPECT_EQ(FillVendorReport("%StartPage%%StartPage%x%StartPage%", report), "44x4");
    // "%ProductName%" belongs to the first step; the later one leaves it.
    EXPECT_EQ(FillReportNames("%ProductName%/%Product%", "P", "id"), "P/%Product%");
}

TEST(Placeholders, InsertedValuesAreNotReadAgain) {
    StartPageReport report;
    report.product = "%ChangeResult%";
    report.change_result = 5;
    EXPECT_EQ(FillVendorReport("%Product%-%ChangeResult%", report), "%25ChangeResult%25-5");
    EXPECT_EQ(FillReportNames("%StartPageID%", "p", "%ProductName%"), "%25ProductName%25");
    // Broken and unknown names stay as they are.
    EXPECT_EQ(FillVendorReport("100% %StartPage %Other% %", report), "100% %StartPage %Other% %");
    EXPECT_EQ(FillVendorReport("%StartPage", report), "%StartPage");
}

// A name with the query's own characters stays one value of its field, in both reports.
TEST(Placeholders, NamesAreEscapedAsTheUpdateLogsValuesAre) {
    StartPageReport report;
    report.product = "A&b=1 #x";
    const std::string names = FillReportNames("pd=%ProductName%&ch=%StartPageID%", "P&x=1", "id+1?");
    EXPECT_EQ(names, "pd=P%26x%3d1&ch=id%2b1%3f");
    EXPECT_EQ(FillVendorReport("pd=dv_%Product%&cr=%ChangeResult%", report),
              "pd=dv_A%26b%3d1%20%23x&cr=0");
    EXPECT_EQ(FillPartnerReport("c=%Product%", report), "c=A%26b%3d1%20%23x");
    // Plain names are left as they are.
    EXPECT_EQ(FillReportNames("%ProductName%", "Fennick", "home1"), "Fennick");
}

TEST(SendLogCommand, AddressStaysOneArgument) {
    EXPECT_EQ(SendLogParameters("http://p.test/r?a=1"), "/SendLog \"http://p.test/r?a=1\"");
    EXPECT_EQ(SendLogParameters("http://p.test/\"x\""), "/SendLog \"http://p.test/%22x%22\"");
    EXPECT_EQ(SendLogParameters("http://p.test/a\\\\"), "/SendLog \"http://p.test/a\\\\\\\\\"");
    EXPECT_EQ(SendLogParameters(""), "/SendLog \"\"");
}

TEST(LinkNames, OnlyPlainFileNames) {
    EXPECT_TRUE(IsPlainFileName("Portal home"));
    EXPECT_TRUE(IsPlainFileName("\xC6\xF7\xC5\xBB"));  // code-page text
    for (const char* bad : {"", ".", "..", "..\\evil", "a/b", "c:x", "a*", "a?", "q\"", "<a>",
                            "a|b", "line\nbreak", "tab\t"}) {
        EXPECT_FALSE(IsPlainFileName(bad)) << bad;
    }
}

}  // namespace
