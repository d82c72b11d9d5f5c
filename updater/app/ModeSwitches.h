#pragma once
// Norvane's command line read into a mode and its argument, apart from acting on it.
#include <string>

#include "updater/app/UpdateMode.h"

// The switches in mode order.
extern const char* const kModeSwitches[5];

// The mode whose switch the word is, compared without regard to case; -1 when none is.
int ModeOfSwitch(const char* word);

struct ModeCommand {
    bool complete = false;  // program path, switch and argument were all given
    int mode = -1;          // -1 when incomplete or when no switch matched
    std::string argument;   // argument 2: a product name, or the address of "/sendlog"
    // A product name is required in modes 0 to 3; an empty one starts nothing.
    bool HasProduct() const { return mode >= ExplicitUpdate && mode <= BgPrepare && !argument.empty(); }
};

// Arguments after the third are ignored.
ModeCommand ReadModeCommand(int argc, const char* const* argv);

// What the copy that hands over tells the elevated "/adminprogress" copy after the product name.
struct HandOverArguments {
    bool given = false;       // any argument after the product name
    bool valid = false;       // every such argument known and well-formed
    std::string data_folder;  // "/data=<folder>"
    unsigned long window = 0; // "/handover=<decimal handle>"
};
HandOverArguments ReadHandOverArguments(int argc, const char* const* argv);

// A folder the elevated copy may take its data from, judged by its text alone: a drive letter,
// ":\", no further ":" (streams), no "..", "." or empty part, no wildcard or other character
// a name cannot hold, shorter than MAX_PATH. That it exists, and is a local folder, is the
// caller's to check.
bool IsAbsoluteLocalFolderText(const std::string& path);
