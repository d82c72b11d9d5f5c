#pragma once
// Pallix's command line: argument 1 is the switch, the rest its parameters. One switch runs per
// start; the result is always 0.
#include <windows.h>

#include <string>
#include <vector>

#include "helper/SwitchRules.h"

namespace pallix {

// "hklm" selects HKEY_LOCAL_MACHINE; every other word (capitals included) HKEY_CURRENT_USER.
HKEY HiveWord(const std::wstring& word);
// In matching order.
const std::vector<SwitchEntry>& SwitchTable();

// Runs the first switch equal to arguments[1], when the count suffices. Always 0, also when
// the chore throws: it then ends where it stood.
int Dispatch(const Arguments& arguments);
// The same with another table (tests).
int Dispatch(const Arguments& arguments, const std::vector<SwitchEntry>& table);
// Splits the process's own command line and dispatches it. Always 0.
int RunDispatcher();

}  // namespace pallix
