#include "updater/pages/ProductOptionDlg.h"

#include "resources/ResourceIds.h"
#include "updater/pages/PageMessages.h"
#include "updater/platform/Launch.h"  // OpenWebPageForUser

namespace {
constexpr COLORREF kLinkColor = RGB(0, 0, 255);
}

ProductOptionDlg::ProductOptionDlg() : CDialog(IDD_PRODUCT_OPTION_PANEL) {}

ProductOptionDlg::~ProductOptionDlg() { DeleteGdiObjects(); }

void ProductOptionDlg::DeleteGdiObjects() {
    if (link_font_) DeleteObject(link_font_);
    if (background_brush_) DeleteObject(background_brush_);
    link_font_ = nullptr;
    background_brush_ = nullptr;
}

void ProductOptionDlg::DoDataExchange(DataExchange& dx) {
    DDX_Check(dx, IDC_PANEL_CHECK, checked);
    DDX_Control(dx, IDC_PANEL_LINK, link_);
}

bool ProductOptionDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    HWND link = Item(IDC_PANEL_LINK);
    if (link) {
        HFONT font = reinterpret_cast<HFONT>(SendMessageA(link, WM_GETFONT, 0, 0));
        LOGFONTA description = {};
        if (GetObjectA(font ? font : GetStockObject(DEFAULT_GUI_FONT), sizeof(description),
                       &description)) {
            description.lfUnderline = TRUE;
            if (link_font_) DeleteObject(link_font_);
            link_font_ = CreateFontIndirectA(&description);
            if (link_font_) SendMessageA(link, WM_SETFONT, reinterpret_cast<WPARAM>(link_font_), TRUE);
        }
    }
    RecreateBrush();
    UpdateData(false);
    return true;
}

void ProductOptionDlg::RecreateBrush() {
    if (background_brush_) DeleteObject(background_brush_);
    background_brush_ = CreateSolidBrush(background_color_);
}

void ProductOptionDlg::SetLink(const std::string& target, const std::string& text) {
    HWND link = Item(IDC_PANEL_LINK);
    if (!link) {
        link_target_.clear();
        return;
    }
    SetWindowTextA(link, text.c_str());
    link_target_ = target;
}

void ProductOptionDlg::SetPanelBackground() {
    background_color_ = kPageBackground;
    if (hwnd()) {
        RecreateBrush();
        InvalidateRect(hwnd(), nullptr, TRUE);
    }
}

void ProductOptionDlg::Layout(int width) {
    HWND link = Item(IDC_PANEL_LINK);
    HWND check = Item(IDC_PANEL_CHECK);
    HWND text = Item(IDC_PANEL_TEXT);
    RECT rect;
    int link_width = 0;
    const UINT flags = SWP_NOZORDER | SWP_NOACTIVATE;
    if (link && GetWindowRect(link, &rect)) {
        link_width = rect.right - rect.left;
        SetWindowPos(link, nullptr, width - link_width, 0, 0, 0, flags | SWP_NOSIZE);
    }
    int check_height = 0;
    if (check && GetWindowRect(check, &rect)) {
        check_height = rect.bottom - rect.top;
        // A very narrow panel leaves the box no room; the link keeps its place at the right.
        SetWindowPos(check, nullptr, 0, 0, width - link_width, check_height, flags);
    }
    if (text && GetWindowRect(text, &rect)) {
        SetWindowPos(text, nullptr, 5, check_height + 5, width - 10, rect.bottom - rect.top, flags);
    }
}

bool ProductOptionDlg::OnMessage(UINT msg, WPARAM wparam, LPARAM lparam, LRESULT& result) {
    switch (msg) {
    case WM_SIZE:
        Layout(LOWORD(lparam));
        return false;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN: {
        const int id = GetDlgCtrlID(reinterpret_cast<HWND>(lparam));
        if (id != IDC_PANEL_LINK && id != IDC_PANEL_CHECK && id != IDC_PANEL_TEXT) return false;
        HDC dc = reinterpret_cast<HDC>(wparam);
        if (id == IDC_PANEL_LINK) SetTextColor(dc, kLinkColor);
        SetBkColor(dc, background_color_);
        if (!background_brush_) return false;
        result = reinterpret_cast<LRESULT>(background_brush_);
        return true;
    }
    case WM_ERASEBKGND: {
        RECT client;
        GetClientRect(hwnd(), &client);
        HBRUSH brush = CreateSolidBrush(background_color_);
        FillRect(reinterpret_cast<HDC>(wparam), &client, brush);
        DeleteObject(brush);
        result = TRUE;
        return true;
    }
    case WM_SETCURSOR:
        if (link_.hwnd() && reinterpret_cast<HWND>(wparam) == link_.hwnd()) {
            SetCursor(LoadCursor(nullptr, MAKEINTRESOURCE(32649)));  // IDC_HAND
            result = TRUE;
            return true;
        }
        return false;
    case WM_COMMAND:
        if (LOWORD(wparam) == IDC_PANEL_LINK) {
            // The target comes from the option file: only a web page is opened, never a
            // program, share or local file; shown, without the shell's error boxes, and from
            // the elevated copy with the user's token, never the administrator's.
            OpenWebPageForUser(link_target_);
            return true;
        }
        return false;
    case WM_DESTROY:
        DeleteGdiObjects();
        return false;
    default:
        return false;
    }
}
