// The language module's wholeness check: a module whose headers or sections run past the end of
// the file is refused before it is mapped (a resource read past the end faults in the system).
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "updater/platform/ModuleImage.h"

namespace {

void Put(std::string& bytes, size_t at, std::uint32_t value, int size) {
    for (int i = 0; i < size; ++i) bytes[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

// A small image: headers in the first 512 bytes, one section of 512 bytes after them.
std::string SmallImage() {
    std::string bytes(1024, '\0');
    bytes[0] = 'M';
    bytes[1] = 'Z';
    Put(bytes, 0x3C, 64, 4);
    bytes.replace(64, 4, std::string("PE\0\0", 4));
    Put(bytes, 68 + 2, 1, 2);     // one section
    Put(bytes, 68 + 16, 224, 2);  // optional header size
    Put(bytes, 88 + 60, 512, 4);  // size of headers
    const size_t section = 88 + 224;
    Put(bytes, section + 16, 512, 4);  // raw size
    Put(bytes, section + 20, 512, 4);  // raw pointer
    return bytes;
}

}  // namespace

TEST(ModuleImage, WholeImageIsTakenAndEveryCutOneRefused) {
    const std::string image = SmallImage();
    EXPECT_TRUE(ModuleImageIsWhole(image));
    for (size_t cut : {size_t(0), size_t(2), size_t(63), size_t(70), size_t(300), size_t(511),
                       size_t(512), size_t(1023)}) {
        EXPECT_FALSE(ModuleImageIsWhole(image.substr(0, cut))) << cut;
    }
    // Bytes after the last section (an appended signature, say) do no harm.
    EXPECT_TRUE(ModuleImageIsWhole(image + std::string(100, 'x')));
}

TEST(ModuleImage, DamagedHeadersAreRefused) {
    struct Damage {
        const char* what;
        size_t at;
        std::uint32_t value;
        int size;
    };
    const Damage damages[] = {
        {"no MZ", 0, 'X', 1},
        {"new header past the end", 0x3C, 0xFFFFFFF0u, 4},
        {"no PE signature", 64, 'N', 1},
        {"no sections", 68 + 2, 0, 2},
        {"more sections than the table holds", 68 + 2, 0xFFFF, 2},
        {"optional header too short", 68 + 16, 8, 2},
        {"headers larger than the file", 88 + 60, 4096, 4},
        {"section past the end", 88 + 224 + 20, 0xFFFFFF00u, 4},
        {"section longer than the file", 88 + 224 + 16, 0x7FFFFFFF, 4},
    };
    for (const Damage& damage : damages) {
        std::string image = SmallImage();
        Put(image, damage.at, damage.value, damage.size);
        EXPECT_FALSE(ModuleImageIsWhole(image)) << damage.what;
    }
    // A section without raw bytes (uninitialised data) points nowhere and is fine.
    std::string image = SmallImage();
    Put(image, 88 + 224 + 16, 0, 4);
    Put(image, 88 + 224 + 20, 0xFFFFFFFFu, 4);
    EXPECT_TRUE(ModuleImageIsWhole(image));
}

// Norvane reads only the headers and measures the file: the sections are checked against the
// size, and headers that were not read count as missing.
TEST(ModuleImage, HeadersAndTheFileSizeDecide) {
    const std::string image = SmallImage();
    struct Case {
        size_t read;
        std::uint64_t size;
        bool whole;
    };
    const Case cases[] = {
        {512, 1024, true},    // the headers alone, the section in the file
        {1024, 1024, true},   // all of it
        {512, 5000, true},    // bytes after the last section
        {512, 1023, false},   // the section runs past the end
        {512, 511, false},    // more read than the file holds
        {300, 1024, false},   // the section table was not read
        {64, 1024, false},    // nor the signature
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ModuleImageIsWhole(image.substr(0, c.read), c.size), c.whole)
            << c.read << " of " << c.size;
    }
}

#ifdef _WIN32
#include "tests/support/TestSupport.h"

// The shipped module and programs are whole; the module cut anywhere is not. (The programs of
// this tree carry debug symbols after their last section, which a cut may take away harmlessly.)
TEST(ModuleImage, ShippedFilesAreWholeAndACutModuleIsNot) {
    using namespace testsupport;
    for (const char* name : {"ko-KR.dll", "Norvane.exe", "Pallix.exe"}) {
        const std::string bytes = ReadTextFile(Join(BinDir(), name)).value_or("");
        ASSERT_FALSE(bytes.empty()) << name;
        EXPECT_TRUE(ModuleImageIsWhole(bytes)) << name;
    }
    const std::string module = ReadTextFile(Join(BinDir(), "ko-KR.dll")).value_or("");
    const std::string headers = module.substr(0, kModuleHeadersCap);
    EXPECT_TRUE(ModuleImageIsWhole(headers, module.size()));
    for (size_t part : {2u, 3u, 8u, 100u}) {
        const size_t cut = module.size() - module.size() / part;
        EXPECT_FALSE(ModuleImageIsWhole(module.substr(0, cut))) << "cut by 1/" << part;
        EXPECT_FALSE(ModuleImageIsWhole(headers.substr(0, cut), cut)) << "cut by 1/" << part;
    }
}
#endif
