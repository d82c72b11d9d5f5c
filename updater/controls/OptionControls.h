#pragma once
// The option page's two controls: tabs drawn in the page's colours, and a tree whose check
// boxes follow the page's rules (the header item's box is fixed; a click on a box or Space on
// the selected item toggles any other).
#include <windows.h>
#include <commctrl.h>

#include "updater/framework/Control.h"

// State images of the option tree.
constexpr int kTreeUnchecked = 1;
constexpr int kTreeChecked = 2;
constexpr int kTreeHeaderImage = 5;

class OptionTabCtrl : public CControl {
public:
    OptionTabCtrl();
    ~OptionTabCtrl() override;

    // Ctrl+Tab (+1), Ctrl+Shift+Tab (-1) or 0 for any other key message: how a key moves the
    // selected tab. Alt with it is the system's window switch, never ours.
    static int TabSwitchStep(UINT msg, WPARAM key, bool ctrl, bool shift, bool alt);
    // The tab `step` places after `current` among `count`, round the ends.
    static int StepTab(int current, int count, int step);

protected:
    LRESULT OnMessage(UINT msg, WPARAM wparam, LPARAM lparam) override;

private:
    void Draw(HDC dc);

    HBRUSH body_brush_;
    HBRUSH unselected_brush_;
    HBRUSH strip_brush_;
};

class OptionTreeCtrl : public CControl {
public:
    // The header item, whose box is never changed by the user.
    void SetHeaderItem(HTREEITEM header) { header_ = header; }
    void SetStateImage(HTREEITEM item, int image);
    int StateImage(HTREEITEM item) const;
    bool IsChecked(HTREEITEM item) const { return item && StateImage(item) == kTreeChecked; }

protected:
    LRESULT OnMessage(UINT msg, WPARAM wparam, LPARAM lparam) override;

private:
    // The user's toggle of an item's box, by mouse or keyboard; the header's stays as it is.
    void ToggleItem(HTREEITEM item);
    HTREEITEM header_ = nullptr;
};
