#include "updater/platform/MessageWait.h"

namespace {

// Dispatches what is queued. False when a quit message was among them (consumed; the caller
// posts it again with its code).
bool DispatchQueued(WPARAM* quit_code) {
    bool quit = false;
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            quit = true;
            *quit_code = message.wParam;
            continue;
        }
        // Tab, Enter and Escape reach a dialog's controls as they would from its own loop.
        HWND root = message.hwnd ? GetAncestor(message.hwnd, GA_ROOT) : nullptr;
        if (root && IsDialogMessageA(root, &message)) continue;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return !quit;
}

}  // namespace

void AnswerSentMessages() {
    MSG message;
    // Peeking for sent messages alone calls their window procedures and removes nothing.
    PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
}

DWORD RemainingMs(DWORD start, DWORD limit_ms, DWORD now) {
    if (limit_ms == INFINITE) return INFINITE;
    const DWORD spent = now - start;  // unsigned: right across the counter's wrap
    return spent >= limit_ms ? 0 : limit_ms - spent;
}

WaitEnd WaitDispatchingMessages(HANDLE handle, DWORD timeout_ms, bool end_on_quit) {
    const DWORD start = GetTickCount();
    bool quit_seen = false;
    WPARAM quit_code = 0;
    WaitEnd end = WaitEnd::kTimedOut;
    for (;;) {
        // Whatever is already queued first: the wait below wakes only on messages that arrive
        // after it began.
        if (!DispatchQueued(&quit_code)) {
            quit_seen = true;
            if (end_on_quit) {
                end = WaitEnd::kQuit;
                break;
            }
        }
        const DWORD left = RemainingMs(start, timeout_ms, GetTickCount());
        const DWORD woke = MsgWaitForMultipleObjects(1, &handle, FALSE, left, QS_ALLINPUT);
        if (woke == WAIT_OBJECT_0) {
            end = WaitEnd::kSignalled;
            break;
        }
        if (woke == WAIT_OBJECT_0 + 1) continue;
        if (woke == WAIT_TIMEOUT) {
            end = WaitEnd::kTimedOut;
            break;
        }
        end = WaitEnd::kFailed;
        break;
    }
    if (quit_seen) PostQuitMessage(static_cast<int>(quit_code));
    return end;
}
