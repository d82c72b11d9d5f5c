#pragma once
// The hand-over between the copy that runs for the user and the elevated "/adminprogress" copy
// it starts. The elevated copy checks everything it needs before it waits for the first copy's
// mutex, and only then tells the first copy's window that it takes over; a copy that cannot
// take over ends at once with kHandOverRefusedExit, which the first copy, watching the process,
// sees as an end without that message. Neither copy ever waits for the other to answer.
#include <windows.h>

#include <string>

#include "updater/app/ModeSwitches.h"

// Posted to the first copy's window with the elevated copy's process id in wParam.
UINT HandOverTakenMessage();

// The exit code of an elevated copy, started for a hand-over, that could not take over.
constexpr int kHandOverRefusedExit = 3;

// Whether the folder may be the elevated copy's data root: its text passes
// IsAbsoluteLocalFolderText, it exists as a folder, and its drive is not a network drive.
bool IsUsableDataFolder(const std::string& folder);

// The elevated copy's side, before it waits for the mutex: the data folder taken (when given),
// the product's update information readable there. False when this copy cannot take over.
bool CheckHandOverInputs(const HandOverArguments& arguments, const std::string& product);

// Tells the first copy's window (when one was named) that this copy takes over.
void AnnounceTakeOver(const HandOverArguments& arguments);

// The update window of a product carries a property of this name, so that a second request for
// the same product finds the window that is already open.
std::string InstanceWindowProperty(const std::string& product);

// Restores and brings to the front the update window of the product that another process has
// open. False when there is none (or it could not be found).
bool BringInstanceWindowToFront(const std::string& product);
