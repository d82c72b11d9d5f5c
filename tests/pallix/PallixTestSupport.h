#pragma once
// Running Pallix the way the toolbar's setup does, and the component doubles it closes.
#include <string>

#include "tests/support/TestSupport.h"

namespace pallixtest {

inline std::string PallixPath() { return testsupport::Join(testsupport::BinDir(), "Pallix.exe"); }

constexpr DWORD kOrderlyExit = 7;  // the doubles' own exit code; TerminateProcess gives 0

// Runs Pallix with the arguments and returns its exit code (nullopt when it did not end within
// the limit). elapsed_ms receives the run time.
inline std::optional<DWORD> RunPallix(const std::string& arguments, DWORD* elapsed_ms = nullptr,
                                      DWORD limit_ms = 60000) {
    const DWORD start = GetTickCount();
    auto code = testsupport::RunToEnd(
        testsupport::Quote(PallixPath()) + (arguments.empty() ? "" : " " + arguments), limit_ms);
    if (elapsed_ms) *elapsed_ms = GetTickCount() - start;
    return code;
}

// Starts a copy of a double in the folder and waits for its window.
inline bool StartDouble(testsupport::Process& process, const testsupport::TempDir& folder,
                        const std::string& file_name, const std::string& options,
                        const std::string& double_name = "component.exe") {
    using namespace testsupport;
    const std::string path = folder.File(file_name);
    if (!PathExists(path) && !CopyInto(Join(DoublesDir(), double_name), folder.path(), file_name)) {
        return false;
    }
    if (!process.Start(Quote(path) + " " + options)) return false;
    return WaitForWindow(process.pid(), 15000) != nullptr;
}

}  // namespace pallixtest
