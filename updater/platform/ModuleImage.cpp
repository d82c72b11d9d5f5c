#include "updater/platform/ModuleImage.h"

#include <cstdint>

namespace {

// Offsets of the image format's fields that the check reads.
constexpr std::size_t kDosHeaderSize = 64;
constexpr std::size_t kNewHeaderOffset = 0x3C;
constexpr std::size_t kSignatureSize = 4;
constexpr std::size_t kFileHeaderSize = 20;
constexpr std::size_t kSectionCountOffset = 2;      // in the file header
constexpr std::size_t kOptionalSizeOffset = 16;     // in the file header
constexpr std::size_t kSizeOfHeadersOffset = 60;    // in the optional header (both widths)
constexpr std::size_t kSectionHeaderSize = 40;
constexpr std::size_t kRawSizeOffset = 16;          // in a section header
constexpr std::size_t kRawPointerOffset = 20;

bool Read16(const std::string& bytes, std::size_t at, std::uint32_t* value) {
    if (at > bytes.size() || bytes.size() - at < 2) return false;
    *value = static_cast<unsigned char>(bytes[at]) |
             (static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + 1])) << 8);
    return true;
}

bool Read32(const std::string& bytes, std::size_t at, std::uint32_t* value) {
    std::uint32_t low = 0, high = 0;
    if (!Read16(bytes, at, &low) || !Read16(bytes, at + 2, &high)) return false;
    *value = low | (high << 16);
    return true;
}

// start + length within `size` bytes, without overflow.
bool Inside(std::uint64_t size, std::uint64_t start, std::uint64_t length) {
    return start <= size && length <= size - start;
}

}  // namespace

bool ModuleImageIsWhole(const std::string& bytes, std::uint64_t file_size) {
    // What is read must be in hand; what is only pointed at must be in the file.
    const std::uint64_t read = bytes.size();
    if (read > file_size) return false;
    if (bytes.size() < kDosHeaderSize || bytes[0] != 'M' || bytes[1] != 'Z') return false;
    std::uint32_t new_header = 0;
    if (!Read32(bytes, kNewHeaderOffset, &new_header)) return false;
    if (!Inside(read, new_header, kSignatureSize + kFileHeaderSize)) return false;
    if (bytes.compare(new_header, kSignatureSize, std::string("PE\0\0", 4)) != 0) return false;
    const std::uint64_t file_header = static_cast<std::uint64_t>(new_header) + kSignatureSize;
    std::uint32_t sections = 0, optional_size = 0;
    if (!Read16(bytes, static_cast<std::size_t>(file_header + kSectionCountOffset), &sections) ||
        !Read16(bytes, static_cast<std::size_t>(file_header + kOptionalSizeOffset), &optional_size)) {
        return false;
    }
    const std::uint64_t optional_header = file_header + kFileHeaderSize;
    if (optional_size < kSizeOfHeadersOffset + 4 || !Inside(read, optional_header, optional_size)) {
        return false;
    }
    std::uint32_t headers_size = 0;
    if (!Read32(bytes, static_cast<std::size_t>(optional_header + kSizeOfHeadersOffset),
                &headers_size) ||
        !Inside(file_size, 0, headers_size)) {
        return false;
    }
    const std::uint64_t table = optional_header + optional_size;
    if (sections == 0 || !Inside(read, table, static_cast<std::uint64_t>(sections) * kSectionHeaderSize)) {
        return false;
    }
    for (std::uint32_t index = 0; index < sections; ++index) {
        const std::size_t header = static_cast<std::size_t>(table + index * kSectionHeaderSize);
        std::uint32_t raw_size = 0, raw_pointer = 0;
        Read32(bytes, header + kRawSizeOffset, &raw_size);
        Read32(bytes, header + kRawPointerOffset, &raw_pointer);
        if (raw_size != 0 && !Inside(file_size, raw_pointer, raw_size)) return false;
    }
    return true;
}
