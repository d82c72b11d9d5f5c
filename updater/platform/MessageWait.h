#pragma once
// Waiting on another thread or process from a thread that owns windows. The thread keeps
// dispatching its messages while it waits and wakes as soon as one arrives, so its windows
// answer at once however long the wait; a sleep between polls would leave them dead for the
// length of each sleep.
#include <windows.h>

enum class WaitEnd {
    kSignalled,  // the handle was signalled
    kTimedOut,   // the time passed first
    kQuit,       // a quit message arrived (only when asked to end on it); it is posted again
    kFailed,     // the handle cannot be waited on
};

// Waits up to timeout_ms (INFINITE for no limit) for the handle. A quit message seen meanwhile
// is posted again before the wait returns, so that the application still ends; with
// end_on_quit the wait returns kQuit at once, otherwise it goes on until the handle or the time.
// Keyboard messages of a dialog go through its dialog manager, as in its own message loop.
WaitEnd WaitDispatchingMessages(HANDLE handle, DWORD timeout_ms, bool end_on_quit = false);

// Answers the messages other threads and programs have sent to this thread's windows, and
// nothing else: posted messages and input stay queued in their order. For a long piece of work
// on a window's thread that must not let a posted request overtake it, called between its steps.
void AnswerSentMessages();

// The milliseconds left of a limit of `limit_ms` begun at `start` (GetTickCount, which wraps),
// 0 once it has passed; INFINITE stays INFINITE.
DWORD RemainingMs(DWORD start, DWORD limit_ms, DWORD now);
