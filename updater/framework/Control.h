#pragma once
// A dialog control subclassed by a C++ object (SetWindowSubclass), so that custom controls can
// handle their own messages and the owner-draw requests their parent reflects to them.
#include <windows.h>

class CControl {
public:
    CControl();
    virtual ~CControl();
    CControl(const CControl&) = delete;
    CControl& operator=(const CControl&) = delete;

    bool Subclass(HWND control);
    bool SubclassDlgItem(int id, HWND dialog);
    void Unsubclass();
    HWND hwnd() const { return hwnd_; }

protected:
    // Every message of the control; the default passes it on unchanged. Should it throw, the
    // message gets the default handling instead.
    virtual LRESULT OnMessage(UINT msg, WPARAM wparam, LPARAM lparam);
    // Called once the control is attached.
    virtual void OnSubclassed() {}
    LRESULT Default(UINT msg, WPARAM wparam, LPARAM lparam);

private:
    static LRESULT CALLBACK SubclassProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam,
                                         UINT_PTR id, DWORD_PTR ref_data);
    HWND hwnd_ = nullptr;
};
