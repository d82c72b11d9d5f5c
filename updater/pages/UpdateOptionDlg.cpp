#include "updater/pages/UpdateOptionDlg.h"

#include <richedit.h>

#include <cstdlib>

#include "resources/ResourceIds.h"
#include "updater/framework/WinApp.h"
#include "updater/offers/AdditionalInstall.h"
#include "updater/offers/ProductOption.h"
#include "updater/offers/SetupOptions.h"
#include "updater/offers/StartPageWorker.h"

namespace {

constexpr int kStoreOptionTwo = 2;
// The product's new version from which option 2 of the store replaces the middle offer.
constexpr double kStoreOptionMinimumVersion = 2.25;
constexpr int kAllShortcuts = 7;
constexpr int kDescriptionTab = 0;
constexpr int kOptionsTab = 1;

bool SameName(const std::string& a, const char* b) { return lstrcmpiA(a.c_str(), b) == 0; }

// NT with a major version above 5 and a minor version other than 0: Windows 7 and later,
// whose taskbar replaced Quick Launch.
bool HasNoQuickLaunch() {
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof(version);
    return GetVersionExA(&version) && version.dwPlatformId == VER_PLATFORM_WIN32_NT &&
           version.dwMajorVersion > 5 && version.dwMinorVersion != 0;
}

void SetCharFormat(HWND rich, bool bold) {
    CHARFORMAT2A format = {};
    format.cbSize = sizeof(format);
    format.dwMask = CFM_BOLD;
    format.dwEffects = bold ? CFE_BOLD : 0;
    SendMessageA(rich, EM_SETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&format));
}

void ReplaceSelection(HWND rich, const std::string& text) {
    SendMessageA(rich, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text.c_str()));
}

}  // namespace

namespace {
// The page whose tabs Ctrl+Tab switches: one option page per process, on the window's thread.
CUpdateOptionDlg* g_tab_key_page = nullptr;
}  // namespace

CUpdateOptionDlg::CUpdateOptionDlg() : CUpdatePage(IDD_OPTION_PAGE) {}

CUpdateOptionDlg::~CUpdateOptionDlg() {
    WatchTabKeys(false);
    if (state_images_) ImageList_Destroy(state_images_);
    if (state_bitmap_) DeleteObject(state_bitmap_);
}

bool CUpdateOptionDlg::SetUp(HWND parent, const UpdateInfoFields& product,
                             CMediumInstall* medium_offer, CStartPageWorker* start_page_worker,
                             CSetupOptions* setup_options, ProductOption* option_store) {
    if (!medium_offer || !start_page_worker) return false;
    product_ = product;
    medium_offer_ = medium_offer;
    start_page_worker_ = start_page_worker;
    setup_options_ = setup_options;
    option_store_ = option_store;
    if (!hwnd() && !Create(parent)) return false;
    tabs_.SubclassDlgItem(IDC_OPTION_TABS, hwnd());
    tree_.SubclassDlgItem(IDC_OPTION_TREE, hwnd());
    description_view_.SubclassDlgItem(IDC_DESCRIPTION_RICH, hwnd());
    SetUpButton(next_button_, IDC_NEXT, IDB_OPTION_NORMAL, IDB_OPTION_PRESSED, IDB_OPTION_HOVER, 0,
                2);
    FillTree();
    return true;
}

void CUpdateOptionDlg::Refresh(const UpdateInfoFields& product) {
    product_ = product;
    if (hwnd()) FillTree();
}

HTREEITEM CUpdateOptionDlg::AddItem(UINT text_id) {
    const std::string text = ResString(text_id);
    TVINSERTSTRUCTA insert = {};
    insert.hParent = TVI_ROOT;
    insert.hInsertAfter = TVI_LAST;
    insert.item.mask = TVIF_TEXT;
    insert.item.pszText = const_cast<char*>(text.c_str());
    return reinterpret_cast<HTREEITEM>(
        SendMessageA(tree_.hwnd(), TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&insert)));
}

void CUpdateOptionDlg::FillTree() {
    HWND tree = tree_.hwnd();
    if (!tree) return;
    SendMessageA(tree, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT));
    item_extra_ = item_desktop_ = item_start_menu_ = item_quick_launch_ = item_toolbar_ =
        item_header_ = nullptr;
    tree_.SetHeaderItem(nullptr);
    // Switching the check-box style off and on resets the state images.
    const LONG_PTR style = GetWindowLongPtrA(tree, GWL_STYLE);
    SetWindowLongPtrA(tree, GWL_STYLE, style & ~static_cast<LONG_PTR>(TVS_CHECKBOXES));
    SetWindowLongPtrA(tree, GWL_STYLE, style | TVS_CHECKBOXES);

    if (state_images_) ImageList_Destroy(state_images_);
    if (state_bitmap_) DeleteObject(state_bitmap_);
    state_images_ = nullptr;
    state_bitmap_ = LoadBitmapA(framework::ResourceHandle(), MAKEINTRESOURCEA(IDB_TREE_STATES));
    if (state_bitmap_) {
        state_images_ = ImageList_Create(13, 13, ILC_COLOR24 | ILC_MASK, 0, 1);
        if (state_images_) {
            ImageList_AddMasked(state_images_, state_bitmap_, RGB(255, 0, 255));
            SendMessageA(tree, TVM_SETIMAGELIST, TVSIL_STATE,
                         reinterpret_cast<LPARAM>(state_images_));
        }
    }

    const std::string& name = product_.EngName;
    const bool toolbar = SameName(name, "Wendle");
    if (!toolbar && !SameName(name, "Fennick")) {
        item_extra_ = AddItem(IDS_TREE_EXTRA);
        tree_.SetStateImage(item_extra_, kTreeChecked);
    }
    if (!toolbar) {
        item_desktop_ = AddItem(IDS_TREE_DESKTOP);
        item_start_menu_ = AddItem(IDS_TREE_START_MENU);
        if (!HasNoQuickLaunch()) item_quick_launch_ = AddItem(IDS_TREE_QUICK_LAUNCH);
    } else {
        item_toolbar_ = AddItem(IDS_TREE_TOOLBAR);
    }
    for (HTREEITEM item : {item_desktop_, item_start_menu_, item_quick_launch_, item_toolbar_}) {
        if (item) tree_.SetStateImage(item, kTreeUnchecked);
    }
    InvalidateRect(tree, nullptr, TRUE);
}

bool CUpdateOptionDlg::OptionStoreDrivesExtraBox(bool middle_offer_present,
                                                 bool store_has_option_two,
                                                 const std::string& new_version) {
    return !middle_offer_present && store_has_option_two &&
           strtod(new_version.c_str(), nullptr) >= kStoreOptionMinimumVersion;
}

bool CUpdateOptionDlg::StoreDrivesExtraBox() const {
    const bool middle_present =
        medium_offer_ && (medium_offer_->loaded || !medium_offer_->products.empty());
    return OptionStoreDrivesExtraBox(middle_present,
                                     option_store_ && option_store_->HasOption(kStoreOptionTwo),
                                     product_.NewVersion);
}

bool CUpdateOptionDlg::StartPageWorkerComplete() const {
    return !start_page_worker_->info.ChangePageName.empty() &&
           !start_page_worker_->info.LinkName.empty() && !start_page_worker_->info.LinkUrl.empty();
}

void CUpdateOptionDlg::FillDescription() {
    HWND rich = Item(IDC_DESCRIPTION_RICH);
    if (!rich) return;
    SetWindowTextA(rich, "");
    SendMessageA(rich, EM_SETSEL, 0, 0);
    ReplaceSelection(rich, product_.Descript1);
    const int length = static_cast<int>(product_.Descript1.size());
    // The first text is the heading: bold, the whole of it.
    SendMessageA(rich, EM_SETSEL, 0, length);
    SetCharFormat(rich, true);
    SendMessageA(rich, EM_SETSEL, length, -1);
    SetCharFormat(rich, false);
    ReplaceSelection(rich, "\n");
    SendMessageA(rich, EM_SETSEL, -1, -1);
    ReplaceSelection(rich, product_.Descript2);
    SendMessageA(rich, EM_SETSEL, 0, 0);
}

void CUpdateOptionDlg::AddHeaderItem() {
    const std::string text = FormatResString(IDS_TREE_HEADER, product_.LocalName);
    TVINSERTSTRUCTA insert = {};
    insert.hParent = TVI_ROOT;
    insert.hInsertAfter = TVI_FIRST;
    insert.item.mask = TVIF_TEXT | TVIF_STATE;
    insert.item.pszText = const_cast<char*>(text.c_str());
    insert.item.stateMask = TVIS_BOLD | TVIS_STATEIMAGEMASK;
    insert.item.state = TVIS_BOLD | INDEXTOSTATEIMAGEMASK(kTreeHeaderImage);
    if (item_header_) SendMessageA(tree_.hwnd(), TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(item_header_));
    item_header_ = reinterpret_cast<HTREEITEM>(
        SendMessageA(tree_.hwnd(), TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&insert)));
    tree_.SetHeaderItem(item_header_);
    tree_.SetStateImage(item_header_, kTreeHeaderImage);
}

void CUpdateOptionDlg::PlaceCheckBox(int id, int x, int bottom_margin) {
    HWND box = Item(id);
    if (!box) return;
    char text[512] = {};
    GetWindowTextA(box, text, sizeof(text));
    HDC dc = GetDC(box);
    HGDIOBJ old_font = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(box, WM_GETFONT, 0, 0)));
    SIZE extent = {};
    GetTextExtentPoint32A(dc, text, lstrlenA(text), &extent);
    SelectObject(dc, old_font);
    ReleaseDC(box, dc);
    RECT box_client, page;
    GetClientRect(box, &box_client);
    GetClientRect(hwnd(), &page);
    const int height = box_client.bottom;
    const int width = extent.cx + 2 * height;
    const int left = x < 0 ? page.right - width + x : x;
    SetWindowPos(box, nullptr, left, page.bottom - height - bottom_margin, width, height,
                 SWP_SHOWWINDOW | SWP_NOACTIVATE | SWP_NOZORDER);
}

void CUpdateOptionDlg::SetUpExtraOfferBox() {
    HWND box = Item(IDC_EXTRA_OFFER_CHECK);
    if (!box) return;
    std::string text;
    int checked = 0;
    if (StoreDrivesExtraBox()) {
        text = option_store_->GetOptionTitle(kStoreOptionTwo);
        checked = option_store_->GetOptionState(kStoreOptionTwo);
    } else if (medium_offer_->loaded && medium_offer_->checkbox_shown) {
        text = medium_offer_->GetTitle();
        checked = medium_offer_->selected.CheckboxDefault;
    }
    CheckDlgButton(hwnd(), IDC_EXTRA_OFFER_CHECK, checked ? BST_CHECKED : BST_UNCHECKED);
    if (text.empty()) return;
    SetWindowTextA(box, text.c_str());
    PlaceCheckBox(IDC_EXTRA_OFFER_CHECK, -5, 10);
}

void CUpdateOptionDlg::SetUpStartPageBox() {
    const bool shown = start_page_worker_->ComputeCheckboxVisible();
    start_page_shown_ = shown ? 1 : 0;
    start_page_worker_->checkbox_visible = shown;
    const bool complete = StartPageWorkerComplete();
    HWND box = Item(IDC_START_PAGE_CHECK);
    if (!box) return;
    if (shown) {
        const std::string text = complete
                                     ? FormatResString(IDS_START_PAGE_OFFER,
                                                       start_page_worker_->info.LinkName)
                                     : start_page_worker_->info.TitleStartpage;
        SetWindowTextA(box, text.c_str());
        CheckDlgButton(hwnd(), IDC_START_PAGE_CHECK,
                       start_page_worker_->info.CheckboxDefault ? BST_CHECKED : BST_UNCHECKED);
        PlaceCheckBox(IDC_START_PAGE_CHECK, 10, 10);
    } else if (complete) {
        SetWindowTextA(box, FormatResString(IDS_START_PAGE_SET, start_page_worker_->info.LinkName).c_str());
        CheckDlgButton(hwnd(), IDC_START_PAGE_CHECK, BST_CHECKED);
    } else {
        CheckDlgButton(hwnd(), IDC_START_PAGE_CHECK, BST_UNCHECKED);
    }
}

void CUpdateOptionDlg::FitBottomBoxes() {
    // The texts come from the option file and may be long. As long as both boxes fit side by
    // side they stay as placed; otherwise they share the row and a box too wide for its share
    // wraps its text onto more lines, growing upwards but not into the button.
    constexpr int kLeftMargin = 10, kRightMargin = 5, kBottomMargin = 10, kGap = 10;
    RECT page;
    GetClientRect(hwnd(), &page);
    // The page itself is not on show yet: a box counts by its own style.
    auto shown = [](HWND box) {
        return box && (GetWindowLongPtrA(box, GWL_STYLE) & WS_VISIBLE) ? box : nullptr;
    };
    HWND start = shown(Item(IDC_START_PAGE_CHECK)), extra = shown(Item(IDC_EXTRA_OFFER_CHECK));
    auto width_of = [](HWND box) {
        RECT rect;
        GetWindowRect(box, &rect);
        return static_cast<int>(rect.right - rect.left);
    };
    const int row = page.right - kLeftMargin - kRightMargin;
    int start_share = row, extra_share = row;
    if (start && extra) {
        const int start_width = width_of(start), extra_width = width_of(extra);
        if (start_width + kGap + extra_width <= row) return;
        const int half = (row - kGap) / 2;
        start_share = start_width <= half ? start_width
                      : extra_width <= half ? row - kGap - extra_width
                                            : half;
        extra_share = row - kGap - start_share;
    }
    int top_limit = 0;
    if (HWND button = Item(IDC_NEXT)) {
        RECT rect;
        GetWindowRect(button, &rect);
        MapWindowPoints(nullptr, hwnd(), reinterpret_cast<POINT*>(&rect), 2);
        top_limit = rect.bottom + 5;
    }
    for (HWND box : {start, extra}) {
        if (!box) continue;
        const int share = box == start ? start_share : extra_share;
        if (width_of(box) <= share) continue;
        RECT client;
        GetClientRect(box, &client);
        const int line_height = client.bottom;
        char text[512] = {};
        GetWindowTextA(box, text, sizeof(text));
        RECT text_area = {0, 0, share - 2 * line_height, 0};
        HDC dc = GetDC(box);
        HGDIOBJ old_font =
            SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(box, WM_GETFONT, 0, 0)));
        DrawTextA(dc, text, -1, &text_area, DT_CALCRECT | DT_WORDBREAK);
        SelectObject(dc, old_font);
        ReleaseDC(box, dc);
        int height = text_area.bottom > line_height ? text_area.bottom : line_height;
        const int room = page.bottom - kBottomMargin - top_limit;
        if (height > room && room >= line_height) height = room;
        SetWindowLongPtrA(box, GWL_STYLE, GetWindowLongPtrA(box, GWL_STYLE) | BS_MULTILINE);
        const int left = box == start ? kLeftMargin : page.right - kRightMargin - share;
        SetWindowPos(box, nullptr, left, page.bottom - height - kBottomMargin, share, height,
                     SWP_NOACTIVATE | SWP_NOZORDER);
        InvalidateRect(box, nullptr, TRUE);
    }
}

void CUpdateOptionDlg::SetUpTabs() {
    HWND tabs = tabs_.hwnd();
    if (!tabs) return;
    // The tabs are reached by Tab like any control and switched with the arrows there.
    SetWindowLongPtrA(tabs, GWL_STYLE,
                      (GetWindowLongPtrA(tabs, GWL_STYLE) | TCS_OWNERDRAWFIXED | WS_TABSTOP) &
                          ~static_cast<LONG_PTR>(TCS_FOCUSNEVER));
    SendMessageA(tabs, TCM_DELETEALLITEMS, 0, 0);
    const std::string names[] = {ResString(IDS_TAB_DESCRIPTION), ResString(IDS_TAB_OPTIONS)};
    for (int index = 0; index < 2; ++index) {
        TCITEMA item = {};
        item.mask = TCIF_TEXT;
        item.pszText = const_cast<char*>(names[index].c_str());
        SendMessageA(tabs, TCM_INSERTITEMA, index, reinterpret_cast<LPARAM>(&item));
    }
    SendMessageA(tabs, TCM_SETCURSEL, kDescriptionTab, 0);
    RECT client;
    GetClientRect(hwnd(), &client);
    SetWindowPos(tabs, nullptr, 0, 0, client.right, client.bottom, SWP_NOZORDER | SWP_NOACTIVATE);
    RECT tab_item = {};
    SendMessageA(tabs, TCM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&tab_item));
    const int y = (tab_item.bottom - tab_item.top) + 20;
    const int height = client.bottom / 2 - y + 30;
    for (HWND view : {Item(IDC_DESCRIPTION_RICH), tree_.hwnd()}) {
        if (view) SetWindowPos(view, nullptr, 20, y, client.right - 40, height, SWP_NOZORDER | SWP_NOACTIVATE);
    }
    ShowTab(static_cast<int>(SendMessageA(tabs, TCM_GETCURSEL, 0, 0)));
}

void CUpdateOptionDlg::ShowTab(int tab) {
    HWND description = Item(IDC_DESCRIPTION_RICH);
    HWND tree = tree_.hwnd();
    HWND shown = tab == kOptionsTab ? tree : description;
    HWND hidden = tab == kOptionsTab ? description : tree;
    // A view that is hidden and disabled with the focus in it would leave the window without
    // one: the focus goes over to the view that takes its place.
    HWND focus = GetFocus();
    const bool focus_in_hidden = hidden && focus && (focus == hidden || IsChild(hidden, focus));
    if (hidden) {
        ShowWindow(hidden, SW_HIDE);
        EnableWindow(hidden, FALSE);
    }
    if (shown) {
        ShowWindow(shown, SW_SHOW);
        EnableWindow(shown, TRUE);
        SetWindowPos(shown, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        if (focus_in_hidden) SetFocus(shown);
    }
}

void CUpdateOptionDlg::SwitchTabBy(int step) {
    HWND tabs = tabs_.hwnd();
    if (!tabs) return;
    const int count = static_cast<int>(SendMessageA(tabs, TCM_GETITEMCOUNT, 0, 0));
    const int current = static_cast<int>(SendMessageA(tabs, TCM_GETCURSEL, 0, 0));
    const int next = OptionTabCtrl::StepTab(current, count, step);
    if (next < 0 || next == current) return;
    SendMessageA(tabs, TCM_SETCURSEL, next, 0);
    ShowTab(next);
}

void CUpdateOptionDlg::WatchTabKeys(bool watch) {
    if (watch && !tab_key_hook_) {
        // WH_MSGFILTER sees what a dialog's loop takes from the queue before IsDialogMessage
        // acts on it; the hook is the thread's own, so nothing outside Norvane is touched.
        tab_key_hook_ = SetWindowsHookExA(WH_MSGFILTER, &CUpdateOptionDlg::TabKeyFilter, nullptr,
                                          GetCurrentThreadId());
        if (tab_key_hook_) g_tab_key_page = this;
    } else if (!watch && tab_key_hook_) {
        UnhookWindowsHookEx(tab_key_hook_);
        tab_key_hook_ = nullptr;
        if (g_tab_key_page == this) g_tab_key_page = nullptr;
    }
}

LRESULT CALLBACK CUpdateOptionDlg::TabKeyFilter(int code, WPARAM wparam, LPARAM lparam) {
    CUpdateOptionDlg* page = g_tab_key_page;
    if (code == MSGF_DIALOGBOX && page && page->hwnd() && IsWindowVisible(page->hwnd())) {
        const MSG* msg = reinterpret_cast<const MSG*>(lparam);
        const int step = OptionTabCtrl::TabSwitchStep(
            msg->message, msg->wParam, GetKeyState(VK_CONTROL) < 0, GetKeyState(VK_SHIFT) < 0,
            GetKeyState(VK_MENU) < 0);
        // Only keys for the update window itself: a message box has a loop of its own.
        HWND root = GetAncestor(page->hwnd(), GA_ROOT);
        if (step != 0 && msg->hwnd && GetAncestor(msg->hwnd, GA_ROOT) == root) {
            page->SwitchTabBy(step);
            return 1;
        }
    }
    return CallNextHookEx(page ? page->tab_key_hook_ : nullptr, code, wparam, lparam);
}

void CUpdateOptionDlg::OnShown() {
    FillDescription();
    AddHeaderItem();
    for (HTREEITEM item : {item_desktop_, item_quick_launch_, item_start_menu_}) {
        if (item) tree_.SetStateImage(item, kTreeChecked);
    }
    SetUpExtraOfferBox();
    SetUpStartPageBox();
    FitBottomBoxes();
    if (next_button_.hwnd()) SetFocus(next_button_.hwnd());
    SetUpTabs();
    WatchTabKeys(true);
}

void CUpdateOptionDlg::OnOK() {
    const bool extra_checked = IsDlgButtonChecked(hwnd(), IDC_EXTRA_OFFER_CHECK) == BST_CHECKED;
    if (StoreDrivesExtraBox()) {
        option_store_->SetOptionState(kStoreOptionTwo, extra_checked ? 1 : 0);
        medium_offer_->selected.CheckboxUserState = 0;
    } else {
        if (option_store_) option_store_->SetOptionState(kStoreOptionTwo, 0);
        medium_offer_->selected.CheckboxUserState = extra_checked ? 1 : 0;
    }

    const bool start_page_checked = IsDlgButtonChecked(hwnd(), IDC_START_PAGE_CHECK) == BST_CHECKED;
    start_page_worker_->info.LinkFlags =
        StartPageWorkerComplete() && start_page_checked ? kAllShortcuts : 0;
    start_page_worker_->info.CheckboxUserState = start_page_shown_ && start_page_checked ? 1 : 0;

    if (setup_options_) {
        setup_options_->RunAfterSetup = tree_.IsChecked(item_extra_) ? 1 : 0;
        setup_options_->CreateDesktopIcon = tree_.IsChecked(item_desktop_) ? 1 : 0;
        setup_options_->CreateStartMenuIcon = tree_.IsChecked(item_start_menu_) ? 1 : 0;
        setup_options_->CreateQuickLaunchIcon = tree_.IsChecked(item_quick_launch_) ? 1 : 0;
        setup_options_->OpenOstreyWeb = tree_.IsChecked(item_toolbar_) ? 1 : 0;
    }
    PostToWindow(kMsgNextPage);
}

bool CUpdateOptionDlg::OnMessage(UINT msg, WPARAM wparam, LPARAM lparam, LRESULT& result) {
    switch (msg) {
    case WM_COMMAND:
        if (LOWORD(wparam) == IDC_NEXT && HIWORD(wparam) == BN_CLICKED) {
            OnOK();
            return true;
        }
        return false;
    case WM_SHOWWINDOW:
        if (!wparam) WatchTabKeys(false);
        return CUpdatePage::OnMessage(msg, wparam, lparam, result);
    case WM_DESTROY:
        WatchTabKeys(false);
        return false;
    case WM_NOTIFY: {
        const NMHDR* header = reinterpret_cast<const NMHDR*>(lparam);
        if (header->idFrom == IDC_OPTION_TABS && header->code == TCN_SELCHANGE) {
            ShowTab(static_cast<int>(SendMessageA(tabs_.hwnd(), TCM_GETCURSEL, 0, 0)));
            result = 0;
            return true;
        }
        return false;
    }
    default:
        return CUpdatePage::OnMessage(msg, wparam, lparam, result);
    }
}
