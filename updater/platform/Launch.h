#pragma once
// Starting programs: plain, elevated where the system has elevation, or at a chosen integrity
// level; and the version, elevation and integrity tests those decisions rest on. Security
// functions that XP lacks are looked up by name at run time.
#include <windows.h>

#include <string>

// Read with GetVersionEx (extended record); a failing call counts as "no".
bool IsVistaOrLater();            // NT platform, major > 5
bool IsPostVistaMinorVersion();   // NT platform, major > 5, minor != 0
bool IsXpOrLater();               // 5.1 and later
// True before Vista and when the token functions are missing; otherwise the token's elevation.
bool IsProcessElevated();
// True when the own token's integrity level is below medium (Vista and later only).
bool IsLowIntegrity();

// Shell-executes ("runas" when elevate is set on Vista and later, else "open") with SW_SHOW.
// An absolute drive path must exist. With wait, pumps this thread's messages until the program
// ends (a quit message seen meanwhile is posted again). Returns the shell's success.
bool RunProgram(const std::string& path, const std::string& parameters, bool wait, bool elevate);

// Constant for "no process identifier".
constexpr DWORD kNoProcessId = static_cast<DWORD>(-1);

// Shell-executes with SW_SHOWNORMAL; returns the shell's instance result (> 32 success, <= 32 the
// shell's error, e.g. 5 for a refused elevation), 0 when the file does not exist. process_id (may
// be null) receives the child's identifier. With wait, waits in 1000 ms slices and dispatches this
// thread's messages between them.
int ShellExecuteAndWait(DWORD* process_id, const std::string& path,
                        const std::string& parameters, bool wait, bool elevate);

// Process identifier of a process handle, or kNoProcessId.
DWORD GetProcessIdOf(HANDLE process);

// Starts "<path> <parameters>" (the path not quoted) with a copy of the own token lowered to
// medium (S-1-16-8192) or low (S-1-16-4096) integrity. Returns the process handle (the caller
// closes it) or null.
HANDLE RunAsMediumIntegrity(const std::string& path);
HANDLE RunAsLowIntegrity(const std::string& path, const std::string& parameters);
