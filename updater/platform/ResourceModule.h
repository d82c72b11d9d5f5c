#pragma once
// The module every template, string, icon and bitmap is loaded from: the executable until the
// language module takes over at start-up. A service of the lowest layer, so that the product
// settings and the offers can read the module's strings without knowing any window.
#include <windows.h>

#include <string>

HINSTANCE ResourceModule();
void SetResourceModule(HINSTANCE module);

// String resource from the resource module; empty when missing. Fills the buffer and returns it.
const char* LoadModuleString(UINT id, char* buffer, int size);
// The same as a string (up to 1023 characters).
std::string ModuleString(UINT id);
