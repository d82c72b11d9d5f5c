// How labels split their text into lines, measured with a fake font: every byte is 10 pixels
// wide. Includes no Windows header; it also runs natively.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "updater/controls/TextWrap.h"

namespace {

using Lines = std::vector<std::string>;

int TenPerByte(const char*, size_t count) { return static_cast<int>(count) * 10; }

Lines Split(const std::string& text, int width) {
    return textwrap::SplitLines(text, width, &TenPerByte);
}

TEST(LabelWrap, BreaksAtTheLastSpaceThatFitsAndCutsLongWords) {
    EXPECT_EQ(Lines({"short text"}), Split("short text", 200));
    // "aaa bbb" is 70 pixels: the line ends before its last space, which is dropped.
    EXPECT_EQ(Lines({"aaa", "bbb", "ccc"}), Split("aaa bbb ccc", 60));
    EXPECT_EQ(Lines({"one two", "three"}), Split("one two three", 100));
    // A word longer than the line is cut at the character that overflows.
    EXPECT_EQ(Lines({"abc", "def", "ghi", "j"}), Split("abcdefghij", 35));
    EXPECT_EQ(Lines({"ab", "cdefg", "hijkl", "m"}), Split("ab cdefghijklm", 50));
    // When the part that fits ends in a space, it is kept whole, space and all.
    EXPECT_EQ(Lines({"abc ", "defg", "h"}), Split("abc defgh", 40));
    // The overflowing character is a space: the line still ends at the space before it.
    EXPECT_EQ(Lines({"hello", "world foo"}), Split("hello world foo", 110));
}

TEST(LabelWrap, OnlyCrLfAndLfCrPairsBreakALine) {
    EXPECT_EQ(Lines({"a", "b", "c\nd\re"}), Split("a\r\nb\n\rc\nd\re", 1000));
    // Two line feeds are no pair.
    EXPECT_EQ(Lines({"x\n\ny"}), Split("x\n\ny", 1000));
    // A pair at the end leaves an empty last line; a pair at the start an empty first one.
    EXPECT_EQ(Lines({"end", ""}), Split("end\r\n", 1000));
    EXPECT_EQ(Lines({"", "start"}), Split("\r\nstart", 1000));
    // A CR of one pair does not pair again with the LF after it.
    EXPECT_EQ(Lines({"a", "\nb"}), Split("a\r\n\nb", 1000));
    // A line that just fits before its pair: the CR is not measured, so no empty line follows.
    EXPECT_EQ(Lines({"ab", "cd"}), Split("ab\r\ncd", 20));
    EXPECT_EQ(Lines({""}), Split("", 100));
}

TEST(LabelWrap, ALineNarrowerThanOneCharacterStillMovesOn) {
    // Taken literally the first character alone is too wide, the line before it is empty, and
    // the scan would start again at the same place forever.
    EXPECT_EQ(Lines({"a", "b", "c"}), Split("abc", 5));
    EXPECT_EQ(Lines({"a", "b"}), Split("ab", 0));
    EXPECT_EQ(Lines({"a", " ", "b"}), Split("a b", -3));
}

TEST(LabelWrap, DoubleByteCharactersAreNeverCut) {
    // Two two-byte characters: 20 pixels each, a line of 30 pixels holds one.
    const std::string text = "\x81\x41\x81\x42";
    const auto lead = [](unsigned char byte) { return byte == 0x81; };
    EXPECT_EQ(Lines({"\x81\x41", "\x81\x42"}),
              textwrap::SplitLines(text, 30, &TenPerByte, +lead));
    // A trail byte that looks like a break character does not start a pair.
    EXPECT_EQ(Lines({"\x81\r\n"}), textwrap::SplitLines("\x81\r\n", 1000, &TenPerByte, +lead));
    // A lead byte at the very end is one character of its own.
    EXPECT_EQ(Lines({"a", "\x81"}), textwrap::SplitLines("a\x81", 10, &TenPerByte, +lead));

    // The measure sees whole characters only.
    std::vector<size_t> counts;
    textwrap::SplitLines(text + text, 1000, [&](const char*, size_t n) {
        counts.push_back(n);
        return 0;
    }, +lead);
    EXPECT_EQ((std::vector<size_t>{2, 4, 6, 8}), counts);
}

}  // namespace
