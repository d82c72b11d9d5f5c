#include "updater/controls/GifBlocks.h"

namespace gif {

namespace {

constexpr uint8_t kExtension = 0x21;  // "!"
constexpr uint8_t kImage = 0x2C;      // ","
constexpr uint8_t kTrailer = 0x3B;    // ";"

// Fixed parts of the blocks: the graphic control extension as a whole; the others up to their
// sub-block chain (label, block size byte and fixed fields; an image's descriptor and its LZW
// code size byte).
constexpr size_t kControlLength = 8;
constexpr size_t kCommentHead = 2;
constexpr size_t kApplicationHead = 14;
constexpr size_t kPlainTextHead = 15;
constexpr size_t kImageHead = 11;

uint32_t Word(const uint8_t* data, size_t at) {
    return static_cast<uint32_t>(data[at]) | (static_cast<uint32_t>(data[at + 1]) << 8);
}

// True when `length` bytes from `pos` lie within the data; `pos` itself may be anywhere.
bool Fits(size_t size, size_t pos, size_t length) { return pos <= size && length <= size - pos; }

// The bytes of a chain of sub-blocks from `pos`: each length byte plus its data, and the
// terminating zero. 0 when the chain runs past the end.
size_t ChainLength(const uint8_t* data, size_t size, size_t pos) {
    size_t at = pos;
    for (;;) {
        if (!Fits(size, at, 1)) return 0;
        const size_t length = data[at];
        if (length == 0) return at + 1 - pos;
        if (!Fits(size, at, length + 1)) return 0;
        at += length + 1;
    }
}

// A fixed head followed by a chain.
size_t HeadAndChain(const uint8_t* data, size_t size, size_t pos, size_t head) {
    if (!Fits(size, pos, head)) return 0;
    const size_t chain = ChainLength(data, size, pos + head);
    return chain ? head + chain : 0;
}

void TakeGeometry(const uint8_t* data, size_t pos, BlockType type, Frame* frame) {
    // The image descriptor: left, top, width, height from offset 1. A plain-text extension has
    // its text grid in the same order from offset 3.
    const size_t at = pos + (type == BlockType::Image ? 1 : 3);
    frame->left = Word(data, at);
    frame->top = Word(data, at + 2);
    frame->width = Word(data, at + 4);
    frame->height = Word(data, at + 6);
}

}  // namespace

bool IsGif(const uint8_t* data, size_t size) {
    return data && size >= 3 && data[0] == 'G' && data[1] == 'I' && data[2] == 'F';
}

bool ReadScreen(const uint8_t* data, size_t size, Screen* out) {
    *out = Screen{};
    if (!data || size < 13) return false;
    out->width = static_cast<int>(Word(data, 6));
    out->height = static_cast<int>(Word(data, 8));
    const uint8_t packed = data[10];
    if (packed & 0x80) {
        out->color_table_size = size_t(3) << ((packed & 7) + 1);
        // The background index may name an entry past a small table, or the table may be cut
        // off: then there is no background colour to take.
        const size_t entry = 13 + size_t(3) * data[11];
        if (entry + 3 <= 13 + out->color_table_size && Fits(size, entry, 3)) {
            out->has_background = true;
            out->background_red = data[entry];
            out->background_green = data[entry + 1];
            out->background_blue = data[entry + 2];
        }
    }
    out->first_block = 13 + out->color_table_size;
    return true;
}

BlockType TypeAt(const uint8_t* data, size_t size, size_t pos) {
    if (!data || !Fits(size, pos, 1)) return BlockType::Unknown;
    switch (data[pos]) {
    case kImage:
        return BlockType::Image;
    case kTrailer:
        return BlockType::Trailer;
    case kExtension:
        if (!Fits(size, pos, 2)) return BlockType::Unknown;
        switch (data[pos + 1]) {
        case 0xF9: return BlockType::ControlExtension;
        case 0xFE: return BlockType::Comment;
        case 0xFF: return BlockType::Application;
        case 0x01: return BlockType::PlainText;
        default: return BlockType::Unknown;
        }
    default:
        return BlockType::Unknown;
    }
}

size_t BlockLength(const uint8_t* data, size_t size, size_t pos) {
    switch (TypeAt(data, size, pos)) {
    case BlockType::ControlExtension:
        return Fits(size, pos, kControlLength) ? kControlLength : 0;
    case BlockType::Comment:
        return HeadAndChain(data, size, pos, kCommentHead);
    case BlockType::Application:
        return HeadAndChain(data, size, pos, kApplicationHead);
    case BlockType::PlainText:
        return HeadAndChain(data, size, pos, kPlainTextHead);
    case BlockType::Image: {
        if (!Fits(size, pos, 10)) return 0;
        const uint8_t packed = data[pos + 9];
        const size_t local_table = (packed & 0x80) ? size_t(3) << ((packed & 7) + 1) : 0;
        return HeadAndChain(data, size, pos, kImageHead + local_table);
    }
    case BlockType::Trailer:
        return 1;
    case BlockType::Unknown:
    default:
        return 0;
    }
}

bool NextFrame(const uint8_t* data, size_t size, size_t* pos, Frame* out) {
    *out = Frame{};
    size_t at = *pos;
    BlockType type = TypeAt(data, size, at);
    while (type == BlockType::Comment || type == BlockType::Application) {
        const size_t length = BlockLength(data, size, at);
        if (!length) return false;
        at += length;
        type = TypeAt(data, size, at);
    }

    Frame frame;
    frame.begin = at;
    if (type == BlockType::ControlExtension) {
        if (!BlockLength(data, size, at)) return false;
        frame.has_control = true;
        frame.disposal = (data[at + 3] >> 2) & 7;
        frame.delay = Word(data, at + 4);
        at += kControlLength;
        // Whatever follows belongs to this frame, up to and including its picture.
        for (;;) {
            type = TypeAt(data, size, at);
            const size_t length = BlockLength(data, size, at);
            if (!length || type == BlockType::Trailer) return false;
            if (type == BlockType::Image || type == BlockType::PlainText) {
                TakeGeometry(data, at, type, &frame);
                at += length;
                break;
            }
            at += length;
        }
    } else if (type == BlockType::Image || type == BlockType::PlainText) {
        const size_t length = BlockLength(data, size, at);
        if (!length) return false;
        TakeGeometry(data, at, type, &frame);
        at += length;
    } else {
        return false;
    }
    frame.end = at;
    *out = frame;
    *pos = at;
    return true;
}

std::vector<Frame> Frames(const uint8_t* data, size_t size, const Screen& screen) {
    std::vector<Frame> frames;
    size_t pos = screen.first_block;
    Frame frame;
    while (NextFrame(data, size, &pos, &frame)) frames.push_back(frame);
    return frames;
}

std::vector<uint8_t> SingleFrameGif(const uint8_t* data, size_t size, const Screen& screen,
                                    const Frame& frame) {
    std::vector<uint8_t> out;
    if (!data || screen.first_block > size || frame.begin < screen.first_block ||
        frame.end <= frame.begin || frame.end > size) {
        return out;
    }
    out.reserve(screen.first_block + (frame.end - frame.begin) + 1);
    out.insert(out.end(), data, data + screen.first_block);
    out.insert(out.end(), data + frame.begin, data + frame.end);
    out.push_back(kTrailer);
    return out;
}

}  // namespace gif
