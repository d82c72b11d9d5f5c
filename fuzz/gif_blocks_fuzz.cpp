// libFuzzer target: the GIF block walk of the animated picture control on arbitrary bytes. The
// data is copied into a buffer of its exact size, so AddressSanitizer catches any read past its
// end; the walk's results must stay inside the data and follow each other.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "updater/controls/GifBlocks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* input, std::size_t size) {
    std::unique_ptr<std::uint8_t[]> data(new std::uint8_t[size ? size : 1]);
    if (size) std::memcpy(data.get(), input, size);

    // Every position: the type and length of whatever block starts there.
    for (std::size_t pos = 0; pos <= size && pos < 64; ++pos) {
        const std::size_t length = gif::BlockLength(data.get(), size, pos);
        if (length > size - pos) __builtin_trap();
        (void)gif::TypeAt(data.get(), size, pos);
    }

    gif::Screen screen;
    if (!gif::ReadScreen(data.get(), size, &screen)) {
        if (size >= 13) __builtin_trap();
        return 0;
    }
    if (screen.first_block != 13 + screen.color_table_size) __builtin_trap();
    if (screen.color_table_size > 768) __builtin_trap();

    std::size_t previous_end = screen.first_block;
    for (const gif::Frame& frame : gif::Frames(data.get(), size, screen)) {
        if (frame.begin < previous_end || frame.end <= frame.begin || frame.end > size)
            __builtin_trap();
        if (frame.disposal > 7) __builtin_trap();
        if (frame.has_control ? frame.delay > 0xFFFF : frame.delay != gif::kNoDelay)
            __builtin_trap();
        previous_end = frame.end;
        const auto single = gif::SingleFrameGif(data.get(), size, screen, frame);
        if (single.size() != screen.first_block + (frame.end - frame.begin) + 1) __builtin_trap();
        if (single.back() != 0x3B) __builtin_trap();
        // The single-frame GIF walks to exactly that one frame.
        gif::Screen again;
        if (!gif::ReadScreen(single.data(), single.size(), &again)) __builtin_trap();
        const auto frames = gif::Frames(single.data(), single.size(), again);
        if (frames.size() != 1 || frames[0].end != single.size() - 1) __builtin_trap();
    }
    return 0;
}
