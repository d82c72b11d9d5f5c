// The GIF block walk: the screen descriptor, block lengths, where frames begin and end, and the
// single-frame GIFs built from them. Includes no Windows header: it also runs natively under
// AddressSanitizer, where every buffer below has exactly the size of its data, so a read past
// the end is caught.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "tests/controls/GifBuilder.h"
#include "updater/controls/GifBlocks.h"

namespace {

using giftest::Colour;
using giftest::GifBuilder;

const std::vector<Colour> kPalette = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {9, 8, 7}};

std::vector<gif::Frame> Walk(const std::vector<uint8_t>& bytes) {
    gif::Screen screen;
    if (!gif::ReadScreen(bytes.data(), bytes.size(), &screen)) return {};
    return gif::Frames(bytes.data(), bytes.size(), screen);
}

TEST(GifScreen, SizeColourTableAndBackgroundComeFromTheDescriptor) {
    const auto bytes = GifBuilder(300, 2, kPalette, 3).Trailer().bytes();
    gif::Screen screen;
    ASSERT_TRUE(gif::ReadScreen(bytes.data(), bytes.size(), &screen));
    EXPECT_EQ(300, screen.width);  // little-endian words
    EXPECT_EQ(2, screen.height);
    EXPECT_EQ(12u, screen.color_table_size);  // 3 x 2^((packed & 7) + 1) with 4 entries
    EXPECT_EQ(25u, screen.first_block);
    ASSERT_TRUE(screen.has_background);
    EXPECT_EQ(9, screen.background_red);
    EXPECT_EQ(8, screen.background_green);
    EXPECT_EQ(7, screen.background_blue);

    // No table: blocks start right after the descriptor.
    const auto bare = GifBuilder(1, 1, {}).Trailer().bytes();
    ASSERT_TRUE(gif::ReadScreen(bare.data(), bare.size(), &screen));
    EXPECT_EQ(0u, screen.color_table_size);
    EXPECT_EQ(13u, screen.first_block);
    EXPECT_FALSE(screen.has_background);

    // The largest table: 768 bytes.
    std::vector<uint8_t> big = bare;
    big[10] = 0x87;
    ASSERT_TRUE(gif::ReadScreen(big.data(), big.size(), &screen));
    EXPECT_EQ(768u, screen.color_table_size);
    EXPECT_TRUE(gif::Frames(big.data(), big.size(), screen).empty());  // the table is not there

    // A background index past a two-entry table names no colour (and reads nothing past it).
    std::vector<uint8_t> small = GifBuilder(1, 1, {{1, 2, 3}, {4, 5, 6}}, 200).Trailer().bytes();
    ASSERT_TRUE(gif::ReadScreen(small.data(), small.size(), &screen));
    EXPECT_EQ(6u, screen.color_table_size);
    EXPECT_FALSE(screen.has_background);

    // Fewer than 13 bytes: no screen.
    for (size_t n = 0; n < 13; ++n) {
        const std::vector<uint8_t> cut(bare.begin(), bare.begin() + n);
        EXPECT_FALSE(gif::ReadScreen(cut.data(), cut.size(), &screen)) << n;
    }
    EXPECT_TRUE(gif::IsGif(bare.data(), 3));
    const uint8_t bitmap[] = {'B', 'M', 0};
    EXPECT_FALSE(gif::IsGif(bitmap, sizeof(bitmap)));
    EXPECT_FALSE(gif::IsGif(bare.data(), 2));
}

TEST(GifBlocks, EachBlockTypeHasItsLength) {
    GifBuilder gif(4, 4, kPalette);
    const size_t control = gif.size();
    gif.Control(7, 2);
    const size_t comment = gif.size();
    gif.Comment("hello");
    const size_t application = gif.size();
    gif.Application();
    const size_t text = gif.size();
    gif.PlainText(0, 0, 4, 4, "ab");
    const size_t image = gif.size();
    gif.Image(0, 0, 4, 4, 1);
    const size_t trailer = gif.size();
    gif.Trailer();
    const auto& b = gif.bytes();

    EXPECT_EQ(gif::BlockType::ControlExtension, gif::TypeAt(b.data(), b.size(), control));
    EXPECT_EQ(8u, gif::BlockLength(b.data(), b.size(), control));
    EXPECT_EQ(gif::BlockType::Comment, gif::TypeAt(b.data(), b.size(), comment));
    EXPECT_EQ(2u + 1 + 5 + 1, gif::BlockLength(b.data(), b.size(), comment));
    EXPECT_EQ(gif::BlockType::Application, gif::TypeAt(b.data(), b.size(), application));
    EXPECT_EQ(14u + 4 + 1, gif::BlockLength(b.data(), b.size(), application));
    EXPECT_EQ(gif::BlockType::PlainText, gif::TypeAt(b.data(), b.size(), text));
    EXPECT_EQ(15u + 3 + 1, gif::BlockLength(b.data(), b.size(), text));
    EXPECT_EQ(gif::BlockType::Image, gif::TypeAt(b.data(), b.size(), image));
    EXPECT_EQ(trailer - image, gif::BlockLength(b.data(), b.size(), image));
    EXPECT_EQ(gif::BlockType::Trailer, gif::TypeAt(b.data(), b.size(), trailer));
    EXPECT_EQ(1u, gif::BlockLength(b.data(), b.size(), trailer));

    // An image with a local colour table of 2^(1+1) entries.
    std::vector<uint8_t> local = {0x2C, 0, 0, 0, 0, 1, 0, 1, 0, 0x81};
    local.insert(local.end(), 12, 0x55);                  // the table
    local.insert(local.end(), {8, 2, 0x00, 0x01, 0});     // code size, one sub-block, end
    EXPECT_EQ(local.size(), gif::BlockLength(local.data(), local.size(), 0));

    // Unknown: another introducer, another extension label, a lone "!" at the end.
    const std::vector<uint8_t> odd = {0x00, 0x21, 0x02, 0x21};
    EXPECT_EQ(gif::BlockType::Unknown, gif::TypeAt(odd.data(), odd.size(), 0));
    EXPECT_EQ(gif::BlockType::Unknown, gif::TypeAt(odd.data(), odd.size(), 1));
    EXPECT_EQ(gif::BlockType::Unknown, gif::TypeAt(odd.data(), odd.size(), 3));
    EXPECT_EQ(0u, gif::BlockLength(odd.data(), odd.size(), 1));
    EXPECT_EQ(0u, gif::BlockLength(odd.data(), odd.size(), 4));  // at the very end
}

TEST(GifBlocks, LengthBytesThatPointPastTheEndStopTheWalk) {
    // A sub-block claiming 255 bytes where only 3 remain.
    std::vector<uint8_t> comment = {0x21, 0xFE, 0xFF, 'a', 'b', 'c'};
    EXPECT_EQ(0u, gif::BlockLength(comment.data(), comment.size(), 0));
    // A chain without its terminating zero.
    comment = {0x21, 0xFE, 0x02, 'a', 'b'};
    EXPECT_EQ(0u, gif::BlockLength(comment.data(), comment.size(), 0));
    comment.push_back(0);
    EXPECT_EQ(comment.size(), gif::BlockLength(comment.data(), comment.size(), 0));
    // An image whose local table is larger than what is left.
    const std::vector<uint8_t> image = {0x2C, 0, 0, 0, 0, 1, 0, 1, 0, 0x87, 8, 0};
    EXPECT_EQ(0u, gif::BlockLength(image.data(), image.size(), 0));
    // A graphic control extension cut short.
    const std::vector<uint8_t> control = {0x21, 0xF9, 0x04, 0, 10, 0, 0};
    EXPECT_EQ(0u, gif::BlockLength(control.data(), control.size(), 0));
}

TEST(GifFrames, AControlExtensionOpensAFrameThatItsImageEnds) {
    GifBuilder gif(8, 8, kPalette);
    gif.Application().Comment("skipped before the frame");
    const size_t first = gif.size();
    gif.Control(7, 3).Comment("inside the frame").Image(1, 2, 3, 4, 0);
    const size_t second = gif.size();
    gif.Image(0, 0, 8, 8, 1);  // no control extension
    const size_t third = gif.size();
    gif.Control(0x1234, 7).PlainText(5, 6, 2, 1, "t");  // plain text ends a frame too
    const size_t fourth = gif.size();
    gif.PlainText(0, 0, 1, 1, "u");
    const size_t end = gif.size();
    gif.Trailer();

    const auto frames = Walk(gif.bytes());
    ASSERT_EQ(4u, frames.size());
    EXPECT_EQ(first, frames[0].begin);
    EXPECT_EQ(second, frames[0].end);
    EXPECT_TRUE(frames[0].has_control);
    EXPECT_EQ(7u, frames[0].delay);
    EXPECT_EQ(3u, frames[0].disposal);
    EXPECT_EQ(1u, frames[0].left);
    EXPECT_EQ(2u, frames[0].top);
    EXPECT_EQ(3u, frames[0].width);
    EXPECT_EQ(4u, frames[0].height);

    EXPECT_EQ(second, frames[1].begin);
    EXPECT_EQ(third, frames[1].end);
    EXPECT_FALSE(frames[1].has_control);
    EXPECT_EQ(gif::kNoDelay, frames[1].delay);
    EXPECT_EQ(8u, frames[1].width);

    EXPECT_EQ(third, frames[2].begin);
    EXPECT_EQ(fourth, frames[2].end);
    EXPECT_EQ(0x1234u, frames[2].delay);
    EXPECT_EQ(7u, frames[2].disposal);  // bits 2-4 of the packed byte
    EXPECT_EQ(5u, frames[2].left);
    EXPECT_EQ(6u, frames[2].top);

    EXPECT_EQ(fourth, frames[3].begin);
    EXPECT_EQ(end, frames[3].end);
}

TEST(GifFrames, TrailerUnknownBlocksAndUnfinishedFramesEndTheWalk) {
    // Frames after the trailer are never seen.
    auto bytes = GifBuilder(2, 2, kPalette).Image(0, 0, 2, 2, 0).Trailer().Image(0, 0, 2, 2, 1).bytes();
    EXPECT_EQ(1u, Walk(bytes).size());
    // An unknown block ends the walk.
    bytes = GifBuilder(2, 2, kPalette).Image(0, 0, 2, 2, 0).Byte(0x99).Image(0, 0, 2, 2, 1).bytes();
    EXPECT_EQ(1u, Walk(bytes).size());
    // A control extension followed by the trailer is no frame.
    bytes = GifBuilder(2, 2, kPalette).Image(0, 0, 2, 2, 0).Control(5, 0).Trailer().bytes();
    EXPECT_EQ(1u, Walk(bytes).size());
    // Nothing but extensions: no frame.
    bytes = GifBuilder(2, 2, kPalette).Comment("x").Application().Trailer().bytes();
    EXPECT_TRUE(Walk(bytes).empty());
}

TEST(GifFrames, CutOffDataNeverYieldsAFramePastItsEnd) {
    GifBuilder gif(16, 16, kPalette);
    gif.Application();
    for (int i = 0; i < 3; ++i) gif.Control(10, i).Comment("c").Image(i, i, 16 - i, 16 - i, uint8_t(i));
    gif.Trailer();
    const auto& full = gif.bytes();
    ASSERT_EQ(3u, Walk(full).size());

    size_t previous = 0;
    for (size_t n = 0; n <= full.size(); ++n) {
        // A buffer of exactly n bytes: a read past it is a sanitizer finding natively.
        const std::vector<uint8_t> cut(full.begin(), full.begin() + n);
        const auto frames = Walk(cut);
        EXPECT_GE(frames.size(), previous) << n;  // more data never loses a frame
        previous = frames.size();
        for (const auto& frame : frames) EXPECT_LE(frame.end, n) << n;
    }
    EXPECT_EQ(3u, previous);
}

TEST(GifFrames, SingleFrameGifIsHeaderTableFrameAndTrailer) {
    GifBuilder gif(6, 6, kPalette);
    gif.Control(4, 1).Image(0, 0, 6, 6, 2);
    const size_t second = gif.size();
    gif.Comment("between").Control(9, 2).Image(1, 1, 2, 2, 3).Trailer();
    const auto& b = gif.bytes();
    gif::Screen screen;
    ASSERT_TRUE(gif::ReadScreen(b.data(), b.size(), &screen));
    const auto frames = gif::Frames(b.data(), b.size(), screen);
    ASSERT_EQ(2u, frames.size());
    EXPECT_GT(frames[1].begin, second);  // the comment is not part of the frame

    const auto single = gif::SingleFrameGif(b.data(), b.size(), screen, frames[1]);
    ASSERT_EQ(screen.first_block + (frames[1].end - frames[1].begin) + 1, single.size());
    EXPECT_TRUE(std::equal(b.begin(), b.begin() + screen.first_block, single.begin()));
    EXPECT_TRUE(std::equal(b.begin() + frames[1].begin, b.begin() + frames[1].end,
                           single.begin() + screen.first_block));
    EXPECT_EQ(0x3B, single.back());
    const auto again = Walk(single);
    ASSERT_EQ(1u, again.size());
    EXPECT_EQ(9u, again[0].delay);
    EXPECT_EQ(2u, again[0].disposal);

    // A frame that does not lie within the data gives nothing.
    gif::Frame outside = frames[1];
    outside.end = b.size() + 1;
    EXPECT_TRUE(gif::SingleFrameGif(b.data(), b.size(), screen, outside).empty());
    gif::Screen cut = screen;
    cut.first_block = b.size() + 1;
    EXPECT_TRUE(gif::SingleFrameGif(b.data(), b.size(), cut, frames[1]).empty());
}

}  // namespace
