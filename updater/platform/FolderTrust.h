#pragma once
// Whether an elevated Norvane may write into a folder it did not just make for itself. A folder
// that another user could have created first (under the common application-data folder any
// user may create folders, and owns them) can be a junction or hold planted hard links, and the
// bytes we write would land wherever it points.
//
// No Windows header here: the decision is tested on every system, also where the test system
// (Wine) has no owners, junctions or ACLs to show it.

// Who owns the folder, as far as the decision cares.
enum class FolderOwner {
    System,          // LocalSystem
    Administrators,  // the Administrators group
    Self,            // this process's account, or the owner it gives what it creates
    Other,           // any other account
    Unknown,         // the owner could not be read
};

// Where the folder lies: shared folders are writable by every user of the machine, the user's
// own folders (profile, temporary folder) by the user's programs only.
enum class FolderScope { Shared, UserOwn };

enum class FolderVerdict {
    Write,
    ReparsePoint,  // a junction or link: the write would land elsewhere
    ForeignOwner,  // somebody who is not trusted with administrator rights made it
    Missing,       // not there, or not a folder
};

struct FolderFacts {
    bool exists = false;
    bool is_folder = false;
    bool reparse_point = false;
    FolderOwner owner = FolderOwner::Unknown;
};

FolderVerdict DecideFolderWrite(const FolderFacts& facts, FolderScope scope);

// The reason in the debug trace.
const char* FolderVerdictText(FolderVerdict verdict);
