#include "updater/pages/LicenseAgreementDlg.h"

#include <richedit.h>
#include <shellapi.h>

#include <cstring>
#include <vector>

#include "resources/ResourceIds.h"
#include "updater/pages/Placement.h"
#include "updater/offers/AdditionalOption.h"
#include "updater/platform/AddressRules.h"
#include "updater/platform/ExternalFile.h"
#include "updater/platform/LateImports.h"

CLicenseAgreementDlg::CLicenseAgreementDlg() : CUpdatePage(IDD_LICENSE_PAGE) {}

void CLicenseAgreementDlg::SetUpBitmaps() {
    if (!next_button_.hwnd() && !next_button_.SubclassDlgItem(IDC_LICENSE_NEXT, hwnd())) return;
    next_button_.LoadButtonBitmaps(IDB_LICENSE_NORMAL, IDB_LICENSE_PRESSED, IDB_LICENSE_HOVER,
                                   IDB_LICENSE_DISABLED);
    EnableWindow(next_button_.hwnd(), FALSE);
    // Right edge three pixels right of the text's, top unchanged.
    RECT text, button;
    HWND rich = Item(IDC_LICENSE_TEXT);
    if (!rich || !GetWindowRect(rich, &text) || !GetWindowRect(next_button_.hwnd(), &button)) return;
    MapWindowPoints(nullptr, hwnd(), reinterpret_cast<POINT*>(&text), 2);
    MapWindowPoints(nullptr, hwnd(), reinterpret_cast<POINT*>(&button), 2);
    SetWindowPos(next_button_.hwnd(), nullptr, text.right + 3 - (button.right - button.left),
                 button.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CLicenseAgreementDlg::DoDataExchange(DataExchange& dx) {
    DDX_Text(dx, IDC_LICENSE_TEXT, license_text_);
}

bool CLicenseAgreementDlg::ReadLicenseText(const std::string& path, std::string* text) {
    if (ReadExternalFile(path, ExternalFileMode::Binary, text) != ExternalFileResult::Read) {
        return false;
    }
    // The text ends at its first NUL byte, as a C string would.
    text->resize(strnlen(text->c_str(), text->size()));
    return true;
}

bool CLicenseAgreementDlg::LoadLicense() {
    HWND rich = Item(IDC_LICENSE_TEXT);
    if (rich) {
        if (!text_view_.hwnd()) text_view_.Subclass(rich);
        SendMessageA(rich, EM_AUTOURLDETECT, TRUE, 0);
        const LRESULT mask = SendMessageA(rich, EM_GETEVENTMASK, 0, 0);
        SendMessageA(rich, EM_SETEVENTMASK, 0, mask | ENM_LINK);
    }
    if (!license_entry_ || !license_entry_->DownloadEula()) return false;
    if (!ReadLicenseText(license_entry_->EulaDownloadPath, &license_text_)) return false;
    UpdateData(false);
    return true;
}

bool CLicenseAgreementDlg::IsAccepted() const {
    return IsDlgButtonChecked(hwnd(), IDC_LICENSE_ACCEPT) == BST_CHECKED;
}

bool CLicenseAgreementDlg::AskAcceptance() {
    if (OwnedMessageBox(hwnd(), ResString(IDS_LICENSE_QUESTION).c_str(),
                        ResString(IDS_LICENSE_QUESTION_CAP).c_str(),
                        MB_YESNO | MB_ICONQUESTION) != IDYES) {
        return false;
    }
    CheckDlgButton(hwnd(), IDC_LICENSE_ACCEPT, BST_CHECKED);
    if (next_button_.hwnd()) EnableWindow(next_button_.hwnd(), TRUE);
    return true;
}

void CLicenseAgreementDlg::NextAction() {
    if (IsAccepted() || AskAcceptance()) PostToWindow(kMsgNextPage);
}

void CLicenseAgreementDlg::OpenLink(LPARAM notification) {
    const ENLINK* link = reinterpret_cast<const ENLINK*>(notification);
    if (link->msg != WM_LBUTTONUP) return;
    const LONG length = link->chrg.cpMax - link->chrg.cpMin;
    if (length <= 0) return;
    // The range counts characters; in a double-byte code page each can take two bytes.
    std::vector<char> address(static_cast<size_t>(length) * 2 + 1, '\0');
    TEXTRANGEA range;
    range.chrg = link->chrg;
    range.lpstrText = address.data();
    SendMessageA(link->nmhdr.hwndFrom, EM_GETTEXTRANGE, 0, reinterpret_cast<LPARAM>(&range));
    if (!address[0]) return;
    // The licence text comes from the network: a link to a program, a share or a local file
    // must not be started by a click.
    if (!IsLicenceLinkAllowed(address.data())) return;
    SHELLEXECUTEINFOA info;
    ZeroMemory(&info, sizeof(info));
    info.cbSize = sizeof(info);
    // An address nothing can open stays a click that does nothing, without the shell's box.
    info.fMask = SEE_MASK_FLAG_NO_UI;
    info.hwnd = hwnd();
    info.lpVerb = "open";
    info.lpFile = address.data();
    info.nShow = SW_SHOW;
    late::ShellExecuteExA(&info);
}

void CLicenseAgreementDlg::OnShown() {
    if (!LoadLicense()) NextAction();
    // Until the box is checked the button is disabled and cannot take the focus: the reader
    // starts on the text, from which Tab leads to the box.
    HWND button = next_button_.hwnd();
    HWND target = button && IsWindowEnabled(button) ? button : Item(IDC_LICENSE_TEXT);
    if (!target) target = Item(IDC_LICENSE_ACCEPT);
    if (target) SetFocus(target);
}

bool CLicenseAgreementDlg::OnMessage(UINT msg, WPARAM wparam, LPARAM lparam, LRESULT& result) {
    switch (msg) {
    case kMsgLicenseQuery:
        result = IsAccepted() || AskAcceptance() ? 0 : 1;
        return true;
    case WM_COMMAND:
        if (HIWORD(wparam) != BN_CLICKED) return false;
        if (LOWORD(wparam) == IDC_LICENSE_ACCEPT) {
            if (next_button_.hwnd()) EnableWindow(next_button_.hwnd(), IsAccepted());
            return true;
        }
        if (LOWORD(wparam) == IDC_LICENSE_NEXT) {
            NextAction();
            return true;
        }
        return false;
    case WM_NOTIFY: {
        const NMHDR* header = reinterpret_cast<const NMHDR*>(lparam);
        if (header->idFrom != IDC_LICENSE_TEXT || header->code != EN_LINK) return false;
        OpenLink(lparam);
        result = 0;
        return true;
    }
    default:
        return CUpdatePage::OnMessage(msg, wparam, lparam, result);
    }
}
