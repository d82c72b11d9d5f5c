#pragma once
// Folders and files an elevated Norvane writes into: shared folders it creates get an explicit
// protected access list, folders it finds are checked before anything is written into them
// (FolderTrust.h decides), and files are created new and moved without following links.
#include <string>
#include <vector>

#include "updater/platform/FolderTrust.h"

// The security descriptor of the shared folders we create: a protected access list (nothing
// inherited from above) granting SYSTEM and Administrators full control and Users read and
// execute, all inherited by what the folder will hold.
class ProtectedFolderSecurity {
public:
    ProtectedFolderSecurity();
    ProtectedFolderSecurity(const ProtectedFolderSecurity&) = delete;
    ProtectedFolderSecurity& operator=(const ProtectedFolderSecurity&) = delete;
    bool ok() const { return ok_; }
    // A SECURITY_DESCRIPTOR, valid while this object lives.
    void* descriptor() { return descriptor_.data(); }

private:
    std::vector<unsigned char> acl_;
    std::vector<unsigned char> descriptor_;
    bool ok_ = false;
};

// Creates the folder with ProtectedFolderSecurity; false when it was not created (also when
// something already exists under the name).
bool CreateProtectedFolder(const std::string& path);

// Reads what the decision needs: existence, kind, reparse point, owner.
FolderFacts ReadFolderFacts(const std::string& path);

// The decision for one folder as it is now.
FolderVerdict CheckFolderForWriting(const std::string& path, FolderScope scope);

// Makes sure "<root>\\<relative>" exists and every folder from the root down may be written
// into: missing folders are created with a protected access list (SYSTEM and Administrators
// full control, Users read and execute), existing ones must pass the shared-folder decision.
// The folder's path on success; "" otherwise, with the reason in `why` (may be null).
std::string PrepareSharedFolder(const std::string& root, const std::string& relative,
                                std::string* why);

// True when no folder from below `root` down to `folder` is a junction or link (the root itself
// is the system's to answer for). For the user's own folders, where an elevated copy writes
// too: the user's programs can make a junction of any of them. False when `folder` does not lie
// under `root`.
bool FolderChainIsPlain(const std::string& root, const std::string& folder);

// Creates the file new for writing: a plain file (or a hard link's name) already there is
// removed first, a link or folder under the name makes it fail, and the creation fails rather
// than open anything that appeared in between. INVALID_HANDLE_VALUE on failure. `access` and
// `share` are CreateFile's (default: write only, shared with nobody).
void* CreateFreshFile(const std::string& path, unsigned long access = 0x40000000UL,
                      unsigned long share = 0);

// Moves `from` over `to` by renaming, never by copying, and only when `to` is not a link: a
// rename replaces the name itself, so a link or hard link planted under it is not written
// through. False when `to` is a link or the move failed.
bool MoveOverWithoutLinks(const std::string& from, const std::string& to);
