// The vendor server overrides: machine settings only, which only administrators can write. Any
// program of the user can write under HKEY_CURRENT_USER; were the overrides read there, it could
// point Norvane at a server whose option file names a setup that an elevated copy runs.
#include <gtest/gtest.h>

#include "tests/support/TestSupport.h"
#include "updater/platform/ServerHosts.h"

using namespace testsupport;

namespace {

const char kKey[] = "Software\\Quindel\\Dravel";

class ServerOverrides : public ::testing::Test {
protected:
    void SetUp() override {
        DeleteRegValue(HKEY_CURRENT_USER, kKey, "AdServerHost", View::Own);
        DeleteRegValue(HKEY_CURRENT_USER, kKey, "AddonServerHost", View::Own);
        for (View view : {View::View32, View::View64}) {
            DeleteRegValue(HKEY_LOCAL_MACHINE, kKey, "AdServerHost", view);
            DeleteRegValue(HKEY_LOCAL_MACHINE, kKey, "AddonServerHost", view);
        }
    }
    ScopedRegValue user{HKEY_CURRENT_USER, kKey, "AdServerHost", View::Own};
    ScopedRegValue machine32{HKEY_LOCAL_MACHINE, kKey, "AdServerHost", View::View32};
    ScopedRegValue machine64{HKEY_LOCAL_MACHINE, kKey, "AdServerHost", View::View64};
    ScopedRegValue addon_user{HKEY_CURRENT_USER, kKey, "AddonServerHost", View::Own};
    ScopedRegValue addon32{HKEY_LOCAL_MACHINE, kKey, "AddonServerHost", View::View32};
    ScopedRegValue addon64{HKEY_LOCAL_MACHINE, kKey, "AddonServerHost", View::View64};
};

TEST_F(ServerOverrides, OnlyTheMachineSettingInTheProgramsViewRedirects) {
    const std::string standard = ServerHost(VendorServer::Advertisement);
    EXPECT_EQ(standard.find("127.0.0.1"), std::string::npos) << standard;

    ASSERT_TRUE(SetRegString(HKEY_CURRENT_USER, kKey, "AdServerHost", "127.0.0.1:1", View::Own));
    EXPECT_EQ(ServerHost(VendorServer::Advertisement), standard)
        << "a value of the user's redirected the server";
    // A 32-bit program does not see the 64-bit view.
    ASSERT_TRUE(SetRegString(HKEY_LOCAL_MACHINE, kKey, "AdServerHost", "127.0.0.1:2", View::View64));
    ASSERT_TRUE(SetRegString(HKEY_LOCAL_MACHINE, kKey, "AdServerHost", "127.0.0.1:3", View::View32));
    EXPECT_EQ(ServerHost(VendorServer::Advertisement), "127.0.0.1:3");
    EXPECT_EQ(ServerUrl(VendorServer::Advertisement, "/ad?x=1"), "http://127.0.0.1:3/ad?x=1");
}

TEST_F(ServerOverrides, AddonOverrideStandsAsItIsWrittenWithoutTheLanguageCode) {
    const std::string standard = ServerHost(VendorServer::Addon, "ko-KR");
    EXPECT_EQ(standard.rfind("ko-KR.", 0), 0u) << standard;
    ASSERT_TRUE(SetRegString(HKEY_CURRENT_USER, kKey, "AddonServerHost", "127.0.0.1:4", View::Own));
    EXPECT_EQ(ServerHost(VendorServer::Addon, "ko-KR"), standard);
    ASSERT_TRUE(SetRegString(HKEY_LOCAL_MACHINE, kKey, "AddonServerHost", "127.0.0.1:5", View::View32));
    EXPECT_EQ(ServerHost(VendorServer::Addon, "ko-KR"), "127.0.0.1:5");
}

}  // namespace
