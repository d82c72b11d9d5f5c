#pragma once
// A read-only rich-text view in a page (the licence, the update's description) that leaves
// Tab, Enter and Escape to the dialog manager. A multi-line rich edit asks the dialog for every
// key and then handles them by its own dialog rules, which look for a default button in its
// parent: a page has none, so Enter in the text never reached the page.
#include <windows.h>

#include "updater/framework/Control.h"

class ReadOnlyText : public CControl {
public:
    // Whether a key message is one the dialog handles rather than the text view.
    static bool IsDialogKey(const MSG* msg);

protected:
    LRESULT OnMessage(UINT msg, WPARAM wparam, LPARAM lparam) override;
};
