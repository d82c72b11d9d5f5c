#pragma once
// Norvane's debug trace: no log file, only lines to the debugger output, and only while the value
// "Debug" (any type) exists under HKEY_CURRENT_USER "Software\\Quindel\\Dravel".

bool IsDebugTraceEnabled();
// The text and a line end to the debugger output; nothing for a null text. Call it only after
// IsDebugTraceEnabled answered true.
void DebugTrace(const char* text);
