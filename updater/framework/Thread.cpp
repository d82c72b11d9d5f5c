#include "updater/framework/Thread.h"

#include <new>

namespace framework {

namespace {

struct ThreadStart {
    ThreadBody body;
    void* param;
};

DWORD WINAPI GuardedEntry(LPVOID raw) {
    const ThreadStart start = *static_cast<ThreadStart*>(raw);
    delete static_cast<ThreadStart*>(raw);
    try {
        return start.body(start.param);
    } catch (...) {
        return kThreadFailed;
    }
}

}  // namespace

HANDLE StartThread(ThreadBody body, void* param, DWORD* thread_id) {
    if (!body) return nullptr;
    auto* start = new (std::nothrow) ThreadStart{body, param};
    if (!start) return nullptr;
    DWORD id = 0;
    HANDLE thread = CreateThread(nullptr, 0, &GuardedEntry, start, 0, &id);
    if (!thread) {
        delete start;
        return nullptr;
    }
    if (thread_id) *thread_id = id;
    return thread;
}

}  // namespace framework
