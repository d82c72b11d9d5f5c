// The reference for Pallix's chores: a windowless Unicode program like Pallix that returns at
// once, so that what remains is the cost of starting a program under the system.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) { return 0; }
