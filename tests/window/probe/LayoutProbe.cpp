// A message hook that the layout tests put into Norvane's window thread. A control's font is an
// object of the process that made it: only there can its text be measured with it. On the
// registered message "OstreyLayoutProbe" sent to a window, it walks that window's controls (and
// theirs) and writes one line per control to "%TEMP%\ostrey-layout-<pid>.txt":
//
//   ctl <tab> hwnd parent id class style visible left top right bottom parent_width parent_height
//       line_height text_width wrapped_height <tab> text
//   tab <tab> hwnd index left top right bottom text_width <tab> text
//
// Rectangles are in the parent's client coordinates; text_width is the text on one line,
// wrapped_height the text broken into the control's width, both with the control's own font.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <string>

namespace {

struct Measure {
    int line_height = 0;
    int width = 0;
    int wrapped_height = 0;
};

Measure MeasureText(HWND control, const std::string& text, UINT extra_flags, int wrap_width) {
    Measure measure;
    HDC dc = GetDC(control);
    if (!dc) return measure;
    HFONT font = reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0));
    HGDIOBJ previous = font ? SelectObject(dc, font) : nullptr;
    TEXTMETRICA metrics = {};
    GetTextMetricsA(dc, &metrics);
    measure.line_height = metrics.tmHeight;
    if (!text.empty()) {
        RECT line = {0, 0, 0, 0};
        DrawTextA(dc, text.c_str(), -1, &line, DT_CALCRECT | DT_SINGLELINE | extra_flags);
        measure.width = line.right - line.left;
        RECT wrapped = {0, 0, wrap_width > 0 ? wrap_width : 1, 0};
        DrawTextA(dc, text.c_str(), -1, &wrapped, DT_CALCRECT | DT_WORDBREAK | extra_flags);
        measure.wrapped_height = wrapped.bottom - wrapped.top;
    }
    if (previous) SelectObject(dc, previous);
    ReleaseDC(control, dc);
    return measure;
}

std::string TextOf(HWND window) {
    char text[1024] = {};
    GetWindowTextA(window, text, sizeof(text));
    std::string value = text;
    for (char& c : value) {
        if (c == '\t' || c == '\r' || c == '\n') c = ' ';
    }
    return value;
}

void Report(FILE* out, HWND control) {
    HWND parent = GetParent(control);
    RECT rect = {}, parent_client = {};
    GetWindowRect(control, &rect);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
    GetClientRect(parent, &parent_client);
    char class_name[64] = {};
    GetClassNameA(control, class_name, sizeof(class_name));
    const LONG style = GetWindowLongA(control, GWL_STYLE);
    const std::string text = TextOf(control);
    const bool no_prefix = lstrcmpiA(class_name, "Static") == 0 && (style & SS_NOPREFIX);
    const Measure measure = MeasureText(control, text, no_prefix ? DT_NOPREFIX : 0,
                                        rect.right - rect.left);
    std::fprintf(out, "ctl\t%p %p %d %s %ld %d %ld %ld %ld %ld %ld %ld %d %d %d\t%s\n",
                 static_cast<void*>(control), static_cast<void*>(parent),
                 GetDlgCtrlID(control), class_name, static_cast<long>(style),
                 IsWindowVisible(control) ? 1 : 0, rect.left, rect.top, rect.right, rect.bottom,
                 parent_client.right, parent_client.bottom, measure.line_height, measure.width,
                 measure.wrapped_height, text.c_str());
    if (lstrcmpiA(class_name, WC_TABCONTROLA) == 0) {
        const int count = static_cast<int>(SendMessageA(control, TCM_GETITEMCOUNT, 0, 0));
        for (int index = 0; index < count; ++index) {
            RECT item = {};
            SendMessageA(control, TCM_GETITEMRECT, index, reinterpret_cast<LPARAM>(&item));
            char tab_text[256] = {};
            TCITEMA tab = {};
            tab.mask = TCIF_TEXT;
            tab.pszText = tab_text;
            tab.cchTextMax = sizeof(tab_text);
            SendMessageA(control, TCM_GETITEMA, index, reinterpret_cast<LPARAM>(&tab));
            const Measure tab_measure = MeasureText(control, tab_text, 0, 0);
            std::fprintf(out, "tab\t%p %d %ld %ld %ld %ld %d\t%s\n", static_cast<void*>(control),
                         index, item.left, item.top, item.right, item.bottom, tab_measure.width,
                         tab_text);
        }
    }
}

void ReportTree(FILE* out, HWND window) {
    for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        Report(out, child);
        ReportTree(out, child);
    }
}

void WriteReport(HWND window) {
    char folder[MAX_PATH] = {};
    GetTempPathA(sizeof(folder), folder);
    char path[MAX_PATH + 64], partial[MAX_PATH + 64];
    std::snprintf(path, sizeof(path), "%sostrey-layout-%lu.txt", folder, GetCurrentProcessId());
    std::snprintf(partial, sizeof(partial), "%s.part", path);
    FILE* out = std::fopen(partial, "w");
    if (!out) return;
    ReportTree(out, window);
    std::fclose(out);
    MoveFileExA(partial, path, MOVEFILE_REPLACE_EXISTING);
}

}  // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK LayoutProbeHook(int code, WPARAM wparam,
                                                                  LPARAM lparam) {
    static const UINT probe = RegisterWindowMessageA("OstreyLayoutProbe");
    if (code == HC_ACTION && lparam) {
        const CWPSTRUCT* call = reinterpret_cast<const CWPSTRUCT*>(lparam);
        if (call->message == probe) WriteReport(call->hwnd);
    }
    return CallNextHookEx(nullptr, code, wparam, lparam);
}
