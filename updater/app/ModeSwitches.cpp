#include "updater/app/ModeSwitches.h"

const char* const kModeSwitches[5] = {"/explicitupdate", "/updatenotice", "/adminprogress",
                                      "/bgprepare", "/sendlog"};

namespace {

unsigned char FoldAscii(unsigned char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c - 'A' + 'a') : c;
}

}  // namespace

// The switches are plain ASCII. The system's multibyte-aware comparison takes a lead byte
// together with the byte after it, and such a character never equals an ASCII one; so only a
// word of the same ASCII letters can match, and folding ASCII letters alone gives the same
// answer for every word.
int ModeOfSwitch(const char* word) {
    if (!word) return -1;
    for (int index = 0; index < 5; ++index) {
        const unsigned char* a = reinterpret_cast<const unsigned char*>(word);
        const unsigned char* b = reinterpret_cast<const unsigned char*>(kModeSwitches[index]);
        while (*a && FoldAscii(*a) == *b) ++a, ++b;
        if (!*a && !*b) return index;
    }
    return -1;
}

ModeCommand ReadModeCommand(int argc, const char* const* argv) {
    ModeCommand command;
    if (argc < 3 || !argv || !argv[2]) return command;
    command.complete = true;
    command.mode = ModeOfSwitch(argv[1]);
    if (command.mode >= 0) command.argument = argv[2];
    return command;
}
