#include "updater/platform/ResourceModule.h"

namespace {
HINSTANCE g_resource_module = nullptr;
}

HINSTANCE ResourceModule() {
    return g_resource_module ? g_resource_module : GetModuleHandleA(nullptr);
}

void SetResourceModule(HINSTANCE module) { g_resource_module = module; }

const char* LoadModuleString(UINT id, char* buffer, int size) {
    if (size <= 0) return buffer;
    buffer[0] = '\0';
    LoadStringA(ResourceModule(), id, buffer, size);
    return buffer;
}

std::string ModuleString(UINT id) {
    char text[1024];
    return LoadModuleString(id, text, sizeof(text));
}
