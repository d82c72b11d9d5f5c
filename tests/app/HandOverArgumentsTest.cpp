// What the first copy puts on the elevated copy's command line, and what the elevated copy takes
// from it. No Windows header: also runs natively (native/CMakeLists.txt).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "updater/app/ModeSwitches.h"
#include "updater/platform/CommandLineText.h"

namespace {

HandOverArguments Read(std::vector<const char*> after_product) {
    std::vector<const char*> argv = {"Norvane.exe", "/adminprogress", "Product"};
    argv.insert(argv.end(), after_product.begin(), after_product.end());
    return ReadHandOverArguments(static_cast<int>(argv.size()), argv.data());
}

// The product name and the folder may hold blanks, quotes and closing backslashes; quoted, each
// stays one argument and no part of it can pass for a switch of its own.
TEST(HandOverArguments, NameAndFolderAreQuotedByTheCommandLineRules) {
    EXPECT_EQ(AdminProgressParameters("Ferlin", "C:\\Users\\a b\\AppData\\Roaming\\Quindel\\Dravel",
                                      1234),
              "/adminprogress \"Ferlin\" "
              "/data=\"C:\\Users\\a b\\AppData\\Roaming\\Quindel\\Dravel\" /handover=1234");
    EXPECT_EQ(AdminProgressParameters("Fer\" /x \"lin", "C:\\D\\", 7),
              "/adminprogress \"Fer\\\" /x \\\"lin\" /data=\"C:\\D\\\\\" /handover=7");
}

TEST(HandOverArguments, OnlyAnAbsoluteLocalFolderAndAWindowNumber) {
    // As a copy started by hand, or by an older updater: nothing after the product.
    HandOverArguments none = Read({});
    EXPECT_FALSE(none.given);
    EXPECT_TRUE(none.valid);

    HandOverArguments full = Read({"/data=C:\\Users\\a b\\Quindel\\Dravel", "/handover=65590"});
    EXPECT_TRUE(full.valid);
    EXPECT_EQ(full.data_folder, "C:\\Users\\a b\\Quindel\\Dravel");
    EXPECT_EQ(full.window, 65590u);
    EXPECT_TRUE(Read({"/data=D:\\"}).valid);

    const std::vector<std::vector<const char*>> refused = {
        {"/handover=65590"},                               // no folder
        {"/data="},
        {"/data=Quindel\\Dravel"},                         // relative
        {"/data=\\Users\\a"},                              // no drive
        {"/data=C:Users\\a"},
        {"/data=\\\\server\\share\\Dravel"},               // network share
        {"/data=\\\\?\\C:\\Users\\a"},
        {"/data=\\\\.\\C:\\Users\\a"},
        {"/data=C:\\Users\\a\\..\\..\\Windows\\System32"}, // leaves the folder named
        {"/data=C:\\Users\\.\\a"},
        {"/data=C:\\Users\\\\a"},
        {"/data=C:\\Users\\a:stream"},
        {"/data=C:\\Users\\a*"},
        {"/data=C:\\Users\\a.", "/handover=1"},            // Windows drops the dot
        {"/data=C:/Users/a"},
        {"/data=C:\\a", "/handover=0"},
        {"/data=C:\\a", "/handover=12x"},
        {"/data=C:\\a", "/handover=99999999999"},
        {"/data=C:\\a", "/handover=-5"},
        {"/data=C:\\a", "/data=D:\\b"},                    // said twice
        {"/data=C:\\a", "/other"},
    };
    for (const auto& arguments : refused) {
        std::string text;
        for (const char* word : arguments) text += std::string(word) + " ";
        EXPECT_FALSE(Read(arguments).valid) << text;
    }
    EXPECT_FALSE(Read({("/data=C:\\" + std::string(300, 'a')).c_str()}).valid);
}

}  // namespace
