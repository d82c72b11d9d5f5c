#pragma once
// Data exchange between a dialog's members and its controls: UpdateData(false) puts the members
// into the controls, UpdateData(true) reads them back. A dialog lists its bindings once in
// DoDataExchange; the same list serves both directions.
#include <windows.h>

#include <string>

class CControl;

class DataExchange {
public:
    DataExchange(HWND dialog, bool save) : dialog_(dialog), save_(save) {}
    HWND dialog() const { return dialog_; }
    // True: controls to members; false: members to controls.
    bool saving() const { return save_; }
    HWND Item(int id) const { return GetDlgItem(dialog_, id); }

private:
    HWND dialog_;
    bool save_;
};

// The control's window text. A missing control leaves the member as it is.
void DDX_Text(DataExchange& dx, int id, std::string& value);
// A check box: 1 checked, 0 not (an indeterminate box reads as 2).
void DDX_Check(DataExchange& dx, int id, int& value);
// Attaches the C++ control object to the dialog's control the first time; later exchanges
// leave it attached.
void DDX_Control(DataExchange& dx, int id, CControl& control);
