#include "updater/app/ModeSwitches.h"

#include <cstring>

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

namespace {

bool StartsWith(const char* text, const char* prefix) {
    return std::strncmp(text, prefix, std::strlen(prefix)) == 0;
}

// A window handle in decimal: digits only, not zero, within 32 bits.
bool ReadWindowNumber(const char* text, unsigned long* window) {
    if (!*text || std::strlen(text) > 10) return false;
    unsigned long long value = 0;
    for (const char* c = text; *c; ++c) {
        if (*c < '0' || *c > '9') return false;
        value = value * 10 + static_cast<unsigned>(*c - '0');
    }
    if (value == 0 || value > 0xFFFFFFFFull) return false;
    *window = static_cast<unsigned long>(value);
    return true;
}

}  // namespace

HandOverArguments ReadHandOverArguments(int argc, const char* const* argv) {
    HandOverArguments arguments;
    if (argc <= 3 || !argv) {
        arguments.valid = true;
        return arguments;
    }
    arguments.given = true;
    bool has_data = false, has_window = false;
    for (int index = 3; index < argc; ++index) {
        const char* word = argv[index];
        if (!word) return arguments;
        if (StartsWith(word, "/data=") && !has_data) {
            arguments.data_folder = word + 6;
            if (!IsAbsoluteLocalFolderText(arguments.data_folder)) return arguments;
            has_data = true;
        } else if (StartsWith(word, "/handover=") && !has_window) {
            if (!ReadWindowNumber(word + 10, &arguments.window)) return arguments;
            has_window = true;
        } else {
            return arguments;
        }
    }
    arguments.valid = has_data;
    return arguments;
}

bool IsAbsoluteLocalFolderText(const std::string& path) {
    // MAX_PATH less the room the product's folder and its files need beyond it.
    if (path.size() < 3 || path.size() >= 260) return false;
    const char drive = path[0];
    if (!((drive >= 'A' && drive <= 'Z') || (drive >= 'a' && drive <= 'z'))) return false;
    if (path[1] != ':' || path[2] != '\\') return false;
    if (path.size() == 3) return true;
    size_t part_start = 3;
    for (size_t at = 3; at <= path.size(); ++at) {
        const char c = at < path.size() ? path[at] : '\\';
        if (c == '\\') {
            const std::string part = path.substr(part_start, at - part_start);
            // Only a closing backslash leaves an empty part.
            if (part.empty() && at != path.size()) return false;
            if (part == "." || part == "..") return false;
            // Windows drops trailing dots and blanks: "x." would be another folder than it reads.
            if (!part.empty() && (part.back() == '.' || part.back() == ' ')) return false;
            part_start = at + 1;
            continue;
        }
        if (static_cast<unsigned char>(c) < 32 || std::strchr(":*?\"<>|/", c)) return false;
    }
    return true;
}
