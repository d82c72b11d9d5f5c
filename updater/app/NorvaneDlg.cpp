#include "updater/app/NorvaneDlg.h"

#include "resources/ResourceIds.h"
#include "updater/app/UpdateMode.h"
#include "updater/framework/WinApp.h"
#include "updater/platform/Shell.h"

CNorvaneDlg::CNorvaneDlg(const std::string& product_name, int mode)
    : CDialog(IDD_UPDATE_WINDOW), product_settings_(ProductSettings::Read(product_name)), mode_(mode) {
    icon_ = LoadIconA(framework::ResourceHandle(), MAKEINTRESOURCEA(IDI_WINDOW));
}

CNorvaneDlg::~CNorvaneDlg() {
    if (icon_) DestroyIcon(icon_);
}

bool CNorvaneDlg::OnInitDialog() {
    SendMessageA(hwnd(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_));
    SendMessageA(hwnd(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon_));

    char title[256];
    SetWindowTextA(hwnd(), framework::LoadResString(IDS_WINDOW_TITLE, title, sizeof(title)));

    // RICHED20.DLL provides the rich-text controls of the option and licence pages.
    if (!GetModuleHandleA("RICHED20.DLL")) LoadLibraryA("RICHED20.DLL");
    setup_options_.product_option.BuildProductOptions(product_settings_.product_name);

    if (mode_ == BgPrepare) {
        // The background preparation never shows the window.
        PrepareInBackground();
        EndDialog(IDCANCEL);
        return true;
    }
    if (mode_ == UpdateNotice || mode_ == AdminProgress) {
        // The instance that found or handed over the update left everything in files.
        setup_options_.LoadFromSetupOptionIni(product_settings_.product_name);
        if (!LoadUpdateInfo(update_info_, product_settings_.product_name)) {
            EndDialog(IDCANCEL);
            return true;
        }
    }
    ApplyRoundedOutline();
    PlaceCloseButton();
    return true;
}

void CNorvaneDlg::PrepareInBackground() {
    const std::string& product = product_settings_.product_name;
    if (LoadUpdateInfo(update_info_, product)) PrepareLogoImage(update_info_);
    if (!setup_options_.LoadFromOptionFile(product)) return;
    if (setup_options_.medium.loaded) setup_options_.medium.DownloadSetup();
    setup_options_.option.DownloadEula();
    setup_options_.SaveToSetupOptionIni(product);
}

void CNorvaneDlg::ApplyRoundedOutline() {
    RECT client;
    GetClientRect(hwnd(), &client);
    HRGN region = CreateRoundRectRgn(0, 0, client.right + 1, client.bottom + 1, 2, 2);
    if (region && !SetWindowRgn(hwnd(), region, TRUE)) DeleteObject(region);
}

void CNorvaneDlg::PlaceCloseButton() {
    HWND button = Item(IDC_CLOSE);
    if (!button) return;
    close_button_.Subclass(button);
    close_button_.LoadButtonBitmaps(IDB_CLOSE_NORMAL, IDB_CLOSE_PRESSED, IDB_CLOSE_HOVER,
                                    IDB_CLOSE_DISABLED);
    RECT client, rect;
    GetClientRect(hwnd(), &client);
    GetWindowRect(button, &rect);
    const int width = rect.right - rect.left;
    SetWindowPos(button, nullptr, client.right - width - 7, 6, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

bool CNorvaneDlg::OnMessage(UINT msg, WPARAM wparam, LPARAM lparam, LRESULT& result) {
    switch (msg) {
    case kMsgClose:
        Close();
        return true;
    case WM_COMMAND:
        if (LOWORD(wparam) == IDC_CLOSE && HIWORD(wparam) == BN_CLICKED) {
            PostMessageA(hwnd(), kMsgClose, 0, 0);
            return true;
        }
        return false;
    case WM_MOUSEMOVE:
        PostMessageA(hwnd(), WM_NCMOUSEMOVE, HTCAPTION, lparam);
        return false;
    case WM_LBUTTONDOWN:
        // The window has no caption: any point of its client area drags it.
        PostMessageA(hwnd(), WM_NCLBUTTONDOWN, HTCAPTION, lparam);
        return false;
    case WM_SHOWWINDOW:
        if (wparam && !first_show_done_) OnFirstShow();
        return false;
    case WM_QUERYDRAGICON:
        result = reinterpret_cast<LRESULT>(icon_);
        return true;
    case WM_PAINT:
        if (IsIconic(hwnd())) {
            PAINTSTRUCT paint;
            HDC dc = BeginPaint(hwnd(), &paint);
            SendMessageA(hwnd(), WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
            RECT client;
            GetClientRect(hwnd(), &client);
            const int x = (client.right - GetSystemMetrics(SM_CXICON) + 1) / 2;
            const int y = (client.bottom - GetSystemMetrics(SM_CYICON) + 1) / 2;
            DrawIcon(dc, x, y, icon_);
            EndPaint(hwnd(), &paint);
            return true;
        }
        return false;
    default:
        return false;
    }
}

void CNorvaneDlg::OnFirstShow() {
    BringWindowToForeground(hwnd());
    SetWindowPos(hwnd(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    SetWindowPos(hwnd(), HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    SetActiveWindow(hwnd());
    SetFocus(hwnd());
    first_show_done_ = true;
}

void CNorvaneDlg::ForwardToCurrentPage(UINT command) {
    // Enter and Escape belong to the current page; with no page shown nothing happens.
    (void)command;
}

void CNorvaneDlg::OnOK() { ForwardToCurrentPage(IDOK); }

void CNorvaneDlg::OnCancel() { ForwardToCurrentPage(IDCANCEL); }

void CNorvaneDlg::Close() {
    // Without pages there is nothing to confirm; the page-dependent closing comes with the pages.
    EndDialog(IDOK);
}
