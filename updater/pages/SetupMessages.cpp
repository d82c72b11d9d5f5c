#include "updater/pages/SetupMessages.h"

namespace {
SetupMessages g_messages = {0, 0, 0};
}

const SetupMessages& RegisterSetupMessages() {
    if (!g_messages.progress_length) {
        g_messages.progress_length = RegisterWindowMessageA("QDL_PROGRESSLEN");
        g_messages.progress_position = RegisterWindowMessageA("QDL_PROGRESSPOS");
        g_messages.exit_code = RegisterWindowMessageA("QDL_EXITCODE");
    }
    return g_messages;
}

const SetupMessages& RegisteredSetupMessages() { return g_messages; }

bool IsSetupMessage(UINT message) {
    return message != 0 && (message == g_messages.progress_length ||
                            message == g_messages.progress_position ||
                            message == g_messages.exit_code);
}
