#pragma once
// The small modal dialog the completion page opens to download and run the end offer. It is
// also the download's progress callback: it moves its bar, keeps itself responsive and lets the
// user stop the download with Enter or Escape.
#include <windows.h>
#include <urlmon.h>

#include <string>

#include "updater/framework/Dialog.h"

class CEndInstall;

class CEndInstallProgressDlg : public CDialog, public IBindStatusCallback {
public:
    explicit CEndInstallProgressDlg(CEndInstall* end_offer);

    // IUnknown: the count starts at 1 (the owner's reference); the last Release deletes.
    STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    // IBindStatusCallback: only OnProgress does anything.
    STDMETHODIMP OnStartBinding(DWORD, IBinding*) override { return E_NOTIMPL; }
    STDMETHODIMP GetPriority(LONG*) override { return E_NOTIMPL; }
    STDMETHODIMP OnLowResource(DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP OnProgress(ULONG progress, ULONG progress_max, ULONG status,
                            LPCWSTR text) override;
    STDMETHODIMP OnStopBinding(HRESULT, LPCWSTR) override { return E_NOTIMPL; }
    STDMETHODIMP GetBindInfo(DWORD*, BINDINFO*) override { return E_NOTIMPL; }
    STDMETHODIMP OnDataAvailable(DWORD, DWORD, FORMATETC*, STGMEDIUM*) override {
        return E_NOTIMPL;
    }
    STDMETHODIMP OnObjectAvailable(REFIID, IUnknown*) override { return E_NOTIMPL; }

    bool cancel_requested() const { return cancel_requested_ != 0; }

protected:
    bool OnInitDialog() override;
    void DoDataExchange(DataExchange& dx) override;
    bool OnMessage(UINT msg, WPARAM wparam, LPARAM lparam, LRESULT& result) override;
    void OnOK() override { cancel_requested_ = 1; }
    void OnCancel() override { cancel_requested_ = 1; }

private:
    ~CEndInstallProgressDlg() override = default;  // through Release only
    void RunOffer();

    std::string caption_text_;
    CEndInstall* end_offer_;
    int cancel_requested_ = 0;
    bool offer_started_ = false;
    LONG reference_count_ = 1;
};
