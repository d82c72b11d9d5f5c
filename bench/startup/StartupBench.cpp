// Starts programs with CreateProcess and measures them from outside, as the programs that start
// Norvane and Pallix see them:
//
//   startup_bench time ROUNDS page|exit COMMANDS [FOLDER]
//     COMMANDS is a text file: the subject's command line, then the reference's. Each round
//     starts both, one after the other, the subject first in odd rounds and the reference first
//     in even ones, after one warm-up round that is not counted. "page" times CreateProcess to
//     the first visible top-level window of the process that has a visible child window, after
//     which the process (and every process running from FOLDER) is ended; "exit" times it to
//     the process's end. Prints "key value" lines: medians, lowest and highest of each side and
//     of the round-by-round ratio subject / reference.
//   startup_bench memory COMMANDS HOLD_MS
//     starts the first command line of COMMANDS, waits for its page, keeps it for HOLD_MS, closes it
//     (WM_CLOSE) and samples its memory every 10 ms from start to end.
//   startup_bench watch FOLDER PROGRAM SECONDS
//     samples every process running PROGRAM (a file name) from FOLDER, from the moment it is
//     seen until it ends, for at most SECONDS; ends when every one seen has ended.
//   Memory figures: "peak_private" (the highest PrivateUsage sampled), "peak_working_set"
//   (PeakWorkingSetSize), in bytes.
//
// Everything it starts is ended by id before it returns.
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/AnswerProbe.h"
#include "tests/support/TestSupport.h"

using testsupport::AnswerProbe;
using testsupport::ProcessOwner;

namespace {

double Now() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

struct Memory {
    SIZE_T peak_private = 0;
    SIZE_T peak_working_set = 0;
    void Sample(HANDLE process) {
        PROCESS_MEMORY_COUNTERS_EX counters = {};
        counters.cb = sizeof(counters);
        if (!GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                                  sizeof(counters))) {
            return;
        }
        peak_private = std::max(peak_private, std::max(counters.PrivateUsage, counters.PeakPagefileUsage));
        peak_working_set = std::max(peak_working_set, counters.PeakWorkingSetSize);
    }
};

struct Started {
    HANDLE process = nullptr;
    DWORD pid = 0;
};

// Starts the command line as it stands; the process handle is the caller's to close.
bool Start(const std::string& command_line, Started* started) {
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    std::vector<char> line(command_line.begin(), command_line.end());
    line.push_back('\0');
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &info)) {
        return false;
    }
    CloseHandle(info.hThread);
    started->process = info.hProcess;
    started->pid = info.dwProcessId;
    return true;
}

struct PageSearch {
    DWORD pid;
    HWND found;
    bool child_is_dialog;
};

BOOL CALLBACK VisibleChild(HWND child, LPARAM context) {
    auto* search = reinterpret_cast<PageSearch*>(context);
    if (!IsWindowVisible(child)) return TRUE;
    char name[16] = {};
    GetClassNameA(child, name, sizeof(name));
    const bool dialog = lstrcmpA(name, "#32770") == 0;
    if (!search->found || dialog) search->found = child;
    search->child_is_dialog = search->child_is_dialog || dialog;
    return TRUE;
}

BOOL CALLBACK VisibleTopLevel(HWND window, LPARAM context) {
    auto* search = reinterpret_cast<PageSearch*>(context);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != search->pid || !IsWindowVisible(window)) return TRUE;
    EnumChildWindows(window, VisibleChild, context);
    return search->found ? FALSE : TRUE;
}

// The page of a process: a visible top-level window of it with a visible child window.
bool PageShown(DWORD pid, bool* child_is_dialog) {
    PageSearch search = {pid, nullptr, false};
    EnumWindows(VisibleTopLevel, reinterpret_cast<LPARAM>(&search));
    *child_is_dialog = search.child_is_dialog;
    return search.found != nullptr;
}

constexpr double kLimitMs = 60000;

// Milliseconds from CreateProcess to the page (or the end); negative when it did not come.
double TimeOne(const std::string& command_line, bool until_page, const std::string& folder,
               bool* child_is_dialog) {
    ProcessOwner owner;
    if (!folder.empty()) owner.Watch(folder);
    Started started;
    const double start = Now();
    if (!Start(command_line, &started)) return -1;
    owner.Own(started.process);
    double took = -1;
    if (until_page) {
        while (Now() - start < kLimitMs) {
            if (PageShown(started.pid, child_is_dialog)) {
                took = Now() - start;
                break;
            }
            if (WaitForSingleObject(started.process, 2) == WAIT_OBJECT_0) break;
        }
    } else if (WaitForSingleObject(started.process, static_cast<DWORD>(kLimitMs)) == WAIT_OBJECT_0) {
        took = Now() - start;
    }
    CloseHandle(started.process);
    owner.EndAll();
    return took;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

void PrintFigures(const char* name, const std::vector<double>& values) {
    std::printf("%s %.3f\n%s_low %.3f\n%s_high %.3f\n", name, Median(values), name,
                *std::min_element(values.begin(), values.end()), name,
                *std::max_element(values.begin(), values.end()));
}

// The first two lines of the file; false unless both are there (or, with `one`, the first).
bool ReadCommands(const char* path, std::string* subject, std::string* reference, bool one = false) {
    FILE* file = std::fopen(path, "rb");
    if (!file) return false;
    std::string lines[2];
    char buffer[4096];
    for (std::string& line : lines) {
        if (!std::fgets(buffer, sizeof(buffer), file)) break;
        line = buffer;
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    }
    std::fclose(file);
    *subject = lines[0];
    *reference = lines[1];
    return !subject->empty() && (one || !reference->empty());
}

int Time(int rounds, bool until_page, const char* commands, const std::string& folder) {
    std::string subject, reference;
    if (!ReadCommands(commands, &subject, &reference)) {
        std::fprintf(stderr, "no two command lines in %s\n", commands);
        return 2;
    }
    std::vector<double> ours, theirs, ratios;
    bool page_is_dialog = true;
    for (int round = 0; round <= rounds; ++round) {
        double figures[2] = {};  // subject, reference
        for (int turn = 0; turn < 2; ++turn) {
            const int which = (round % 2 == 1) ? turn : 1 - turn;
            bool dialog = false;
            figures[which] =
                TimeOne(which == 0 ? subject : reference, until_page, which == 0 ? folder : "", &dialog);
            if (figures[which] < 0) {
                std::fprintf(stderr, "round %d: the %s did not %s\n", round,
                             which == 0 ? "subject" : "reference",
                             until_page ? "show a page" : "end");
                return 1;
            }
            if (which == 0 && until_page) page_is_dialog = page_is_dialog && dialog;
            Sleep(100);  // let the ended processes' resources go
        }
        std::fprintf(stderr, "round %d%s: subject %.1f ms, reference %.1f ms\n", round,
                     round == 0 ? " (warm-up)" : "", figures[0], figures[1]);
        if (round == 0) continue;
        ours.push_back(figures[0]);
        theirs.push_back(figures[1]);
        ratios.push_back(figures[0] / figures[1]);
    }
    std::printf("rounds %d\n", rounds);
    PrintFigures("subject_ms", ours);
    PrintFigures("reference_ms", theirs);
    PrintFigures("ratio", ratios);
    if (until_page) std::printf("subject_page_is_dialog %d\n", page_is_dialog ? 1 : 0);
    return 0;
}

int MemoryOfDialog(const char* commands, DWORD hold_ms) {
    std::string program, unused;
    if (!ReadCommands(commands, &program, &unused, true)) return 2;
    ProcessOwner owner;
    Started started;
    if (!Start(program, &started)) return 1;
    owner.Own(started.process);
    Memory memory;
    double shown_at = -1;
    const double start = Now();
    bool posted = false;
    // The dialog's answers to sent messages while it is shown: the reference of Norvane's.
    std::unique_ptr<AnswerProbe> probe;
    while (WaitForSingleObject(started.process, 10) == WAIT_TIMEOUT) {
        memory.Sample(started.process);
        if (Now() - start > kLimitMs) break;
        bool dialog = false;
        if (shown_at < 0 && PageShown(started.pid, &dialog)) {
            shown_at = Now();
            PageSearch search = {started.pid, nullptr, false};
            EnumWindows(VisibleTopLevel, reinterpret_cast<LPARAM>(&search));
            if (search.found) probe.reset(new AnswerProbe(GetAncestor(search.found, GA_ROOT), 10000));
        }
        if (probe && !posted && shown_at >= 0 && Now() - shown_at >= hold_ms) probe->Stop();
        if (!posted && shown_at >= 0 && Now() - shown_at >= hold_ms) {
            PageSearch search = {started.pid, nullptr, false};
            EnumWindows(VisibleTopLevel, reinterpret_cast<LPARAM>(&search));
            if (search.found) PostMessageA(GetAncestor(search.found, GA_ROOT), WM_CLOSE, 0, 0);
            posted = true;
        }
    }
    const bool ended = WaitForSingleObject(started.process, 0) == WAIT_OBJECT_0;
    CloseHandle(started.process);
    if (!ended || shown_at < 0) {
        std::fprintf(stderr, "the program did not show its page and end\n");
        return 1;
    }
    std::printf("peak_private %zu\npeak_working_set %zu\n", static_cast<size_t>(memory.peak_private),
                static_cast<size_t>(memory.peak_working_set));
    if (probe) {
        probe->Stop();
        std::vector<double> times = probe->round_trips_ms();
        if (!times.empty()) {
            std::printf("answer_median_ms %.3f\nanswer_worst_ms %.3f\n", Median(times),
                        *std::max_element(times.begin(), times.end()));
        }
    }
    return 0;
}

int Watch(const std::string& folder, const std::string& program, DWORD seconds) {
    struct Watched {
        DWORD pid;
        HANDLE process;
        Memory memory;
    };
    std::vector<Watched> watched;
    ProcessOwner owner;  // whatever still runs at the time limit is ended
    const double start = Now();
    int samples = 0;
    while (Now() - start < seconds * 1000.0) {
        // Programs seen for the first time; every 50 ms, as the snapshot is dear.
        if (samples % 5 == 0) {
            for (DWORD pid : ProcessOwner::ProcessesUnder(folder)) {
                bool known = false;
                for (const Watched& w : watched) known = known || w.pid == pid;
                if (known) continue;
                HANDLE process = OpenProcess(
                    PROCESS_QUERY_INFORMATION | PROCESS_VM_READ | SYNCHRONIZE, FALSE, pid);
                if (!process) continue;
                const std::string path = testsupport::ProgramOf(process);
                const size_t slash = path.find_last_of('\\');
                if (lstrcmpiA(path.substr(slash + 1).c_str(), program.c_str()) != 0) {
                    CloseHandle(process);
                    continue;
                }
                owner.Own(process);
                watched.push_back({pid, process, {}});
                std::fprintf(stderr, "watching %s (process %lu)\n", path.c_str(), pid);
            }
        }
        bool running = false;
        for (Watched& w : watched) {
            if (WaitForSingleObject(w.process, 0) == WAIT_OBJECT_0) continue;
            w.memory.Sample(w.process);
            running = true;
        }
        if (!watched.empty() && !running) break;
        Sleep(10);
        ++samples;
    }
    if (watched.empty()) {
        std::fprintf(stderr, "no %s ran from %s\n", program.c_str(), folder.c_str());
        return 1;
    }
    // The first one is the one the update ran in; others are its short-lived helpers.
    std::printf("processes %zu\n", watched.size());
    Memory all;
    for (size_t i = 0; i < watched.size(); ++i) {
        const Memory& m = watched[i].memory;
        std::fprintf(stderr, "process %lu: peak private %zu, peak working set %zu\n",
                     watched[i].pid, static_cast<size_t>(m.peak_private),
                     static_cast<size_t>(m.peak_working_set));
        all.peak_private = std::max(all.peak_private, m.peak_private);
        all.peak_working_set = std::max(all.peak_working_set, m.peak_working_set);
    }
    const bool ended = WaitForSingleObject(watched.front().process, 0) == WAIT_OBJECT_0;
    for (Watched& w : watched) CloseHandle(w.process);
    std::printf("peak_private %zu\npeak_working_set %zu\n", static_cast<size_t>(all.peak_private),
                static_cast<size_t>(all.peak_working_set));
    return ended ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "time" && argc >= 5) {
        const std::string until = argv[3];
        if (until != "page" && until != "exit") return 2;
        return Time(std::max(1, std::atoi(argv[2])), until == "page", argv[4], argc > 5 ? argv[5] : "");
    }
    if (mode == "memory" && argc >= 4) {
        return MemoryOfDialog(argv[2], static_cast<DWORD>(std::atoi(argv[3])));
    }
    if (mode == "watch" && argc >= 5) {
        return Watch(argv[2], argv[3], static_cast<DWORD>(std::atoi(argv[4])));
    }
    std::fprintf(stderr,
                 "usage: startup_bench time ROUNDS page|exit COMMANDS [FOLDER]\n"
                 "       startup_bench memory COMMANDS HOLD_MS\n"
                 "       startup_bench watch FOLDER PROGRAM SECONDS\n");
    return 2;
}
