// The toolbar's product options: built from the language module's texts and the anti-phishing
// setting, applied to the registry.
#include <gtest/gtest.h>

#include "tests/support/TestSupport.h"
#include "updater/framework/WinApp.h"
#include "updater/offers/ProductOption.h"

using namespace testsupport;

namespace {

class ProductOptions : public ::testing::Test {
protected:
    // This Windows 7 prefix keeps the setting under AppDataLow.
    const std::string key = "Software\\AppDataLow\\Software\\Quindel\\Wendle";
    ScopedRegValue alarm{HKEY_CURRENT_USER, key, "PhishingAlarm2", View::Own};
    void SetUp() override {
        framework::SetResourceHandle(GetModuleHandleA(nullptr));
        DeleteRegValue(HKEY_CURRENT_USER, key, "PhishingAlarm2", View::Own);
    }
    void TearDown() override { framework::SetResourceHandle(nullptr); }
};

TEST_F(ProductOptions, OnlyTheToolbarHasOptions) {
    ProductOption store;
    EXPECT_EQ(ProductOption::AntiPhishingKey(), key);
    EXPECT_FALSE(store.BuildProductOptions("Fennick"));
    EXPECT_TRUE(store.empty());
    EXPECT_FALSE(store.HasOption(1));
    EXPECT_EQ(store.GetOptionState(2), 0);
    EXPECT_EQ(store.GetOptionTitle(1), "");
    EXPECT_FALSE(store.SetOptionState(1, 1));
    EXPECT_FALSE(GetRegDword(HKEY_CURRENT_USER, key, "PhishingAlarm2", View::Own));

    ASSERT_TRUE(store.BuildProductOptions("wENDLE"));
    EXPECT_EQ(store.GetOptionTitle(1), "Turn on the phishing alarm");
    EXPECT_EQ(store.GetOptionText3(1), "https://example.invalid/phishing");
    EXPECT_EQ(store.GetOptionState(1), 0);
    EXPECT_EQ(store.GetOptionTitle(2), "Clean the browser after the update");
    EXPECT_EQ(store.GetOptionText1(2), "");
    EXPECT_EQ(store.GetOptionState(2), 1);
}

TEST_F(ProductOptions, AlarmAlreadyOnLeavesOnlyTheSecondOption) {
    ASSERT_TRUE(SetRegDword(HKEY_CURRENT_USER, key, "PhishingAlarm2", 1, View::Own));
    ProductOption store;
    ASSERT_TRUE(store.BuildProductOptions("Wendle"));
    EXPECT_FALSE(store.HasOption(1));
    EXPECT_TRUE(store.HasOption(2));
}

TEST_F(ProductOptions, ModuleWithoutTheTextsOffersNothing) {
    framework::SetResourceHandle(GetModuleHandleA("ntdll.dll"));
    ProductOption store;
    EXPECT_FALSE(store.BuildProductOptions("Wendle"));
    EXPECT_TRUE(store.empty());
}

TEST_F(ProductOptions, SettingOptionOneWritesTheAlarmAsZeroOrOne) {
    // The key does not exist yet: setting the option creates it.
    ScopedRegTree cleanup(HKEY_CURRENT_USER, "Software\\AppDataLow\\Software\\Quindel", View::Own);
    DeleteRegTree(HKEY_CURRENT_USER, key, View::Own);
    ProductOption store;
    ASSERT_TRUE(store.BuildProductOptions("Wendle"));
    EXPECT_TRUE(store.SetOptionState(1, 5));
    EXPECT_EQ(GetRegDword(HKEY_CURRENT_USER, key, "PhishingAlarm2", View::Own), 1u);
    EXPECT_EQ(store.GetOptionState(1), 5);
    EXPECT_TRUE(store.SetOptionState(1, 0));
    EXPECT_EQ(GetRegDword(HKEY_CURRENT_USER, key, "PhishingAlarm2", View::Own), 0u);

    // Option 2 touches no registry value.
    EXPECT_TRUE(store.SetOptionState(2, 0));
    EXPECT_EQ(store.GetOptionState(2), 0);
    EXPECT_FALSE(store.SetOptionState(3, 1));
}

}  // namespace
