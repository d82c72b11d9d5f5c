#pragma once
// Dialog base class: one static procedure finds the C++ object from the window and hands every
// message to OnMessage with an explicit handled flag.
#include <windows.h>

#include "updater/framework/DataExchange.h"

// Notifications a parent sends back to the control they came from, so that an owner-drawn
// control draws itself. The base is the one common control containers use for reflection.
constexpr UINT kReflectBase = WM_USER + 0x1C00;
constexpr UINT kReflectedDrawItem = kReflectBase + WM_DRAWITEM;
constexpr UINT kReflectedMeasureItem = kReflectBase + WM_MEASUREITEM;

class CDialog {
public:
    explicit CDialog(UINT template_id);
    virtual ~CDialog();
    CDialog(const CDialog&) = delete;
    CDialog& operator=(const CDialog&) = delete;

    // Runs the dialog modally from the resource module; returns the EndDialog result, or -1 when
    // the template cannot be loaded.
    INT_PTR DoModal(HWND parent);
    // Creates the dialog modelessly as a child or owned window; false when creation fails.
    bool Create(HWND parent);
    void EndDialog(INT_PTR result);
    void DestroyWindow();

    HWND hwnd() const { return hwnd_; }
    HWND Item(int id) const { return hwnd_ ? GetDlgItem(hwnd_, id) : nullptr; }
    UINT template_id() const { return template_id_; }
    bool is_modal() const { return modal_; }

    // Members to controls (save false) or controls to members (save true), through
    // DoDataExchange. False without a window.
    bool UpdateData(bool save);

protected:
    // Returns the WM_INITDIALOG result: true lets the system set the default focus. The base
    // puts the members into the controls (and attaches the bound control objects).
    virtual bool OnInitDialog();
    virtual void DoDataExchange(DataExchange&) {}
    // Returns true when the message was handled; result is then the message's result.
    virtual bool OnMessage(UINT msg, WPARAM wparam, LPARAM lparam, LRESULT& result);
    // Enter and Escape (IDOK and IDCANCEL commands) when OnMessage left them alone. A modal
    // dialog ends; a modeless one (a page) is left to its own handling.
    virtual void OnOK();
    virtual void OnCancel();
    // Code behind one of this dialog's messages threw. The default ends the dialog with IDCANCEL
    // (a modeless page is destroyed); a page whose failure rules say otherwise overrides it.
    // Called on the dialog's thread, never for WM_DESTROY or WM_NCDESTROY.
    virtual void OnException();

private:
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam);
    INT_PTR Dispatch(UINT msg, WPARAM wparam, LPARAM lparam);
    // OnException, and EndDialog(IDCANCEL) should that throw too.
    void EndAfterException(UINT msg);

    HWND hwnd_ = nullptr;
    UINT template_id_;
    bool modal_ = false;
};
