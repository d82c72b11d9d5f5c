// LoadXmlFile on real files under Windows: text mode, chunked reading, missing and empty files.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "tests/support/TestSupport.h"
#include "updater/offers/XmlReader.h"

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

}  // namespace
