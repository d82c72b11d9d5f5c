// Antivirus detection against products seeded in the Wine registry, in either view, with or
// without their files. Every key a test seeds is removed at its end.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/support/TestSupport.h"
#include "updater/adview/AdFormData.h"
#include "updater/adview/CheckVaccine.h"

using namespace testsupport;

namespace {

const std::string kUninstall = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

// Rows of the table the tests use.
// V3 IS 8.0: domestic, two files in the folder of its own product key.
const std::string kV3Uninstall = kUninstall + "{AF8267C6_8886_4cfd_AAC7_48BCB879743F}";
const std::string kV3Key = "SOFTWARE\\AhnLab\\V3IS80";
// F-Secure: international, its product key is another uninstall key.
const std::string kFSecureUninstall = kUninstall + "F-Secure Anti-Virus Client Security Installer";
const std::string kFSecureKey = kUninstall + "F-Secure Product 444";
// avast!: international, known by its uninstall key.
const std::string kAvastUninstall = kUninstall + "avast!";
// Avira: one product key shared by four rows that list different files.
const std::string kAviraKey = "SOFTWARE\\Avira\\AntiVir Desktop";

REGSAM ViewFlag(View view) {
    return view == View::View64 ? KEY_WOW64_64KEY : KEY_WOW64_32KEY;
}

// Stores a value of any type with exactly the bytes given.
bool SetRaw(const std::string& key, const std::string& name, DWORD type, const std::string& bytes,
            View view) {
    HKEY handle = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0,
                        KEY_ALL_ACCESS | ViewFlag(view), nullptr, &handle,
                        nullptr) != ERROR_SUCCESS) {
        return false;
    }
    // The system counts a NUL that follows string data it was given without one; a byte other
    // than NUL there keeps the data as it is.
    const std::string buffer = bytes + "X";
    const LONG result =
        RegSetValueExA(handle, name.c_str(), 0, type, reinterpret_cast<const BYTE*>(buffer.data()),
                       static_cast<DWORD>(bytes.size()));
    RegCloseKey(handle);
    return result == ERROR_SUCCESS;
}

bool CreateKey(const std::string& key, View view) {
    HKEY handle = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0,
                        KEY_ALL_ACCESS | ViewFlag(view), nullptr, &handle,
                        nullptr) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(handle);
    return true;
}

// A folder's text as a string value stores it: the characters and the terminating NUL.
std::string WithNul(const std::string& text) {
    return std::string(text.c_str(), text.size() + 1);
}

// Detection as in a process that does not run under WOW64: one pass only.
class NativeProcessVaccine : public CCheckVaccine {
protected:
    bool UnderWow64() const override { return false; }
};

class Antivirus : public ::testing::Test {
protected:
    TempDir files;
    std::vector<std::unique_ptr<ScopedRegTree>> seeded;

    void SetUp() override {
        for (View view : {View::View32, View::View64}) {
            for (const std::string& key :
                 {kV3Uninstall, kFSecureUninstall, kFSecureKey, kAvastUninstall,
                  std::string("SOFTWARE\\AhnLab"), std::string("SOFTWARE\\Avira")}) {
                // Nothing of an earlier run may be left to find.
                DeleteRegTree(HKEY_LOCAL_MACHINE, key, view);
                seeded.push_back(std::make_unique<ScopedRegTree>(HKEY_LOCAL_MACHINE, key, view));
            }
        }
        ASSERT_EQ(CCheckVaccine().DetectProducts(), 0);
    }

    // A file of the product's folder (subfolders are made as needed).
    void PutFile(const std::string& relative) {
        const std::string path = files.File(relative);
        CreateDirectoryA(files.File("Engine").c_str(), nullptr);
        ASSERT_TRUE(WriteTextFile(path, "MZ")) << path;
    }
};

TEST(VaccineTable, FiftyTwoProductsInTableOrder) {
    CCheckVaccine check;
    const auto& products = check.products();
    ASSERT_EQ(products.size(), 52u);
    int international = 0;
    for (const VaccineProduct& product : products) {
        EXPECT_EQ(product.uninstall_key.rfind(kUninstall, 0), 0u) << product.name;
        international += product.international;
    }
    EXPECT_EQ(international, 36);
    EXPECT_EQ(products.front().uninstall_key,
              kUninstall + "{BBBD1EE8_6012_48d8_AE46_89386CA2DCC6}");
    EXPECT_EQ(products.back().product_key, "SOFTWARE\\Security Global Alliance\\VirusChaser");
    // Row 8 looks for its folder in its uninstall key; row 15 lists a file in a subfolder.
    EXPECT_EQ(products[7].product_key, products[7].uninstall_key);
    EXPECT_EQ(products[14].files, "Engine\\3.0.0.134\\ccSvcHst.exe");
    EXPECT_EQ(products[22].product_key, kFSecureKey);
}

TEST_F(Antivirus, AnUninstallKeyAloneReportsTheProductsKind) {
    ASSERT_TRUE(CreateKey(kAvastUninstall, View::View32));
    EXPECT_EQ(CCheckVaccine().DetectProducts(), kAntivirusInternational);
    ASSERT_TRUE(CreateKey(kV3Uninstall, View::View32));
    EXPECT_EQ(CCheckVaccine().DetectProducts(), kAntivirusInternational | kAntivirusDomestic);
}

TEST_F(Antivirus, FolderRuleNeedsEveryListedFileWithOrWithoutTheTrailingBackslash) {
    ASSERT_TRUE(SetRaw(kV3Key, "InstallPath", REG_SZ, WithNul(files.path()), View::View32));
    PutFile("V3SP.exe");
    EXPECT_EQ(CCheckVaccine().DetectProducts(), 0) << "V3Main.exe is missing";
    PutFile("V3Main.exe");
    EXPECT_EQ(CCheckVaccine().DetectProducts(), kAntivirusDomestic);
    ASSERT_TRUE(SetRaw(kV3Key, "InstallPath", REG_SZ, WithNul(files.path() + "\\"), View::View32));
    EXPECT_EQ(CCheckVaccine().DetectProducts(), kAntivirusDomestic);

    // A product key that is another product's uninstall key; the kind is the row's.
    ASSERT_TRUE(
        SetRaw(kFSecureKey, "InstallLocation", REG_EXPAND_SZ, WithNul(files.path()), View::View32));
    EXPECT_EQ(CCheckVaccine().DetectProducts(), kAntivirusDomestic) << "fsavgui.exe is missing";
    PutFile("fsavgui.exe");
    EXPECT_EQ(CCheckVaccine().DetectProducts(), kAntivirusInternational | kAntivirusDomestic);
}

TEST_F(Antivirus, RowsSharingAKeyEachTestTheirOwnFiles) {
    // The first Avira row lists two files, the later ones only avgnt.exe.
    ASSERT_TRUE(SetRaw(kAviraKey, "Path", REG_SZ, WithNul(files.path()), View::View32));
    PutFile("avgnt.exe");
    EXPECT_EQ(CCheckVaccine().DetectProducts(), kAntivirusInternational);
}

TEST_F(Antivirus, OnlyNulTerminatedStringsNameAFolder) {
    PutFile("V3SP.exe");
    PutFile("V3Main.exe");
    const std::string folder = files.path() + "\\";
    DWORD number = 0x12345678;
    const struct {
        const char* what;
        DWORD type;
        std::string bytes;
    } refused[] = {
        {"a number", REG_DWORD, std::string(reinterpret_cast<const char*>(&number), 4)},
        {"binary bytes", REG_BINARY, WithNul(folder)},
        {"a multi-string", REG_MULTI_SZ, WithNul(WithNul(folder))},
        {"no terminating NUL", REG_SZ, folder},
        {"no data", REG_SZ, std::string()},
        {"more than 260 bytes", REG_SZ, WithNul(folder + std::string(300 - folder.size(), '\\'))},
    };
    for (const auto& value : refused) {
        ASSERT_TRUE(SetRaw(kV3Key, "InstallPath", value.type, value.bytes, View::View32));
        EXPECT_EQ(CCheckVaccine().DetectProducts(), 0) << value.what;
    }
    // Text after the NUL does not belong to the folder.
    ASSERT_TRUE(
        SetRaw(kV3Key, "InstallPath", REG_SZ, WithNul(WithNul(folder) + "junk"), View::View32));
    EXPECT_EQ(CCheckVaccine().DetectProducts(), kAntivirusDomestic);
}

TEST_F(Antivirus, AnEmptyFolderNeverFindsFilesAtTheRootOfTheCurrentDrive) {
    // Both files at the root of the drive this process works on: names without a folder would
    // be found there.
    char windows[MAX_PATH] = {};
    ASSERT_GT(GetWindowsDirectoryA(windows, MAX_PATH), 0u);
    const std::string root = std::string(windows).substr(0, 3);
    char previous[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, previous);
    ASSERT_TRUE(SetCurrentDirectoryA(windows));
    for (const char* name : {"V3SP.exe", "V3Main.exe"}) {
        ASSERT_TRUE(WriteTextFile(root + name, "MZ"));
    }
    ASSERT_TRUE(SetRaw(kV3Key, "InstallPath", REG_SZ, std::string(1, '\0'), View::View32));
    const int found = CCheckVaccine().DetectProducts();
    for (const char* name : {"V3SP.exe", "V3Main.exe"}) DeleteFileA((root + name).c_str());
    SetCurrentDirectoryA(previous);
    EXPECT_EQ(found, 0);
}

TEST_F(Antivirus, TheSixtyFourBitViewIsSearchedSecondUnderWow64Only) {
    ASSERT_TRUE(CreateKey(kAvastUninstall, View::View64));
    ASSERT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, kAvastUninstall, View::View32))
        << "the uninstall keys are not shared between the views here";
    EXPECT_EQ(CCheckVaccine().DetectProducts(), kAntivirusInternational);
    EXPECT_EQ(NativeProcessVaccine().DetectProducts(), 0);

    // The folder rule too reads the 64-bit view in the second pass.
    ASSERT_TRUE(SetRaw(kV3Key, "InstallPath", REG_SZ, WithNul(files.path()), View::View64));
    PutFile("V3SP.exe");
    PutFile("V3Main.exe");
    EXPECT_EQ(CCheckVaccine().DetectProducts(), kAntivirusInternational | kAntivirusDomestic);
    EXPECT_EQ(NativeProcessVaccine().DetectProducts(), 0);

    // What a 32-bit program sees is found by the first pass, with or without WOW64.
    ASSERT_TRUE(SetRaw(kV3Key, "InstallPath", REG_SZ, WithNul(files.path()), View::View32));
    EXPECT_EQ(NativeProcessVaccine().DetectProducts(), kAntivirusDomestic);
}

}  // namespace
