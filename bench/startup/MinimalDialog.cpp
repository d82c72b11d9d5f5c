// The reference for Norvane's start-up: a dialog from a template in memory with one line of
// text, shown until it is closed, and nothing else.
#include <windows.h>

namespace {

INT_PTR CALLBACK DialogProc(HWND dialog, UINT msg, WPARAM wparam, LPARAM) {
    switch (msg) {
    case WM_INITDIALOG:
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wparam) == IDOK || LOWORD(wparam) == IDCANCEL) EndDialog(dialog, 0);
        return TRUE;
    case WM_CLOSE:
        EndDialog(dialog, 0);
        return TRUE;
    default:
        return FALSE;
    }
}

// A template string: UTF-16 (the text is ASCII), zero-terminated.
WORD* Put(WORD* at, const char* text) {
    while ((*at++ = static_cast<WORD>(*text++)) != 0) {}
    return at;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    // Items of a template start on a DWORD boundary; the buffer is made of DWORDs for that.
    DWORD storage[128] = {};
    auto* dialog = reinterpret_cast<DLGTEMPLATE*>(storage);
    dialog->style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_VISIBLE | DS_MODALFRAME | DS_CENTER;
    dialog->cdit = 1;
    dialog->cx = 280;  // about the size of Norvane's window
    dialog->cy = 200;
    WORD* at = reinterpret_cast<WORD*>(dialog + 1);
    *at++ = 0;  // no menu
    *at++ = 0;  // the standard dialog class
    at = Put(at, "Minimal dialog");
    at = reinterpret_cast<WORD*>((reinterpret_cast<ULONG_PTR>(at) + 3) & ~ULONG_PTR(3));
    auto* item = reinterpret_cast<DLGITEMTEMPLATE*>(at);
    item->style = WS_CHILD | WS_VISIBLE | SS_LEFT;
    item->x = 10;
    item->y = 10;
    item->cx = 200;
    item->cy = 12;
    item->id = 100;
    at = reinterpret_cast<WORD*>(item + 1);
    *at++ = 0xFFFF;
    *at++ = 0x0082;  // static
    at = Put(at, "Loading");
    *at++ = 0;  // no creation data
    DialogBoxIndirectParamA(instance, dialog, nullptr, DialogProc, 0);
    return 0;
}
