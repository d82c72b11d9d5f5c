#include "updater/platform/SafeFolder.h"

#include <windows.h>

#include <vector>

namespace {

// A SID built by the system; freed when the holder goes.
class BuiltSid {
public:
    BuiltSid(BYTE count, DWORD first, DWORD second) {
        SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
        if (!AllocateAndInitializeSid(&nt, count, first, second, 0, 0, 0, 0, 0, 0, &sid_))
            sid_ = nullptr;
    }
    ~BuiltSid() {
        if (sid_) FreeSid(sid_);
    }
    BuiltSid(const BuiltSid&) = delete;
    BuiltSid& operator=(const BuiltSid&) = delete;
    PSID get() const { return sid_; }

private:
    PSID sid_ = nullptr;
};

bool SameSid(PSID a, PSID b) { return a && b && IsValidSid(a) && IsValidSid(b) && EqualSid(a, b); }

// One variable-length record of the own token (TokenOwner, TokenUser); empty when it cannot be
// read.
std::vector<BYTE> OwnTokenRecord(TOKEN_INFORMATION_CLASS what) {
    std::vector<BYTE> record;
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return record;
    DWORD size = 0;
    GetTokenInformation(token, what, nullptr, 0, &size);
    if (size >= sizeof(PSID)) {
        record.resize(size);
        if (!GetTokenInformation(token, what, record.data(), size, &size)) record.clear();
    }
    CloseHandle(token);
    return record;
}

// The owner this process gives what it creates, or the account it runs as.
bool IsOwnSid(PSID sid) {
    const std::vector<BYTE> owner = OwnTokenRecord(TokenOwner);
    if (!owner.empty() && SameSid(sid, reinterpret_cast<const TOKEN_OWNER*>(owner.data())->Owner))
        return true;
    const std::vector<BYTE> user = OwnTokenRecord(TokenUser);
    return !user.empty() && SameSid(sid, reinterpret_cast<const TOKEN_USER*>(user.data())->User.Sid);
}

FolderOwner ReadOwner(const std::string& path) {
    DWORD size = 0;
    GetFileSecurityA(path.c_str(), OWNER_SECURITY_INFORMATION, nullptr, 0, &size);
    if (size == 0) return FolderOwner::Unknown;
    std::vector<BYTE> descriptor(size);
    if (!GetFileSecurityA(path.c_str(), OWNER_SECURITY_INFORMATION, descriptor.data(), size,
                          &size)) {
        return FolderOwner::Unknown;
    }
    PSID owner = nullptr;
    BOOL defaulted = FALSE;
    if (!GetSecurityDescriptorOwner(descriptor.data(), &owner, &defaulted) || !owner)
        return FolderOwner::Unknown;
    BuiltSid system(1, SECURITY_LOCAL_SYSTEM_RID, 0);
    BuiltSid administrators(2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS);
    if (SameSid(owner, system.get())) return FolderOwner::System;
    if (SameSid(owner, administrators.get())) return FolderOwner::Administrators;
    return IsOwnSid(owner) ? FolderOwner::Self : FolderOwner::Other;
}

std::vector<std::string> Components(const std::string& relative) {
    std::vector<std::string> parts;
    size_t at = 0;
    while (at <= relative.size()) {
        size_t next = relative.find_first_of("\\/", at);
        if (next == std::string::npos) next = relative.size();
        if (next > at) parts.push_back(relative.substr(at, next - at));
        at = next + 1;
    }
    return parts;
}

bool IsLink(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

}  // namespace

ProtectedFolderSecurity::ProtectedFolderSecurity() {
    BuiltSid system(1, SECURITY_LOCAL_SYSTEM_RID, 0);
    BuiltSid administrators(2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS);
    BuiltSid users(2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_USERS);
    if (!system.get() || !administrators.get() || !users.get()) return;
    const DWORD acl_size = sizeof(ACL) + 3 * (sizeof(ACCESS_ALLOWED_ACE) - sizeof(DWORD)) +
                           GetLengthSid(system.get()) + GetLengthSid(administrators.get()) +
                           GetLengthSid(users.get());
    acl_.resize(acl_size);
    descriptor_.resize(sizeof(SECURITY_DESCRIPTOR));
    PACL acl = reinterpret_cast<PACL>(acl_.data());
    const DWORD inherit = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE;
    // The entries hold copies of the SIDs, so these may go when we return.
    ok_ = InitializeAcl(acl, acl_size, ACL_REVISION) &&
          AddAccessAllowedAceEx(acl, ACL_REVISION, inherit, FILE_ALL_ACCESS, system.get()) &&
          AddAccessAllowedAceEx(acl, ACL_REVISION, inherit, FILE_ALL_ACCESS,
                                administrators.get()) &&
          AddAccessAllowedAceEx(acl, ACL_REVISION, inherit,
                                FILE_GENERIC_READ | FILE_GENERIC_EXECUTE, users.get()) &&
          InitializeSecurityDescriptor(descriptor_.data(), SECURITY_DESCRIPTOR_REVISION) &&
          SetSecurityDescriptorDacl(descriptor_.data(), TRUE, acl, FALSE) &&
          SetSecurityDescriptorControl(descriptor_.data(), SE_DACL_PROTECTED, SE_DACL_PROTECTED);
}

// Everyone but SYSTEM and the administrators may only read what lies in the folder, and the
// list is protected so that nothing inherited from the parent widens it.
bool CreateProtectedFolder(const std::string& path) {
    ProtectedFolderSecurity security;
    if (!security.ok()) return false;
    SECURITY_ATTRIBUTES attributes = {sizeof(attributes), security.descriptor(), FALSE};
    return CreateDirectoryA(path.c_str(), &attributes) != FALSE;
}

FolderFacts ReadFolderFacts(const std::string& path) {
    FolderFacts facts;
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return facts;
    facts.exists = true;
    facts.is_folder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    facts.reparse_point = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    // The owner of a link's target is no answer about the link; the decision refuses links
    // before it looks at owners.
    if (!facts.reparse_point) facts.owner = ReadOwner(path);
    return facts;
}

FolderVerdict CheckFolderForWriting(const std::string& path, FolderScope scope) {
    return DecideFolderWrite(ReadFolderFacts(path), scope);
}

std::string PrepareSharedFolder(const std::string& root, const std::string& relative,
                                std::string* why) {
    std::string reason;
    std::string folder = root;
    FolderVerdict verdict = CheckFolderForWriting(folder, FolderScope::Shared);
    if (verdict == FolderVerdict::Write) {
        for (const std::string& part : Components(relative)) {
            if (part == "." || part == "..") {
                verdict = FolderVerdict::Missing;
                break;
            }
            folder += (folder.empty() || folder.back() == '\\' ? "" : "\\") + part;
            // Whoever made it first, the folder is judged as it is now, also one we just made.
            if (GetFileAttributesA(folder.c_str()) == INVALID_FILE_ATTRIBUTES)
                CreateProtectedFolder(folder);
            verdict = CheckFolderForWriting(folder, FolderScope::Shared);
            if (verdict != FolderVerdict::Write) break;
        }
    }
    if (verdict == FolderVerdict::Write) return folder;
    if (why) *why = folder + " " + FolderVerdictText(verdict);
    return std::string();
}

bool FolderChainIsPlain(const std::string& root, const std::string& folder) {
    if (root.empty() || folder.size() < root.size() ||
        CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, folder.c_str(),
                       static_cast<int>(root.size()), root.c_str(),
                       static_cast<int>(root.size())) != CSTR_EQUAL) {
        return false;
    }
    const std::string rest = folder.substr(root.size());
    if (!rest.empty() && root.back() != '\\' && rest[0] != '\\') return false;
    std::string prefix = root;
    for (const std::string& part : Components(rest)) {
        if (part == "." || part == "..") return false;
        prefix += (prefix.back() == '\\' ? "" : "\\") + part;
        if (IsLink(prefix)) return false;
    }
    return true;
}

void* CreateFreshFile(const std::string& path, unsigned long access, unsigned long share) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        // A link is left alone: not every system removes the link rather than its target.
        if (attributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) {
            SetLastError(ERROR_ALREADY_EXISTS);
            return INVALID_HANDLE_VALUE;
        }
        // A plain file, or one name of a hard link, which loses only this name.
        DeleteFileA(path.c_str());
    }
    // CREATE_NEW opens nothing that exists, a dangling link included.
    return CreateFileA(path.c_str(), access, share, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                       nullptr);
}

bool MoveOverWithoutLinks(const std::string& from, const std::string& to) {
    if (IsLink(to)) return false;
    return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != FALSE;
}
