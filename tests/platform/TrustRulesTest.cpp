// What an elevated Norvane takes from files and pages others can write: which addresses it
// fetches or opens, which folders it writes into, and which program MainApp may name.
// No Windows header: these also run natively.
#include <gtest/gtest.h>

#include <string>

#include "updater/data/UpdateInfoRules.h"
#include "updater/platform/AddressRules.h"
#include "updater/platform/FolderTrust.h"

TEST(AddressRules, OnlyWebAddressesAreFetched) {
    struct Case {
        const char* url;
        bool fetch;
        bool licence_link;
    };
    const Case cases[] = {
        {"http://ad.test/a.ico", true, true},
        {"HTTPS://ad.test/setup.exe", true, true},
        {"hTtP://127.0.0.1:8080/x?y=1", true, true},
        {"file:///C:/Windows/win.ini", false, false},
        {"FILE://server/share/x.exe", false, false},
        {"\\\\server\\share\\setup.exe", false, false},
        {"C:\\Windows\\system32\\calc.exe", false, false},
        {"ftp://host/file", false, false},
        {"res://ieframe.dll/x", false, false},
        {"javascript:alert(1)", false, false},
        {"mailto:licence@vendor.test", false, true},
        {"MAILTO:licence@vendor.test", false, true},
        {"mailto:", false, false},
        {"", false, false},
        {"http://", false, false},
        {"http:///etc/passwd", false, false},
        {"http:\\\\server\\share", false, false},
        {"https://@host/", false, false},
        {" http://ad.test/", false, false},    // the system would trim and read it
        {"http://ad.test/\r\nfile:", false, false},
        {"httpx://ad.test/", false, false},
        {"http//ad.test/", false, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsFetchableAddress(c.url), c.fetch) << c.url;
        EXPECT_EQ(IsLicenceLinkAllowed(c.url), c.licence_link) << c.url;
    }
}

TEST(FolderTrust, SharedFoldersOnlyFromTrustedOwnersAndNeverThroughLinks) {
    struct Case {
        bool exists, is_folder, reparse;
        FolderOwner owner;
        FolderVerdict shared, user_own;
    };
    using O = FolderOwner;
    using V = FolderVerdict;
    const Case cases[] = {
        {true, true, false, O::System, V::Write, V::Write},
        {true, true, false, O::Administrators, V::Write, V::Write},
        {true, true, false, O::Self, V::Write, V::Write},
        // Another user made it first: nothing of ours goes in, wherever it leads.
        {true, true, false, O::Other, V::ForeignOwner, V::Write},
        {true, true, false, O::Unknown, V::ForeignOwner, V::Write},
        // A junction is refused even when an administrator owns it.
        {true, true, true, O::Administrators, V::ReparsePoint, V::ReparsePoint},
        {true, true, true, O::Other, V::ReparsePoint, V::ReparsePoint},
        {true, false, false, O::System, V::Missing, V::Missing},  // a file of that name
        {false, false, false, O::Unknown, V::Missing, V::Missing},
    };
    for (const Case& c : cases) {
        FolderFacts facts;
        facts.exists = c.exists;
        facts.is_folder = c.is_folder;
        facts.reparse_point = c.reparse;
        facts.owner = c.owner;
        SCOPED_TRACE(static_cast<int>(c.owner));
        SCOPED_TRACE(c.reparse ? "reparse point" : "plain");
        EXPECT_EQ(DecideFolderWrite(facts, FolderScope::Shared), c.shared);
        EXPECT_EQ(DecideFolderWrite(facts, FolderScope::UserOwn), c.user_own);
    }
}

TEST(MainAppRules, OnlyPathsInsideTheProductFolderAndWholeNames) {
    struct Case {
        const char* main_app;
        const char* relative;
        const char* image;
    };
    const Case cases[] = {
        {"Product.exe", "Product.exe", "Product.exe"},
        {"bin\\Product.exe", "bin\\Product.exe", "Product.exe"},
        {"bin/tools/Product.exe", "bin\\tools\\Product.exe", "Product.exe"},
        {".exe", ".exe", ".exe"},  // a whole name, which then matches only a file named so
        {"", "", ""},
        {"..\\..\\Windows\\explorer.exe", "", ""},
        {"bin\\..\\..\\x.exe", "", ""},
        {"...\\x.exe", "", ""},
        {"Product..exe", "", ""},
        {"\\Windows\\explorer.exe", "", ""},
        {"/x.exe", "", ""},
        {"C:\\Windows\\explorer.exe", "", ""},
        {"C:x.exe", "", ""},
        {"Product.exe:stream", "", ""},
        {"\\\\server\\share\\x.exe", "", ""},
        {"bin\\\\Product.exe", "", ""},
        {"bin\\", "", ""},
        {".\\Product.exe", "", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(MainAppRelativePath(c.main_app), c.relative) << c.main_app;
        EXPECT_EQ(MainAppImageName(c.main_app), c.image) << c.main_app;
    }
}
