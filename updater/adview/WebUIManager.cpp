#include "updater/adview/WebUIManager.h"

#include <exdispid.h>
#include <mshtmdid.h>
#include <oleauto.h>

#include <vector>

#include "updater/adview/AdNavigation.h"
#include "updater/platform/Launch.h"
#include "updater/platform/LateImports.h"

namespace {

const char kHostClass[] = "NorvaneWebView";
// Far above any advertisement page; a larger document is not read.
constexpr ULONG kMaxSourceBytes = 4 * 1024 * 1024;

}  // namespace

// The frame the control asks for while it activates in place; it has nothing to offer.
class WebUIManager::Frame : public IOleInPlaceFrame {
public:
    explicit Frame(HWND* window) : window_(window) {}
    virtual ~Frame() = default;
    STDMETHODIMP QueryInterface(REFIID iid, void** object) override {
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IOleWindow) ||
            IsEqualIID(iid, IID_IOleInPlaceUIWindow) || IsEqualIID(iid, IID_IOleInPlaceFrame)) {
            *object = static_cast<IOleInPlaceFrame*>(this);
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 1; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP GetWindow(HWND* window) override {
        *window = *window_ ? GetAncestor(*window_, GA_ROOT) : nullptr;
        return S_OK;
    }
    STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP GetBorder(LPRECT) override { return E_NOTIMPL; }
    STDMETHODIMP RequestBorderSpace(LPCBORDERWIDTHS) override { return E_NOTIMPL; }
    STDMETHODIMP SetBorderSpace(LPCBORDERWIDTHS) override { return E_NOTIMPL; }
    STDMETHODIMP SetActiveObject(IOleInPlaceActiveObject*, LPCOLESTR) override { return S_OK; }
    STDMETHODIMP InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) override { return E_NOTIMPL; }
    STDMETHODIMP SetMenu(HMENU, HOLEMENU, HWND) override { return S_OK; }
    STDMETHODIMP RemoveMenus(HMENU) override { return E_NOTIMPL; }
    STDMETHODIMP SetStatusText(LPCOLESTR) override { return S_OK; }
    STDMETHODIMP EnableModeless(BOOL) override { return S_OK; }
    STDMETHODIMP TranslateAccelerator(LPMSG, WORD) override { return S_FALSE; }

private:
    HWND* window_;
};

namespace {

std::string Narrow(const wchar_t* text, int length = -1) {
    if (!text) return "";
    const int size = WideCharToMultiByte(CP_ACP, 0, text, length, nullptr, 0, nullptr, nullptr);
    if (size <= 0) return "";
    std::string result(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, 0, text, length, &result[0], size, nullptr, nullptr);
    if (length < 0 && !result.empty()) result.pop_back();  // the terminator
    return result;
}

// The value behind an event argument, which the control passes by reference.
const VARIANT* Deref(const VARIANT* value) {
    while (value && value->vt == (VT_BYREF | VT_VARIANT)) value = value->pvarVal;
    return value;
}

std::string TextOf(const VARIANT* argument) {
    const VARIANT* value = Deref(argument);
    if (!value) return "";
    if (value->vt == VT_BSTR) return Narrow(value->bstrVal);
    if (value->vt == (VT_BYREF | VT_BSTR) && value->pbstrVal) return Narrow(*value->pbstrVal);
    return "";
}

// The view's current document, as the completion notification hands it on.
class ViewDocument : public WebUIDocument {
public:
    explicit ViewDocument(const WebUIManager& view) : view_(view) {}
    std::string Source() const override { return view_.DocumentSource(); }

private:
    const WebUIManager& view_;
};

int NumberOf(const VARIANT* argument) {
    const VARIANT* value = Deref(argument);
    if (!value) return 0;
    if (value->vt == VT_I4) return value->lVal;
    if (value->vt == (VT_BYREF | VT_I4) && value->plVal) return *value->plVal;
    return 0;
}

std::string BytesOf(const VARIANT* argument) {
    const VARIANT* value = Deref(argument);
    if (!value || !(value->vt & VT_ARRAY)) return "";
    SAFEARRAY* array = (value->vt & VT_BYREF) ? (value->pparray ? *value->pparray : nullptr)
                                               : value->parray;
    if (!array) return "";
    LONG low = 0, high = -1;
    late::SafeArrayGetLBound(array, 1, &low);
    late::SafeArrayGetUBound(array, 1, &high);
    void* data = nullptr;
    if (high < low || FAILED(late::SafeArrayAccessData(array, &data))) return "";
    std::string bytes(static_cast<const char*>(data), static_cast<size_t>(high - low + 1));
    late::SafeArrayUnaccessData(array);
    return bytes;
}

}  // namespace

WebUIManager::WebUIManager() : frame_(new Frame(&window_)) {}

WebUIManager::~WebUIManager() {
    Destroy();
    delete frame_;
}

LRESULT CALLBACK WebUIManager::WindowProc(HWND window, UINT msg, WPARAM wparam, LPARAM lparam) {
    auto* self = reinterpret_cast<WebUIManager*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (msg == WM_NCCREATE) {
        self = static_cast<WebUIManager*>(reinterpret_cast<CREATESTRUCTA*>(lparam)->lpCreateParams);
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    } else if (msg == WM_SIZE && self) {
        self->Resize();
    } else if (msg == WM_NCDESTROY) {
        SetWindowLongPtrA(window, GWLP_USERDATA, 0);
        if (self) self->window_ = nullptr;
    }
    return DefWindowProcA(window, msg, wparam, lparam);
}

bool WebUIManager::Create(HWND parent, int id, const RECT& rect) {
    if (window_) return browser_ != nullptr;
    HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSA window_class = {};
    if (!GetClassInfoA(instance, kHostClass, &window_class)) {
        window_class.lpfnWndProc = &WebUIManager::WindowProc;
        window_class.hInstance = instance;
        window_class.lpszClassName = kHostClass;
        window_class.hCursor = LoadCursor(nullptr, IDC_ARROW);
        if (!RegisterClassA(&window_class)) return false;
    }
    window_ = CreateWindowExA(0, kHostClass, "", WS_CHILD | WS_CLIPCHILDREN, rect.left, rect.top,
                              rect.right - rect.left, rect.bottom - rect.top, parent,
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, this);
    if (!window_) return false;

    if (FAILED(CoCreateInstance(CLSID_WebBrowser, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject,
                                reinterpret_cast<void**>(&object_)))) {
        object_ = nullptr;
        return false;
    }
    RECT client;
    GetClientRect(window_, &client);
    if (FAILED(object_->SetClientSite(static_cast<IOleClientSite*>(this))) ||
        FAILED(object_->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr,
                               static_cast<IOleClientSite*>(this), 0, window_, &client)) ||
        FAILED(object_->QueryInterface(IID_IWebBrowser2, reinterpret_cast<void**>(&browser_)))) {
        browser_ = nullptr;
        Destroy();
        return false;
    }
    // The control reads its download control from the site; it is told to read it now, before
    // the first document, in case it read it while the site was being set.
    IOleControl* control = nullptr;
    if (SUCCEEDED(object_->QueryInterface(IID_IOleControl, reinterpret_cast<void**>(&control)))) {
        control->OnAmbientPropertyChange(DISPID_AMBIENT_DLCONTROL);
        control->Release();
    }
    IConnectionPointContainer* container = nullptr;
    if (SUCCEEDED(browser_->QueryInterface(IID_IConnectionPointContainer,
                                           reinterpret_cast<void**>(&container)))) {
        if (SUCCEEDED(container->FindConnectionPoint(DIID_DWebBrowserEvents2, &events_)) &&
            FAILED(events_->Advise(static_cast<IDispatch*>(this), &events_cookie_))) {
            events_->Release();
            events_ = nullptr;
        }
        container->Release();
    }
    return true;
}

void WebUIManager::Destroy() {
    // No notification may reach a page that is going away.
    callback_ = nullptr;
    if (events_) {
        events_->Unadvise(events_cookie_);
        events_->Release();
        events_ = nullptr;
    }
    if (browser_) {
        browser_->Stop();
        browser_->Release();
        browser_ = nullptr;
    }
    if (object_) {
        object_->Close(OLECLOSE_NOSAVE);
        object_->SetClientSite(nullptr);
        object_->Release();
        object_ = nullptr;
    }
    if (window_) DestroyWindow(window_);
    window_ = nullptr;
}

void WebUIManager::Resize() {
    if (!browser_ || !window_) return;
    RECT client;
    GetClientRect(window_, &client);
    IOleInPlaceObject* in_place = nullptr;
    if (SUCCEEDED(browser_->QueryInterface(IID_IOleInPlaceObject,
                                           reinterpret_cast<void**>(&in_place)))) {
        in_place->SetObjectRects(&client, &client);
        in_place->Release();
    }
}

bool WebUIManager::Navigate(const std::string& url, const std::string& post_data,
                            const std::string& headers, long flags) {
    if (!browser_) return false;
    std::vector<wchar_t> wide_url(url.size() + 1);
    MultiByteToWideChar(CP_ACP, 0, url.c_str(), -1, wide_url.data(), static_cast<int>(wide_url.size()));
    std::vector<wchar_t> wide_headers(headers.size() + 1);
    MultiByteToWideChar(CP_ACP, 0, headers.c_str(), -1, wide_headers.data(),
                        static_cast<int>(wide_headers.size()));

    BSTR address = late::SysAllocString(wide_url.data());
    VARIANT flag_value, target, body, header_value;
    late::VariantInit(&flag_value);
    late::VariantInit(&target);
    late::VariantInit(&body);
    late::VariantInit(&header_value);
    flag_value.vt = VT_I4;
    flag_value.lVal = flags;
    // The form data travels as the bytes of the text, without a terminating NUL.
    SAFEARRAY* bytes = late::SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(post_data.size()));
    if (bytes) {
        void* data = nullptr;
        if (SUCCEEDED(late::SafeArrayAccessData(bytes, &data))) {
            if (!post_data.empty()) memcpy(data, post_data.data(), post_data.size());
            late::SafeArrayUnaccessData(bytes);
        }
        body.vt = VT_ARRAY | VT_UI1;
        body.parray = bytes;
    }
    header_value.vt = VT_BSTR;
    header_value.bstrVal = late::SysAllocString(wide_headers.data());
    const HRESULT result = address ? browser_->Navigate(address, &flag_value, &target, &body,
                                                        &header_value)
                                   : E_OUTOFMEMORY;
    late::VariantClear(&body);
    late::VariantClear(&header_value);
    late::SysFreeString(address);
    return SUCCEEDED(result);
}

std::string WebUIManager::DocumentSource() const {
    if (!browser_) return "";
    IDispatch* document = nullptr;
    if (FAILED(browser_->get_Document(&document)) || !document) return "";
    std::string source;
    IPersistStreamInit* persist = nullptr;
    IStream* stream = nullptr;
    if (SUCCEEDED(document->QueryInterface(IID_IPersistStreamInit,
                                           reinterpret_cast<void**>(&persist))) &&
        SUCCEEDED(CreateStreamOnHGlobal(nullptr, TRUE, &stream)) &&
        SUCCEEDED(persist->Save(stream, FALSE))) {
        STATSTG stat = {};
        if (SUCCEEDED(stream->Stat(&stat, STATFLAG_NONAME)) && stat.cbSize.HighPart == 0 &&
            stat.cbSize.LowPart <= kMaxSourceBytes) {
            LARGE_INTEGER start = {};
            stream->Seek(start, STREAM_SEEK_SET, nullptr);
            std::string bytes(stat.cbSize.LowPart, '\0');
            ULONG read = 0;
            if (!bytes.empty() && SUCCEEDED(stream->Read(&bytes[0], stat.cbSize.LowPart, &read))) {
                bytes.resize(read);
                // A document saved as UTF-16 says so with its byte-order mark.
                if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
                    static_cast<unsigned char>(bytes[1]) == 0xFE) {
                    source = Narrow(reinterpret_cast<const wchar_t*>(bytes.data() + 2),
                                    static_cast<int>((bytes.size() - 2) / 2));
                } else {
                    source = bytes;
                }
            }
        }
    }
    if (stream) stream->Release();
    if (persist) persist->Release();
    document->Release();
    return source;
}

STDMETHODIMP WebUIManager::QueryInterface(REFIID iid, void** object) {
    if (!object) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IOleClientSite)) {
        *object = static_cast<IOleClientSite*>(this);
    } else if (IsEqualIID(iid, IID_IOleWindow) || IsEqualIID(iid, IID_IOleInPlaceSite)) {
        *object = static_cast<IOleInPlaceSite*>(this);
    } else if (IsEqualIID(iid, IID_IDispatch) || IsEqualIID(iid, DIID_DWebBrowserEvents2)) {
        *object = static_cast<IDispatch*>(this);
    } else {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    return S_OK;
}

STDMETHODIMP WebUIManager::GetContainer(IOleContainer** container) {
    *container = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP WebUIManager::GetWindow(HWND* window) {
    *window = window_;
    return window_ ? S_OK : E_FAIL;
}

STDMETHODIMP WebUIManager::GetWindowContext(IOleInPlaceFrame** frame,
                                            IOleInPlaceUIWindow** document, LPRECT position,
                                            LPRECT clip, LPOLEINPLACEFRAMEINFO info) {
    *frame = frame_;
    *document = nullptr;
    GetClientRect(window_, position);
    GetClientRect(window_, clip);
    if (info) {
        info->fMDIApp = FALSE;
        info->hwndFrame = window_ ? GetAncestor(window_, GA_ROOT) : nullptr;
        info->haccel = nullptr;
        info->cAccelEntries = 0;
    }
    return S_OK;
}

STDMETHODIMP WebUIManager::OnPosRectChange(LPCRECT rect) {
    IOleInPlaceObject* in_place = nullptr;
    if (browser_ && rect &&
        SUCCEEDED(browser_->QueryInterface(IID_IOleInPlaceObject,
                                           reinterpret_cast<void**>(&in_place)))) {
        in_place->SetObjectRects(rect, rect);
        in_place->Release();
    }
    return S_OK;
}

STDMETHODIMP WebUIManager::GetTypeInfoCount(UINT* count) {
    if (count) *count = 0;
    return S_OK;
}

namespace {

void SetCancel(VARIANT* argument) {
    if (argument && argument->vt == (VT_BYREF | VT_BOOL) && argument->pboolVal) {
        *argument->pboolVal = VARIANT_TRUE;
    }
}

bool BoolOf(const VARIANT* argument) {
    const VARIANT* value = Deref(argument);
    if (!value) return false;
    if (value->vt == VT_BOOL) return value->boolVal != VARIANT_FALSE;
    if (value->vt == (VT_BYREF | VT_BOOL) && value->pboolVal) return *value->pboolVal != VARIANT_FALSE;
    return false;
}

}  // namespace

long WebUIManager::DownloadControlFlags() {
    return DLCTL_DLIMAGES | DLCTL_VIDEOS | DLCTL_BGSOUNDS | DLCTL_NO_JAVA |
           DLCTL_NO_RUNACTIVEXCTLS | DLCTL_NO_DLACTIVEXCTLS | DLCTL_NO_BEHAVIORS | DLCTL_SILENT;
}

bool WebUIManager::IsTopLevel(const VARIANT* dispatch_argument) const {
    const VARIANT* value = Deref(dispatch_argument);
    if (!browser_ || !value || value->vt != VT_DISPATCH || !value->pdispVal) return true;
    // The same object answers for IUnknown whichever interface it was reached through.
    IUnknown* own = nullptr;
    IUnknown* other = nullptr;
    browser_->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&own));
    value->pdispVal->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&other));
    const bool same = own && own == other;
    if (own) own->Release();
    if (other) other->Release();
    return same;
}

bool WebUIManager::RefuseNavigation(const std::string& url, bool top_level) {
    switch (DecideAdNavigation(url, home_address_, top_level)) {
    case AdNavigation::kShow:
        return false;
    case AdNavigation::kOpenOutside:
        OpenWebPageForUser(url);
        return true;
    case AdNavigation::kRefuse:
    default:
        return true;
    }
}

STDMETHODIMP WebUIManager::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* parameters,
                                  VARIANT* result, EXCEPINFO*, UINT*) {
    if (id == DISPID_AMBIENT_DLCONTROL) {
        // Asked by the control of its site, before any document loads.
        if (!result) return E_POINTER;
        late::VariantInit(result);
        result->vt = VT_I4;
        result->lVal = DownloadControlFlags();
        return S_OK;
    }
    if (!parameters) return S_OK;
    VARIANT* arguments = parameters->rgvarg;  // in reverse order
    // A failing page must not take the control's event with it.
    try {
        if (id == DISPID_BEFORENAVIGATE2 && parameters->cArgs >= 7) {
            const std::string url = TextOf(&arguments[5]);
            if (RefuseNavigation(url, IsTopLevel(&arguments[6]))) {
                SetCancel(&arguments[0]);
                return S_OK;
            }
            if (!callback_) return S_OK;
            bool cancel = false;
            callback_->OnBeforeNavigate(url, NumberOf(&arguments[4]), TextOf(&arguments[3]),
                                        BytesOf(&arguments[2]), TextOf(&arguments[1]), &cancel);
            if (cancel) SetCancel(&arguments[0]);
        } else if (id == DISPID_NEWWINDOW3 && parameters->cArgs >= 5) {
            // No window of the control's own: a web address goes to the user's browser.
            SetCancel(&arguments[3]);
            const std::string url = TextOf(&arguments[0]);
            OpenWebPageForUser(url);
        } else if (id == DISPID_NEWWINDOW2 && parameters->cArgs >= 2) {
            // Older controls name no address: the window is simply not opened.
            SetCancel(&arguments[0]);
        } else if (id == DISPID_FILEDOWNLOAD && parameters->cArgs >= 2) {
            // Documents shown in the view load; nothing is saved or run as a file.
            if (!BoolOf(&arguments[1])) SetCancel(&arguments[0]);
        } else if (id == DISPID_DOCUMENTCOMPLETE && parameters->cArgs >= 2 && callback_) {
            callback_->OnDocumentComplete(TextOf(&arguments[0]), ViewDocument(*this));
        }
    } catch (...) {
    }
    return S_OK;
}
