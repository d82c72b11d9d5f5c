#pragma once
// Copies of the component double under chosen file names, started in a private folder.
#include <string>

#include "tests/support/TestSupport.h"

namespace processtest {

inline std::string Narrow(const std::wstring& text) {
    return std::string(text.begin(), text.end());  // the tests use ASCII names only
}
inline std::wstring Wide(const std::string& text) {
    return std::wstring(text.begin(), text.end());
}

// Starts the component double as folder\file_name with the given options and waits for its
// window, so that it can be found at once.
inline bool StartNamedDouble(testsupport::Process& process, const testsupport::TempDir& folder,
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

}  // namespace processtest
