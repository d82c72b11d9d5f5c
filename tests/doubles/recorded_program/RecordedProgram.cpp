// Stand-in for a program Norvane starts and does not wait for: the product's main program after
// an update, the toolbar's cleaner "Scourel.exe", a product setup. Copied under the name the test
// needs; each run leaves a call record beside the executable (tests/doubles/CallRecord.h) with
// its process id, its command line and whether it runs elevated, and ends.
#include <windows.h>

#include "tests/doubles/CallRecord.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return calls::WriteCallRecord() ? 0 : 1; }
