// Value forms of SetupOption.ini that the fuzz target found wanting. No Windows header: also
// runs natively (native/CMakeLists.txt).
#include <gtest/gtest.h>

#include <string>

#include "updater/offers/IniValues.h"

TEST(IniValueForm, EndsAReaderMayTakeForWhiteSpaceAreQuoted) {
    // Readers drop a vertical tab, a form feed or the DOS end-of-file mark around a value as
    // they drop blanks; depending on the code page also a no-break space or the two bytes of an
    // ideographic space (whose second byte may be plain ASCII).
    EXPECT_EQ(IniValueForm("\vhttp://a.test/"), "\"\vhttp://a.test/\"");
    EXPECT_EQ(IniValueForm("http://a.test/\x1a"), "\"http://a.test/\x1a\"");
    EXPECT_EQ(IniValueForm("\fx"), "\"\fx\"");
    EXPECT_EQ(IniValueForm("Ferlin\xa0"), "\"Ferlin\xa0\"");
    EXPECT_EQ(IniValueForm("\xa1\xa1" "Ferlin"), "\"\xa1\xa1" "Ferlin\"");
    EXPECT_EQ(IniValueForm("Ferlin\x81\x40"), "\"Ferlin\x81\x40\"");
    // Plain values stay as they are; inner white space needs no protection.
    EXPECT_EQ(IniValueForm("http://a.test/?q=a b"), "http://a.test/?q=a b");
    EXPECT_EQ(IniValueForm("a\vb"), "a\vb");
}
