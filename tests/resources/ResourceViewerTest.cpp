// Creates every page of the language module the way Norvane does (a child of a 415 x 286 pixel
// page area), dresses it as Norvane does at run time (heading font, button bitmaps and their
// placement, sample texts), checks that the real windows come out at the page size with every
// control on the page and no two visible controls on top of each other, and saves a screenshot
// of each for a person to look at.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>
#include <richedit.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <vector>

#include "resources/ResourceIds.h"
#include "tests/resources/LanguageModule.h"
#include "tests/support/TestSupport.h"

namespace {

constexpr int kPageWidth = 415;
constexpr int kPageHeight = 286;
constexpr COLORREF kPageColour = RGB(0xFD, 0xFD, 0xFD);

HBRUSH PageBrush() {
    static HBRUSH brush = CreateSolidBrush(kPageColour);
    return brush;
}

// Bitmaps of the owner-drawn buttons, by button window; the disabled image where there is one.
struct ButtonImages {
    HBITMAP normal = nullptr;
    HBITMAP disabled = nullptr;
};
std::map<HWND, ButtonImages>& Buttons() {
    static std::map<HWND, ButtonImages> buttons;
    return buttons;
}

// Stands in for the pages' own procedures: the page colour for every control, the blue link,
// and owner-drawn buttons painted from their bitmaps.
INT_PTR CALLBACK PageProc(HWND dialog, UINT message, WPARAM wp, LPARAM lp) {
    switch (message) {
        case WM_INITDIALOG:
            return TRUE;
        case WM_CTLCOLORDLG:
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN: {
            HDC dc = reinterpret_cast<HDC>(wp);
            SetBkColor(dc, kPageColour);
            if (GetDlgCtrlID(reinterpret_cast<HWND>(lp)) == IDC_PANEL_LINK) SetTextColor(dc, RGB(0, 0, 0xFF));
            return reinterpret_cast<INT_PTR>(PageBrush());
        }
        case WM_DRAWITEM: {
            const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lp);
            auto found = Buttons().find(item->hwndItem);
            if (found == Buttons().end()) return FALSE;
            HBITMAP image = (item->itemState & ODS_DISABLED) && found->second.disabled
                                ? found->second.disabled
                                : found->second.normal;
            HDC memory = CreateCompatibleDC(item->hDC);
            HGDIOBJ old = SelectObject(memory, image);
            BitBlt(item->hDC, item->rcItem.left, item->rcItem.top, item->rcItem.right - item->rcItem.left,
                   item->rcItem.bottom - item->rcItem.top, memory, 0, 0, SRCCOPY);
            SelectObject(memory, old);
            DeleteDC(memory);
            SetWindowLongPtrA(dialog, DWLP_MSGRESULT, TRUE);
            return TRUE;
        }
    }
    return FALSE;
}

// The update window answers no colour requests: it keeps the system's face colour.
INT_PTR CALLBACK WindowProc(HWND dialog, UINT message, WPARAM wp, LPARAM lp) {
    if (message == WM_INITDIALOG) return TRUE;
    if (message == WM_DRAWITEM) return PageProc(dialog, message, wp, lp);
    return FALSE;
}

LRESULT CALLBACK HostProc(HWND window, UINT message, WPARAM wp, LPARAM lp) {
    return DefWindowProcA(window, message, wp, lp);
}

void Pump(DWORD ms) {
    const DWORD start = GetTickCount();
    do {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        Sleep(10);
    } while (GetTickCount() - start < ms);
}

RECT RectIn(HWND parent, HWND child) {
    RECT r;
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

std::string Describe(const RECT& r) {
    char text[96];
    std::snprintf(text, sizeof(text), "(%ld,%ld)-(%ld,%ld)", r.left, r.top, r.right, r.bottom);
    return text;
}

class ResourceViewerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(module_.loaded());
        INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_WIN95_CLASSES | ICC_TAB_CLASSES | ICC_PROGRESS_CLASS};
        InitCommonControlsEx(&icc);
        ASSERT_NE(nullptr, LoadLibraryA("riched20.dll"));
        WNDCLASSA wc = {};
        wc.lpfnWndProc = HostProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.hbrBackground = PageBrush();
        wc.lpszClassName = "LangmodPageHost";
        RegisterClassA(&wc);
        heading_font_ = HeadingFont();
    }
    void TearDown() override {
        for (HWND w : windows_) DestroyWindow(w);
        for (HGDIOBJ o : objects_) DeleteObject(o);
        Buttons().clear();
        if (heading_font_) DeleteObject(heading_font_);
    }

    std::string String(UINT id) {
        std::string text;
        langmod::LoadModuleString(module_.handle(), id, &text);
        return text;
    }
    std::string Format(UINT id, const char* a, const char* b = "") {
        char text[512];
        std::snprintf(text, sizeof(text), String(id).c_str(), a, b);
        return text;
    }

    // The heading font as Norvane builds it from strings 10010, 104 and 10086.
    HFONT HeadingFont() {
        LOGFONTA font = {};
        font.lfHeight = std::atoi(String(IDS_HEADING_FONT_HEIGHT).c_str());
        font.lfWeight = FW_BOLD;
        font.lfCharSet = BYTE(std::atoi(String(IDS_FONT_CHARSET).c_str()));
        lstrcpynA(font.lfFaceName, String(IDS_HEADING_FONT_FACE).c_str(), LF_FACESIZE);
        return CreateFontIndirectA(&font);
    }

    HWND Host(int width = kPageWidth, int height = kPageHeight) {
        HWND host = CreateWindowExA(0, "LangmodPageHost", "", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, 0,
                                    0, width, height, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        windows_.push_back(host);
        return host;
    }

    HWND Page(HWND parent, int id) {
        return CreateDialogParamA(module_.handle(), MAKEINTRESOURCEA(id), parent, PageProc, 0);
    }

    HBITMAP Bitmap(int id) {
        if (!id) return nullptr;
        HBITMAP b = LoadBitmapA(module_.handle(), MAKEINTRESOURCEA(id));
        objects_.push_back(b);
        return b;
    }

    // As ImageButton: sized to its normal bitmap, then centred (plus a shift) keeping its top.
    HWND DressButton(HWND page, int control, int normal, int disabled, int centre_shift, bool centre = true) {
        HWND button = GetDlgItem(page, control);
        EXPECT_NE(nullptr, button) << "button " << control;
        if (!button) return nullptr;
        ButtonImages images{Bitmap(normal), Bitmap(disabled)};
        Buttons()[button] = images;
        BITMAP info = {};
        GetObjectA(images.normal, sizeof(info), &info);
        SetWindowPos(button, nullptr, 0, 0, info.bmWidth, info.bmHeight, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        if (centre) {
            RECT client, r = RectIn(page, button);
            GetClientRect(page, &client);
            SetWindowPos(button, nullptr, (client.right - info.bmWidth) / 2 + centre_shift, r.top, 0, 0,
                         SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        }
        return button;
    }

    void Heading(HWND page, int control) {
        HWND label = GetDlgItem(page, control);
        ASSERT_NE(nullptr, label) << control;
        SendMessageA(label, WM_SETFONT, reinterpret_cast<WPARAM>(heading_font_), FALSE);
    }

    void SetText(HWND page, int control, const std::string& text) {
        ASSERT_TRUE(SetDlgItemTextA(page, control, text.c_str())) << control;
    }

    // A stand-in for the product logo Norvane downloads: the window icon on the page colour.
    HBITMAP Logo() {
        HDC screen = GetDC(nullptr);
        HBITMAP bitmap = CreateCompatibleBitmap(screen, 48, 48);
        HDC dc = CreateCompatibleDC(screen);
        HGDIOBJ old = SelectObject(dc, bitmap);
        RECT all = {0, 0, 48, 48};
        FillRect(dc, &all, PageBrush());
        HICON icon = static_cast<HICON>(LoadImageA(module_.handle(), MAKEINTRESOURCEA(IDI_WINDOW), IMAGE_ICON, 32, 32, 0));
        DrawIconEx(dc, 8, 8, icon, 32, 32, 0, nullptr, DI_NORMAL);
        DestroyIcon(icon);
        SelectObject(dc, old);
        DeleteDC(dc);
        ReleaseDC(nullptr, screen);
        objects_.push_back(bitmap);
        return bitmap;
    }

    // The page as the window creates it: natural size checked, then moved to the page area.
    HWND ShowPage(HWND host, int id) {
        HWND page = Page(host, id);
        EXPECT_NE(nullptr, page) << "template " << id;
        if (!page) return nullptr;
        RECT client;
        GetClientRect(page, &client);
        // A whole number of dialog units cannot make 415 pixels with base units of 6: the
        // template comes within a pixel, and the window sizes every page to the area itself.
        EXPECT_NEAR(kPageWidth, client.right, 1) << "template " << id << " width in pixels";
        EXPECT_EQ(kPageHeight, client.bottom) << "template " << id << " height in pixels";
        MoveWindow(page, 0, 0, kPageWidth, kPageHeight, TRUE);
        ShowWindow(page, SW_SHOW);
        return page;
    }

    // Every child inside the page; no two visible children overlapping, except those that are
    // meant to lie on top of others (the tab control under its views, the bottom bar under its
    // contents, frames and lines).
    void ExpectTidy(HWND page, const std::vector<int>& may_overlap = {}) {
        RECT client;
        GetClientRect(page, &client);
        std::vector<std::pair<HWND, RECT>> visible;
        for (HWND child = GetWindow(page, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
            const RECT r = RectIn(page, child);
            const int id = GetDlgCtrlID(child);
            EXPECT_TRUE(r.left >= 0 && r.top >= 0 && r.right <= client.right && r.bottom <= client.bottom)
                << "control " << id << " at " << Describe(r) << " leaves the page";
            bool exempt = false;
            for (int m : may_overlap) exempt = exempt || m == id;
            if (IsWindowVisible(child) && !exempt) visible.push_back({child, r});
        }
        for (size_t i = 0; i < visible.size(); ++i) {
            for (size_t j = i + 1; j < visible.size(); ++j) {
                RECT overlap;
                EXPECT_FALSE(IntersectRect(&overlap, &visible[i].second, &visible[j].second))
                    << "controls " << GetDlgCtrlID(visible[i].first) << " " << Describe(visible[i].second)
                    << " and " << GetDlgCtrlID(visible[j].first) << " " << Describe(visible[j].second)
                    << " overlap";
            }
        }
    }

    void Screenshot(const std::string& name) {
        Pump(400);
        // Wine hands the Linux program over and returns at once, without its exit status: the
        // grab is done when import has written the file.
        const std::string file = testsupport::WindowsPath(testsupport::ArtifactDir()) + "\\" + name;
        DeleteFileA(file.c_str());
        testsupport::SaveScreenshot(name);
        EXPECT_TRUE(testsupport::WaitUntil([&] { return testsupport::PathExists(file); }, 15000)) << name;
        Pump(300);
    }

    langmod::Module module_;
    HFONT heading_font_ = nullptr;
    std::vector<HWND> windows_;
    std::vector<HGDIOBJ> objects_;
};

const char* kProduct = "Ostrey Photo";

TEST_F(ResourceViewerTest, UpdateWindowPlacesThePageAreaAndCloseButton) {
    HWND window = CreateDialogParamA(module_.handle(), MAKEINTRESOURCEA(IDD_UPDATE_WINDOW), nullptr, WindowProc, 0);
    ASSERT_NE(nullptr, window);
    windows_.push_back(window);
    EXPECT_EQ(0, GetWindowLongA(window, GWL_STYLE) & WS_CAPTION);
    // What Norvane does: the window sized around its title strip and the page area (the
    // template is within a pixel of it), the close button to the top right corner, pages at
    // 1014's corner.
    RECT client;
    const RECT placeholder = RectIn(window, GetDlgItem(window, IDC_PAGE_AREA));
    RECT outer;
    GetWindowRect(window, &outer);
    GetClientRect(window, &client);
    SetWindowPos(window, nullptr, 0, 0,
                 outer.right - outer.left - client.right + placeholder.left + kPageWidth,
                 outer.bottom - outer.top - client.bottom + placeholder.top + kPageHeight,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    GetClientRect(window, &client);
    HWND close = DressButton(window, IDC_CLOSE, IDB_CLOSE_NORMAL, 0, 0, false);
    ASSERT_NE(nullptr, close);
    RECT button = RectIn(window, close);
    const int bw = button.right - button.left;
    SetWindowPos(close, nullptr, client.right - bw - 7, 6, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    button = RectIn(window, close);
    const RECT area = RectIn(window, GetDlgItem(window, IDC_PAGE_AREA));
    const RECT pages = {area.left, area.top, area.left + kPageWidth, area.top + kPageHeight};
    EXPECT_TRUE(pages.left >= 0 && pages.right <= client.right && pages.bottom <= client.bottom)
        << "page area " << Describe(pages) << " in a client of " << client.right << " x " << client.bottom;
    EXPECT_LE(button.bottom, pages.top) << "the close button would cover the page";
    EXPECT_GE(button.left, 0);

    HWND page = Page(window, IDD_DESCRIPTION_PAGE);
    ASSERT_NE(nullptr, page);
    SetWindowPos(page, nullptr, pages.left, pages.top, kPageWidth, kPageHeight, SWP_NOZORDER);
    Heading(page, IDC_TITLE);
    Heading(page, IDC_SUBTITLE);
    SetText(page, IDC_TITLE, Format(IDS_DESC_HEADING, kProduct, "3.2.0"));
    SetText(page, IDC_DESC_LINE1, "Faster start-up");
    SetText(page, IDC_DESC_LINE2, "Pictures open up to twice as fast, and the viewer remembers the last folder you used.");
    SendDlgItemMessageA(page, IDC_LOGO, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(Logo()));
    DressButton(page, IDC_NEXT, IDB_DESC_NORMAL, 0, 2);
    ShowWindow(page, SW_SHOW);
    SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
    Screenshot("window_description.png");
}

TEST_F(ResourceViewerTest, DescriptionPageWithOptionPanel) {
    HWND host = Host();
    HWND page = ShowPage(host, IDD_DESCRIPTION_PAGE);
    ASSERT_NE(nullptr, page);
    Heading(page, IDC_TITLE);
    Heading(page, IDC_SUBTITLE);
    SetText(page, IDC_TITLE, Format(IDS_DESC_HEADING, "Wendle Toolbar", "5.0.2"));
    SetText(page, IDC_DESC_LINE1, "Safer browsing");
    SetText(page, IDC_DESC_LINE2, "Search suggestions appear as you type, and the toolbar starts faster.");
    SendDlgItemMessageA(page, IDC_LOGO, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(Logo()));
    HWND button = DressButton(page, IDC_NEXT, IDB_DESC_NORMAL, 0, 2);
    ASSERT_NE(nullptr, button);

    // The panel as the description page places it: the button 20 pixels up, the panel 10 below
    // it down to the page's bottom, then laid out as the panel does on WM_SIZE.
    RECT b = RectIn(page, button);
    SetWindowPos(button, nullptr, b.left, b.top - 20, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    b = RectIn(page, button);
    HWND panel = Page(page, IDD_PRODUCT_OPTION_PANEL);
    ASSERT_NE(nullptr, panel);
    const int y = b.bottom + 10;
    SetWindowPos(panel, nullptr, 30, y, kPageWidth - 60, kPageHeight - y, SWP_NOZORDER | SWP_SHOWWINDOW);
    SetText(panel, IDC_PANEL_CHECK, String(IDS_OPTION1_TITLE));
    SetText(panel, IDC_PANEL_LINK, String(IDS_PANEL_LINK));
    SetText(panel, IDC_PANEL_TEXT, String(IDS_OPTION1_TEXT1));
    CheckDlgButton(panel, IDC_PANEL_CHECK, BST_CHECKED);
    LOGFONTA link_font = {};
    GetObjectA(reinterpret_cast<HFONT>(SendDlgItemMessageA(panel, IDC_PANEL_LINK, WM_GETFONT, 0, 0)),
               sizeof(link_font), &link_font);
    link_font.lfUnderline = TRUE;
    HFONT underlined = CreateFontIndirectA(&link_font);
    objects_.push_back(underlined);
    SendDlgItemMessageA(panel, IDC_PANEL_LINK, WM_SETFONT, reinterpret_cast<WPARAM>(underlined), TRUE);
    RECT pc;
    GetClientRect(panel, &pc);
    HWND link = GetDlgItem(panel, IDC_PANEL_LINK), check = GetDlgItem(panel, IDC_PANEL_CHECK),
         text = GetDlgItem(panel, IDC_PANEL_TEXT);
    const RECT lr = RectIn(panel, link), cr = RectIn(panel, check), tr = RectIn(panel, text);
    const int lw = lr.right - lr.left, ch = cr.bottom - cr.top;
    SetWindowPos(link, nullptr, pc.right - lw, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    SetWindowPos(check, nullptr, 0, 0, pc.right - lw, ch, SWP_NOZORDER | SWP_NOACTIVATE);
    SetWindowPos(text, nullptr, 5, ch + 5, pc.right - 10, tr.bottom - tr.top, SWP_NOZORDER | SWP_NOACTIVATE);
    // The explanation must fit in what is left of the page under the button.
    EXPECT_LE(ch + 5 + (tr.bottom - tr.top), pc.bottom) << "panel text cut off";
    ExpectTidy(panel);
    ExpectTidy(page, {IDC_DESC_LINE3, IDC_DESC_LINE4});
    Screenshot("page_description_panel.png");
}

TEST_F(ResourceViewerTest, LicensePage) {
    HWND host = Host();
    HWND page = ShowPage(host, IDD_LICENSE_PAGE);
    ASSERT_NE(nullptr, page);
    SetText(page, IDC_LICENSE_TEXT,
            "{\\rtf1\\ansi{\\fonttbl{\\f0 Tahoma;}}\\f0\\fs16{\\b OSTREY END-USER LICENSE AGREEMENT}\\par\\par "
            "This agreement is between you and Quindel. By installing the update you agree to these terms.\\par\\par "
            "1. You may install and use the software on any number of computers you own.\\par "
            "2. You may not sell, rent or lend the software.\\par "
            "3. The software is provided as it is, without warranty of any kind.\\par "
            "More at http://www.quindel.example/license\\par}");
    HWND button = DressButton(page, IDC_LICENSE_NEXT, IDB_LICENSE_NORMAL, IDB_LICENSE_DISABLED, 0, false);
    ASSERT_NE(nullptr, button);
    // Right edge 3 pixels right of the licence text's, top unchanged.
    const RECT text = RectIn(page, GetDlgItem(page, IDC_LICENSE_TEXT));
    RECT b = RectIn(page, button);
    SetWindowPos(button, nullptr, text.right + 3 - (b.right - b.left), b.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    EXPECT_FALSE(IsWindowEnabled(button)) << "the button waits for the acceptance box";
    ExpectTidy(page);
    Screenshot("page_license.png");
}

class OptionPage : public ResourceViewerTest {
protected:
    HWND Build(int tab) {
        HWND host = Host();
        HWND page = ShowPage(host, IDD_OPTION_PAGE);
        if (!page) return nullptr;
        DressButton(page, IDC_NEXT, IDB_OPTION_NORMAL, 0, 2);
        HWND tabs = GetDlgItem(page, IDC_OPTION_TABS);
        TCITEMA item = {};
        item.mask = TCIF_TEXT;
        std::string first = String(IDS_TAB_DESCRIPTION), second = String(IDS_TAB_OPTIONS);
        item.pszText = &first[0];
        SendMessageA(tabs, TCM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
        item.pszText = &second[0];
        SendMessageA(tabs, TCM_INSERTITEMA, 1, reinterpret_cast<LPARAM>(&item));
        SendMessageA(tabs, TCM_SETCURSEL, tab, 0);
        SetWindowPos(tabs, nullptr, 0, 0, kPageWidth, kPageHeight, SWP_NOZORDER);
        RECT tab_rect = {};
        SendMessageA(tabs, TCM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&tab_rect));
        const int y = (tab_rect.bottom - tab_rect.top) + 20;
        HWND rich = GetDlgItem(page, IDC_DESCRIPTION_RICH), tree = GetDlgItem(page, IDC_OPTION_TREE);
        for (HWND view : {rich, tree})
            SetWindowPos(view, nullptr, 20, y, kPageWidth - 40, kPageHeight / 2 - y + 30, SWP_NOZORDER);
        SetWindowTextA(rich,
                       "{\\rtf1\\ansi{\\fonttbl{\\f0 Tahoma;}}\\f0\\fs16{\\b Faster start-up}\\par "
                       "Pictures open up to twice as fast, and the viewer remembers the last folder you used.\\par}");

        // Tree: state images from bitmap 226, items as the page adds them.
        HIMAGELIST states = ImageList_Create(13, 13, ILC_COLOR24 | ILC_MASK, 0, 1);
        ImageList_AddMasked(states, Bitmap(IDB_TREE_STATES), RGB(0xFF, 0, 0xFF));
        TreeView_SetImageList(tree, states, TVSIL_STATE);
        auto add = [&](const std::string& text, int state, bool bold) {
            TVINSERTSTRUCTA insert = {};
            insert.hParent = TVI_ROOT;
            insert.hInsertAfter = TVI_LAST;
            insert.item.mask = TVIF_TEXT | TVIF_STATE;
            insert.item.pszText = const_cast<char*>(text.c_str());
            insert.item.state = INDEXTOSTATEIMAGEMASK(state) | (bold ? TVIS_BOLD : 0);
            insert.item.stateMask = TVIS_STATEIMAGEMASK | TVIS_BOLD;
            SendMessageA(tree, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&insert));
        };
        add(Format(IDS_TREE_HEADER, kProduct), 5, true);
        add(String(IDS_TREE_EXTRA), 2, false);
        add(String(IDS_TREE_DESKTOP), 2, false);
        add(String(IDS_TREE_START_MENU), 2, false);
        add(String(IDS_TREE_QUICK_LAUNCH), 1, false);
        ShowWindow(tab == 0 ? rich : tree, SW_SHOW);
        ShowWindow(tab == 0 ? tree : rich, SW_HIDE);

        // The two extra boxes, sized to their texts and put into the bottom corners; the extra
        // offer's label comes from the option file.
        Place(page, IDC_EXTRA_OFFER_CHECK, "Install Fennick Notes", false);
        Place(page, IDC_START_PAGE_CHECK, Format(IDS_START_PAGE_OFFER, "Quindel Search"), true);
        return page;
    }

    void Place(HWND page, int id, const std::string& text, bool left) {
        HWND box = GetDlgItem(page, id);
        ASSERT_NE(nullptr, box);
        SetWindowTextA(box, text.c_str());
        CheckDlgButton(page, id, BST_CHECKED);
        HDC dc = GetDC(box);
        HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(box, WM_GETFONT, 0, 0)));
        SIZE extent = {};
        GetTextExtentPoint32A(dc, text.c_str(), int(text.size()), &extent);
        SelectObject(dc, old);
        ReleaseDC(box, dc);
        RECT client, page_client;
        GetClientRect(box, &client);
        GetClientRect(page, &page_client);
        const int w = extent.cx + 2 * client.bottom, h = client.bottom;
        const int x = left ? 10 : page_client.right - w - 5;
        SetWindowPos(box, nullptr, x, page_client.bottom - h - 10, w, h, SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    }
};

TEST_F(OptionPage, DescriptionTab) {
    HWND page = Build(0);
    ASSERT_NE(nullptr, page);
    ExpectTidy(page, {IDC_OPTION_TABS});
    Screenshot("page_options_description.png");
}

TEST_F(OptionPage, OptionsTab) {
    HWND page = Build(1);
    ASSERT_NE(nullptr, page);
    ExpectTidy(page, {IDC_OPTION_TABS});
    Screenshot("page_options_tree.png");
}

TEST_F(ResourceViewerTest, ProgressPage) {
    HWND host = Host();
    HWND page = ShowPage(host, IDD_PROGRESS_PAGE);
    ASSERT_NE(nullptr, page);
    Heading(page, IDC_PROGRESS_HEADING);
    SendDlgItemMessageA(page, IDC_PROGRESS_BAR, PBM_SETRANGE32, 0, 100);
    SendDlgItemMessageA(page, IDC_PROGRESS_BAR, PBM_SETPOS, 45, 0);
    ExpectTidy(page);
    Screenshot("page_progress.png");
}

TEST_F(ResourceViewerTest, LoadingPageLeavesRoomForTheAnimation) {
    HWND host = Host();
    HWND page = ShowPage(host, IDD_LOADING_PAGE);
    ASSERT_NE(nullptr, page);
    // The first frame where the page puts the animation: centred, 30 pixels below the middle.
    const std::vector<BYTE> bytes = langmod::ResourceBytes(module_.handle(), RT_GIFANI_NAME, IDR_LOADING_GIF);
    langmod::GifImage gif;
    std::string error;
    ASSERT_TRUE(langmod::ParseGif(bytes, &gif, &error)) << error;
    ASSERT_FALSE(gif.frames.empty());
    std::vector<DWORD> pixels;
    for (uint8_t index : gif.frames[0].indices) {
        const BYTE* c = &bytes[13 + 3 * index];
        pixels.push_back((DWORD(c[0]) << 16) | (DWORD(c[1]) << 8) | c[2]);
    }
    BITMAPINFO bi = {};
    bi.bmiHeader = {sizeof(BITMAPINFOHEADER), gif.width, -gif.height, 1, 32, BI_RGB};
    HDC screen = GetDC(nullptr);
    HBITMAP frame = CreateDIBitmap(screen, &bi.bmiHeader, CBM_INIT, pixels.data(), &bi, DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    objects_.push_back(frame);
    HWND picture = CreateWindowExA(0, "Static", "loading_gif", WS_CHILD | WS_VISIBLE | SS_BITMAP,
                                   (kPageWidth - gif.width) / 2, (kPageHeight - gif.height) / 2 + 30,
                                   gif.width, gif.height, page, reinterpret_cast<HMENU>(IDC_RUNTIME_CHILD),
                                   nullptr, nullptr);
    SendMessageA(picture, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(frame));
    ExpectTidy(page);
    Screenshot("page_loading.png");
}

TEST_F(ResourceViewerTest, CompletionPage) {
    HWND host = Host();
    HWND page = ShowPage(host, IDD_COMPLETE_PAGE);
    ASSERT_NE(nullptr, page);
    Heading(page, IDC_TITLE);
    Heading(page, IDC_SUBTITLE);
    SetText(page, IDC_TITLE, Format(IDS_COMPLETE_HEADING, kProduct));
    SendDlgItemMessageA(page, IDC_LOGO, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(Logo()));
    HWND button = DressButton(page, IDC_PAGE_BUTTON, IDB_COMPLETE_NORMAL, 0, 0, false);
    ASSERT_NE(nullptr, button);
    // The finish button in the bottom bar, as the page places it.
    const RECT bar = RectIn(page, GetDlgItem(page, IDC_BOTTOM_BAR));
    RECT b = RectIn(page, button);
    const int bw = b.right - b.left, bh = b.bottom - b.top, barh = bar.bottom - bar.top;
    SetWindowPos(button, nullptr, (bar.right - bar.left) - bw - 7, kPageHeight - barh + (barh - bh) / 2 + 2, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER);
    EXPECT_GE(barh, bh) << "the bottom bar is lower than its button";
    // The bar paints its whole rectangle: it must lie beneath what sits on it and leave their
    // pixels alone, or the finish button vanishes under it.
    HWND bar_window = GetDlgItem(page, IDC_BOTTOM_BAR);
    EXPECT_TRUE(GetWindowLongA(bar_window, GWL_STYLE) & WS_CLIPSIBLINGS);
    for (int above : {IDC_PAGE_BUTTON, IDC_END_OFFER_CHECK}) {
        bool below = false;
        for (HWND w = GetWindow(GetDlgItem(page, above), GW_HWNDNEXT); w; w = GetWindow(w, GW_HWNDNEXT))
            below = below || w == bar_window;
        EXPECT_TRUE(below) << "the bottom bar lies above control " << above;
    }
    // The end offer's box, when shown, shares the bar with the button.
    SetText(page, IDC_END_OFFER_CHECK, Format(IDS_AD_OFFER_LABEL, "Fennick Notes"));
    ShowWindow(GetDlgItem(page, IDC_END_OFFER_CHECK), SW_SHOW);
    ExpectTidy(page, {IDC_BOTTOM_BAR, -1});
    ShowWindow(GetDlgItem(page, IDC_END_OFFER_CHECK), SW_HIDE);
    Screenshot("page_complete.png");
}

TEST_F(ResourceViewerTest, AlreadyCurrentAndErrorPages) {
    {
        HWND host = Host();
        HWND page = ShowPage(host, IDD_ALREADY_CURRENT_PAGE);
        ASSERT_NE(nullptr, page);
        Heading(page, IDC_TITLE);
        Heading(page, IDC_SUBTITLE);
        SetText(page, IDC_TITLE, Format(IDS_ALREADY_CURRENT, kProduct, "3.2.0"));
        DressButton(page, IDC_PAGE_BUTTON, IDB_CURRENT_NORMAL, 0, 0);
        ExpectTidy(page);
        Screenshot("page_already_current.png");
        DestroyWindow(host);
        windows_.clear();
    }
    HWND host = Host();
    HWND page = ShowPage(host, IDD_ERROR_PAGE);
    ASSERT_NE(nullptr, page);
    DressButton(page, IDC_PAGE_BUTTON, IDB_ERROR_NORMAL, 0, 0);
    ExpectTidy(page);
    Screenshot("page_error.png");
}

TEST_F(ResourceViewerTest, EndOfferDownloadDialog) {
    HWND dialog = CreateDialogParamA(module_.handle(), MAKEINTRESOURCEA(IDD_END_OFFER_DOWNLOAD), nullptr, PageProc, 0);
    ASSERT_NE(nullptr, dialog);
    windows_.push_back(dialog);
    SetText(dialog, IDC_END_OFFER_CAPTION, Format(IDS_END_OFFER_CAPTION, "Fennick Notes"));
    SendDlgItemMessageA(dialog, IDC_END_OFFER_PROGRESS, PBM_SETRANGE32, 0, 100);
    SendDlgItemMessageA(dialog, IDC_END_OFFER_PROGRESS, PBM_SETPOS, 60, 0);
    SetWindowPos(dialog, HWND_TOP, 0, 0, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
    ExpectTidy(dialog);
    Screenshot("dialog_end_offer.png");
}

TEST_F(ResourceViewerTest, ButtonBitmapSheet) {
    // Every button in every state, one set per row: normal, hover, pressed, disabled.
    const std::vector<std::vector<int>> sets = {
        {IDB_DESC_NORMAL, IDB_DESC_HOVER, IDB_DESC_PRESSED, 0},
        {IDB_OPTION_NORMAL, IDB_OPTION_HOVER, IDB_OPTION_PRESSED, 0},
        {IDB_LICENSE_NORMAL, IDB_LICENSE_HOVER, IDB_LICENSE_PRESSED, IDB_LICENSE_DISABLED},
        {IDB_CURRENT_NORMAL, IDB_CURRENT_HOVER, IDB_CURRENT_PRESSED, 0},
        {IDB_ERROR_NORMAL, IDB_ERROR_HOVER, IDB_ERROR_PRESSED, 0},
        {IDB_COMPLETE_NORMAL, IDB_COMPLETE_HOVER, IDB_COMPLETE_PRESSED, 0},
        {IDB_CLOSE_NORMAL, IDB_CLOSE_HOVER, IDB_CLOSE_PRESSED, IDB_CLOSE_DISABLED},
        {IDB_TREE_STATES, 0, 0, 0},
    };
    HWND host = Host(460, 10 + 40 * int(sets.size()));
    int y = 10;
    for (const auto& set : sets) {
        int x = 10;
        for (int id : set) {
            if (id) {
                HBITMAP b = Bitmap(id);
                ASSERT_NE(nullptr, b) << id;
                HWND s = CreateWindowExA(0, "Static", "", WS_CHILD | WS_VISIBLE | SS_BITMAP, x, y, 0, 0, host,
                                         nullptr, nullptr, nullptr);
                SendMessageA(s, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(b));
            }
            x += 110;
        }
        y += 40;
    }
    Screenshot("buttons.png");
}

}  // namespace
