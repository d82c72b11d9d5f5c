// The folders an elevated copy writes into, on the files themselves: shared folders it makes
// carry their own protected access list, and links anywhere on the way stop it.
#include <gtest/gtest.h>

#include <windows.h>
#include <aclapi.h>

#include <string>
#include <vector>

#include "tests/support/TestSupport.h"
#include "tests/support/UnixLink.h"
#include "updater/platform/SafeFolder.h"

using namespace testsupport;

namespace {

struct Ace {
    std::string sid;
    DWORD mask;
    BYTE flags;
};

std::string SidText(PSID sid) {
    char name[256] = {}, domain[256] = {};
    DWORD name_size = sizeof(name), domain_size = sizeof(domain);
    SID_NAME_USE use;
    if (!LookupAccountSidA(nullptr, sid, name, &name_size, domain, &domain_size, &use)) return "?";
    return name;
}

// The access list of a security descriptor; `is_protected` tells whether it takes nothing from
// above.
std::vector<Ace> ReadDacl(void* descriptor, bool* is_protected) {
    std::vector<Ace> aces;
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    GetSecurityDescriptorControl(descriptor, &control, &revision);
    *is_protected = (control & SE_DACL_PROTECTED) != 0;
    BOOL present = FALSE, defaulted = FALSE;
    PACL acl = nullptr;
    if (!GetSecurityDescriptorDacl(descriptor, &present, &acl, &defaulted) || !acl) return aces;
    for (DWORD i = 0; i < acl->AceCount; ++i) {
        ACCESS_ALLOWED_ACE* ace = nullptr;
        if (!GetAce(acl, i, reinterpret_cast<void**>(&ace))) continue;
        if (ace->Header.AceType != ACCESS_ALLOWED_ACE_TYPE) continue;
        aces.push_back({SidText(&ace->SidStart), ace->Mask, ace->Header.AceFlags});
    }
    return aces;
}

}  // namespace

// Wine keeps no access lists of its own on files, so the list is checked as it is handed to
// the system; the folders are checked for being made and accepted.
TEST(SharedFolder, MadeWithAProtectedListThatLetsUsersOnlyRead) {
    ProtectedFolderSecurity security;
    ASSERT_TRUE(security.ok());
    EXPECT_TRUE(IsValidSecurityDescriptor(security.descriptor()));
    bool is_protected = false;
    const std::vector<Ace> aces = ReadDacl(security.descriptor(), &is_protected);
    EXPECT_TRUE(is_protected);
    const BYTE inherit = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE;
    ASSERT_EQ(aces.size(), 3u);
    EXPECT_EQ(aces[0].sid, "SYSTEM");
    EXPECT_EQ(aces[0].mask, static_cast<DWORD>(FILE_ALL_ACCESS));
    EXPECT_EQ(aces[1].sid, "Administrators");
    EXPECT_EQ(aces[1].mask, static_cast<DWORD>(FILE_ALL_ACCESS));
    EXPECT_EQ(aces[2].sid, "Users");
    EXPECT_EQ(aces[2].mask, static_cast<DWORD>(FILE_GENERIC_READ | FILE_GENERIC_EXECUTE));
    for (const Ace& ace : aces) EXPECT_EQ(ace.flags & inherit, inherit) << ace.sid;

    TempDir root;
    std::string why;
    const std::string folder = PrepareSharedFolder(root.path(), "Quindel\\Common", &why);
    ASSERT_EQ(folder, root.File("Quindel\\Common")) << why;
    EXPECT_EQ(CheckFolderForWriting(root.File("Quindel"), FolderScope::Shared), FolderVerdict::Write);
    // Made again, the folders are taken as they are.
    EXPECT_EQ(PrepareSharedFolder(root.path(), "Quindel\\Common", nullptr), folder);
    // A name already taken is not made over.
    EXPECT_FALSE(CreateProtectedFolder(folder));
    EXPECT_EQ(PrepareSharedFolder(root.path(), "Quindel\\..\\Other", nullptr), "");
    EXPECT_FALSE(PathExists(root.File("Other")));
}

TEST(SharedFolder, ALinkOnTheWayStopsEverythingBelowIt) {
    TempDir root, target;
    ScopedUnixLink link(target.path(), root.File("Quindel"));
    ASSERT_TRUE(link.made());
    std::string why;
    EXPECT_EQ(PrepareSharedFolder(root.path(), "Quindel\\Common", &why), "");
    EXPECT_NE(why.find("is a junction or link"), std::string::npos) << why;
    EXPECT_FALSE(PathExists(target.File("Common")));
    EXPECT_EQ(CheckFolderForWriting(root.File("Quindel"), FolderScope::UserOwn),
              FolderVerdict::ReparsePoint);

    // The user's own folders: only links matter, anywhere below the root.
    ASSERT_TRUE(MakeFolders(target.File("a\\b")));
    EXPECT_TRUE(FolderChainIsPlain(target.path(), target.File("a\\b")));
    EXPECT_FALSE(FolderChainIsPlain(root.path(), root.File("Quindel\\a")));
    EXPECT_FALSE(FolderChainIsPlain(target.path(), target.File("a\\..\\..")));
    EXPECT_FALSE(FolderChainIsPlain(target.path(), root.File("Quindel")));  // not under the root
}
