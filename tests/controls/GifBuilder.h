#pragma once
// Builds GIF files block by block for the tests: real, decodable images (LZW data the system's
// loader reads) and any malformed block a test wants. Includes no Windows header.
#include <cstdint>
#include <string>
#include <vector>

namespace giftest {

struct Colour {
    uint8_t r, g, b;
};

class GifBuilder {
public:
    // Header "GIF89a" and the logical screen; `palette` becomes the global colour table (padded
    // to a power of two, at least two entries) unless it is empty.
    GifBuilder(int width, int height, const std::vector<Colour>& palette, int background = 0) {
        Raw({'G', 'I', 'F', '8', '9', 'a'});
        Word(width);
        Word(height);
        int bits = 1;
        while ((1u << bits) < palette.size()) ++bits;
        Byte(palette.empty() ? 0 : 0x80 | (bits - 1));
        Byte(background);
        Byte(0);
        if (!palette.empty()) {
            for (size_t i = 0; i < (size_t(1) << bits); ++i) {
                const Colour c = i < palette.size() ? palette[i] : Colour{0, 0, 0};
                Raw({c.r, c.g, c.b});
            }
        }
    }

    // Graphic control extension: delay in hundredths, disposal 0-7, no transparency.
    GifBuilder& Control(int delay, int disposal) {
        Raw({0x21, 0xF9, 0x04, uint8_t((disposal & 7) << 2)});
        Word(delay);
        Raw({0x00, 0x00});
        return *this;
    }
    GifBuilder& Comment(const std::string& text) {
        Raw({0x21, 0xFE});
        Chain(std::vector<uint8_t>(text.begin(), text.end()));
        return *this;
    }
    // The looping extension browsers know.
    GifBuilder& Application() {
        Raw({0x21, 0xFF, 0x0B});
        const std::string id = "NETSCAPE2.0";
        Raw(std::vector<uint8_t>(id.begin(), id.end()));
        Raw({0x03, 0x01, 0x00, 0x00, 0x00});
        return *this;
    }
    GifBuilder& PlainText(int left, int top, int width, int height, const std::string& text) {
        Raw({0x21, 0x01, 0x0C});
        Word(left);
        Word(top);
        Word(width);
        Word(height);
        Raw({8, 8, 1, 0});
        Chain(std::vector<uint8_t>(text.begin(), text.end()));
        return *this;
    }
    // An image of one colour index.
    GifBuilder& Image(int left, int top, int width, int height, uint8_t index) {
        return Image(left, top, width, height,
                     std::vector<uint8_t>(size_t(width) * height, index));
    }
    GifBuilder& Image(int left, int top, int width, int height,
                      const std::vector<uint8_t>& indices) {
        Byte(0x2C);
        Word(left);
        Word(top);
        Word(width);
        Word(height);
        Byte(0);
        Byte(8);  // LZW minimum code size
        Chain(Lzw(indices));
        return *this;
    }
    GifBuilder& Trailer() { return Byte(0x3B); }

    GifBuilder& Byte(int value) {
        bytes_.push_back(uint8_t(value));
        return *this;
    }
    GifBuilder& Word(int value) {
        bytes_.push_back(uint8_t(value & 0xFF));
        bytes_.push_back(uint8_t((value >> 8) & 0xFF));
        return *this;
    }
    GifBuilder& Raw(const std::vector<uint8_t>& data) {
        bytes_.insert(bytes_.end(), data.begin(), data.end());
        return *this;
    }
    // Data split into sub-blocks of up to 255 bytes, then the terminating zero.
    GifBuilder& Chain(const std::vector<uint8_t>& data) {
        for (size_t at = 0; at < data.size(); at += 255) {
            const size_t n = data.size() - at < 255 ? data.size() - at : 255;
            bytes_.push_back(uint8_t(n));
            bytes_.insert(bytes_.end(), data.begin() + at, data.begin() + at + n);
        }
        bytes_.push_back(0);
        return *this;
    }

    size_t size() const { return bytes_.size(); }
    const std::vector<uint8_t>& bytes() const { return bytes_; }

private:
    // LZW with 9-bit codes only: a clear code before every 64 pixels keeps the code table far
    // from growing, which every decoder reads the same way.
    static std::vector<uint8_t> Lzw(const std::vector<uint8_t>& indices) {
        std::vector<uint8_t> out;
        uint32_t buffer = 0;
        int bits = 0;
        auto put = [&](uint32_t code) {
            buffer |= code << bits;
            bits += 9;
            while (bits >= 8) {
                out.push_back(uint8_t(buffer & 0xFF));
                buffer >>= 8;
                bits -= 8;
            }
        };
        for (size_t i = 0; i < indices.size(); ++i) {
            if (i % 64 == 0) put(256);
            put(indices[i]);
        }
        put(257);
        if (bits > 0) out.push_back(uint8_t(buffer & 0xFF));
        return out;
    }

    std::vector<uint8_t> bytes_;
};

}  // namespace giftest
