// The advertisement form data from plain values. No Windows header: this also runs natively.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "updater/adview/AdFormData.h"

namespace {

const AdProductFields kProduct{"Ferlin", "3.1.0.2", "ko-KR", "Free"};

AdSystemFields Windows7() {
    AdSystemFields system;
    system.major = 6;
    system.minor = 1;
    system.service_pack_major = 1;
    system.product_type = 1;
    system.processor_architecture = 9;
    system.build = 7601;
    system.suite_mask = 0x100;
    return system;
}

TEST(AdFormData, ThreePartsInTheirOrder) {
    const std::vector<SuiteProductFields> installed = {
        {"Ferlin", "3.1.0.2", "Free", "ko-KR"},
        {"Mosk", "1.0", "Pro", "en-US"},
    };
    EXPECT_EQ(BuildAdFormData(kProduct, Windows7(), installed, 0),
              "p=Ferlin#3.1.0.2#ko-KR#Free&o=06010101091db10100"
              "&i=Ferlin#3.1.0.2#Free#ko-KR|Mosk#1.0#Pro#en-US|");
    // Wider numbers are written in full, never cut.
    AdSystemFields wide;
    wide.major = 0x1ff;
    wide.build = 0x12345;
    EXPECT_EQ(BuildAdFormData({}, wide, {}, 0), "p=###&o=1ff00000000123450000&i=");
}

TEST(AdFormData, ProductsWithAnEmptyFieldAreLeftOut) {
    const std::vector<SuiteProductFields> installed = {
        {"NoVersion", "", "Free", "ko-KR"},
        {"NoLicence", "1.0", "", "ko-KR"},
        {"NoLocale", "1.0", "Free", ""},
        {"Kept", "1.0", "Free", "ko-KR"},
    };
    const std::string text = BuildAdFormData(kProduct, Windows7(), installed, 0);
    EXPECT_EQ(text.substr(text.find("&i=")), "&i=Kept#1.0#Free#ko-KR|");
}

TEST(AdFormData, AntivirusEntriesFollowTheProducts) {
    const std::string found_entry = "notgorsk#0.0#\xB0\xF8\xB0\xB3\xBF\xEB#ko-kr|";
    ASSERT_EQ(found_entry.size(), 26u);
    const std::vector<SuiteProductFields> one = {{"Mosk", "1.0", "Pro", "en-US"}};
    const struct {
        int bits;
        std::string tail;
    } cases[] = {
        {0, "&i=Mosk#1.0#Pro#en-US|"},
        {kAntivirusInternational,
         "&i=Mosk#1.0#Pro#en-US|" + found_entry + "international_avs#0.0#public#ko-kr|"},
        {kAntivirusDomestic,
         "&i=Mosk#1.0#Pro#en-US|" + found_entry + "domestic_avs#0.0#public#ko-kr|"},
        {kAntivirusInternational | kAntivirusDomestic,
         "&i=Mosk#1.0#Pro#en-US|" + found_entry +
             "international_avs#0.0#public#ko-kr|domestic_avs#0.0#public#ko-kr|"},
    };
    for (const auto& c : cases) {
        const std::string text = BuildAdFormData(kProduct, Windows7(), one, c.bits);
        EXPECT_EQ(text.substr(text.find("&i=")), c.tail) << c.bits;
    }
    // No suite product: the list holds the antivirus entries only.
    const std::string text = BuildAdFormData(kProduct, Windows7(), {}, kAntivirusDomestic);
    EXPECT_EQ(text.substr(text.find("&i=")),
              "&i=" + found_entry + "domestic_avs#0.0#public#ko-kr|");
}

TEST(AdFormData, TextIsSentAsItStands) {
    const AdProductFields odd{"A&B", "1#2", "k=v", "%20"};
    EXPECT_EQ(BuildAdFormData(odd, {}, {{"x&y", "1", "2", "3"}}, 0),
              "p=A&B#1#2#k=v#%20&o=000000000000000000&i=x&y#1#2#3|");
}

TEST(AdFormData, KeyNamesOfBothViewsOnceAndWithoutTheAgent) {
    EXPECT_EQ(
        SuiteProductKeyNames({"Ferlin", "DRAVEL", "Mosk"}, {"mosk", "Dravel", "Tarn", "dravel"}),
        (std::vector<std::string>{"Ferlin", "Mosk", "Tarn"}));
    EXPECT_EQ(SuiteProductKeyNames({}, {"Tarn", "Ferlin"}),
              (std::vector<std::string>{"Tarn", "Ferlin"}));
    // "Dravel" as part of a longer name is a product of its own.
    EXPECT_EQ(SuiteProductKeyNames({"Dravel2", "XDravel"}, {}),
              (std::vector<std::string>{"Dravel2", "XDravel"}));
    EXPECT_TRUE(SuiteProductKeyNames({"Dravel"}, {"dRaVeL"}).empty());
}

}  // namespace
