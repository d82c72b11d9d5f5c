#pragma once
// Worker threads. A body that throws must not take the process down with it: the exception
// would cross the system's thread start. The thread ends with kThreadFailed instead.
#include <windows.h>

namespace framework {

using ThreadBody = DWORD (*)(void* param);

// The exit code of a thread whose body threw.
constexpr DWORD kThreadFailed = 0xFFFFFFFFu;

// Runs body(param) on a new thread. Returns the thread's handle, which the caller closes, or
// null when no thread could be started (the body then never runs).
HANDLE StartThread(ThreadBody body, void* param, DWORD* thread_id = nullptr);

}  // namespace framework
