// Walks one whole update the way a user does, for the demo: starts Norvane with
// "/explicitupdate <product>", waits for each page, takes its picture, and moves on with the
// page's own button (the licence page, when it comes, is accepted); at the progress page it
// watches the bar while the product's setup (the caller's stand-in) reports its progress and its
// end, and on the completion page it clicks the finish button. Prints what it sees; exits with 0
// when Norvane ended normally after the completion page.
//
//   update_walk.exe <Norvane.exe> <product> [picture prefix]
//
// Pictures go to OSTREY_ARTIFACT_DIR as "<prefix><n>-<page>.png". Everything it started is ended
// by id when it ends. With WALK_ANSWERS naming a file, the window is sent message after message
// from the moment it appears until it has gone, and how long its answers took goes to that file
// as "key value" lines (answer_median_ms, answer_worst_ms, answer_over_100ms, answer_count,
// answer_misses) for the benchmark.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "resources/ResourceIds.h"
#include "tests/support/AnswerProbe.h"
#include "tests/support/TestSupport.h"
#include "tests/support/WindowDriver.h"
#include "updater/app/PageFlow.h"

using namespace testsupport;

namespace {

constexpr DWORD kWait = 30000;
const char* const kPageNames[kPageCount] = {"loading",  "description", "options",  "licence",
                                            "progress", "complete",    "current",  "error"};

int PageIndexOf(HWND page) {
    if (!page) return -1;
    if (Control(page, IDC_OPTION_TREE)) return kOptionPage;
    if (Control(page, IDC_LICENSE_TEXT)) return kLicensePage;
    if (Control(page, IDC_PROGRESS_BAR)) return kProgressPage;
    if (Control(page, IDC_AD_PLACEHOLDER)) return kCompletePage;
    if (Control(page, IDC_NEXT) && Control(page, IDC_DESC_LINE2)) return kDescriptionPage;
    if (Control(page, IDC_PAGE_BUTTON)) {
        return Control(page, IDC_TITLE) ? kAlreadyCurrentPage : kErrorPage;
    }
    return kLoadingPage;
}

// Waits until the window shows a page other than `previous`; its index, -1 when none came.
int NextPageShown(HWND window, int previous, HWND* page) {
    int index = -1;
    WaitUntil(
        [&] {
            *page = VisibleChildDialog(window);
            index = PageIndexOf(*page);
            return index >= 0 && index != previous;
        },
        kWait);
    return index != previous ? index : -1;
}

// The bar's upper limit and position; -1 each when it does not answer.
void ReadBar(HWND bar, int* high, int* position) {
    DWORD_PTR limit = 0, at = 0;
    const bool read =
        SendMessageTimeoutA(bar, PBM_GETRANGE, FALSE, 0, SMTO_ABORTIFHUNG, 5000, &limit) &&
        SendMessageTimeoutA(bar, PBM_GETPOS, 0, 0, SMTO_ABORTIFHUNG, 5000, &at);
    *high = read ? static_cast<int>(limit) : -1;
    *position = read ? static_cast<int>(at) : -1;
}

// Follows the setup's reports until the bar is at least half full (or the page is left).
void WatchTheSetup(HWND window, HWND page) {
    HWND bar = Control(page, IDC_PROGRESS_BAR);
    int shown_high = -2, shown_position = -2;
    WaitUntil(
        [&] {
            int high = 0, position = 0;
            ReadBar(bar, &high, &position);
            if (high != shown_high || position != shown_position) {
                std::printf("    bar 0..%d at %d\n", high, position);
                shown_high = high;
                shown_position = position;
            }
            return VisibleChildDialog(window) != page || (high > 0 && position * 2 >= high);
        },
        kWait);
}

void Picture(HWND window, const std::string& prefix, int step, int page) {
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
    Answers(window, 5000);
    Sleep(300);
    const std::string name = prefix + std::to_string(step) + "-" + kPageNames[page] + ".png";
    if (SaveWindowScreenshot(window, name)) std::printf("    picture: %s\n", name.c_str());
}

// The probe's answers as "key value" lines into the file; false when it cannot be written.
bool WriteAnswers(const char* path, const AnswerProbe& probe) {
    std::vector<double> times = probe.round_trips_ms();
    FILE* file = std::fopen(path, "wb");
    if (!file) return false;
    if (!times.empty()) {
        std::sort(times.begin(), times.end());
        const size_t n = times.size();
        const double median = n % 2 ? times[n / 2] : (times[n / 2 - 1] + times[n / 2]) / 2;
        const size_t slow = static_cast<size_t>(
            times.end() - std::upper_bound(times.begin(), times.end(), 100.0));
        std::fprintf(file, "answer_median_ms %.3f\nanswer_worst_ms %.3f\nanswer_over_100ms %zu\n",
                     median, times.back(), slow);
    }
    std::fprintf(file, "answer_count %zu\nanswer_misses %zu\n", times.size(), probe.misses());
    return std::fclose(file) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: update_walk <Norvane.exe> <product> [picture prefix]\n");
        return 2;
    }
    const std::string prefix = argc > 3 ? argv[3] : "update-";
    ProcessOwner owner;
    Process norvane;
    if (!norvane.Start(Quote(argv[1]) + " /explicitupdate " + argv[2])) {
        std::printf("Norvane did not start\n");
        return 1;
    }
    owner.Own(norvane.pid());
    HWND window = WaitForMainDialog(norvane.pid(), kWait);
    if (!window) {
        std::printf("no update window\n");
        return 1;
    }
    std::printf("update window \"%s\"\n", ReadText(window).value_or("").c_str());
    const char* answers_file = std::getenv("WALK_ANSWERS");
    // A bound far above the aim: a slow answer is measured, not cut short.
    std::unique_ptr<AnswerProbe> probe(answers_file ? new AnswerProbe(window, 10000) : nullptr);

    int page = -1;
    HWND shown = nullptr;
    for (int step = 1; step <= 12; ++step) {
        page = NextPageShown(window, page, &shown);
        if (page < 0) {
            std::printf("the window stays where it is\n");
            return 1;
        }
        std::printf("page %d, %s; close button %s\n", page, kPageNames[page],
                    IsWindowEnabled(Control(window, IDC_CLOSE)) ? "enabled" : "disabled");
        if (probe) std::printf("    shown by %.0f ms\n", probe->elapsed_ms());
        // The progress page is worth a picture once the setup has reported some progress.
        if (page == kProgressPage) {
            std::printf("    the setup reports its progress to the page\n");
            WatchTheSetup(window, shown);
        }
        Picture(window, prefix, step, page);
        switch (page) {
        case kLoadingPage:
            std::printf("    the agent beside Norvane checks for the update\n");
            break;
        case kDescriptionPage:
            std::printf("    \"%s\"\n    \"%s\" / \"%s\"\n", ReadText(Control(shown, IDC_TITLE)).value_or("").c_str(),
                        ReadText(Control(shown, IDC_DESC_LINE1)).value_or("").c_str(),
                        ReadText(Control(shown, IDC_DESC_LINE2)).value_or("").c_str());
            Click(Control(shown, IDC_NEXT));
            break;
        case kOptionPage:
            Click(Control(shown, IDC_NEXT));
            break;
        case kLicensePage: {
            std::printf("    the licence is accepted: the box, then the button it enables\n");
            Click(Control(shown, IDC_LICENSE_ACCEPT));
            HWND agree = Control(shown, IDC_LICENSE_NEXT);
            WaitUntil([&] { return IsWindowEnabled(agree) != FALSE; }, kWait);
            Click(agree);
            break;
        }
        case kProgressPage:
            // The page moves on when the setup reports its end.
            break;
        case kCompletePage: {
            std::printf("    \"%s\"\n", ReadText(Control(shown, IDC_TITLE)).value_or("").c_str());
            HWND box = Control(shown, IDC_END_OFFER_CHECK);
            if (box && IsWindowVisible(box)) {
                std::printf("    end offer: [%s] \"%s\"\n", IsChecked(box) ? "x" : " ",
                            ReadText(box).value_or("").c_str());
            }
            std::printf("    finish\n");
            Click(Control(shown, IDC_PAGE_BUTTON));
            break;
        }
        default:
            Click(Control(shown, IDC_PAGE_BUTTON));
            break;
        }
        if (page == kCompletePage || page == kAlreadyCurrentPage || page == kErrorPage) break;
    }
    const auto code = norvane.Wait(kWait);
    if (!code) {
        std::printf("Norvane did not end\n");
        return 1;
    }
    std::printf("Norvane ended with exit code %lu\n", *code);
    if (probe) {
        probe->Stop();
        for (const auto& slow : probe->slow_answers(50.0)) {
            std::printf("slow answer: asked at %.0f ms, took %.1f ms\n", slow.first, slow.second);
        }
        if (!WriteAnswers(answers_file, *probe)) {
            std::printf("the answer times could not be written\n");
            return 1;
        }
    }
    return page == kCompletePage && *code == 0 ? 0 : 1;
}
