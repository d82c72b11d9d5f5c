// The agent's UpdateInfo.ini as Norvane reads it, and the logo bitmap it prepares from it. Every
// test uses its own product folder under the real data folder and removes it afterwards.
#include <gtest/gtest.h>

#include "tests/support/LoopbackServer.h"
#include "tests/support/TestSupport.h"
#include "updater/data/UpdateInfo.h"
#include "updater/platform/Shell.h"

using namespace testsupport;

namespace {

class UpdateInfoFile : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(DataRoot().empty());
        ASSERT_EQ(DataRoot(), GetSpecialFolder(kFolderAppData) + "\\Quindel\\Dravel");
        CreateFolderPath(UpdateInfoPath(product), false);
    }
    void TearDown() override { RemoveTree(DataRoot() + "\\" + product); }

    // A complete file; `extra` lines are appended to the ProductInfo section, `omit` keys dropped.
    void Write(const std::string& eng_name, const std::string& extra = "",
               bool with_downloaded_path = true) {
        std::string text = "[ProductInfo]\r\nEngName=" + eng_name +
                           "\r\nLocalName=Product Name\r\nMutex=ProdMutex\r\nNewVersion=2.0.1\r\n"
                           "Descript1=First\\nline\r\nDescript2=Second\\nline\\n\r\n" +
                           extra + "[FileInfo]\r\n";
        if (with_downloaded_path) text += "DownloadedPath=C:\\setup.exe\r\n";
        ASSERT_TRUE(WriteTextFile(UpdateInfoPath(product), text));
    }

    std::string product = UniqueName("UiProd");
};

TEST_F(UpdateInfoFile, MinimalFileWithOtherCaseNameIsUsableAndLineBreaksExpandInTwoTexts) {
    std::string upper = product;
    for (char& c : upper) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    Write(upper, "SimpleDescript=a\\nb\\\\n\r\n");
    CUpdateInfo info;
    ASSERT_TRUE(LoadUpdateInfo(info, product));
    EXPECT_EQ(info.EngName, upper);
    EXPECT_EQ(info.LocalName, "Product Name");
    EXPECT_EQ(info.Mutex, "ProdMutex");
    EXPECT_EQ(info.NewVersion, "2.0.1");
    EXPECT_EQ(info.Descript1, "First\\nline");  // shown unchanged
    EXPECT_EQ(info.Descript2, "Second\nline\n");
    EXPECT_EQ(info.SimpleDescript, "a\nb\\\n");
    EXPECT_EQ(info.DownloadedPath, "C:\\setup.exe");
    EXPECT_EQ(info.MainApp, "");
    EXPECT_EQ(info.LogoImageURL, "");
    EXPECT_EQ(info.LogoImagePath, "");
}

TEST_F(UpdateInfoFile, UnusableFilesSayFalseButStillFillTheRecord) {
    CUpdateInfo info;
    Write(product, "", false);  // no DownloadedPath
    EXPECT_FALSE(LoadUpdateInfo(info, product));
    EXPECT_EQ(info.LocalName, "Product Name");

    Write("OtherProduct", "MainApp=prod.exe\r\n");
    EXPECT_FALSE(LoadUpdateInfo(info, product));
    EXPECT_EQ(info.MainApp, "prod.exe");

    ASSERT_TRUE(WriteTextFile(UpdateInfoPath(product),
                              "[ProductInfo]\r\nEngName=" + product + "\r\nLocalName=L\r\n"
                              "Mutex=M\r\nNewVersion=1\r\nDescript1=d\r\n[FileInfo]\r\n"
                              "DownloadedPath=p\r\n"));  // no Descript2
    EXPECT_FALSE(LoadUpdateInfo(info, product));
}

TEST_F(UpdateInfoFile, MissingFileLeavesTheRecordAlone) {
    CUpdateInfo info;
    info.LocalName = "kept";
    EXPECT_FALSE(LoadUpdateInfo(info, UniqueName("NoSuchProduct")));
    EXPECT_EQ(info.LocalName, "kept");
}

TEST_F(UpdateInfoFile, LongValuesAreCutTo2047Characters) {
    const std::string long_text(5000, 'x');
    Write(product, "SimpleDescript=" + long_text + "\r\nLogoImageURL=" + long_text + "\r\n");
    CUpdateInfo info;
    ASSERT_TRUE(LoadUpdateInfo(info, product));
    EXPECT_EQ(info.SimpleDescript, std::string(2047, 'x'));
    EXPECT_EQ(info.LogoImageURL, std::string(2047, 'x'));
}

class LogoImage : public UpdateInfoFile {
protected:
    void SetUp() override {
        UpdateInfoFile::SetUp();
        ASSERT_TRUE(server.ok());
        Write(product, "LogoImageURL=" + server.Url("/logo.bmp") +
                           "\r\nLogoImagePath=C:\\old\\logo.bmp\r\n");
        ASSERT_TRUE(LoadUpdateInfo(info, product));
        RemoveTree(DataRoot() + "\\" + product + "\\UpdateImage_2.0.1.bmp");
    }
    std::string FileValue() {
        char value[MAX_PATH] = {};
        GetPrivateProfileStringA("ProductInfo", "LogoImagePath", "", value, MAX_PATH,
                                 UpdateInfoPath(product).c_str());
        return value;
    }
    LoopbackServer server;
    CUpdateInfo info;
    std::string bitmap = DataRoot() + "\\" + product + "\\UpdateImage_2.0.1.bmp";
};

TEST_F(LogoImage, DownloadsOnceAndReusesTheBitmapOfTheSameVersion) {
    server.Serve("/logo.bmp", "BM-logo-bytes");
    ASSERT_TRUE(PrepareLogoImage(info));
    EXPECT_EQ(info.LogoImagePath, bitmap);
    EXPECT_EQ(FileValue(), bitmap);
    EXPECT_EQ(ReadTextFile(bitmap).value_or(""), "BM-logo-bytes");
    EXPECT_EQ(server.RequestCount(), 1u);

    // The next check finds the bitmap: no request, and the path is written again.
    WritePrivateProfileStringA("ProductInfo", "LogoImagePath", "elsewhere",
                               UpdateInfoPath(product).c_str());
    CUpdateInfo again;
    ASSERT_TRUE(LoadUpdateInfo(again, product));
    ASSERT_TRUE(PrepareLogoImage(again));
    EXPECT_EQ(again.LogoImagePath, bitmap);
    EXPECT_EQ(FileValue(), bitmap);
    EXPECT_EQ(server.RequestCount(), 1u);
}

TEST_F(LogoImage, FailedDownloadKeepsThePathAndLeavesNoBitmap) {
    server.Serve("/logo.bmp", "gone", 404);
    EXPECT_FALSE(PrepareLogoImage(info));
    EXPECT_EQ(info.LogoImagePath, "C:\\old\\logo.bmp");
    EXPECT_EQ(FileValue(), "C:\\old\\logo.bmp");
    EXPECT_FALSE(PathExists(bitmap));

    LoopbackServer::Response cut;
    cut.body = std::string(20000, 'B');
    cut.truncate_after = 500;
    server.Serve("/logo.bmp", cut);
    EXPECT_FALSE(PrepareLogoImage(info));
    EXPECT_FALSE(PathExists(bitmap));  // a partial bitmap would be reused as this version's logo

    info.LogoImageURL.clear();
    EXPECT_FALSE(PrepareLogoImage(info));
    EXPECT_EQ(FileValue(), "C:\\old\\logo.bmp");
}

// The agent's version text becomes part of the logo's file name: a version that names another
// folder fetches nothing and writes nothing outside the product's data folder.
TEST_F(LogoImage, VersionThatLeadsOutOfTheDataFolderGetsNoLogo) {
    server.Serve("/logo.bmp", "BM");
    const std::string outside = DataRoot() + "\\UpdateImage_x.bmp";
    DeleteFileA(outside.c_str());
    for (const char* version : {"..\\..\\x", "1.0/../../x", "C:x", ".."}) {
        SCOPED_TRACE(version);
        info.NewVersion = version;
        EXPECT_FALSE(PrepareLogoImage(info));
        EXPECT_EQ(info.LogoImagePath, "C:\\old\\logo.bmp");
    }
    EXPECT_TRUE(server.RequestsFor("/logo.bmp").empty());
    EXPECT_FALSE(PathExists(outside));
}

}  // namespace
