#pragma once
// Reading a whole file that came from outside (the option file, the start-page enumeration
// list, a licence text) into memory, never more than a fixed cap.
//
// No Windows header here: the XML reader that calls this also builds natively for fuzzing.
#include <cstddef>
#include <string>

// Largest file read into memory: 4 MiB. Real option files and enumeration lists are a few
// kilobytes and licence texts a few hundred at most; the cap is ten times the largest of them.
// It keeps the worst case well inside a 32-bit process's 2 GiB: the XML reader's tree of a file
// made of nothing but empty elements takes 36 times the text (measured on a 64-bit build, whose
// nodes are the larger), so at most 144 MiB, and the readers of one file build their trees in
// turn, never two at once.
constexpr std::size_t kExternalFileCap = 4u * 1024u * 1024u;

enum class ExternalFileMode {
    Text,    // CR LF becomes LF (on Windows), as the XML reader expects
    Binary,  // the bytes as they are
};

enum class ExternalFileResult {
    Read,        // the whole file is in the text (it may be empty)
    Unreadable,  // missing or cannot be opened
    TooLarge,    // more than the cap: nothing of it is kept
};

// Reads the whole file into `text`. On any result but Read, `text` is empty: a file over the cap
// is never half-read.
ExternalFileResult ReadExternalFile(const std::string& path, ExternalFileMode mode,
                                    std::string* text, std::size_t cap = kExternalFileCap);
