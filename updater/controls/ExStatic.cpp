#include "updater/controls/ExStatic.h"

#include <shellapi.h>
#include <shlwapi.h>

#include <utility>
#include <vector>

#include "updater/data/ProductSettings.h"
#include "updater/framework/Dialog.h"
#include "updater/controls/MemDC.h"
#include "updater/pages/PageMessages.h"
#include "updater/controls/RectTracker.h"
#include "updater/controls/TextWrap.h"
#include "updater/platform/LateImports.h"

namespace {

constexpr DWORD kStaticTypeMask = 0x1F;  // SS_TYPEMASK

bool IsLeadByte(unsigned char byte) { return IsDBCSLeadByte(byte) != FALSE; }

COLOR16 Channel(BYTE value) { return static_cast<COLOR16>(value << 8); }

}  // namespace

CExStatic::CExStatic()
    : text_color(GetSysColor(COLOR_WINDOWTEXT)),
      background_color(GetSysColor(COLOR_BTNFACE)),
      gradient_from(background_color),
      gradient_to(background_color) {
    background_brush_ = CreateSolidBrush(background_color);
    brush_color_ = background_color;
}

CExStatic::GradientFillFn CExStatic::LoadGradientFill() {
    if (!gradient_looked_up_) {
        gradient_looked_up_ = true;
        gradient_library_ = late::LoadSystemLibrary("msimg32.dll");
        if (gradient_library_) {
            gradient_fill_ = reinterpret_cast<GradientFillFn>(
                reinterpret_cast<void*>(GetProcAddress(gradient_library_, "GradientFill")));
        }
    }
    return gradient_fill_;
}

CExStatic::~CExStatic() {
    // The window may outlive us (a page destroys its controls after its members): stop drawing
    // through this object first.
    Unsubclass();
    if (font_) DeleteObject(font_);
    if (background_brush_) DeleteObject(background_brush_);
    if (bitmap_) DeleteObject(bitmap_);
    if (gradient_library_) FreeLibrary(gradient_library_);
}

void CExStatic::OnSubclassed() {
    saved_style_ = static_cast<DWORD>(GetWindowLongPtrA(hwnd(), GWL_STYLE));
    SetWindowLongPtrA(hwnd(), GWL_STYLE,
                      static_cast<LONG_PTR>((saved_style_ & ~kStaticTypeMask) | SS_OWNERDRAW));

    HGDIOBJ current = reinterpret_cast<HGDIOBJ>(SendMessageA(hwnd(), WM_GETFONT, 0, 0));
    if (!current) current = GetStockObject(DEFAULT_GUI_FONT);
    if (!current) current = GetStockObject(ANSI_VAR_FONT);
    LOGFONTA description = {};
    if (current && GetObjectA(current, sizeof(description), &description)) {
        description.lfCharSet = FontCharset();
        ReplaceFont(description);
    }
    ReadText();
    late::DragAcceptFiles(hwnd(), TRUE);
    InvalidateRect(hwnd(), nullptr, TRUE);
}

void CExStatic::ReplaceFont(const LOGFONTA& description) {
    HFONT created = CreateFontIndirectA(&description);
    if (!created) return;  // keep drawing with the font we have
    if (font_) DeleteObject(font_);
    font_ = created;
}

void CExStatic::SetTextFont(const std::string& face, int height, int weight, bool underline,
                            bool redraw) {
    LOGFONTA description = {};
    lstrcpynA(description.lfFaceName, face.c_str(), LF_FACESIZE);
    description.lfHeight = height;
    description.lfWeight = weight;
    description.lfUnderline = underline ? 1 : 0;
    description.lfCharSet = FontCharset();
    ReplaceFont(description);
    if (redraw && hwnd()) InvalidateRect(hwnd(), nullptr, TRUE);
}

void CExStatic::SetPageBackground() {
    gradient_mode = 0;
    background_color = kPageBackground;
    gradient_from = kPageBackground;
    gradient_to = 0;
    BackgroundBrush();
    if (hwnd()) InvalidateRect(hwnd(), nullptr, TRUE);
}

HBRUSH CExStatic::BackgroundBrush() {
    if (!background_brush_ || brush_color_ != background_color) {
        HBRUSH brush = CreateSolidBrush(background_color);
        if (brush) {
            if (background_brush_) DeleteObject(background_brush_);
            background_brush_ = brush;
            brush_color_ = background_color;
        }
    }
    return background_brush_;
}

void CExStatic::ReadText() {
    text_.clear();
    const int length = GetWindowTextLengthA(hwnd());
    if (length <= 0) return;
    std::vector<char> buffer(static_cast<size_t>(length) + 1);
    const int copied = GetWindowTextA(hwnd(), buffer.data(), length + 1);
    text_.assign(buffer.data(), copied > 0 ? static_cast<size_t>(copied) : 0);
}

LRESULT CExStatic::OnMessage(UINT msg, WPARAM wparam, LPARAM lparam) {
    switch (msg) {
    case kReflectedDrawItem:
        Draw(*reinterpret_cast<const DRAWITEMSTRUCT*>(lparam));
        return TRUE;
    case WM_ERASEBKGND:
        return 0;
    case WM_SETTEXT: {
        const LRESULT result = Default(msg, wparam, lparam);
        ReadText();
        // The static may already have redrawn itself inside the default handling, while we
        // still held the old text.
        InvalidateRect(hwnd(), nullptr, FALSE);
        return result;
    }
    case WM_SETFONT: {
        const LRESULT result = Default(msg, wparam, lparam);
        LOGFONTA description = {};
        if (wparam && GetObjectA(reinterpret_cast<HGDIOBJ>(wparam), sizeof(description),
                                 &description)) {
            ReplaceFont(description);
        }
        InvalidateRect(hwnd(), nullptr, FALSE);
        return result;
    }
    case WM_GETFONT:
        // The font the label draws with, not the one the dialog gave the static: whoever sizes
        // or measures the label needs the heading font.
        if (font_) return reinterpret_cast<LRESULT>(font_);
        return Default(msg, wparam, lparam);
    case WM_SIZE: {
        const LRESULT result = Default(msg, wparam, lparam);
        InvalidateRect(hwnd(), nullptr, TRUE);
        return result;
    }
    case WM_DROPFILES:
        OnDropFiles(reinterpret_cast<HDROP>(wparam));
        return 0;
    case WM_RBUTTONDOWN:
        if (movable == 1) {
            TrackMove(wparam, lparam);
            return 0;
        }
        break;
    default:
        break;
    }
    return Default(msg, wparam, lparam);
}

void CExStatic::Draw(const DRAWITEMSTRUCT& item) {
    const RECT& rect = item.rcItem;
    SetBkColor(item.hDC, background_color);
    CMemDC dc(item.hDC, &rect, transparent != 0);
    if (bitmap_mode_ && bitmap_) {
        HDC source = CreateCompatibleDC(dc);
        if (source) {
            HGDIOBJ previous = SelectObject(source, bitmap_);
            RECT client;
            GetClientRect(hwnd(), &client);
            StretchBlt(dc, client.left, client.top, client.right - client.left,
                       client.bottom - client.top, source, 0, 0, bitmap_info_.bmWidth - 1,
                       bitmap_info_.bmHeight - 1, SRCCOPY);
            SelectObject(source, previous);
            DeleteDC(source);
        }
        transparent = 0;
    } else if (icon) {
        DrawIconEx(dc, 0, 0, icon, 48, 48, 0, nullptr, DI_NORMAL);
    } else if (!transparent) {
        DrawBackground(dc, rect);
    }

    HGDIOBJ previous_font = font_ ? SelectObject(dc, font_) : nullptr;
    const COLORREF previous_color = SetTextColor(dc, text_color);
    DrawLines(dc, rect);
    SetTextColor(dc, previous_color);
    if (previous_font) SelectObject(dc, previous_font);
}

void CExStatic::DrawBackground(HDC dc, const RECT& rect) {
    if (gradient_mode == 0) {
        FillRect(dc, &rect, BackgroundBrush());
        return;
    }
    const GradientFillFn gradient_fill = LoadGradientFill();
    if (!gradient_fill) return;  // without the library the gradient modes draw nothing
    TRIVERTEX corners[2] = {};
    corners[0].x = rect.left;
    corners[0].y = rect.top;
    corners[0].Red = Channel(GetRValue(gradient_from));
    corners[0].Green = Channel(GetGValue(gradient_from));
    corners[0].Blue = Channel(GetBValue(gradient_from));
    corners[1].x = rect.right;
    corners[1].y = rect.bottom;
    corners[1].Red = Channel(GetRValue(gradient_to));
    corners[1].Green = Channel(GetGValue(gradient_to));
    corners[1].Blue = Channel(GetBValue(gradient_to));
    GRADIENT_RECT span = {0, 1};
    gradient_fill(dc, corners, 2, &span, 1,
                  gradient_mode == 1 ? GRADIENT_FILL_RECT_H : GRADIENT_FILL_RECT_V);
}

UINT CExStatic::TextFormat() const {
    UINT format = 0;
    if (saved_style_ & SS_RIGHT) format |= DT_RIGHT;
    if (saved_style_ & SS_CENTER) format |= DT_CENTER;
    if (saved_style_ & SS_NOPREFIX) format |= DT_NOPREFIX;
    if (saved_style_ & 0xC000) format |= DT_WORD_ELLIPSIS;
    if (saved_style_ & 0x4000) format |= DT_END_ELLIPSIS;
    if (saved_style_ & 0x8000) format |= DT_PATH_ELLIPSIS;
    if (text_.find('\t') != std::string::npos) format |= DT_EXPANDTABS;
    // The lines are already split; DrawText must not break a lone CR or LF into a line of its
    // own on top of the next one.
    format |= DT_SINGLELINE;
    return format;
}

void CExStatic::DrawLines(HDC dc, const RECT& rect) {
    std::vector<std::string> lines;
    if (word_wrap) {
        const auto measure = [dc](const char* text, size_t count) {
            SIZE size = {};
            GetTextExtentPoint32A(dc, text, static_cast<int>(count), &size);
            return static_cast<int>(size.cx);
        };
        lines = textwrap::SplitLines(text_, rect.right - rect.left, measure, &IsLeadByte);
    } else {
        lines.push_back(text_);
    }

    TEXTMETRICA metrics = {};
    GetTextMetricsA(dc, &metrics);
    const int line_height = metrics.tmHeight;
    int top = rect.top;
    if (saved_style_ & SS_CENTERIMAGE) {
        const int free_height =
            (rect.bottom - rect.top) - static_cast<int>(lines.size()) * line_height;
        top = rect.top + free_height / 2;
    }

    const UINT format = TextFormat();
    const int offset = emboss_raised ? 1 : -1;
    for (size_t i = 0; i < lines.size(); ++i) {
        RECT line = rect;
        line.top = top + static_cast<int>(i) * line_height;
        DrawTextA(dc, lines[i].c_str(), static_cast<int>(lines[i].size()), &line, format);
        if (emboss) {
            OffsetRect(&line, offset, offset);
            DrawTextA(dc, lines[i].c_str(), static_cast<int>(lines[i].size()), &line, format);
        }
    }
}

void CExStatic::OnDropFiles(HDROP drop) {
    if (!drop) return;
    if (late::DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0) == 1) {
        char path[MAX_PATH] = {};
        const UINT length = late::DragQueryFileA(drop, 0, path, sizeof(path));
        if (length > 0 && length < sizeof(path) &&
            lstrcmpiA(late::PathFindExtensionA(path), ".bmp") == 0) {
            HBITMAP loaded = static_cast<HBITMAP>(
                LoadImageA(nullptr, path, IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE));
            if (loaded) {
                if (bitmap_) DeleteObject(bitmap_);
                bitmap_ = loaded;
                bitmap_mode_ = 1;
                GetObjectA(bitmap_, sizeof(bitmap_info_), &bitmap_info_);
                bitmap_path_ = path;
                InvalidateRect(hwnd(), nullptr, TRUE);
            }
        }
    }
    late::DragFinish(drop);
}

void CExStatic::TrackMove(WPARAM flags, LPARAM point) {
    HWND parent = GetParent(hwnd());
    if (!parent) return;
    RECT rect;
    GetWindowRect(hwnd(), &rect);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
    POINT press = {static_cast<short>(LOWORD(point)), static_cast<short>(HIWORD(point))};
    MapWindowPoints(hwnd(), parent, &press, 1);
    RectTrackerOptions options;
    options.rubber_band = (flags & MK_CONTROL) != 0;
    options.release = WM_RBUTTONUP;
    RECT moved;
    if (!TrackRectangle(hwnd(), parent, rect, press, options, &moved)) return;
    if (moved.left > moved.right) std::swap(moved.left, moved.right);
    if (moved.top > moved.bottom) std::swap(moved.top, moved.bottom);
    MoveWindow(hwnd(), moved.left, moved.top, moved.right - moved.left, moved.bottom - moved.top,
               TRUE);
}
