#pragma once
// The messages a product's setup program posts to report its progress and its end, registered
// by name once at start-up: wParam is the sender's process identifier.
#include <windows.h>

struct SetupMessages {
    UINT progress_length;  // "QDL_PROGRESSLEN": lParam is the total amount of work
    UINT progress_position;  // "QDL_PROGRESSPOS": lParam is the current position
    UINT exit_code;  // "QDL_EXITCODE": the setup program has finished
};

// Registers the three messages (once; later calls return the same numbers).
const SetupMessages& RegisterSetupMessages();
// The numbers registered; zero before RegisterSetupMessages.
const SetupMessages& RegisteredSetupMessages();
// True for any of the three (never for 0).
bool IsSetupMessage(UINT message);
