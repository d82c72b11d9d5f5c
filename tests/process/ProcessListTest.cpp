// The process list and its two back ends, including systems where one of them is missing.
#include <gtest/gtest.h>

#include "common/process/ProcessToolkit.h"
#include "tests/process/ProcessTestSupport.h"

using namespace proctool;
using namespace testsupport;

namespace {

template <class Ch>
std::vector<ProcessEntry<Ch>> Drain(ProcessListProvider<Ch>& provider, ProcessList<Ch>& list) {
    std::vector<ProcessEntry<Ch>> entries;
    ProcessEntry<Ch> entry;
    while (provider.NextEntry(list, entry)) entries.push_back(entry);
    return entries;
}

std::wstring OwnFileName() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring name = path;
    return name.substr(name.find_last_of(L'\\') + 1);
}

const BackEndOptions kOnlyProcessStatus{
    {"kernel32.dll!Process32FirstW", "kernel32.dll!Process32First"}};
const BackEndOptions kOnlyToolHelp{{"psapi.dll"}};

}  // namespace

TEST(ProcessList, ToolHelpIsPreferredAndListsFileNamesUntilTheEnd) {
    ProcessListProvider<wchar_t> provider;
    ASSERT_TRUE(provider.LoadBackEnd(false));
    EXPECT_EQ(provider.back_end(), BackEnd::ToolHelp);
    auto list = provider.CreateList();
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(provider.status(), kListSuccess);

    const auto entries = Drain(provider, *list);
    EXPECT_EQ(provider.status(), kListAtEnd);
    EXPECT_EQ(entries.size(), list->size());
    bool found_self = false;
    for (const auto& entry : entries) {
        if (entry.process_id != GetCurrentProcessId()) continue;
        found_self = true;
        EXPECT_EQ(entry.image_name, OwnFileName());  // a file name, not a path
    }
    EXPECT_TRUE(found_self);

    // Asking again at the end stays at the end.
    ProcessEntry<wchar_t> entry;
    EXPECT_FALSE(provider.NextEntry(*list, entry));
    EXPECT_EQ(provider.status(), kListAtEnd);
}

TEST(ProcessList, ProcessStatusBackEndGivesFullPathsWhenToolHelpIsIncomplete) {
    for (const bool narrow : {false, true}) {
        SCOPED_TRACE(narrow ? "narrow" : "wide");
        std::wstring own_entry;
        if (narrow) {
            ProcessListProvider<char> provider(kOnlyProcessStatus);
            ASSERT_TRUE(provider.LoadBackEnd(false));
            EXPECT_EQ(provider.back_end(), BackEnd::ProcessStatus);
            auto list = provider.CreateList();
            ASSERT_NE(list, nullptr);
            for (const auto& entry : Drain(provider, *list)) {
                if (entry.process_id == GetCurrentProcessId())
                    own_entry = processtest::Wide(entry.image_name);
            }
        } else {
            ProcessListProvider<wchar_t> provider(kOnlyProcessStatus);
            ASSERT_TRUE(provider.LoadBackEnd(false));
            EXPECT_EQ(provider.back_end(), BackEnd::ProcessStatus);
            auto list = provider.CreateList();
            ASSERT_NE(list, nullptr);
            for (const auto& entry : Drain(provider, *list)) {
                if (entry.process_id == GetCurrentProcessId()) own_entry = entry.image_name;
            }
        }
        wchar_t path[MAX_PATH] = {};
        GetModuleFileNameW(nullptr, path, MAX_PATH);
        EXPECT_EQ(lstrcmpiW(own_entry.c_str(), path), 0) << processtest::Narrow(own_entry);
    }
}

TEST(ProcessList, LoadOrderAndStatusCodes) {
    {
        // Preferring process-status picks it although tool-help is complete.
        ProcessListProvider<wchar_t> provider;
        ASSERT_TRUE(provider.LoadBackEnd(true));
        EXPECT_EQ(provider.back_end(), BackEnd::ProcessStatus);
    }
    {
        // A preferred back end lacking a function is skipped for the other one.
        ProcessListProvider<wchar_t> provider(BackEndOptions{{"psapi.dll!GetModuleInformation"}});
        ASSERT_TRUE(provider.LoadBackEnd(true));
        EXPECT_EQ(provider.back_end(), BackEnd::ToolHelp);
        EXPECT_EQ(provider.status(), kListSuccess);
    }
    {
        ProcessListProvider<char> provider(kOnlyToolHelp);
        ASSERT_TRUE(provider.LoadBackEnd(true));
        EXPECT_EQ(provider.back_end(), BackEnd::ToolHelp);
    }
    {
        // Neither complete: status 1, and no list can be walked.
        ProcessListProvider<char> provider(
            BackEndOptions{{"kernel32.dll!Module32Next", "psapi.dll!EnumProcesses"}});
        EXPECT_FALSE(provider.LoadBackEnd(false));
        EXPECT_EQ(provider.status(), kListNoBackEnd);
        EXPECT_EQ(provider.back_end(), BackEnd::None);
        auto list = provider.CreateList();
        ASSERT_NE(list, nullptr);
        EXPECT_EQ(provider.status(), kListEnumerationFailed);
        EXPECT_EQ(list->size(), 0u);
    }
    {
        // The wide build looks for the W functions: their absence alone disables tool-help.
        ProcessListProvider<wchar_t> provider(
            BackEndOptions{{"kernel32.dll!Process32NextW", "psapi.dll"}});
        EXPECT_FALSE(provider.LoadBackEnd(false));
        ProcessListProvider<char> narrow(
            BackEndOptions{{"kernel32.dll!Process32NextW", "psapi.dll"}});
        EXPECT_TRUE(narrow.LoadBackEnd(false));
    }
}

TEST(ProcessList, OperationsWithoutAnyBackEndAnswerFalse) {
    const BackEndOptions none{{"kernel32.dll", "psapi.dll"}};
    EXPECT_FALSE(IsProcessRunning("process_tests", none));
    EXPECT_FALSE(CloseProcessesByName("nothing-runs-by-this-name", none));
    EXPECT_FALSE(TerminateProcessesByExactName(L"nothing.exe", none));
    // With a back end, the exact-name termination answers true even when nothing matched.
    EXPECT_TRUE(TerminateProcessesByExactName(L"nothing-runs-by-this-name.exe"));
}
