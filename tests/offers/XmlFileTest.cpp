// LoadXmlFile on real files under Windows: text mode, chunked reading, missing and empty files.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "tests/support/TestSupport.h"
#include "updater/offers/XmlReader.h"
#include "updater/platform/ExternalFile.h"

using namespace testsupport;

namespace {

void WriteBytes(const std::string& path, const std::string& bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}

TEST(XmlFile, CrLfBecomesLf) {
    // The option server sends CR LF; values must hold bare LF, and a CR must not end up in a
    // closing name (where it would make an otherwise good document ill-formed).
    TempDir dir;
    std::string path = dir.File("crlf.xml");
    WriteBytes(path, "<?xml version=\"1.0\"?>\r\n<root>\r\n<item a=\"1\">line1\r\nline2</item>\r\n"
                     "<text>\r\n  value\r\n</text>\r\n</root>\r\n");
    XmlNode root;
    ASSERT_TRUE(LoadXmlFile(path, &root));
    EXPECT_EQ(root.name, "root");
    ASSERT_EQ(root.children.size(), 2u);
    EXPECT_EQ(root.children[0]->value, "line1\nline2");
    EXPECT_EQ(root.children[1]->value, "\n  value\n");
    EXPECT_EQ(root.value, "\n");
}

TEST(XmlFile, MissingOrEmptyFileIsFalse) {
    TempDir dir;
    XmlNode root;
    EXPECT_FALSE(LoadXmlFile(dir.File("absent.xml"), &root));
    std::string empty = dir.File("empty.xml");
    WriteBytes(empty, "");
    EXPECT_FALSE(LoadXmlFile(empty, &root));
    EXPECT_EQ(root.name, "");
}

TEST(XmlFile, LongFileAcrossChunksAndErrors) {
    // Texts longer than one 4095-byte chunk are joined without loss, also across a CR LF that
    // straddles the chunk border.
    TempDir dir;
    std::string body = "<list>\r\n";
    int count = 0;
    while (body.size() < 20000) {
        body += "<e n=\"" + std::to_string(count++) + "\">&amp;\\\\x</e>\r\n";
    }
    body += "</list>";
    std::string path = dir.File("long.xml");
    WriteBytes(path, body);
    XmlNode root;
    ASSERT_TRUE(LoadXmlFile(path, &root));
    ASSERT_EQ(root.children.size(), static_cast<size_t>(count));
    EXPECT_EQ(root.children.back()->FindAttribute("n")->value, std::to_string(count - 1));
    EXPECT_EQ(root.children.back()->value, "&\\x");

    // An error anywhere makes the load false; an unterminated document with complete
    // children is still true.
    WriteBytes(path, "<a><b>x</B></a>");
    XmlNode bad;
    EXPECT_FALSE(LoadXmlFile(path, &bad));
    WriteBytes(path, "<a>\r\n<b>x</b><c/>");
    XmlNode open;
    EXPECT_TRUE(LoadXmlFile(path, &open));
    EXPECT_EQ(open.children.size(), 2u);
}

// What comes from outside is read whole or not at all: a file of exactly the cap is read, one
// byte more and nothing of it is kept.
TEST(ExternalFile, ReadWholeUpToTheCapAndNothingBeyond) {
    TempDir dir;
    const std::string path = dir.File("capped.txt");
    std::string text = "stale";
    WriteBytes(path, std::string(10000, 'a'));
    EXPECT_EQ(ReadExternalFile(path, ExternalFileMode::Binary, &text, 10000), ExternalFileResult::Read);
    EXPECT_EQ(text, std::string(10000, 'a'));
    EXPECT_EQ(ReadExternalFile(path, ExternalFileMode::Binary, &text, 9999), ExternalFileResult::TooLarge);
    EXPECT_TRUE(text.empty());
    // The cap counts what lands in memory: in text mode CR LF is one byte.
    WriteBytes(path, "a\r\nb\r\n");
    EXPECT_EQ(ReadExternalFile(path, ExternalFileMode::Text, &text, 4), ExternalFileResult::Read);
    EXPECT_EQ(text, "a\nb\n");
    EXPECT_EQ(ReadExternalFile(path, ExternalFileMode::Binary, &text, 4), ExternalFileResult::TooLarge);
    EXPECT_EQ(ReadExternalFile(dir.File("absent.txt"), ExternalFileMode::Binary, &text),
              ExternalFileResult::Unreadable);
    EXPECT_TRUE(text.empty());
}

// A document one byte over the cap is not parsed, not even its complete beginning.
TEST(ExternalFile, XmlFileOverTheCapIsNotLoaded) {
    TempDir dir;
    const std::string path = dir.File("big.xml");
    const std::string head = "<a><b>kept?</b><!--";
    const std::string foot = "--></a>";
    WriteBytes(path, head + std::string(kExternalFileCap - head.size() - foot.size(), 'x') + foot);
    XmlNode at_cap;
    EXPECT_TRUE(LoadXmlFile(path, &at_cap));
    EXPECT_EQ(at_cap.children.size(), 2u);
    WriteBytes(path, head + std::string(kExternalFileCap + 1 - head.size() - foot.size(), 'x') + foot);
    XmlNode over;
    EXPECT_FALSE(LoadXmlFile(path, &over));
    EXPECT_TRUE(over.children.empty());
}

}  // namespace
