#include "updater/platform/DebugTrace.h"

#include <windows.h>

#include <string>

#include "updater/platform/Registry.h"

namespace {
const char kDebugKey[] = "Software\\Quindel\\Dravel";
}  // namespace

bool IsDebugTraceEnabled() {
    ScopedRegKey key;
    if (!key.Open(HKEY_CURRENT_USER, kDebugKey, KEY_READ)) return false;
    return RegQueryValueExA(key.get(), "Debug", nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

void DebugTrace(const char* text) {
    if (!text) return;
    std::string line(text);
    line += "\n";
    OutputDebugStringA(line.c_str());
}
