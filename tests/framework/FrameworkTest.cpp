// An exception must never leave a window procedure, the application's run or a worker thread:
// crossing the system's frames it ends the process (under Wine it hangs in the crash handler).
// At each boundary the framework ends what cannot go on and the program carries on.
#include <gtest/gtest.h>

#include <windows.h>

#include <new>
#include <stdexcept>
#include <string>

#include "tests/framework/FrameworkTestIds.h"
#include "updater/framework/Control.h"
#include "updater/framework/Dialog.h"
#include "updater/framework/Thread.h"
#include "updater/framework/WinApp.h"

namespace {

constexpr UINT kMsgThrow = WM_APP + 1;

// The test program's own dialog template, not the language module's.
class FrameworkDialogs : public ::testing::Test {
protected:
    void SetUp() override { framework::SetResourceHandle(GetModuleHandleA(nullptr)); }
    void TearDown() override { framework::SetResourceHandle(nullptr); }
};

class ThrowsAtInit : public CDialog {
public:
    ThrowsAtInit() : CDialog(IDD_FRAMEWORK_TEST) {}

protected:
    bool OnInitDialog() override { throw std::bad_alloc(); }
};

// Throws from a posted message once the dialog runs; a timer ends it normally should the
// message never arrive.
class ThrowsOnMessage : public CDialog {
public:
    ThrowsOnMessage() : CDialog(IDD_FRAMEWORK_TEST) {}
    int handled_after_throw = 0;

protected:
    bool OnInitDialog() override {
        PostMessageA(hwnd(), kMsgThrow, 0, 0);
        SetTimer(hwnd(), 1, 10000, nullptr);
        return true;
    }
    bool OnMessage(UINT msg, WPARAM wparam, LPARAM lparam, LRESULT& result) override {
        if (msg == kMsgThrow) throw std::runtime_error("handler failed");
        if (msg == WM_TIMER) {
            EndDialog(IDOK);
            return true;
        }
        return CDialog::OnMessage(msg, wparam, lparam, result);
    }
};

TEST_F(FrameworkDialogs, ThrowingInitEndsTheModalDialogWithCancel) {
    ThrowsAtInit dialog;
    EXPECT_EQ(dialog.DoModal(nullptr), IDCANCEL);
}

TEST_F(FrameworkDialogs, ThrowingHandlerEndsTheModalDialogWithCancel) {
    ThrowsOnMessage dialog;
    EXPECT_EQ(dialog.DoModal(nullptr), IDCANCEL);
}

TEST_F(FrameworkDialogs, ThrowingHandlerEndsAModelessPage) {
    ThrowsOnMessage page;
    ASSERT_TRUE(page.Create(nullptr));
    HWND window = page.hwnd();
    ASSERT_NE(window, nullptr);
    SendMessageA(window, kMsgThrow, 0, 0);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(page.hwnd(), nullptr);
}

// A custom control whose own handling fails leaves that message to the control's default
// handling; the dialog around it goes on.
class ThrowingButton : public CControl {
protected:
    LRESULT OnMessage(UINT msg, WPARAM wparam, LPARAM lparam) override {
        if (msg == WM_SETTEXT) throw std::bad_alloc();
        return CControl::OnMessage(msg, wparam, lparam);
    }
};

class HostsThrowingButton : public CDialog {
public:
    HostsThrowingButton() : CDialog(IDD_FRAMEWORK_TEST) {}
    ThrowingButton button;
};

TEST_F(FrameworkDialogs, ThrowingControlFallsBackToDefaultHandling) {
    HostsThrowingButton dialog;
    ASSERT_TRUE(dialog.Create(nullptr));
    ASSERT_TRUE(dialog.button.SubclassDlgItem(IDC_FRAMEWORK_BUTTON, dialog.hwnd()));
    HWND button = dialog.Item(IDC_FRAMEWORK_BUTTON);
    EXPECT_TRUE(SetWindowTextA(button, "Renamed"));
    char text[32] = {};
    GetWindowTextA(button, text, sizeof(text));
    EXPECT_STREQ(text, "Renamed");
    EXPECT_TRUE(IsWindow(dialog.hwnd()));
    dialog.DestroyWindow();
}

class ThrowingApp : public CWinApp {
public:
    bool exit_ran = false;
    BOOL InitInstance() override { throw std::bad_alloc(); }
    int ExitInstance() override {
        exit_ran = true;
        return 7;
    }
};

TEST(FrameworkApplication, ThrowingStartStillEndsThroughExitInstance) {
    ThrowingApp app;
    EXPECT_EQ(framework::RunApplication(app), 7);
    EXPECT_TRUE(app.exit_ran);
}

DWORD ReturnsFive(void*) { return 5; }
DWORD Throws(void* flag) {
    *static_cast<LONG*>(flag) = 1;
    throw std::bad_alloc();
}

TEST(FrameworkThread, ThrowingBodyEndsOnlyItsThread) {
    LONG ran = 0;
    HANDLE thread = framework::StartThread(&Throws, &ran);
    ASSERT_NE(thread, nullptr);
    ASSERT_EQ(WaitForSingleObject(thread, 20000), WAIT_OBJECT_0);
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeThread(thread, &code));
    EXPECT_EQ(code, framework::kThreadFailed);
    EXPECT_EQ(ran, 1);
    CloseHandle(thread);

    DWORD id = 0;
    thread = framework::StartThread(&ReturnsFive, nullptr, &id);
    ASSERT_NE(thread, nullptr);
    EXPECT_NE(id, 0u);
    ASSERT_EQ(WaitForSingleObject(thread, 20000), WAIT_OBJECT_0);
    EXPECT_TRUE(GetExitCodeThread(thread, &code));
    EXPECT_EQ(code, 5u);
    CloseHandle(thread);
}

}  // namespace
