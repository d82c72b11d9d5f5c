// What Norvane asks of its language module, checked resource by resource: each template holds
// the controls the code reaches by number, with a control type the code can drive; each string
// exists and has as many "%s" as Norvane passes arguments; each picture loads with the size the
// code relies on.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>
#include <richedit.h>

#include <cstdlib>
#include <map>
#include <set>

#include "resources/ResourceIds.h"
#include "tests/resources/LanguageModule.h"

namespace {

using langmod::DialogControl;
using langmod::DialogTemplate;

class LanguageModuleTest : public ::testing::Test {
protected:
    langmod::Module module_;
};

// Control kinds as the code uses them.
enum class Kind { Static, Link, Picture, OwnerDrawButton, PushButton, CheckBox, RichEdit, Tree, Tab, Progress };

struct Expected {
    int id;
    Kind kind;
};

struct TemplateNeeds {
    int id;
    bool page;  // a borderless child page of the update window
    std::vector<Expected> controls;
};

const std::vector<TemplateNeeds>& Templates() {
    static const std::vector<TemplateNeeds> needs = {
        {IDD_UPDATE_WINDOW, false, {{IDC_PAGE_AREA, Kind::Static}, {IDC_CLOSE, Kind::OwnerDrawButton}}},
        {IDD_LOADING_PAGE, true, {}},
        {IDD_DESCRIPTION_PAGE, true,
         {{IDC_TITLE, Kind::Static}, {IDC_SUBTITLE, Kind::Static}, {IDC_DESC_LINE1, Kind::Static},
          {IDC_DESC_LINE2, Kind::Static}, {IDC_DESC_LINE3, Kind::Static}, {IDC_DESC_LINE4, Kind::Static},
          {IDC_LOGO, Kind::Picture}, {IDC_NEXT, Kind::OwnerDrawButton}}},
        {IDD_LICENSE_PAGE, true,
         {{IDC_LICENSE_TEXT, Kind::RichEdit}, {IDC_LICENSE_ACCEPT, Kind::CheckBox},
          {IDC_LICENSE_NEXT, Kind::OwnerDrawButton}}},
        {IDD_OPTION_PAGE, true,
         {{IDC_DESCRIPTION_RICH, Kind::RichEdit}, {IDC_NEXT, Kind::OwnerDrawButton},
          {IDC_OPTION_TREE, Kind::Tree}, {IDC_OPTION_TABS, Kind::Tab},
          {IDC_EXTRA_OFFER_CHECK, Kind::CheckBox}, {IDC_START_PAGE_CHECK, Kind::CheckBox}}},
        {IDD_PROGRESS_PAGE, true, {{IDC_PROGRESS_HEADING, Kind::Static}, {IDC_PROGRESS_BAR, Kind::Progress}}},
        {IDD_COMPLETE_PAGE, true,
         {{IDC_TITLE, Kind::Static}, {IDC_SUBTITLE, Kind::Static}, {IDC_PAGE_BUTTON, Kind::OwnerDrawButton},
          {IDC_COMPLETE_CLOSE, Kind::PushButton}, {IDC_BOTTOM_BAR, Kind::Static}, {IDC_LOGO, Kind::Picture},
          {IDC_AD_PLACEHOLDER, Kind::Static}, {IDC_AD_CAPTION, Kind::Static},
          {IDC_END_OFFER_CHECK, Kind::CheckBox}}},
        {IDD_ALREADY_CURRENT_PAGE, true,
         {{IDC_TITLE, Kind::Static}, {IDC_SUBTITLE, Kind::Static}, {IDC_PAGE_BUTTON, Kind::OwnerDrawButton}}},
        {IDD_ERROR_PAGE, true, {{IDC_PAGE_BUTTON, Kind::OwnerDrawButton}}},
        {IDD_END_OFFER_DOWNLOAD, false,
         {{IDC_END_OFFER_CAPTION, Kind::Static}, {IDC_END_OFFER_PROGRESS, Kind::Progress}}},
        {IDD_PRODUCT_OPTION_PANEL, true,
         {{IDC_PANEL_CHECK, Kind::CheckBox}, {IDC_PANEL_LINK, Kind::Link}, {IDC_PANEL_TEXT, Kind::Static}}},
    };
    return needs;
}

bool SameClass(const std::string& a, const char* b) { return lstrcmpiA(a.c_str(), b) == 0; }

// Empty when the control fits the kind, else what is wrong with it.
std::string Mismatch(const DialogControl& c, Kind kind) {
    const DWORD button_type = c.style & BS_TYPEMASK;
    const DWORD static_type = c.style & SS_TYPEMASK;
    switch (kind) {
        case Kind::Static:
            if (SameClass(c.window_class, "Static") && static_type <= SS_RIGHT) return "";
            return "not a text static";
        case Kind::Link:
            if (SameClass(c.window_class, "Static") && (c.style & SS_NOTIFY)) return "";
            return "not a static with SS_NOTIFY";
        case Kind::Picture:
            if (SameClass(c.window_class, "Static") && static_type == SS_BITMAP) return "";
            return "not a bitmap static";
        case Kind::OwnerDrawButton:
            if (SameClass(c.window_class, "Button") && button_type == BS_OWNERDRAW) return "";
            return "not an owner-drawn button";
        case Kind::PushButton:
            if (SameClass(c.window_class, "Button") &&
                (button_type == BS_PUSHBUTTON || button_type == BS_DEFPUSHBUTTON))
                return "";
            return "not a push button";
        case Kind::CheckBox:
            if (SameClass(c.window_class, "Button") &&
                (button_type == BS_AUTOCHECKBOX || button_type == BS_CHECKBOX))
                return "";
            return "not a check box";
        case Kind::RichEdit:
            if (SameClass(c.window_class, "RichEdit20A") && (c.style & ES_MULTILINE) && (c.style & ES_READONLY))
                return "";
            return "not a read-only multi-line RichEdit20A";
        case Kind::Tree:
            if (SameClass(c.window_class, WC_TREEVIEWA) && (c.style & TVS_CHECKBOXES)) return "";
            return "not a SysTreeView32 with check boxes";
        case Kind::Tab:
            if (SameClass(c.window_class, WC_TABCONTROLA)) return "";
            return "not a SysTabControl32";
        case Kind::Progress:
            if (SameClass(c.window_class, PROGRESS_CLASSA)) return "";
            return "not a msctls_progress32";
    }
    return "unknown kind";
}

TEST_F(LanguageModuleTest, EveryTemplateHoldsTheControlsTheCodeUses) {
    ASSERT_TRUE(module_.loaded()) << "ko-KR.dll does not load";
    for (const auto& need : Templates()) {
        SCOPED_TRACE("template " + std::to_string(need.id));
        DialogTemplate t;
        ASSERT_TRUE(langmod::LoadDialogTemplate(module_.handle(), need.id, &t)) << "missing or malformed";
        for (const auto& expected : need.controls) {
            const DialogControl* c = t.Find(expected.id);
            if (!c) {
                ADD_FAILURE() << "control " << expected.id << " missing";
                continue;
            }
            EXPECT_EQ("", Mismatch(*c, expected.kind)) << "control " << expected.id << " (class "
                                                       << c->window_class << ")";
        }
        // A number used twice would make GetDlgItem find the wrong control.
        std::set<int> seen;
        for (const auto& c : t.controls) {
            if (c.id == -1 || c.id == 0xFFFF) continue;
            EXPECT_TRUE(seen.insert(c.id).second) << "control id " << c.id << " used twice";
        }
        // The loading page's animation and the completion page's view are created at run time
        // with this number; a template control with it would collide.
        EXPECT_EQ(nullptr, t.Find(IDC_RUNTIME_CHILD));
    }
}

TEST_F(LanguageModuleTest, PagesAreBorderlessChildrenOfThePageSize) {
    ASSERT_TRUE(module_.loaded());
    for (const auto& need : Templates()) {
        if (!need.page) continue;
        SCOPED_TRACE("template " + std::to_string(need.id));
        DialogTemplate t;
        ASSERT_TRUE(langmod::LoadDialogTemplate(module_.handle(), need.id, &t));
        EXPECT_TRUE(t.style & WS_CHILD);
        EXPECT_TRUE(t.style & DS_CONTROL);
        EXPECT_FALSE(t.style & (WS_POPUP | WS_CAPTION | WS_BORDER | WS_THICKFRAME | DS_MODALFRAME));
        EXPECT_FALSE(t.ex_style & (WS_EX_CLIENTEDGE | WS_EX_STATICEDGE | WS_EX_WINDOWEDGE | WS_EX_DLGMODALFRAME));
        if (need.id == IDD_PRODUCT_OPTION_PANEL) continue;  // sized by the description page
        // 276 x 176 units of the 8 point dialog font (base units 6 x 13) fill the 415 x 286
        // pixel page area to a pixel (see the viewer test, which measures the real windows).
        EXPECT_EQ(276, t.cx);
        EXPECT_EQ(176, t.cy);
        for (const auto& c : t.controls) {
            EXPECT_TRUE(c.x >= 0 && c.y >= 0 && c.x + c.cx <= t.cx && c.y + c.cy <= t.cy)
                << "control " << c.id << " lies outside the page";
        }
    }
}

TEST_F(LanguageModuleTest, UpdateWindowIsABorderlessPopupAndEndOfferDialogIsModal) {
    ASSERT_TRUE(module_.loaded());
    DialogTemplate window;
    ASSERT_TRUE(langmod::LoadDialogTemplate(module_.handle(), IDD_UPDATE_WINDOW, &window));
    EXPECT_TRUE(window.style & WS_POPUP);
    EXPECT_EQ(0u, window.style & (WS_CAPTION | WS_THICKFRAME | DS_MODALFRAME | WS_CHILD));
    const DialogControl* area = window.Find(IDC_PAGE_AREA);
    ASSERT_NE(nullptr, area);
    // The page area must fit inside the window below the title strip.
    EXPECT_LE(area->x + 276, window.cx);
    EXPECT_LE(area->y + 176, window.cy);
    EXPECT_FALSE(area->style & WS_VISIBLE) << "the placeholder would show through";

    DialogTemplate download;
    ASSERT_TRUE(langmod::LoadDialogTemplate(module_.handle(), IDD_END_OFFER_DOWNLOAD, &download));
    EXPECT_TRUE(download.style & WS_POPUP);
    EXPECT_EQ(DWORD(WS_CAPTION), download.style & WS_CAPTION);
    EXPECT_FALSE(download.style & WS_CHILD);
}

// Every string Norvane loads, with the number of "%s" it fills in.
const std::map<UINT, int>& Strings() {
    static const std::map<UINT, int> strings = {
        {IDS_HEADING_FONT_HEIGHT, 0}, {IDS_COMPLETE_HEADING, 1}, {IDS_ALREADY_CURRENT, 2},
        {IDS_END_OFFER_CAPTION, 1}, {IDS_PRODUCT_RUNNING, 1}, {IDS_PRODUCT_RUNNING_CAP, 0},
        {IDS_LICENSE_QUESTION, 0}, {IDS_LICENSE_QUESTION_CAP, 0}, {IDS_WINDOW_TITLE, 0},
        {IDS_OSTREY_WEB_ADDRESS, 0}, {IDS_COMPLETE_TEXT, 1}, {IDS_HEADING_FONT_FACE, 0},
        {IDS_CANCEL_CONFIRM, 0}, {IDS_ELEVATION_REFUSED, 0}, {IDS_FONT_CHARSET, 0},
        {IDS_DESC_HEADING, 2}, {IDS_TREE_EXTRA, 0}, {IDS_TREE_RESERVED_10091, 0},
        {IDS_TREE_DESKTOP, 0}, {IDS_TREE_START_MENU, 0}, {IDS_TREE_QUICK_LAUNCH, 0},
        {IDS_TREE_TOOLBAR, 0}, {IDS_OPTION1_TITLE, 0}, {IDS_OPTION1_TEXT1, 0},
        {IDS_OPTION1_TEXT2, 0}, {IDS_OPTION1_TEXT3, 0}, {IDS_PANEL_LINK, 0},
        {IDS_OPTION_QUESTION_CAP, 0}, {IDS_AD_OFFER_LABEL, 1}, {IDS_OPTION2_TITLE, 0},
        {IDS_START_PAGE_SET, 1}, {IDS_TREE_HEADER, 1}, {IDS_TAB_DESCRIPTION, 0},
        {IDS_TAB_OPTIONS, 0}, {IDS_START_PAGE_OFFER, 1}, {IDS_CLOSE_BUTTON, 0},
    };
    return strings;
}

// Number of "%s"; -1 when any other "%" appears (Norvane formats with printf, where a stray
// conversion would read an argument that is not there).
int PlaceholderCount(const std::string& text) {
    int count = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') continue;
        if (i + 1 < text.size() && text[i + 1] == 's') {
            ++count;
            ++i;
        } else {
            return -1;
        }
    }
    return count;
}

TEST_F(LanguageModuleTest, EveryStringExistsWithItsPlaceholders) {
    ASSERT_TRUE(module_.loaded());
    for (const auto& [id, placeholders] : Strings()) {
        std::string text;
        if (!langmod::LoadModuleString(module_.handle(), id, &text)) {
            ADD_FAILURE() << "string " << id << " missing";
            continue;
        }
        EXPECT_FALSE(text.empty()) << "string " << id;
        EXPECT_EQ(placeholders, PlaceholderCount(text)) << "string " << id << ": \"" << text << "\"";
    }
}

TEST_F(LanguageModuleTest, FontAndAddressStringsAreUsable) {
    ASSERT_TRUE(module_.loaded());
    std::string height, face, charset, address;
    ASSERT_TRUE(langmod::LoadModuleString(module_.handle(), IDS_HEADING_FONT_HEIGHT, &height));
    ASSERT_TRUE(langmod::LoadModuleString(module_.handle(), IDS_HEADING_FONT_FACE, &face));
    ASSERT_TRUE(langmod::LoadModuleString(module_.handle(), IDS_FONT_CHARSET, &charset));
    ASSERT_TRUE(langmod::LoadModuleString(module_.handle(), IDS_OSTREY_WEB_ADDRESS, &address));

    // The code reads these with atoi: anything but a plain decimal would silently become 0.
    char* end = nullptr;
    const long h = std::strtol(height.c_str(), &end, 10);
    EXPECT_EQ('\0', *end) << height;
    EXPECT_TRUE(std::labs(h) >= 10 && std::labs(h) <= 32) << "heading height " << h;
    const long cs = std::strtol(charset.c_str(), &end, 10);
    EXPECT_EQ('\0', *end) << charset;
    EXPECT_TRUE(cs >= 0 && cs <= 255);

    // The face must be one the system has, or one every Windows from XP on has (Wine without
    // its own font package substitutes another face, which still renders): a misspelt face
    // would silently fall back to some other font on every user's machine.
    struct Found {
        static int CALLBACK Proc(const LOGFONTA*, const TEXTMETRICA*, DWORD, LPARAM found) {
            *reinterpret_cast<bool*>(found) = true;
            return 0;
        }
    };
    bool found = false;
    LOGFONTA query = {};
    query.lfCharSet = DEFAULT_CHARSET;
    lstrcpynA(query.lfFaceName, face.c_str(), LF_FACESIZE);
    HDC screen = GetDC(nullptr);
    EnumFontFamiliesExA(screen, &query, &Found::Proc, reinterpret_cast<LPARAM>(&found), 0);
    ReleaseDC(nullptr, screen);
    for (const char* core : {"Tahoma", "Arial", "Verdana", "Microsoft Sans Serif", "Trebuchet MS"})
        found = found || face == core;
    EXPECT_TRUE(found) << "font \"" << face << "\" is neither installed nor a Windows core font";

    EXPECT_TRUE(address.rfind("http://", 0) == 0 || address.rfind("https://", 0) == 0) << address;
    EXPECT_EQ(std::string::npos, address.find(' ')) << address;
}

SIZE BitmapSize(HMODULE module, int id) {
    SIZE size = {0, 0};
    HBITMAP bitmap = LoadBitmapA(module, MAKEINTRESOURCEA(id));
    if (!bitmap) return size;
    BITMAP info = {};
    GetObjectA(bitmap, sizeof(info), &info);
    size.cx = info.bmWidth;
    size.cy = info.bmHeight;
    DeleteObject(bitmap);
    return size;
}

TEST_F(LanguageModuleTest, ButtonBitmapSetsLoadAndShareOneSize) {
    ASSERT_TRUE(module_.loaded());
    // ImageButton sizes the button to the normal bitmap and blits every state at that size:
    // a state image of another size would be cut or leave stale pixels.
    const std::vector<std::vector<int>> sets = {
        {IDB_CLOSE_NORMAL, IDB_CLOSE_PRESSED, IDB_CLOSE_HOVER, IDB_CLOSE_DISABLED},
        {IDB_DESC_NORMAL, IDB_DESC_PRESSED, IDB_DESC_HOVER},
        {IDB_CURRENT_NORMAL, IDB_CURRENT_PRESSED, IDB_CURRENT_HOVER},
        {IDB_ERROR_NORMAL, IDB_ERROR_PRESSED, IDB_ERROR_HOVER},
        {IDB_OPTION_NORMAL, IDB_OPTION_PRESSED, IDB_OPTION_HOVER},
        {IDB_LICENSE_NORMAL, IDB_LICENSE_PRESSED, IDB_LICENSE_HOVER, IDB_LICENSE_DISABLED},
        {IDB_COMPLETE_NORMAL, IDB_COMPLETE_PRESSED, IDB_COMPLETE_HOVER},
    };
    for (const auto& set : sets) {
        const SIZE normal = BitmapSize(module_.handle(), set[0]);
        ASSERT_GT(normal.cx, 0) << "bitmap " << set[0] << " missing";
        for (int id : set) {
            const SIZE s = BitmapSize(module_.handle(), id);
            EXPECT_EQ(normal.cx, s.cx) << "bitmap " << id;
            EXPECT_EQ(normal.cy, s.cy) << "bitmap " << id;
        }
    }
    // The close button sits at y = 6 in the title strip above the pages.
    const SIZE close = BitmapSize(module_.handle(), IDB_CLOSE_NORMAL);
    EXPECT_LE(close.cy, 24);
}

// 24-bit pixels of a bitmap, top row first.
std::vector<COLORREF> Pixels(HMODULE module, int id, SIZE* size) {
    std::vector<COLORREF> pixels;
    HBITMAP bitmap = LoadBitmapA(module, MAKEINTRESOURCEA(id));
    if (!bitmap) return pixels;
    BITMAP info = {};
    GetObjectA(bitmap, sizeof(info), &info);
    size->cx = info.bmWidth;
    size->cy = info.bmHeight;
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = info.bmWidth;
    bi.bmiHeader.biHeight = -info.bmHeight;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    std::vector<DWORD> raw(size_t(info.bmWidth) * info.bmHeight);
    HDC screen = GetDC(nullptr);
    GetDIBits(screen, bitmap, 0, info.bmHeight, raw.data(), &bi, DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    DeleteObject(bitmap);
    for (DWORD p : raw) pixels.push_back(RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF));
    return pixels;
}

TEST_F(LanguageModuleTest, TreeStateImagesAreThirteenPixelSquaresOnMagenta) {
    ASSERT_TRUE(module_.loaded());
    SIZE size = {};
    const std::vector<COLORREF> pixels = Pixels(module_.handle(), IDB_TREE_STATES, &size);
    ASSERT_FALSE(pixels.empty()) << "bitmap 226 missing";
    EXPECT_EQ(13, size.cy);
    EXPECT_EQ(0, size.cx % 13);
    ASSERT_GE(size.cx / 13, 6) << "the header uses state image 5";
    const COLORREF magenta = RGB(0xFF, 0x00, 0xFF);
    auto count_magenta = [&](int image) {
        int n = 0;
        for (int y = 0; y < 13; ++y)
            for (int x = 0; x < 13; ++x) n += pixels[y * size.cx + image * 13 + x] == magenta;
        return n;
    };
    EXPECT_EQ(169, count_magenta(0)) << "state 0 (no check box) must be fully transparent";
    for (int image = 1; image <= 5; ++image)
        EXPECT_LT(count_magenta(image), 169) << "state image " << image << " is empty";
    // Unchecked and checked must differ, or a click shows no change.
    int differences = 0;
    for (int y = 0; y < 13; ++y)
        for (int x = 0; x < 13; ++x)
            differences += pixels[y * size.cx + 13 + x] != pixels[y * size.cx + 26 + x];
    EXPECT_GT(differences, 5);
    // Nothing may be "nearly magenta": the mask is an exact colour match, so such pixels would
    // show as pink specks.
    for (COLORREF p : pixels) {
        if (p == magenta) continue;
        const bool pinkish = GetRValue(p) > 0xE0 && GetGValue(p) < 0x40 && GetBValue(p) > 0xE0;
        EXPECT_FALSE(pinkish) << std::hex << p;
    }
}

TEST_F(LanguageModuleTest, LoadingAnimationIsAValidMultiFrameGif) {
    ASSERT_TRUE(module_.loaded());
    const std::vector<BYTE> bytes = langmod::ResourceBytes(module_.handle(), RT_GIFANI_NAME, IDR_LOADING_GIF);
    ASSERT_GE(bytes.size(), 13u) << "GIFANI 146 missing";
    EXPECT_EQ("GIF89a", std::string(bytes.begin(), bytes.begin() + 6));
    langmod::GifImage gif;
    std::string error;
    ASSERT_TRUE(langmod::ParseGif(bytes, &gif, &error)) << error;
    EXPECT_GT(gif.global_colours, 0) << "the player takes its background from the global table";
    ASSERT_GT(gif.frames.size(), 1u);
    EXPECT_TRUE(gif.width > 0 && gif.width <= 200 && gif.height > 0 && gif.height <= 150);
    for (size_t i = 0; i < gif.frames.size(); ++i) {
        const auto& f = gif.frames[i];
        SCOPED_TRACE("frame " + std::to_string(i));
        EXPECT_TRUE(f.has_control_extension);
        EXPECT_GE(f.delay, 5) << "shorter delays are stretched to 100 ms";
        EXPECT_LE(f.left + f.width, gif.width);
        EXPECT_LE(f.top + f.height, gif.height);
        for (uint8_t index : f.indices) ASSERT_LT(index, gif.global_colours);
    }
    // A spinner moves: consecutive frames must differ.
    for (size_t i = 1; i < gif.frames.size(); ++i)
        EXPECT_NE(gif.frames[i - 1].indices, gif.frames[i].indices) << "frame " << i;
}

TEST_F(LanguageModuleTest, WindowIconLoadsInBothSizes) {
    ASSERT_TRUE(module_.loaded());
    for (int size : {16, 32}) {
        HICON icon = static_cast<HICON>(
            LoadImageA(module_.handle(), MAKEINTRESOURCEA(IDI_WINDOW), IMAGE_ICON, size, size, 0));
        ASSERT_NE(nullptr, icon) << size;
        ICONINFO info = {};
        ASSERT_TRUE(GetIconInfo(icon, &info));
        BITMAP bitmap = {};
        GetObjectA(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof(bitmap), &bitmap);
        EXPECT_EQ(size, bitmap.bmWidth);
        if (info.hbmColor) DeleteObject(info.hbmColor);
        if (info.hbmMask) DeleteObject(info.hbmMask);
        DestroyIcon(icon);
    }
    // Norvane loads it with LoadIcon, which takes the system's large size.
    HICON plain = LoadIconA(module_.handle(), MAKEINTRESOURCEA(IDI_WINDOW));
    EXPECT_NE(nullptr, plain);
}

// The parser the checks above rely on must reject cut-short data instead of reading past it.
TEST(LanguageModuleReaders, RejectTruncatedData) {
    langmod::Module module;
    ASSERT_TRUE(module.loaded());
    const std::vector<BYTE> dialog = langmod::ResourceBytes(module.handle(), MAKEINTRESOURCEA(5), IDD_OPTION_PAGE);
    ASSERT_FALSE(dialog.empty());
    DialogTemplate t;
    EXPECT_TRUE(langmod::ParseDialogTemplate(dialog.data(), dialog.size(), &t));
    EXPECT_FALSE(langmod::ParseDialogTemplate(dialog.data(), dialog.size() / 2, &t));

    std::vector<BYTE> gif = langmod::ResourceBytes(module.handle(), RT_GIFANI_NAME, IDR_LOADING_GIF);
    ASSERT_GT(gif.size(), 40u);
    langmod::GifImage image;
    std::string error;
    gif.resize(gif.size() - 1);  // no trailer
    EXPECT_FALSE(langmod::ParseGif(gif, &image, &error));
    gif.resize(gif.size() / 2);
    EXPECT_FALSE(langmod::ParseGif(gif, &image, &error));
}

}  // namespace
