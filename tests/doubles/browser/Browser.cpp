// Stand-in for Internet Explorer, built as "iexplore.exe": an "IEFrame" window whose tabs are
// "TabWindowClass" windows, each inside a "Frame Tab" window (the layout from version 8 on), or
// directly under the frame with --ie7. Once its windows exist it writes its start record,
// "pid=<process id>\r\ncmd=<command line>", to "<own path>.cmdline.txt" (written under another
// name and renamed, so the file appears complete), and it appends "frame <message>" /
// "tab <message>" lines to the record file for WM_CLOSE.
//
//   iexplore.exe [--tabs N] [--ie7] [--record FILE] [--ignore] [anything else is ignored]
//
// A closed tab goes away; the frame goes with its last tab or on its own WM_CLOSE.
#include <windows.h>
#include <shellapi.h>

#include <string>

namespace {

std::wstring g_record;
bool g_ignore = false;
int g_open_tabs = 0;
HWND g_frame = nullptr;

void AppendLine(const std::wstring& file_name, const std::string& line) {
    if (file_name.empty()) return;
    HANDLE file =
        CreateFileW(file_name.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    CloseHandle(file);
}

LRESULT CALLBACK FrameProc(HWND window, UINT message, WPARAM wp, LPARAM lp) {
    if (message == WM_CLOSE) {
        AppendLine(g_record, "frame close\r\n");
        if (!g_ignore) DestroyWindow(window);
        return 0;
    }
    if (message == WM_DESTROY) PostQuitMessage(0);
    return DefWindowProcW(window, message, wp, lp);
}

LRESULT CALLBACK TabProc(HWND window, UINT message, WPARAM wp, LPARAM lp) {
    if (message == WM_CLOSE) {
        AppendLine(g_record, "tab close\r\n");
        if (g_ignore) return 0;
        HWND parent = GetParent(window);
        DestroyWindow(parent == g_frame ? window : parent);
        if (--g_open_tabs <= 0) DestroyWindow(g_frame);
        return 0;
    }
    return DefWindowProcW(window, message, wp, lp);
}

void Register(const wchar_t* name, WNDPROC proc) {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = name;
    RegisterClassW(&wc);
}

HWND Child(const wchar_t* cls, HWND parent) {
    return CreateWindowExW(0, cls, L"", WS_CHILD | WS_VISIBLE, 0, 0, 50, 50, parent, nullptr,
                           GetModuleHandleW(nullptr), nullptr);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    wchar_t own[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, own, MAX_PATH);
    const std::wstring command_line = GetCommandLineW();
    const int bytes =
        WideCharToMultiByte(CP_UTF8, 0, command_line.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string utf8(bytes > 0 ? bytes - 1 : 0, '\0');
    if (bytes > 1) {
        WideCharToMultiByte(CP_UTF8, 0, command_line.c_str(), -1, &utf8[0], bytes, nullptr,
                            nullptr);
    }
    const std::wstring cmdline_file = std::wstring(own) + L".cmdline.txt";
    DeleteFileW(cmdline_file.c_str());

    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    int tabs = 1;
    bool ie7 = false;
    for (int i = 1; argv && i < argc; ++i) {
        const std::wstring arg = argv[i];
        if (arg == L"--tabs" && i + 1 < argc)
            tabs = _wtoi(argv[++i]);
        else if (arg == L"--record" && i + 1 < argc)
            g_record = argv[++i];
        else if (arg == L"--ie7")
            ie7 = true;
        else if (arg == L"--ignore")
            g_ignore = true;
    }
    if (argv) LocalFree(argv);

    Register(L"IEFrame", &FrameProc);
    Register(L"Frame Tab", &DefWindowProcW);
    Register(L"TabWindowClass", &TabProc);
    g_frame = CreateWindowExW(0, L"IEFrame", L"Browser double", WS_OVERLAPPEDWINDOW, 20, 20, 300,
                              200, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!g_frame) return 3;
    for (int i = 0; i < tabs; ++i) {
        Child(L"TabWindowClass", ie7 ? g_frame : Child(L"Frame Tab", g_frame));
        ++g_open_tabs;
    }
    ShowWindow(g_frame, SW_SHOWNOACTIVATE);

    // The record says "ready": whoever reads it finds the frame and its tabs already there.
    const std::wstring partial = cmdline_file + L".partial";
    DeleteFileW(partial.c_str());
    AppendLine(partial, "pid=" + std::to_string(GetCurrentProcessId()) + "\r\ncmd=" + utf8);
    MoveFileExW(partial.c_str(), cmdline_file.c_str(), MOVEFILE_REPLACE_EXISTING);

    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    // Distinguishes an orderly end from TerminateProcess (exit code 0).
    return 7;
}
