#include "updater/platform/FolderTrust.h"

FolderVerdict DecideFolderWrite(const FolderFacts& facts, FolderScope scope) {
    if (!facts.exists || !facts.is_folder) return FolderVerdict::Missing;
    // A link is refused whoever made it: its target is what counts, and that was not checked.
    if (facts.reparse_point) return FolderVerdict::ReparsePoint;
    // The user's own folders belong to the user's programs anyway; only links lead out of them.
    if (scope == FolderScope::UserOwn) return FolderVerdict::Write;
    switch (facts.owner) {
    case FolderOwner::System:
    case FolderOwner::Administrators:
    // Our own account's folder: elevated on Windows we give what we create to the Administrators
    // group, so this is the account whose programs the elevation came from, not another user.
    case FolderOwner::Self:
        return FolderVerdict::Write;
    case FolderOwner::Other:
    case FolderOwner::Unknown:
        break;
    }
    return FolderVerdict::ForeignOwner;
}

const char* FolderVerdictText(FolderVerdict verdict) {
    switch (verdict) {
    case FolderVerdict::Write: return "may be written";
    case FolderVerdict::ReparsePoint: return "is a junction or link";
    case FolderVerdict::ForeignOwner: return "is owned by an untrusted account";
    case FolderVerdict::Missing: return "is missing or not a folder";
    }
    return "";
}
