#include "updater/pages/UpdatePage.h"

#include <cstdlib>
#include <string>

#include "resources/ResourceIds.h"
#include "updater/pages/PageLayout.h"
#include "updater/pages/Placement.h"
#include "updater/platform/ResourceModule.h"
#include "updater/controls/ExStatic.h"
#include "updater/controls/ImageButton.h"

CUpdatePage::CUpdatePage(UINT template_id)
    : CDialog(template_id), background_brush_(CreateSolidBrush(kPageBackground)) {}

CUpdatePage::~CUpdatePage() {
    if (background_brush_) DeleteObject(background_brush_);
}

bool CUpdatePage::OnMessage(UINT msg, WPARAM wparam, LPARAM, LRESULT& result) {
    switch (msg) {
    case WM_SHOWWINDOW:
        if (wparam) OnShown();
        return false;
    case WM_CTLCOLORDLG: case WM_CTLCOLORSTATIC: case WM_CTLCOLORBTN: case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX: case WM_CTLCOLORSCROLLBAR: case WM_CTLCOLORMSGBOX:
        if (!background_brush_) return false;
        result = reinterpret_cast<LRESULT>(background_brush_);
        return true;
    default:
        return false;
    }
}

void CUpdatePage::SetHeadingStyle(CExStatic& label) {
    // The module gives the height in pixels for 96 DPI; the rest of the page grows with the DPI.
    const int height = pagelayout::ScaleForDpi(atoi(ResString(IDS_HEADING_FONT_HEIGHT).c_str()),
                                               ScreenDpi());
    label.SetTextFont(ResString(IDS_HEADING_FONT_FACE), height, FW_BOLD, false, false);
    label.SetPageBackground();
}

void CUpdatePage::PostToWindow(UINT request, WPARAM wparam, LPARAM lparam) const {
    HWND parent = hwnd() ? GetParent(hwnd()) : nullptr;
    if (parent) PostMessageA(parent, request, wparam, lparam);
}

bool CUpdatePage::SetUpButton(ImageButton& button, int id, WORD normal, WORD pressed, WORD hover,
                              WORD disabled, int x_offset) {
    if (!button.hwnd() && !button.SubclassDlgItem(id, hwnd())) return false;
    if (!button.LoadButtonBitmaps(normal, pressed, hover, disabled)) return false;
    RECT client, rect;
    GetClientRect(hwnd(), &client);
    GetWindowRect(button.hwnd(), &rect);
    MapWindowPoints(nullptr, hwnd(), reinterpret_cast<POINT*>(&rect), 2);
    const int width = rect.right - rect.left;
    SetWindowPos(button.hwnd(), nullptr, (client.right - width) / 2 + x_offset, rect.top, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    return true;
}

std::string ResString(UINT id) { return ModuleString(id); }

std::string FormatResString(UINT id, const std::string& first, const std::string& second) {
    // The module's text is a format with "%s" placeholders; anything else it might contain is
    // copied as it stands, so a wrong module can never make us read arguments that are not there.
    const std::string format = ResString(id);
    const std::string* arguments[] = {&first, &second};
    size_t next_argument = 0;
    std::string text;
    for (size_t i = 0; i < format.size(); ++i) {
        if (format[i] == '%' && i + 1 < format.size()) {
            if (format[i + 1] == 's') {
                if (next_argument < 2) text += *arguments[next_argument++];
                ++i;
                continue;
            }
            if (format[i + 1] == '%') {
                text += '%';
                ++i;
                continue;
            }
        }
        text += format[i];
    }
    return text;
}
