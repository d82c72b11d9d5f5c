#pragma once
// Both programs are 32-bit Windows programs: without a view flag they see the 32-bit registry view.
// A 64-bit build of the same sources (made only where the test machine cannot run 32-bit code)
// asks for that view explicitly, so both builds read and write the same keys.
#include <windows.h>

#ifdef _WIN64
constexpr REGSAM kProgramRegistryView = KEY_WOW64_32KEY;
#else
constexpr REGSAM kProgramRegistryView = 0;
#endif
