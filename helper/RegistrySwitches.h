#pragma once
// The general tools the toolbar's setup drives entirely from the command line: registry values
// and keys, moving a file, and starting the browser with the logged-on user's ordinary rights.
#include <windows.h>

#include <string>

#include "helper/Dispatcher.h"

namespace pallix {

constexpr DWORD kMediumIntegrity = 0x2000;
constexpr DWORD kHighIntegrity = 0x3000;

void RegStringSwitch(const Arguments& arguments);
void RegDwordSwitch(const Arguments& arguments);
void DelRegKeySwitch(const Arguments& arguments);
void DelRegValueSwitch(const Arguments& arguments);
void MoveFileSwitch(const Arguments& arguments);
void RunIeSwitch(const Arguments& arguments);

// The process's integrity level (last sub-authority of its mandatory label). A process that
// cannot be opened, or any process before Vista, reads as high with success.
HRESULT IntegrityLevelOf(DWORD process_id, DWORD& level);
// Starts the program at the shell's level when we run high and the shell medium; refuses when we
// run medium under a high shell; otherwise starts it plainly.
HRESULT LaunchAtShellIntegrity(const std::wstring& path, const std::wstring& command_line);

// The decision behind LaunchAtShellIntegrity for levels already read (Vista and later).
HRESULT LaunchForLevels(DWORD shell_process_id, DWORD shell_level, DWORD own_level,
                        const std::wstring& path, const std::wstring& command_line);

}  // namespace pallix
