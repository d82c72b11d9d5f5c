// The digest setup files are checked with, and the lock that keeps a checked file unchanged
// until it has been started.
#include <gtest/gtest.h>

#include "tests/support/TestSupport.h"
#include "updater/offers/FileDigest.h"

using namespace testsupport;

namespace {

TEST(FileDigest, KnownDigestsAcrossBlockBoundaries) {
    TempDir dir;
    struct Case { std::string content; const char* md5; };
    const Case cases[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {std::string(1024, 'a'), "c9a34cfc85d982698c6ac89f76071abd"},
        {std::string(1025, 'a'), "ae187e1febee2a150b64849c32d566ca"},
        {std::string(65536, 'a'), "2d61aa54b58c2e94403fb092c3dbc027"},
        {std::string(65537, 'a'), "b3c6fc238e908636e53aabd5ad830cf7"},
        {std::string(131073, 'a'), "3124e19245cfd2c84a969ccb84b4b2bd"},
    };
    for (const Case& c : cases) {
        const std::string path = dir.File("setup.exe");
        ASSERT_TRUE(WriteTextFile(path, c.content));
        EXPECT_EQ(FileMd5Hex(path), c.md5) << c.content.size();
    }
    EXPECT_EQ(FileMd5Hex(dir.File("missing.exe")), "");
}

TEST(FileDigest, ComparisonIgnoresCaseButNeverMatchesEmpty) {
    EXPECT_TRUE(DigestMatches("900150983cd24fb0d6963f7d28e17f72", "900150983CD24FB0D6963F7D28E17F72"));
    EXPECT_FALSE(DigestMatches("900150983cd24fb0d6963f7d28e17f72", "900150983cd24fb0d6963f7d28e17f73"));
    EXPECT_FALSE(DigestMatches("", ""));
    EXPECT_FALSE(DigestMatches("d41d8cd98f00b204e9800998ecf8427e", ""));
}

TEST(FileDigest, LockedFileCannotBeRewrittenOrDeletedUntilReleased) {
    TempDir dir;
    const std::string path = dir.File("offer.exe");
    ASSERT_TRUE(WriteTextFile(path, "abc"));
    LockedSetupFile locked;
    ASSERT_TRUE(locked.Open(path));
    EXPECT_EQ(locked.Digest(), "900150983cd24fb0d6963f7d28e17f72");

    // Between the check and the start nothing can swap the file.
    HANDLE writer = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(writer, INVALID_HANDLE_VALUE);
    if (writer != INVALID_HANDLE_VALUE) CloseHandle(writer);
    EXPECT_FALSE(DeleteFileA(path.c_str()));
    ASSERT_TRUE(WriteTextFile(dir.File("other.exe"), "planted"));
    EXPECT_FALSE(MoveFileExA(dir.File("other.exe").c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING));
    // Reading it (as the system does to start it) still works.
    EXPECT_EQ(FileMd5Hex(path), "900150983cd24fb0d6963f7d28e17f72");

    locked.Release();
    EXPECT_TRUE(WriteTextFile(path, "changed"));
}

}  // namespace
