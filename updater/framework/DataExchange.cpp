#include "updater/framework/DataExchange.h"

#include <vector>

#include "updater/framework/Control.h"

void DDX_Text(DataExchange& dx, int id, std::string& value) {
    HWND control = dx.Item(id);
    if (!control) return;
    if (!dx.saving()) {
        SetWindowTextA(control, value.c_str());
        return;
    }
    const int length = GetWindowTextLengthA(control);
    std::vector<char> text(static_cast<size_t>(length) + 1, '\0');
    GetWindowTextA(control, text.data(), length + 1);
    value = text.data();
}

void DDX_Check(DataExchange& dx, int id, int& value) {
    HWND control = dx.Item(id);
    if (!control) return;
    if (dx.saving()) {
        value = static_cast<int>(SendMessageA(control, BM_GETCHECK, 0, 0));
    } else {
        SendMessageA(control, BM_SETCHECK, static_cast<WPARAM>(value), 0);
    }
}

void DDX_Control(DataExchange& dx, int id, CControl& control) {
    if (!control.hwnd()) control.SubclassDlgItem(id, dx.dialog());
}
