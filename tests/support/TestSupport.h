#pragma once
// What every test needs around the programs under test: paths of the built files, private
// temporary folders, registry seeding and reading in either view, processes (also started with
// the limited token, as a non-elevated user would), windows, and screenshots.
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace testsupport {

// "/a/b" (a path of the machine running Wine) as Windows sees it: "Z:\a\b".
std::string WindowsPath(const std::string& unix_path);
// Folders of this build, from the environment ctest sets.
std::string BinDir();        // Norvane.exe, Pallix.exe, ko-KR.dll
std::string DoublesDir();    // stand-ins for the programs outside the system
std::string SourceDir();
std::string ArtifactDir();   // screenshots and other files a person looks at
std::string Join(const std::string& folder, const std::string& name);

// A name no other test uses (product names, keys, files).
std::string UniqueName(const std::string& prefix);

// A fresh folder under the temporary folder, removed with everything in it at the end.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    std::string File(const std::string& name) const { return Join(path_, name); }

private:
    std::string path_;
};

bool RemoveTree(const std::string& path);
bool CopyInto(const std::string& file, const std::string& folder, const std::string& new_name = "");
bool WriteTextFile(const std::string& path, const std::string& text);
std::optional<std::string> ReadTextFile(const std::string& path);
bool PathExists(const std::string& path);
// Creates the folder with every missing folder above it; true when it exists afterwards.
bool MakeFolders(const std::string& path);

// Registry, in the view a 32-bit program has (View32), the 64-bit view, or the test's own.
enum class View { Own, View32, View64 };
bool SetRegString(HKEY root, const std::string& subkey, const std::string& name,
                  const std::string& value, View view = View::View32);
bool SetRegDword(HKEY root, const std::string& subkey, const std::string& name, DWORD value,
                 View view = View::View32);
bool SetRegBinary(HKEY root, const std::string& subkey, const std::string& name,
                  const std::vector<BYTE>& value, View view = View::View32);
std::optional<std::string> GetRegString(HKEY root, const std::string& subkey,
                                        const std::string& name, View view = View::View32);
std::optional<DWORD> GetRegDword(HKEY root, const std::string& subkey, const std::string& name,
                                 View view = View::View32);
bool RegKeyExists(HKEY root, const std::string& subkey, View view = View::View32);
bool DeleteRegValue(HKEY root, const std::string& subkey, const std::string& name,
                    View view = View::View32);
bool DeleteRegTree(HKEY root, const std::string& subkey, View view = View::View32);

// Puts a value back (or removes it) as it was when the object was made.
class ScopedRegValue {
public:
    ScopedRegValue(HKEY root, std::string subkey, std::string name, View view = View::View32);
    ~ScopedRegValue();
    ScopedRegValue(const ScopedRegValue&) = delete;
    ScopedRegValue& operator=(const ScopedRegValue&) = delete;

private:
    HKEY root_;
    std::string subkey_, name_;
    View view_;
    bool existed_ = false;
    DWORD type_ = 0;
    std::vector<BYTE> data_;
};

// Deletes a key with everything under it at the end of the scope.
class ScopedRegTree {
public:
    ScopedRegTree(HKEY root, std::string subkey, View view = View::View32);
    ~ScopedRegTree();
    ScopedRegTree(const ScopedRegTree&) = delete;
    ScopedRegTree& operator=(const ScopedRegTree&) = delete;

private:
    HKEY root_;
    std::string subkey_;
    View view_;
};

// Takes a file or folder out of a place other tests share for the scope: what stands at the path
// is moved aside under a unique name, and at the end, however the test ends, whatever the test
// left there is removed and the original is moved back.
class PathAside {
public:
    explicit PathAside(std::string path);
    ~PathAside();
    PathAside(const PathAside&) = delete;
    PathAside& operator=(const PathAside&) = delete;
    // False when something stood at the path and could not be moved.
    bool ok() const { return ok_; }

private:
    std::string path_, aside_;
    bool ok_ = false;
};

// A started program. The destructor terminates it when it is still running.
class Process {
public:
    Process() = default;
    ~Process();
    Process(Process&& other) noexcept;
    Process& operator=(Process&& other) noexcept;
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    struct Options {
        bool limited_token = false;  // the elevated token's linked, non-elevated token
        std::string current_dir;
        std::vector<std::string> extra_environment;  // "NAME=value" added to ours
    };
    // command_line is passed as it stands (quote the program path yourself, or use Quote).
    bool Start(const std::string& command_line, const Options& options);
    bool Start(const std::string& command_line) { return Start(command_line, Options{}); }

    // The exit code, or nullopt when the program still runs after timeout_ms.
    std::optional<DWORD> Wait(DWORD timeout_ms);
    bool Running() const;
    void Terminate();
    DWORD pid() const { return pid_; }
    HANDLE handle() const { return handle_; }

private:
    HANDLE handle_ = nullptr;
    DWORD pid_ = 0;
};

// Owns processes a test started, directly or through the program under test, by their ids:
// whatever happens in the test, each one still running at the end of the scope is terminated
// and waited for. A process is opened when it is handed over, so that its id cannot pass to
// another process meanwhile; hand each one over at once, before any assertion can end the test.
class ProcessOwner {
public:
    ProcessOwner() = default;
    ~ProcessOwner();
    ProcessOwner(const ProcessOwner&) = delete;
    ProcessOwner& operator=(const ProcessOwner&) = delete;

    // Takes the process with this id; with `program` given only when it runs that file (an id
    // read from a record may name another process once the recorded one has ended). False when
    // it cannot be opened or runs another file.
    bool Own(DWORD pid, const std::string& program = "");
    // Takes the process behind the handle; the handle itself stays the caller's.
    bool Own(HANDLE process);
    // Takes every running process started from the program file; returns how many were new.
    size_t OwnCopiesOf(const std::string& program);
    // Every process running from this folder (or below it) when the owner ends is ended too:
    // the programs a program under test starts from a test's own folder.
    void Watch(const std::string& folder);
    // Terminates every owned process that still runs and waits for it to be gone; then the
    // watched folders' processes, again until a round finds none (one being ended may just
    // have started another).
    void EndAll();
    // Ids of the running processes whose program lies in the folder or below it.
    static std::vector<DWORD> ProcessesUnder(const std::string& folder);
    // Owned processes that still run.
    size_t Running() const;

private:
    bool Owns(DWORD pid) const;
    std::vector<std::pair<DWORD, HANDLE>> owned_;
    std::vector<std::string> folders_;
};

// The program file a process runs, as the system names it; empty when it cannot be read.
std::string ProgramOf(HANDLE process);

// A named mutex this thread holds until Release or the end of the scope, so that a test that
// ends early never leaves it held for the tests after it.
class HeldMutex {
public:
    explicit HeldMutex(const std::string& name);
    ~HeldMutex() { Release(); }
    HeldMutex(const HeldMutex&) = delete;
    HeldMutex& operator=(const HeldMutex&) = delete;
    // False when the mutex could not be made or someone else holds it.
    bool held() const { return held_; }
    void Release();

private:
    HANDLE handle_ = nullptr;
    bool held_ = false;
};

std::string Quote(const std::string& text);
// Starts a copy of a stand-in program (from DoublesDir) as folder\file_name with the options and
// waits for its first visible window, so that it can be found at once.
bool StartDoubleCopy(Process& process, const TempDir& folder, const std::string& file_name,
                     const std::string& options, const std::string& double_name = "component.exe");
// Starts, waits and returns the exit code; nullopt on a start failure or time-out (the program
// is then terminated).
std::optional<DWORD> RunToEnd(const std::string& command_line, DWORD timeout_ms,
                         const Process::Options& options = Process::Options{});

// The start record a stand-in writes once its windows exist: its process id and command line.
// The file appears complete (it is written under another name and renamed).
struct StartRecord {
    DWORD pid = 0;
    std::string command_line;
};
// Waits until the record file exists and reads it; nullopt on time-out or a malformed record.
std::optional<StartRecord> WaitForStartRecord(const std::string& path, DWORD timeout_ms);

// Waits up to timeout_ms for the process to end, looking at its top-level windows every 10 ms
// while it runs: a window that a program shows and takes away again before it ends is seen too,
// which a look after the end never can.
struct WatchedRun {
    std::optional<DWORD> exit_code;  // nullopt: still running at the time-out
    bool showed_window = false;      // a visible top-level window was seen while it ran
};
WatchedRun WaitWatchingWindows(Process& process, DWORD timeout_ms);

// Top-level windows of a process (visible or not).
std::vector<HWND> WindowsOfProcess(DWORD pid);
// Waits until the process owns a top-level window that the predicate accepts.
HWND WaitForWindow(DWORD pid, DWORD timeout_ms, bool (*accept)(HWND) = nullptr);
std::string WindowText(HWND window);
std::string ClassName(HWND window);
// Waits until fn() is true, pumping this thread's messages; false on time-out.
template <typename Fn>
bool WaitUntil(Fn fn, DWORD timeout_ms) {
    const DWORD start = GetTickCount();
    while (!fn()) {
        if (GetTickCount() - start >= timeout_ms) return false;
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        Sleep(20);
    }
    return true;
}

// Saves the whole screen of the test display as ArtifactDir()/name (a .png) with ImageMagick's
// import; false when that fails.
bool SaveScreenshot(const std::string& name);

// True when this process runs with an elevated token (Wine's default).
bool IsElevated();

}  // namespace testsupport
