#pragma once
// The GIF block walk of the animated picture control: the header, the blocks and where each
// frame begins and ends, and a self-contained single-frame GIF for every frame, so that the
// system's picture loader can decode one frame at a time. Includes no Windows header: it builds
// natively for the unit tests and the fuzzer too.
//
// Every read is checked against the data size: whatever the bytes say, nothing past the end is
// read, and a block that would end past it stops the walk.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace gif {

// The all-ones delay of a frame that has no graphic control extension.
constexpr uint32_t kNoDelay = 0xFFFFFFFFu;

struct Screen {
    int width = 0;   // logical screen size
    int height = 0;
    size_t color_table_size = 0;  // bytes of the global colour table, 0 without one
    bool has_background = false;  // the background index names an entry of the table
    uint8_t background_red = 0, background_green = 0, background_blue = 0;
    // Where the blocks begin: 13 + the colour table (may lie past the data's end).
    size_t first_block = 0;
};

enum class BlockType { ControlExtension, Comment, Application, PlainText, Image, Trailer, Unknown };

// True when the data begins with "GIF".
bool IsGif(const uint8_t* data, size_t size);
// The logical screen descriptor; false when the data is shorter than the 13 bytes of header and
// descriptor.
bool ReadScreen(const uint8_t* data, size_t size, Screen* out);

// The type of the block at `pos` ("!" needs its label byte too; a lone "!" at the end is
// unknown).
BlockType TypeAt(const uint8_t* data, size_t size, size_t pos);
// The length in bytes of the block at `pos`, or 0 when it is unknown or would end past `size`.
size_t BlockLength(const uint8_t* data, size_t size, size_t pos);

struct Frame {
    size_t begin = 0;  // first block (the graphic control extension when there is one)
    size_t end = 0;    // one past the image (or plain-text extension) that ends the frame
    bool has_control = false;
    uint32_t delay = kNoDelay;  // hundredths of a second
    uint32_t disposal = 0;      // 0-7
    uint32_t left = 0, top = 0, width = 0, height = 0;  // from the image descriptor
};

// The frame that begins at or after `*pos` (comment and application extensions before it are
// skipped); advances `*pos` past it. False at the trailer, an unknown block, a block running past
// the end, or a frame that is cut off before its image.
bool NextFrame(const uint8_t* data, size_t size, size_t* pos, Frame* out);
// Every frame from the first block on.
std::vector<Frame> Frames(const uint8_t* data, size_t size, const Screen& screen);

// Header, screen descriptor and global colour table, then the frame's blocks, then the trailer.
// Empty when the frame or the header does not lie within the data.
std::vector<uint8_t> SingleFrameGif(const uint8_t* data, size_t size, const Screen& screen,
                                    const Frame& frame);

}  // namespace gif
