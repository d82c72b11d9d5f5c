#pragma once
// Ends, by process id, everything a test started: the programs it started itself and those they
// started in turn (an agent started by Norvane, a second Norvane, a product, a cleaner). A test
// makes one before anything can fail and hands it every process id it learns; processes whose
// executable lies in a folder the owner watches are found by id when the owner ends.
#include <windows.h>

#include <string>
#include <vector>

namespace testsupport {

class ProcessOwner {
public:
    ProcessOwner() = default;
    ~ProcessOwner();
    ProcessOwner(const ProcessOwner&) = delete;
    ProcessOwner& operator=(const ProcessOwner&) = delete;

    // Holds a handle at once, so that the id cannot pass to another process meanwhile. A process
    // that has already ended is ignored.
    void Adopt(DWORD pid);
    // Every process running from this folder (or below it) when the owner ends is ended too.
    void Watch(const std::string& folder);
    // Terminates every adopted or watched process that still runs and waits (bounded) for each.
    void EndAll();

    // Ids of the running processes whose executable lies in the folder or below it.
    static std::vector<DWORD> ProcessesUnder(const std::string& folder);

private:
    std::vector<HANDLE> handles_;
    std::vector<std::string> folders_;
};

}  // namespace testsupport
