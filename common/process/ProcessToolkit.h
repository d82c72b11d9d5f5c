#pragma once
// Finding, closing and terminating running programs, and finding windows by class. Norvane uses
// the narrow build (image names in the system code page, library process_narrow), Pallix the wide
// build (UTF-16, library process_wide). Both are instantiated from one template implementation.
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

namespace proctool {

// Status of a provider's last operation. The numbers are part of the interface.
enum ProcessListStatus : int {
    kListSuccess = 0,
    kListNoBackEnd = 1,
    kListIncompleteBackEnd = 2,
    kListOutOfMemory = 3,
    kListEnumerationFailed = 4,
    kListAtEnd = 5,
    kListBeyondEnd = 6,
};

enum class BackEnd { None, ToolHelp, ProcessStatus };

// Lets a caller (the tests) pretend that a library or one of its functions is absent: each item
// is a library name ("psapi.dll") or a library and function ("kernel32.dll!Process32FirstW").
// Names compare without regard to case.
struct BackEndOptions {
    std::vector<std::string> missing;
};

template <class Ch>
struct ProcessEntry {
    DWORD process_id = 0;
    // Tool-help: the executable's file name. Process-status: the full path of the first module,
    // or "-" when the modules could not be listed.
    std::basic_string<Ch> image_name;
};

template <class Ch>
class ProcessListProvider;

// A snapshot of the running processes in the order the system reported them, with a cursor.
template <class Ch>
class ProcessList {
public:
    size_t size() const { return entries_.size(); }
    const std::vector<ProcessEntry<Ch>>& entries() const { return entries_; }

private:
    friend class ProcessListProvider<Ch>;
    std::vector<ProcessEntry<Ch>> entries_;
    size_t cursor_ = 0;
};

// Holds the loaded back end: the library handle and its resolved functions. The library is
// released when the provider is destroyed or another back end is loaded.
template <class Ch>
class ProcessListProvider {
public:
    explicit ProcessListProvider(BackEndOptions options = {});
    ~ProcessListProvider();
    ProcessListProvider(const ProcessListProvider&) = delete;
    ProcessListProvider& operator=(const ProcessListProvider&) = delete;

    // With prefer_process_status clear (what every caller passes) tool-help is tried first.
    bool LoadBackEnd(bool prefer_process_status);
    // Nothing on out-of-memory (status 3); an empty list with status 4 when enumeration failed.
    std::unique_ptr<ProcessList<Ch>> CreateList();
    bool NextEntry(ProcessList<Ch>& list, ProcessEntry<Ch>& entry);

    ProcessListStatus status() const { return status_; }
    BackEnd back_end() const { return back_end_; }

private:
    struct Functions;
    bool TryToolHelp();
    bool TryProcessStatus();
    bool IsMissing(const char* library, const char* function) const;
    FARPROC Resolve(HMODULE module, const char* library, const char* function) const;
    void Release();
    bool EnumerateToolHelp(ProcessList<Ch>& list);
    bool EnumerateProcessStatus(ProcessList<Ch>& list);

    BackEndOptions options_;
    ProcessListStatus status_ = kListSuccess;
    BackEnd back_end_ = BackEnd::None;
    HMODULE library_ = nullptr;
    std::unique_ptr<Functions> functions_;
};

// Enables SeDebugPrivilege on the own token; failures are ignored.
void EnableDebugPrivilege();

// True when a mutex of that name exists (it is opened and closed again at once).
template <class Ch>
bool NamedMutexExists(const Ch* name);

// True when a process whose lower-cased image name contains the fragment runs and can be opened
// with full access. The fragment is taken as it stands (pass it in lower case); an empty
// fragment answers false.
template <class Ch>
bool IsProcessRunning(const Ch* fragment, const BackEndOptions& options = {});

// Asks every process whose lower-cased image name contains the fragment to close (message 18800
// and WM_CLOSE to its top-level windows), gives it 5000 ms and terminates it when it still runs.
// True when at least one process ended or was terminated.
template <class Ch>
bool CloseProcessesByName(const Ch* fragment, const BackEndOptions& options = {});

// True for a bare file name that can name a running program: not empty, no folder part (no
// backslash, slash or drive colon) and no "..". A name from a file others can write must pass
// this before anything is ended by it.
template <class Ch>
bool IsPlainImageName(const Ch* name);

// True when the process runs in this process's session (Terminal Services session). Where the
// system cannot tell (no ProcessIdToSessionId), every process counts as ours; where it cannot
// tell for this one process, it does not.
bool InOwnSession(DWORD process_id);

// Like IsProcessRunning and CloseProcessesByName, but the file name of the image (the part
// after the last backslash, so both back ends agree) must equal the name as a whole, without
// regard to case, and only processes of this session count. A name that is not a plain image
// name finds nothing and ends nothing.
template <class Ch>
bool IsProcessRunningByExactName(const Ch* image_name, const BackEndOptions& options = {});
template <class Ch>
bool CloseProcessesByExactName(const Ch* image_name, const BackEndOptions& options = {});

// Message the programs closed by CloseProcessesByName receive before WM_CLOSE.
constexpr UINT kPrepareCloseMessage = 18800;
// Posts kPrepareCloseMessage then WM_CLOSE to every top-level window of the process; true when
// the process has at least one.
bool PostToProcessWindows(DWORD process_id);

// Gives every process whose image name equals the name (without regard to case) 5000 ms to end
// and terminates it when it still runs. False only when no back end is available.
template <class Ch>
bool TerminateProcessesByExactName(const Ch* image_name, const BackEndOptions& options = {});

// Windows of the class directly under the parent (top-level windows when parent is null), in the
// order the system returns them.
template <class Ch>
std::vector<HWND> FindWindowsByClass(HWND parent, const Ch* class_name);

// The first top-level dialog with a descendant window of exactly that class, or null.
template <class Ch>
HWND FindDialogHostingChild(const Ch* child_class);

// Tab windows of a browser frame (wide build only): IE 7 "TabWindowClass" under the frame; IE 8 and
// later "TabWindowClass" under each "Frame Tab"; otherwise none.
std::vector<HWND> CollectBrowserTabs(HWND frame);

// The installed Internet Explorer, from HKLM "SOFTWARE\Microsoft\Internet Explorer" "Version",
// read once per process.
bool IsIe6();
int Ie7Kind();  // 0 not IE 7, 1 IE 7 with a build number below 6000, 2 otherwise
bool IsIe8();
int IeMajorVersion();  // 0 when unknown
bool IsIe8OrLater();
// Forgets the cached answers (tests change the version between cases).
void ResetIeVersionCache();

}  // namespace proctool
