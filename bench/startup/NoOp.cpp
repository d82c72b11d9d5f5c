// The reference for Pallix's chores: a windowless Unicode program like Pallix that returns at
// once, so that what remains is the cost of starting a program under the system. Built twice:
// as it stands, and (NOOP_LOADS_USER32) importing user32 as Pallix must to find and message
// windows, since under Wine loading user32 alone costs a good part of a start.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
#ifdef NOOP_LOADS_USER32
    return IsWindow(nullptr) ? 1 : 0;
#else
    return 0;
#endif
}
