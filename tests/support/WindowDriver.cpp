#include "tests/support/WindowDriver.h"

#include <cstdlib>

#include "tests/support/TestSupport.h"

namespace testsupport {

namespace {

constexpr const char* kDialogClass = "#32770";

bool IsMainDialog(HWND window) {
    return IsWindowVisible(window) && ClassName(window) == kDialogClass &&
           GetWindow(window, GW_OWNER) == nullptr;
}

BOOL CALLBACK CollectChild(HWND window, LPARAM param) {
    auto* found = reinterpret_cast<std::vector<HWND>*>(param);
    found->push_back(window);
    return TRUE;
}

// The static text of a message box: the first static child with text.
std::string MessageBoxText(HWND box) {
    std::vector<HWND> children;
    EnumChildWindows(box, &CollectChild, reinterpret_cast<LPARAM>(&children));
    for (HWND child : children) {
        if (ClassName(child) != "Static") continue;
        const std::string text = ReadText(child).value_or("");
        if (!text.empty()) return text;
    }
    return "";
}

std::optional<MessageBoxInfo> FindMessageBox(DWORD pid) {
    for (HWND window : WindowsOfProcess(pid)) {
        if (!IsWindowVisible(window) || ClassName(window) != kDialogClass) continue;
        if (GetWindow(window, GW_OWNER) == nullptr) continue;
        MessageBoxInfo box;
        box.window = window;
        box.caption = ReadText(window).value_or("");
        box.text = MessageBoxText(window);
        return box;
    }
    return std::nullopt;
}

// A block of memory lent in the process that owns a window, for the messages whose parameters
// point at structures: the control reads and writes them in its own address space.
class RemoteBlock {
public:
    RemoteBlock(HWND window, size_t size) {
        DWORD pid = 0;
        if (!window || !GetWindowThreadProcessId(window, &pid)) return;
        process_ =
            OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
        if (process_) {
            address_ = static_cast<char*>(
                VirtualAllocEx(process_, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
        }
    }
    ~RemoteBlock() {
        if (address_) VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
        if (process_) CloseHandle(process_);
    }
    RemoteBlock(const RemoteBlock&) = delete;
    RemoteBlock& operator=(const RemoteBlock&) = delete;

    bool ok() const { return address_ != nullptr; }
    char* at(size_t offset) const { return address_ + offset; }
    LPARAM param(size_t offset = 0) const { return reinterpret_cast<LPARAM>(at(offset)); }
    bool Write(size_t offset, const void* data, size_t size) const {
        SIZE_T done = 0;
        return WriteProcessMemory(process_, at(offset), data, size, &done) && done == size;
    }
    bool Read(size_t offset, void* data, size_t size) const {
        SIZE_T done = 0;
        return ReadProcessMemory(process_, at(offset), data, size, &done) && done == size;
    }

private:
    HANDLE process_ = nullptr;
    char* address_ = nullptr;
};

std::optional<LRESULT> Send(HWND window, UINT msg, WPARAM wparam, LPARAM lparam) {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutA(window, msg, wparam, lparam, SMTO_ABORTIFHUNG, 5000, &result)) {
        return std::nullopt;
    }
    return static_cast<LRESULT>(result);
}

}  // namespace

HWND WaitForMainDialog(DWORD pid, DWORD timeout_ms) {
    return WaitForWindow(pid, timeout_ms, &IsMainDialog);
}

std::vector<HWND> ChildDialogs(HWND parent) {
    std::vector<HWND> dialogs;
    for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (ClassName(child) == kDialogClass) dialogs.push_back(child);
    }
    return dialogs;
}

HWND VisibleChildDialog(HWND parent) {
    for (HWND dialog : ChildDialogs(parent)) {
        if (IsWindowVisible(dialog)) return dialog;
    }
    return nullptr;
}

HWND Control(HWND dialog, int id) { return dialog ? GetDlgItem(dialog, id) : nullptr; }

bool Click(HWND button) { return button && PostMessageA(button, BM_CLICK, 0, 0); }

std::optional<std::string> ReadText(HWND window, DWORD timeout_ms) {
    if (!window) return std::nullopt;
    char text[2048] = {};
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutA(window, WM_GETTEXT, sizeof(text), reinterpret_cast<LPARAM>(text),
                             SMTO_ABORTIFHUNG, timeout_ms, &copied)) {
        return std::nullopt;
    }
    return std::string(text);
}

bool IsChecked(HWND check_box) {
    DWORD_PTR state = 0;
    return check_box &&
           SendMessageTimeoutA(check_box, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, 5000, &state) &&
           state == BST_CHECKED;
}

bool Answers(HWND window, DWORD timeout_ms) {
    DWORD_PTR ignored = 0;
    return window &&
           SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, timeout_ms, &ignored) != 0;
}

namespace {

// The window with the keyboard focus in the thread of `window`; `window` when there is none.
// The control with the keyboard focus in the window's thread. Just after a message box of the
// window closes, the focus is still on its way back (or on the box's dying button): a key posted
// then is lost, so wait a while for the focus to be in the window again.
HWND FocusOf(HWND window) {
    const DWORD thread = GetWindowThreadProcessId(window, nullptr);
    for (int attempt = 0; attempt < 100; ++attempt) {
        GUITHREADINFO info = {};
        info.cbSize = sizeof(info);
        if (GetGUIThreadInfo(thread, &info) && info.hwndFocus &&
            (info.hwndFocus == window || IsChild(window, info.hwndFocus))) {
            return info.hwndFocus;
        }
        Sleep(50);
    }
    return window;
}

}  // namespace

bool PressKey(HWND window, UINT virtual_key) {
    if (!window) return false;
    HWND target = FocusOf(window);
    const UINT scan = MapVirtualKeyA(virtual_key, 0);
    const LPARAM down = 1 | (static_cast<LPARAM>(scan) << 16);
    const LPARAM up = down | (1 << 30) | (static_cast<LPARAM>(1) << 31);
    return PostMessageA(target, WM_KEYDOWN, virtual_key, down) &&
           PostMessageA(target, WM_KEYUP, virtual_key, up);
}

bool PressAltKey(HWND window, UINT virtual_key) {
    if (!window) return false;
    HWND target = FocusOf(window);
    const UINT scan = MapVirtualKeyA(virtual_key, 0);
    // Bit 29: the Alt key is down.
    const LPARAM down = 1 | (static_cast<LPARAM>(scan) << 16) | (1 << 29);
    const LPARAM up = down | (1 << 30) | (static_cast<LPARAM>(1) << 31);
    return PostMessageA(target, WM_SYSKEYDOWN, virtual_key, down) &&
           PostMessageA(target, WM_SYSKEYUP, virtual_key, up);
}

bool TypeKeys(HWND window, const std::vector<std::string>& keys) {
    RECT rect;
    if (!window || !GetWindowRect(window, &rect)) return false;
    // Wine starts a program of the machine without waiting for it: the shell writes a marker
    // once xdotool has ended.
    const std::string marker = "/tmp/" + UniqueName("typed");
    const std::string marker_path = WindowsPath(marker);
    DeleteFileA(marker_path.c_str());
    std::string command = "xdotool mousemove " + std::to_string(rect.left + 3) + " " +
                          std::to_string(rect.top + 3) + " sleep 0.2 key --delay 80";
    for (const std::string& key : keys) command += " " + key;
    Process shell;
    if (!shell.Start("/bin/sh -c \"" + command + "; echo $? > " + marker + "\"")) return false;
    std::optional<std::string> result;
    WaitUntil([&] { return (result = ReadTextFile(marker_path)).has_value() && !result->empty(); },
              20000);
    DeleteFileA(marker_path.c_str());
    return result.has_value() && result->rfind("0", 0) == 0;
}

HWND FocusedWindow(HWND window) {
    GUITHREADINFO info = {};
    info.cbSize = sizeof(info);
    if (!window || !GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info)) {
        return nullptr;
    }
    return info.hwndFocus;
}

bool FocusUsableIn(HWND window, HWND container) {
    HWND focus = FocusedWindow(window);
    if (!focus || !container || (focus != container && !IsChild(container, focus))) return false;
    for (HWND w = focus; w; w = GetParent(w)) {
        if (!IsWindowVisible(w) || !IsWindowEnabled(w)) return false;
        if (w == container) return true;
    }
    return false;
}

std::optional<MessageBoxInfo> WaitForMessageBox(DWORD pid, DWORD timeout_ms) {
    std::optional<MessageBoxInfo> box;
    WaitUntil([&] { return (box = FindMessageBox(pid)).has_value() && !box->text.empty(); },
              timeout_ms);
    return box;
}

bool AnyMessageBox(DWORD pid) { return FindMessageBox(pid).has_value(); }

bool AnswerMessageBox(const MessageBoxInfo& box, int button_id) {
    return Click(GetDlgItem(box.window, button_id));
}

std::optional<DWORD> WaitForExit(DWORD pid, DWORD timeout_ms) {
    HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (!process) return std::nullopt;
    std::optional<DWORD> code;
    if (WaitForSingleObject(process, timeout_ms) == WAIT_OBJECT_0) {
        DWORD value = 0;
        if (GetExitCodeProcess(process, &value)) code = value;
    }
    CloseHandle(process);
    return code;
}

ExitWatch WaitForExitWatchingMessageBoxes(DWORD pid, DWORD timeout_ms) {
    ExitWatch watch;
    HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (!process) return watch;
    const DWORD start = GetTickCount();
    for (;;) {
        if (!watch.message_box) watch.message_box = FindMessageBox(pid);
        if (WaitForSingleObject(process, 10) == WAIT_OBJECT_0) {
            DWORD value = 0;
            if (GetExitCodeProcess(process, &value)) watch.exit_code = value;
            break;
        }
        if (GetTickCount() - start >= timeout_ms) break;
    }
    CloseHandle(process);
    return watch;
}

bool ProcessRuns(DWORD pid) {
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, pid);
    if (!process) return false;
    const bool runs = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
    CloseHandle(process);
    return runs;
}

std::vector<TreeItem> TreeItems(HWND tree) {
    std::vector<TreeItem> items;
    constexpr size_t kTextAt = 256, kTextSize = 512;
    RemoteBlock block(tree, kTextAt + kTextSize);
    if (!block.ok()) return items;
    HTREEITEM item =
        reinterpret_cast<HTREEITEM>(Send(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0).value_or(0));
    // A tree of a few items; the bound only keeps a broken answer from looping.
    for (int count = 0; item && count < 100; ++count) {
        TVITEMA query = {};
        query.mask = TVIF_HANDLE | TVIF_TEXT | TVIF_STATE;
        query.hItem = item;
        query.stateMask = TVIS_STATEIMAGEMASK | TVIS_BOLD;
        query.pszText = block.at(kTextAt);
        query.cchTextMax = kTextSize;
        char text[kTextSize] = {};
        TVITEMA answer = {};
        if (!block.Write(0, &query, sizeof(query)) || !block.Write(kTextAt, text, 1) ||
            !Send(tree, TVM_GETITEMA, 0, block.param()).value_or(0) ||
            !block.Read(0, &answer, sizeof(answer)) || !block.Read(kTextAt, text, kTextSize)) {
            break;
        }
        text[kTextSize - 1] = '\0';
        TreeItem read;
        read.handle = item;
        read.text = text;
        read.state_image = static_cast<int>((answer.state & TVIS_STATEIMAGEMASK) >> 12);
        read.bold = (answer.state & TVIS_BOLD) != 0;
        items.push_back(read);
        item = reinterpret_cast<HTREEITEM>(
            Send(tree, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(item)).value_or(0));
    }
    return items;
}

std::optional<POINT> StateImagePoint(HWND tree, HTREEITEM item) {
    RemoteBlock block(tree, sizeof(RECT) + sizeof(TVHITTESTINFO));
    if (!block.ok()) return std::nullopt;
    // The item's text rectangle; its state image lies somewhere to the left of it.
    RECT text = {};
    *reinterpret_cast<HTREEITEM*>(&text) = item;
    if (!block.Write(0, &text, sizeof(text)) ||
        !Send(tree, TVM_GETITEMRECT, TRUE, block.param()).value_or(0) ||
        !block.Read(0, &text, sizeof(text))) {
        return std::nullopt;
    }
    const LONG y = (text.top + text.bottom) / 2;
    for (LONG x = text.left - 1; x >= 0; --x) {
        TVHITTESTINFO hit = {};
        hit.pt = {x, y};
        if (!block.Write(sizeof(RECT), &hit, sizeof(hit))) return std::nullopt;
        Send(tree, TVM_HITTEST, 0, block.param(sizeof(RECT)));
        if (!block.Read(sizeof(RECT), &hit, sizeof(hit))) return std::nullopt;
        if (hit.hItem == item && (hit.flags & TVHT_ONITEMSTATEICON)) return hit.pt;
    }
    return std::nullopt;
}

bool ClickAt(HWND window, POINT point) {
    const LPARAM where = MAKELPARAM(point.x, point.y);
    return window && PostMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, where) &&
           PostMessageA(window, WM_LBUTTONUP, 0, where);
}

bool PostKey(HWND window, UINT virtual_key) {
    const UINT scan = MapVirtualKeyA(virtual_key, 0);
    const LPARAM down = 1 | (static_cast<LPARAM>(scan) << 16);
    const LPARAM up = down | (1 << 30) | (static_cast<LPARAM>(1) << 31);
    return window && PostMessageA(window, WM_KEYDOWN, virtual_key, down) &&
           PostMessageA(window, WM_KEYUP, virtual_key, up);
}

bool ClickTab(HWND tabs, int index) {
    RemoteBlock block(tabs, sizeof(RECT));
    RECT item = {};
    if (!block.ok() || !Send(tabs, TCM_GETITEMRECT, index, block.param()).value_or(0) ||
        !block.Read(0, &item, sizeof(item))) {
        return false;
    }
    return ClickAt(tabs, {(item.left + item.right) / 2, (item.top + item.bottom) / 2});
}

std::optional<CHARFORMAT2A> RichTextFormat(HWND rich, int start, int end) {
    RemoteBlock block(rich, sizeof(CHARFORMAT2A));
    CHARFORMAT2A format = {};
    format.cbSize = sizeof(format);
    if (!block.ok() || !Send(rich, EM_SETSEL, start, end) ||
        !block.Write(0, &format, sizeof(format)) ||
        !Send(rich, EM_GETCHARFORMAT, SCF_SELECTION, block.param()) ||
        !block.Read(0, &format, sizeof(format))) {
        return std::nullopt;
    }
    return format;
}

RECT RectIn(HWND window, HWND reference) {
    RECT rect = {};
    GetWindowRect(window, &rect);
    MapWindowPoints(nullptr, reference, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

bool SaveWindowScreenshot(HWND window, const std::string& name) {
    RECT rect;
    if (!window || !GetWindowRect(window, &rect)) return false;
    const char* dir = std::getenv("OSTREY_ARTIFACT_DIR");
    if (!dir) return false;
    const std::string whole = "whole-" + name;
    if (!SaveScreenshot(whole)) return false;
    char geometry[64];
    snprintf(geometry, sizeof(geometry), "%ldx%ld+%ld+%ld", rect.right - rect.left,
             rect.bottom - rect.top, rect.left, rect.top);
    const std::string from = std::string(dir) + "/" + whole;
    const std::string to = std::string(dir) + "/" + name;
    const std::string windows_to = WindowsPath(to);
    DeleteFileA(windows_to.c_str());
    // ImageMagick runs as a program of the machine running Wine, which does not wait for it.
    Process convert;
    if (!convert.Start("/usr/bin/convert " + from + " -crop " + geometry + " +repage " + to)) {
        return false;
    }
    // Complete once the file has stopped growing.
    LONGLONG last_size = -1;
    const bool done = WaitUntil(
        [&] {
            WIN32_FILE_ATTRIBUTE_DATA data;
            if (!GetFileAttributesExA(windows_to.c_str(), GetFileExInfoStandard, &data)) return false;
            const LONGLONG size =
                (static_cast<LONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
            const bool stable = size > 0 && size == last_size;
            last_size = size;
            return stable;
        },
        30000);
    DeleteFileA(WindowsPath(from).c_str());
    return done;
}

}  // namespace testsupport
