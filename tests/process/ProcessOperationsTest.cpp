// Finding, closing and terminating processes by name, in both builds, with either back end.
#include <gtest/gtest.h>

#include "common/process/ProcessToolkit.h"
#include "tests/process/ProcessTestSupport.h"

using namespace proctool;
using namespace testsupport;

namespace {

const BackEndOptions kOnlyProcessStatus{
    {"kernel32.dll!Process32FirstW", "kernel32.dll!Process32First"}};

constexpr DWORD kOrderlyExit = 7;  // the double's own exit code; TerminateProcess gives 0

std::string Record(const TempDir& folder) {
    return ReadTextFile(folder.File("record.txt")).value_or("");
}

}  // namespace

TEST(ExactName, MatchesTheWholeNameWithoutRegardToCase) {
    TempDir folder;
    Process upper, backup, prefixed;
    ASSERT_TRUE(StartDoubleCopy(upper, folder, "IEXPLORE.EXE", "--ignore"));
    ASSERT_TRUE(StartDoubleCopy(backup, folder, "iexplore.exe.bak", "--ignore"));
    ASSERT_TRUE(StartDoubleCopy(prefixed, folder, "myiexplore.exe", "--ignore"));

    // Process-status names are full paths: nothing equals the bare name.
    EXPECT_TRUE(TerminateProcessesByExactName(L"iexplore.exe", kOnlyProcessStatus));
    EXPECT_TRUE(upper.Running());

    // The running copy ignores nothing it is not sent: it gets 5000 ms, then is terminated.
    EXPECT_TRUE(TerminateProcessesByExactName(L"iexplore.exe"));
    EXPECT_EQ(upper.Wait(2000), std::optional<DWORD>(0));
    EXPECT_TRUE(backup.Running());
    EXPECT_TRUE(prefixed.Running());
}

// The product's name comes from a file its user can write: it must name one program whole.
TEST(ExactName, ProductNameEndsOnlyItsOwnProgramWithEitherBackEnd) {
    for (const bool process_status : {false, true}) {
        SCOPED_TRACE(process_status ? "process-status" : "tool-help");
        const BackEndOptions options = process_status ? kOnlyProcessStatus : BackEndOptions{};
        TempDir folder;
        const std::string record = "--record " + Quote(folder.File("record.txt"));
        Process product, longer, suffixed;
        ASSERT_TRUE(StartDoubleCopy(product, folder, "Product.exe", record));
        ASSERT_TRUE(StartDoubleCopy(longer, folder, "MyProduct.exe", "--class LongerName"));
        ASSERT_TRUE(StartDoubleCopy(suffixed, folder, "Product.exe.bak", "--class Suffixed"));

        // Fragments find nothing; paths, drives and ".." are not names at all.
        for (const char* name : {"", ".exe", "product", "Product.ex", "..\\Product.exe",
                                 "x\\Product.exe", "x/Product.exe", "C:Product.exe",
                                 "..", "Product.exe:x"}) {
            EXPECT_FALSE(IsProcessRunningByExactName(name, options)) << name;
            EXPECT_FALSE(CloseProcessesByExactName(name, options)) << name;
        }
        EXPECT_TRUE(product.Running());
        EXPECT_TRUE(longer.Running());
        EXPECT_TRUE(suffixed.Running());

        EXPECT_TRUE(IsProcessRunningByExactName("PRODUCT.EXE", options));
        EXPECT_TRUE(CloseProcessesByExactName("product.exe", options));
        EXPECT_EQ(product.Wait(3000), std::optional<DWORD>(kOrderlyExit));
        EXPECT_EQ(Record(folder), "4970 0 0\r\n10 0 0\r\n");
        EXPECT_TRUE(longer.Running());
        EXPECT_TRUE(suffixed.Running());
        EXPECT_FALSE(IsProcessRunningByExactName("Product.exe", options));
        EXPECT_FALSE(CloseProcessesByExactName("Product.exe", options));
    }
}

TEST(ExactName, WideBuildAndSessionsAgree) {
    TempDir folder;
    Process helper;
    ASSERT_TRUE(StartDoubleCopy(helper, folder, "WideExact.exe", ""));
    EXPECT_FALSE(IsProcessRunningByExactName(L"wideexact"));
    EXPECT_FALSE(IsProcessRunningByExactName(L"..\\WideExact.exe"));
    EXPECT_TRUE(IsProcessRunningByExactName(L"wideexact.exe"));
    // A process the system cannot place in a session is not taken for one of ours.
    EXPECT_TRUE(InOwnSession(helper.pid()));
    EXPECT_FALSE(InOwnSession(0xFFFFFFF0u));
    EXPECT_TRUE(CloseProcessesByExactName(L"WIDEEXACT.EXE"));
    EXPECT_EQ(helper.Wait(3000), std::optional<DWORD>(kOrderlyExit));
    // The caller itself is never ended by its own name.
    EXPECT_TRUE(IsProcessRunningByExactName("process_tests.exe"));
    EXPECT_FALSE(CloseProcessesByExactName("process_tests.exe"));
}

TEST(FragmentName, CloseFindsFileNamesAndFullPathsAndAsksBeforeTerminating) {
    for (const bool process_status : {false, true}) {
        SCOPED_TRACE(process_status ? "process-status" : "tool-help");
        const BackEndOptions options = process_status ? kOnlyProcessStatus : BackEndOptions{};
        TempDir folder;
        const std::string record = "--record " + Quote(folder.File("record.txt"));
        Process autoupdate, updater;
        ASSERT_TRUE(StartDoubleCopy(autoupdate, folder, "autoupdate.exe", record));
        ASSERT_TRUE(StartDoubleCopy(updater, folder, "updater.exe", "--class SecondUpdater"));

        EXPECT_TRUE(IsProcessRunning("autoupdate", options));
        EXPECT_TRUE(CloseProcessesByName("update", options));
        // Both ended by themselves on WM_CLOSE, after the preparing message.
        EXPECT_EQ(autoupdate.Wait(3000), std::optional<DWORD>(kOrderlyExit));
        EXPECT_EQ(updater.Wait(3000), std::optional<DWORD>(kOrderlyExit));
        EXPECT_EQ(Record(folder), "4970 0 0\r\n10 0 0\r\n");
        EXPECT_FALSE(IsProcessRunning("autoupdate", options));
        EXPECT_FALSE(CloseProcessesByName("update", options));
    }
}

TEST(FragmentName, WideBuildBehavesLikeTheNarrowOne) {
    TempDir folder;
    Process helper;
    ASSERT_TRUE(StartDoubleCopy(helper, folder, "widefragment.exe", ""));
    EXPECT_TRUE(IsProcessRunning(L"widefragment"));
    EXPECT_FALSE(IsProcessRunning(L"WideFragment"));  // the fragment is taken as it stands
    EXPECT_TRUE(CloseProcessesByName(L"widefragment"));
    EXPECT_EQ(helper.Wait(3000), std::optional<DWORD>(kOrderlyExit));
}

TEST(FragmentName, AProcessIgnoringTheRequestIsTerminatedAfterFiveSeconds) {
    TempDir folder;
    Process stubborn;
    ASSERT_TRUE(StartDoubleCopy(stubborn, folder, "stubbornupdate.exe",
                                 "--ignore --record " + Quote(folder.File("record.txt"))));
    const DWORD start = GetTickCount();
    EXPECT_TRUE(CloseProcessesByName("stubbornupdate"));
    EXPECT_GE(GetTickCount() - start, 4500u);
    EXPECT_EQ(stubborn.Wait(2000), std::optional<DWORD>(0));
    EXPECT_EQ(Record(folder), "4970 0 0\r\n10 0 0\r\n");
}

TEST(FragmentName, EmptyOrUnmatchedFragmentsFindNothingAndNeverTheCaller) {
    EXPECT_FALSE(IsProcessRunning(""));
    EXPECT_FALSE(CloseProcessesByName(""));
    EXPECT_FALSE(IsProcessRunning("no-such-program-runs"));
    EXPECT_FALSE(CloseProcessesByName("no-such-program-runs"));
    // The test program matches its own fragment but must survive closing it.
    EXPECT_TRUE(IsProcessRunning("process_tests"));
    EXPECT_FALSE(CloseProcessesByName("process_tests"));
}

TEST(ProcessWindows, PostingToAProcessWithoutWindowsFindsNone) {
    TempDir folder;
    Process helper;
    ASSERT_TRUE(StartDoubleCopy(helper, folder, "postee.exe", ""));
    const DWORD pid = helper.pid();
    EXPECT_TRUE(PostToProcessWindows(pid));
    ASSERT_EQ(helper.Wait(3000), std::optional<DWORD>(kOrderlyExit));
    // Its windows are gone by now: nothing to post to, and no failure.
    EXPECT_FALSE(PostToProcessWindows(pid));
}

TEST(NamedMutex, ExistsOnlyWhileSomeoneHoldsIt) {
    const std::string name = UniqueName("ProcMutex");
    EXPECT_FALSE(NamedMutexExists(name.c_str()));
    EXPECT_FALSE(NamedMutexExists(""));
    HANDLE mutex = CreateMutexA(nullptr, FALSE, name.c_str());
    ASSERT_NE(mutex, nullptr);
    EXPECT_TRUE(NamedMutexExists(name.c_str()));
    EXPECT_TRUE(NamedMutexExists(processtest::Wide(name).c_str()));
    CloseHandle(mutex);
    EXPECT_FALSE(NamedMutexExists(name.c_str()));
}

// The suite's own safety net: whatever a test hands to a ProcessOwner does not outlive it, and
// copies of a program are found by the file they run (which needs the path forms to agree).
TEST(TestProcessOwner, EndsWhatItOwnsAndFindsCopiesByTheirFile) {
    TempDir folder;
    Process first, second, other;
    ASSERT_TRUE(StartDoubleCopy(first, folder, "owned.exe", ""));
    ASSERT_TRUE(StartDoubleCopy(second, folder, "owned.exe", ""));
    ASSERT_TRUE(StartDoubleCopy(other, folder, "other.exe", ""));
    {
        ProcessOwner owner;
        EXPECT_EQ(owner.OwnCopiesOf(folder.File("owned.exe")), 2u);
        EXPECT_EQ(owner.OwnCopiesOf(folder.File("owned.exe")), 0u);
        // An id that has come to name another program is not taken.
        EXPECT_FALSE(owner.Own(other.pid(), folder.File("owned.exe")));
        EXPECT_EQ(owner.Running(), 2u);
    }
    EXPECT_FALSE(first.Running());
    EXPECT_FALSE(second.Running());
    EXPECT_TRUE(other.Running());
    {
        ProcessOwner owner;
        EXPECT_TRUE(owner.Own(other.pid()));
    }
    EXPECT_FALSE(other.Running());
}
