#include "updater/platform/ExternalFile.h"

#include <cstdio>
#include <cstring>

ExternalFileResult ReadExternalFile(const std::string& path, ExternalFileMode mode,
                                    std::string* text, std::size_t cap) {
    text->clear();
#ifdef _WIN32
    const char* open_mode = mode == ExternalFileMode::Text ? "rt" : "rb";
#else
    const char* open_mode = "rb";
    (void)mode;
#endif
    std::FILE* file = std::fopen(path.c_str(), open_mode);
    if (!file) return ExternalFileResult::Unreadable;

    // Text mode counts the bytes after conversion; either way no more than the cap plus one
    // chunk is ever held, whatever the file's size.
    ExternalFileResult result = ExternalFileResult::Read;
    char buffer[4096];
    for (;;) {
        std::memset(buffer, 0, sizeof(buffer));
        const std::size_t got = std::fread(buffer, 1, sizeof(buffer) - 1, file);
        if (got == 0) break;
        if (got > cap - text->size()) {
            result = ExternalFileResult::TooLarge;
            break;
        }
        text->append(buffer, got);
    }
    // A read that failed part-way leaves no half of the file either.
    if (result == ExternalFileResult::Read && std::ferror(file)) result = ExternalFileResult::Unreadable;
    std::fclose(file);
    if (result != ExternalFileResult::Read) {
        text->clear();
        text->shrink_to_fit();
    }
    return result;
}
