#pragma once
// Small shell and system services: special folders, path handling, folder chains, text
// conversion, the system description sent to the vendor's servers, the foreground window,
// pinning and shortcut files. All text is ANSI (system code page); failures are "" or false.
#include <windows.h>

#include <string>

#include "updater/platform/VersionCompare.h"  // ParseVersion, CompareVersions

// CSIDL numbers Norvane asks for.
constexpr int kFolderAppData = 26;             // the user's roaming application data
constexpr int kFolderProgramFiles = 38;
constexpr int kFolderCommonAppData = 35;
constexpr int kFolderCommonDesktop = 25;
constexpr int kFolderCommonStartMenu = 22;

// Current path of a special folder through SHGetFolderPathA (shfolder.dll before Windows 2000,
// shell32.dll after); "" when it cannot be asked.
std::string GetSpecialFolder(int folder_id);
// "<application data>\\Microsoft\\Internet Explorer\\Quick Launch"; "" without application data.
std::string QuickLaunchFolder();

// folder + "\\" (unless it already ends with one) + name.
std::string JoinPath(const std::string& folder, const std::string& name);
// Path cut before its last backslash (or last forward slash when there is none); unchanged
// when it has neither.
std::string ParentFolder(const std::string& path);
// Part after the last backslash (or forward slash); unchanged when it has neither.
std::string FileNameOf(const std::string& path);
// Creates every missing folder along the path (the last component too only with include_last)
// and returns the deepest folder that exists afterwards; "" when none.
std::string CreateFolderPath(const std::string& path, bool include_last);

// UTF-8 to the system code page; "" for empty or unconvertible text.
std::string Utf8ToAnsi(const std::string& text);
// "major,minor,platform,product type,processor architecture".
std::string OsDescription();

// Restores and raises the window and makes it the foreground window, working around the
// foreground lock where the system has one.
void BringWindowToForeground(HWND window);

// Invokes the Start menu pin ("시작 메뉴에 고정"/"Pin to Start Menu") or unpin verb of an existing
// file through the shell application object. True when the verb list could be read, whether or
// not a verb matched.
bool StartMenuVerb(const std::string& path, bool pin);
// Unpins the shortcut (and a same-named copy in the user-pinned Start menu folder), then pins it.
bool PinToStartMenu(const std::string& shortcut);
// Shell-executes "taskbarpin"/"taskbarunpin" on an existing file; true when the shell accepted.
bool TaskbarVerb(const std::string& path, bool pin);
bool PinToTaskbar(const std::string& path);

// Writes a shell link at shortcut_path (replacing a file there). Arguments, description and
// icon are optional (empty). True when every step succeeded.
bool CreateShortcut(const std::string& target, const std::string& arguments,
                    const std::string& shortcut_path, const std::string& description,
                    const std::string& icon_path);
