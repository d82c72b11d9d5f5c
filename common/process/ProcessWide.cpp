// The UTF-16 build of the process toolkit (Pallix).
#include "common/process/ProcessToolkitImpl.h"

namespace proctool {
PROCTOOL_INSTANTIATE(wchar_t)

// Only Pallix closes browsers, so the tab search exists in the wide build alone.
std::vector<HWND> CollectBrowserTabs(HWND frame) {
    std::vector<HWND> tabs;
    if (!frame) return tabs;
    if (Ie7Kind() != 0) return FindWindowsByClass<wchar_t>(frame, L"TabWindowClass");
    if (IsIe8OrLater()) {
        for (HWND holder : FindWindowsByClass<wchar_t>(frame, L"Frame Tab")) {
            for (HWND tab : FindWindowsByClass<wchar_t>(holder, L"TabWindowClass")) {
                tabs.push_back(tab);
            }
        }
    }
    return tabs;
}

}  // namespace proctool
