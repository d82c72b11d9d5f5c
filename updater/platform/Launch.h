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
// failure as ShellFailureResult reads it, 5 only for a refused elevation), 0 when the file does
// not exist. process_id (may
// be null) receives the child's identifier. With wait, waits until the program ends, dispatching
// this thread's messages as they arrive.
int ShellExecuteAndWait(DWORD* process_id, const std::string& path,
                        const std::string& parameters, bool wait, bool elevate);
// The same start without waiting that hands the started process's handle to the caller, who
// closes it (null when the start failed or the shell gave no process), so that the caller can
// watch the process without opening it again by its identifier.
int ShellExecuteKeepingProcess(HANDLE* process, DWORD* process_id, const std::string& path,
                               const std::string& parameters, bool elevate);

// What a failed shell start reports: 5 (SE_ERR_ACCESSDENIED) only when the user refused the
// elevation prompt (the last error is ERROR_CANCELLED); otherwise the shell's own code (hInstApp)
// when it is one, else kShellGeneralFailure. Never above 32, never 0.
int ShellFailureResult(int shell_code, DWORD last_error);
// The system's "general failure" number (also the shell's "no association" code): callers tell
// only success, a refusal and a missing file apart.
constexpr int kShellGeneralFailure = 31;

// Process identifier of a process handle, or kNoProcessId.
DWORD GetProcessIdOf(HANDLE process);

// Both start "\"<path>\" <parameters>" and return the process handle (the caller closes it) or
// null. RunAsLowIntegrity uses a copy of the own token lowered to low integrity (S-1-16-4096).
// RunAsMediumIntegrity starts the product after an update: from an elevated Norvane with the
// user's non-elevated token (the elevated token's linked token, else the desktop shell's), and
// otherwise, as before Vista or without elevation, with a copy of the own token lowered to
// medium integrity (S-1-16-8192).
// From an elevated process it never falls back to a copy of the own token: null when no user
// token can be had, so that nothing runs with the administrator's rights in the user's place.
HANDLE RunAsMediumIntegrity(const std::string& path);
HANDLE RunAsLowIntegrity(const std::string& path, const std::string& parameters);

// Starts the command line with a primary copy of that process's token (null when the process,
// its token or the start fails). RunAsMediumIntegrity uses it for the desktop shell's process.
HANDLE RunWithTokenOfProcess(DWORD process_id, const std::string& command_line);

// What an elevated copy starts for the user once the update is done (the product, the agent, the
// cleaner): with the user's non-elevated token from an elevated process, lowered to medium
// integrity from a non-elevated one on Vista and later, plainly through the shell before Vista.
// An absolute drive path must exist. False when nothing was started; when the reason is that no
// user token could be had, the debug trace says so.
bool StartForUser(const std::string& path, const std::string& parameters);

// Opens a web page in the user's browser the same way: only http and https addresses, and from
// an elevated process only through the browser's own command with the user's token.
bool OpenWebPageForUser(const std::string& url);

// The browser's command line for an address: the association's "open" command with "%1" (or
// "%L") replaced by the address, or the address appended in quotes when the command names none.
// "" for an address that could break out of its argument (quotes, blanks, control characters).
std::string BrowserCommandFor(const std::string& command_template, const std::string& url);

