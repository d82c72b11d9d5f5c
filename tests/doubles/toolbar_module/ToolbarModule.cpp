// Stand-in for the toolbar's browser module. Pallix reads only its version resource.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) {
    return TRUE;
}
