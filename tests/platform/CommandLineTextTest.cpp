// Command lines built around outside values. No Windows header: also runs natively
// (native/CMakeLists.txt).
#include <gtest/gtest.h>

#include <string>

#include "updater/platform/CommandLineText.h"

TEST(EndOfferParameters, ProductNameCannotEndTheArgumentEarly) {
    EXPECT_EQ(EndOfferParameters("Ferlin"),
              "/silent /addsetup /NOINSTDRAVEL /parentproduct=\"Ferlin\"");
    // A quote inside the name, or a backslash before the closing quote, would otherwise end
    // the argument and hand the rest to the setup as switches of its own.
    EXPECT_EQ(EndOfferParameters("Fer\" /uninstall \"lin"),
              "/silent /addsetup /NOINSTDRAVEL /parentproduct=\"Fer\\\" /uninstall \\\"lin\"");
    EXPECT_EQ(EndOfferParameters("Ferlin\\"),
              "/silent /addsetup /NOINSTDRAVEL /parentproduct=\"Ferlin\\\\\"");
    EXPECT_EQ(EndOfferParameters("a\\\\\"b"),
              "/silent /addsetup /NOINSTDRAVEL /parentproduct=\"a\\\\\\\\\\\"b\"");
    EXPECT_EQ(EndOfferParameters("a\\b"), "/silent /addsetup /NOINSTDRAVEL /parentproduct=\"a\\b\"");
}
