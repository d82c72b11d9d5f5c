// The update log's query: which characters are escaped in the values, how the four parts are
// put together, and that nothing is cut off. No Windows header: this also runs natively.
#include <gtest/gtest.h>

#include <string>

#include "updater/offers/UpdateLogQuery.h"

namespace {

UpdateLogUpdate SampleUpdate(const std::string& product) {
    UpdateLogUpdate update;
    update.product = product;
    update.old_version = "1.0.3.2";
    update.old_locale = "ko-KR";
    update.old_license = "free";
    update.new_version = "1.1.0.0";
    update.new_locale = "ko-KR";
    update.new_license = "pro_2";
    return update;
}

TEST(UpdateLogQuery, OnlyWhatWouldBreakTheQueryIsEscaped) {
    EXPECT_EQ(EscapeLogValue("a&b#c=d%e+f?g h"), "a%26b%23c%3dd%25e%2bf%3fg%20h");
    EXPECT_EQ(EscapeLogValue(std::string("\t\n\r\x01\x7F\0", 6)), "%09%0a%0d%01%7f%00");
    // Bytes of the ANSI code page above 0x7F (Korean, Western accents) are escaped byte by byte.
    EXPECT_EQ(EscapeLogValue("\xC7\xD1\xE9"), "%c7%d1%e9");
    // Everything else a real name or version holds goes out exactly as today.
    const std::string plain = "Ostrey_Viewer-2.x/(kr)[1]~!$'*,;:@0123456789.ABCZabcz";
    EXPECT_EQ(EscapeLogValue(plain), plain);
    EXPECT_EQ(EscapeLogValue(""), "");
}

TEST(UpdateLogQuery, OfferFieldsInTheirOrder) {
    UpdateLogOffer offer;
    offer.name = "Viewer Plus";
    offer.version = "2.0";
    offer.shown = true;
    offer.checkbox_default = false;
    offer.user_choice = true;
    offer.install_result = 3;
    EXPECT_EQ(OfferLogFields('m', offer),
              "mName=Viewer%20Plus&mVer=2.0&mShown=1&mDefault=0&mUser=1&mState=3");
    EXPECT_EQ(OfferLogFields('e', UpdateLogOffer{}),
              "eName=&eVer=&eShown=0&eDefault=0&eUser=0&eState=0");
}

TEST(UpdateLogQuery, LicenceValuesAreUrlEncodedTheOthersEscaped) {
    UpdateLogUpdate update = SampleUpdate("Ostrey Draw");
    update.old_license = "free-1.0";
    update.new_license = "pro edition";
    EXPECT_EQ(UpdateLogFields(update),
              "uName=Ostrey%20Draw&uOldVer=1.0.3.2&uOldLocale=ko-KR&uOldLicense=free%2d1%2e0"
              "&uNewVer=1.1.0.0&uNewLocale=ko-KR&uNewLicense=pro%20edition");
}

TEST(UpdateLogQuery, ToolbarPartOnlyForTheToolbar) {
    UpdateLogOffer middle, end;
    middle.name = "Viewer";
    middle.version = "2.0";
    end.name = "Player";
    end.version = "3.1";
    end.install_result = 1;
    const UpdateLogToolbar toolbar{true, false};
    const std::string offers = "mName=Viewer&mVer=2.0&mShown=0&mDefault=0&mUser=0&mState=0&"
                               "eName=Player&eVer=3.1&eShown=0&eDefault=0&eUser=0&eState=1&";
    EXPECT_EQ(ComposeUpdateLogQuery(middle, end, SampleUpdate("Ostrey"), toolbar),
              offers + UpdateLogFields(SampleUpdate("Ostrey")));
    for (const char* product : {"Wendle", "wENDLE"}) {
        EXPECT_EQ(ComposeUpdateLogQuery(middle, end, SampleUpdate(product), toolbar),
                  offers + UpdateLogFields(SampleUpdate(product)) + "&antiphishing=0&antion=1")
            << product;
    }
    EXPECT_FALSE(IsToolbarProduct("Wendle2"));
    EXPECT_FALSE(IsToolbarProduct("Wendl"));
    EXPECT_EQ(ToolbarLogFields(UpdateLogToolbar{true, true}), "antiphishing=1&antion=1");
}

// A hostile name can neither add a field nor end the query, and a long one is kept whole: the
// query splits into exactly the expected keys, the last one still there.
TEST(UpdateLogQuery, HostileOrLongValuesNeitherInjectNorTruncate) {
    UpdateLogOffer middle;
    middle.name = "x&mState=1&uName=Forged#";
    middle.version = std::string(5000, '9');
    UpdateLogUpdate update = SampleUpdate("Wendle");
    update.new_version = "2.0?a=b";
    const std::string query = ComposeUpdateLogQuery(middle, UpdateLogOffer{}, update, {});
    EXPECT_EQ(query.find('#'), std::string::npos);
    EXPECT_EQ(query.find('?'), std::string::npos);
    std::string keys;
    std::size_t begin = 0;
    while (begin <= query.size()) {
        std::size_t end = query.find('&', begin);
        if (end == std::string::npos) end = query.size();
        const std::string field = query.substr(begin, end - begin);
        keys += field.substr(0, field.find('=')) + " ";
        begin = end + 1;
    }
    EXPECT_EQ(keys,
              "mName mVer mShown mDefault mUser mState eName eVer eShown eDefault eUser eState "
              "uName uOldVer uOldLocale uOldLicense uNewVer uNewLocale uNewLicense antiphishing "
              "antion ");
    EXPECT_NE(query.find("mVer=" + std::string(5000, '9') + "&mShown="), std::string::npos);
    EXPECT_NE(query.find("uNewVer=2.0%3fa%3db&"), std::string::npos);
}

}  // namespace
