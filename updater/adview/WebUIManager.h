#pragma once
// A small host for the system's web browser control: a child window in which the control runs
// in place, navigation with posted form data, and the two notifications the completion page
// needs (before-navigate and document-complete), passed to a callback.
#include <windows.h>
#include <exdisp.h>
#include <ocidl.h>
#include <oleidl.h>

#include <string>

// The document a document-complete notification is about; its text is read only when asked for.
class WebUIDocument {
public:
    virtual ~WebUIDocument() = default;
    // The document's source text; empty when there is none.
    virtual std::string Source() const = 0;
};

class WebUICallback {
public:
    virtual ~WebUICallback() = default;
    virtual void OnBeforeNavigate(const std::string& url, int flags, const std::string& target_frame,
                                  const std::string& post_data, const std::string& headers,
                                  bool* cancel) = 0;
    virtual void OnDocumentComplete(const std::string& url, const WebUIDocument& document) = 0;
};

class WebUIManager : public IOleClientSite, public IOleInPlaceSite, public IDispatch {
public:
    WebUIManager();
    ~WebUIManager();
    WebUIManager(const WebUIManager&) = delete;
    WebUIManager& operator=(const WebUIManager&) = delete;

    // Creates the hidden host window (a child of parent with that control id and rectangle)
    // and the browser control in it. False when either cannot be made; the page then works
    // without its view.
    bool Create(HWND parent, int id, const RECT& rect);
    void Destroy();
    HWND hwnd() const { return window_; }
    bool has_browser() const { return browser_ != nullptr; }

    // Navigates with the flags, the header and the form data as the request body.
    bool Navigate(const std::string& url, const std::string& post_data, const std::string& headers,
                  long flags);
    // The current document's source text; empty when there is none.
    std::string DocumentSource() const;

    // The advertisement server's address: top-level navigations to its host stay in the view,
    // other web addresses open in the user's browser, anything else is refused. Until it is set
    // no top-level web address stays.
    void set_home_address(const std::string& address) { home_address_ = address; }

    void set_callback(WebUICallback* callback) { callback_ = callback; }
    WebUICallback* callback() const { return callback_; }

    // IUnknown. The object lives as long as its owner; the counts only satisfy the control.
    STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
    STDMETHODIMP_(ULONG) AddRef() override { return 1; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }

    // IOleClientSite
    STDMETHODIMP SaveObject() override { return E_NOTIMPL; }
    STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker**) override { return E_NOTIMPL; }
    STDMETHODIMP GetContainer(IOleContainer** container) override;
    STDMETHODIMP ShowObject() override { return S_OK; }
    STDMETHODIMP OnShowWindow(BOOL) override { return S_OK; }
    STDMETHODIMP RequestNewObjectLayout() override { return E_NOTIMPL; }

    // IOleWindow / IOleInPlaceSite
    STDMETHODIMP GetWindow(HWND* window) override;
    STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP CanInPlaceActivate() override { return S_OK; }
    STDMETHODIMP OnInPlaceActivate() override { return S_OK; }
    STDMETHODIMP OnUIActivate() override { return S_OK; }
    STDMETHODIMP GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document,
                                  LPRECT position, LPRECT clip,
                                  LPOLEINPLACEFRAMEINFO info) override;
    STDMETHODIMP Scroll(SIZE) override { return E_NOTIMPL; }
    STDMETHODIMP OnUIDeactivate(BOOL) override { return S_OK; }
    STDMETHODIMP OnInPlaceDeactivate() override { return S_OK; }
    STDMETHODIMP DiscardUndoState() override { return E_NOTIMPL; }
    STDMETHODIMP DeactivateAndUndo() override { return E_NOTIMPL; }
    STDMETHODIMP OnPosRectChange(LPCRECT rect) override;

    // IDispatch: the browser's events.
    STDMETHODIMP GetTypeInfoCount(UINT* count) override;
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* parameters, VARIANT*,
                        EXCEPINFO*, UINT*) override;

    // The download control the view asks its site for: pictures, sound and video, but no
    // ActiveX controls (neither downloaded nor run), no Java, no behaviours, no dialogs.
    static long DownloadControlFlags();

private:
    // Applies the navigation rules; true when the navigation must not happen in the view.
    bool RefuseNavigation(const std::string& url, bool top_level);
    bool IsTopLevel(const VARIANT* dispatch_argument) const;
    static LRESULT CALLBACK WindowProc(HWND window, UINT msg, WPARAM wparam, LPARAM lparam);
    void Resize();

    class Frame;
    Frame* frame_;
    HWND window_ = nullptr;
    IOleObject* object_ = nullptr;
    IWebBrowser2* browser_ = nullptr;
    IConnectionPoint* events_ = nullptr;
    DWORD events_cookie_ = 0;
    WebUICallback* callback_ = nullptr;
    std::string home_address_;
};
