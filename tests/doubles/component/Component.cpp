// Stand-in for a toolbar component or daemon: a top-level window of a given class and title, or
// a dialog hosting a child of a given class, optionally holding a named mutex. Every close-related
// message it receives is appended to the record file as "message wparam lparam" (hex); with
// --note-window the line also tells whether a top-level window of that class existed when the
// message arrived (" CLASS=open" or " CLASS=gone"), which shows the order of two components' ends.
//
//   component.exe [--class C] [--title T] [--dialog-child C] [--mutex M] [--record FILE]
//                 [--ignore] [--close-on WPARAM] [--exit-delay MS] [--note-window CLASS]
//
// Without --ignore it ends on the component close message (0x8100; with --close-on only on that
// wParam) or on WM_CLOSE, releasing its mutex. --exit-delay keeps it alive that much longer
// after the close message, still holding the mutex. An orderly end exits with 7.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <string>

namespace {

constexpr UINT kCloseMessage = 0x8100;
constexpr UINT kPrepareClose = 18800;

std::wstring g_record;
std::wstring g_note_window;
bool g_ignore = false;
long long g_close_on = -1;
DWORD g_exit_delay = 0;
HANDLE g_mutex = nullptr;
WNDPROC g_dialog_proc = nullptr;

void Record(UINT message, WPARAM wp, LPARAM lp) {
    if (g_record.empty()) return;
    HANDLE file =
        CreateFileW(g_record.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                    OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    char line[96];
    std::snprintf(line, sizeof(line), "%x %llx %llx", message, static_cast<unsigned long long>(wp),
                  static_cast<unsigned long long>(lp));
    std::string text = line;
    if (!g_note_window.empty()) {
        const int bytes = WideCharToMultiByte(CP_UTF8, 0, g_note_window.c_str(), -1, nullptr, 0,
                                              nullptr, nullptr);
        std::string name(bytes > 0 ? bytes - 1 : 0, '\0');
        if (bytes > 1) {
            WideCharToMultiByte(CP_UTF8, 0, g_note_window.c_str(), -1, &name[0], bytes, nullptr,
                                nullptr);
        }
        const bool open = FindWindowW(g_note_window.c_str(), nullptr) != nullptr;
        text += " " + name + (open ? "=open" : "=gone");
    }
    text += "\r\n";
    // One write per line: the records of two components sharing a file never mix within a line.
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
}

void End() {
    if (g_exit_delay) Sleep(g_exit_delay);
    if (g_mutex) ReleaseMutex(g_mutex);
    PostQuitMessage(0);
}

// Returns true when the message was one of ours and has been handled.
bool HandleClose(HWND window, UINT message, WPARAM wp, LPARAM lp) {
    if (message != kCloseMessage && message != kPrepareClose && message != WM_CLOSE) return false;
    Record(message, wp, lp);
    if (g_ignore || message == kPrepareClose) return true;
    if (message == kCloseMessage && g_close_on >= 0 && static_cast<long long>(wp) != g_close_on) {
        return true;
    }
    End();
    return true;
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wp, LPARAM lp) {
    if (HandleClose(window, message, wp, lp)) return 0;
    return DefWindowProcW(window, message, wp, lp);
}

LRESULT CALLBACK DialogProc(HWND window, UINT message, WPARAM wp, LPARAM lp) {
    if (HandleClose(window, message, wp, lp)) return 0;
    return CallWindowProcW(g_dialog_proc, window, message, wp, lp);
}

ATOM Register(const std::wstring& name) {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = &WindowProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = name.c_str();
    return RegisterClassW(&wc);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    std::wstring cls = L"ComponentDoubleClass", title, dialog_child, mutex;
    bool title_given = false;
    for (int i = 1; argv && i + 1 <= argc; ++i) {
        const std::wstring arg = argv[i];
        const std::wstring next = i + 1 < argc ? argv[i + 1] : L"";
        if (arg == L"--class") {
            cls = next;
            ++i;
        } else if (arg == L"--title") {
            title = next;
            title_given = true;
            ++i;
        } else if (arg == L"--dialog-child") {
            dialog_child = next;
            ++i;
        } else if (arg == L"--mutex") {
            mutex = next;
            ++i;
        } else if (arg == L"--record") {
            g_record = next;
            ++i;
        } else if (arg == L"--close-on") {
            g_close_on = wcstoll(next.c_str(), nullptr, 0);
            ++i;
        } else if (arg == L"--exit-delay") {
            g_exit_delay = wcstoul(next.c_str(), nullptr, 10);
            ++i;
        } else if (arg == L"--note-window") {
            g_note_window = next;
            ++i;
        } else if (arg == L"--ignore") {
            g_ignore = true;
        }
    }
    if (!title_given) title = cls;
    if (!mutex.empty()) g_mutex = CreateMutexW(nullptr, TRUE, mutex.c_str());

    HWND window = nullptr;
    if (!dialog_child.empty()) {
        window = CreateWindowExW(0, L"#32770", title.c_str(), WS_OVERLAPPED | WS_CAPTION, 10, 10,
                                 200, 100, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        g_dialog_proc = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&DialogProc)));
        Register(dialog_child);
        // The wanted class sits one level down, as a real dialog's control would.
        HWND pane = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE, 0, 0, 100, 50, window,
                                    nullptr, GetModuleHandleW(nullptr), nullptr);
        CreateWindowExW(0, dialog_child.c_str(), L"", WS_CHILD | WS_VISIBLE, 0, 0, 10, 10, pane,
                        nullptr, GetModuleHandleW(nullptr), nullptr);
    } else {
        Register(cls);
        window = CreateWindowExW(0, cls.c_str(), title.c_str(), WS_OVERLAPPEDWINDOW, 10, 10, 200,
                                 100, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    }
    if (argv) LocalFree(argv);
    if (!window) return 3;
    ShowWindow(window, SW_SHOWNOACTIVATE);

    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    if (g_mutex) CloseHandle(g_mutex);
    // Distinguishes an orderly end from TerminateProcess (exit code 0).
    return 7;
}
