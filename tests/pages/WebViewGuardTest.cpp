// What the advertisement view's host answers the browser control: the download control it asks
// its site for, and the events through which a page would leave the view, open windows or save
// files. Wine's control never loads a document, so the events are sent as the control sends them.
#include <gtest/gtest.h>

#include <exdispid.h>
#include <mshtmdid.h>

#include <string>
#include <vector>

#include "updater/adview/WebUIManager.h"

namespace {

class RecordingCallback : public WebUICallback {
public:
    void OnBeforeNavigate(const std::string& url, int, const std::string&, const std::string&,
                          const std::string&, bool*) override {
        navigations.push_back(url);
    }
    void OnDocumentComplete(const std::string& url, const WebUIDocument& document) override {
        completed.push_back(url);
        sources.push_back(document.Source());
    }
    std::vector<std::string> navigations;
    std::vector<std::string> completed;
    std::vector<std::string> sources;
};

VARIANT Empty() {
    VARIANT value;
    VariantInit(&value);
    return value;
}

// Texts for event arguments, freed at the end of the test.
class Texts {
public:
    ~Texts() {
        for (BSTR text : texts_) SysFreeString(text);
    }
    VARIANT Text(const wchar_t* text) {
        VARIANT value = Empty();
        value.vt = VT_BSTR;
        value.bstrVal = SysAllocString(text);
        texts_.push_back(value.bstrVal);
        return value;
    }

private:
    std::vector<BSTR> texts_;
};

// One event's arguments, last first as the control passes them, with the cancel flag by
// reference at `cancel_at`.
class Event {
public:
    Event(std::vector<VARIANT> arguments, size_t cancel_at) : arguments_(std::move(arguments)) {
        arguments_[cancel_at].vt = VT_BYREF | VT_BOOL;
        arguments_[cancel_at].pboolVal = &cancel_;
        parameters_.rgvarg = arguments_.data();
        parameters_.cArgs = static_cast<UINT>(arguments_.size());
    }
    // True when the host cancelled the event.
    bool Send(WebUIManager& view, DISPID id) {
        cancel_ = VARIANT_FALSE;
        view.Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &parameters_, nullptr, nullptr, nullptr);
        return cancel_ != VARIANT_FALSE;
    }

private:
    std::vector<VARIANT> arguments_;
    DISPPARAMS parameters_ = {};
    VARIANT_BOOL cancel_ = VARIANT_FALSE;
};

TEST(WebViewGuard, TheViewRunsNoControlsNoJavaAndNoBehaviours) {
    WebUIManager view;
    VARIANT result;
    VariantInit(&result);
    DISPPARAMS none = {};
    ASSERT_EQ(view.Invoke(DISPID_AMBIENT_DLCONTROL, IID_NULL, 0, DISPATCH_PROPERTYGET, &none,
                          &result, nullptr, nullptr),
              S_OK);
    ASSERT_EQ(result.vt, VT_I4);
    const long required = DLCTL_NO_RUNACTIVEXCTLS | DLCTL_NO_DLACTIVEXCTLS | DLCTL_NO_JAVA |
                          DLCTL_NO_BEHAVIORS | DLCTL_SILENT;
    EXPECT_EQ(result.lVal & required, required) << std::hex << result.lVal;
    // Pictures still load: the advertisement is mostly pictures.
    EXPECT_NE(result.lVal & DLCTL_DLIMAGES, 0);
}

// BeforeNavigate2(pDisp, URL, Flags, TargetFrameName, PostData, Headers, Cancel).
TEST(WebViewGuard, NavigationsAwayFromTheWebAreCancelledBeforeThePageHearsOfThem) {
    WebUIManager view;
    RecordingCallback page;
    view.set_callback(&page);
    view.set_home_address("http://ad.example/show/dravel_end_addin.aspx");
    const struct {
        const wchar_t* url;
        bool cancelled;
    } cases[] = {
        {L"http://ad.example/show/dravel_end_normal.aspx", false},
        {L"file:///C:/Windows/system32/cmd.exe", true},
        {L"\\\\server\\share\\setup.exe", true},
        {L"javascript:window.open('x')", true},
        {L"mk:@MSITStore:C:\\x.chm::/a.htm", true},
    };
    Texts texts;
    for (const auto& c : cases) {
        // The address sits sixth from the end.
        Event navigate({Empty(), Empty(), Empty(), Empty(), Empty(), texts.Text(c.url), Empty()}, 0);
        EXPECT_EQ(navigate.Send(view, DISPID_BEFORENAVIGATE2), c.cancelled);
    }
    ASSERT_EQ(page.navigations.size(), 1u);
    EXPECT_EQ(page.navigations[0], "http://ad.example/show/dravel_end_normal.aspx");
}

// NewWindow2(ppDisp, Cancel); NewWindow3(ppDisp, Cancel, dwFlags, bstrUrlContext, bstrUrl);
// FileDownload(ActiveDocument, Cancel).
TEST(WebViewGuard, NoWindowOfItsOwnAndNoFileDownloads) {
    WebUIManager view;
    view.set_home_address("http://ad.example/show/dravel_end_addin.aspx");
    Event new_window2({Empty(), Empty()}, 0);
    EXPECT_TRUE(new_window2.Send(view, DISPID_NEWWINDOW2));

    Texts texts;
    // Not a web address: cancelled and opened nowhere.
    Event new_window3({texts.Text(L"javascript:void(0)"), Empty(), Empty(), Empty(), Empty()}, 3);
    EXPECT_TRUE(new_window3.Send(view, DISPID_NEWWINDOW3));

    VARIANT document = Empty();
    document.vt = VT_BOOL;
    document.boolVal = VARIANT_FALSE;
    Event file({Empty(), document}, 0);
    EXPECT_TRUE(file.Send(view, DISPID_FILEDOWNLOAD));
    // A document on its way into the view is no file download.
    VARIANT shown = document;
    shown.boolVal = VARIANT_TRUE;
    Event page({Empty(), shown}, 0);
    EXPECT_FALSE(page.Send(view, DISPID_FILEDOWNLOAD));
}

// DocumentComplete(pDisp, URL): the page hears of it with the address and a document it can
// read; a view without a browser has no text to give.
TEST(WebViewGuard, ACompletedDocumentReachesThePageWithItsAddress) {
    WebUIManager view;
    RecordingCallback page;
    view.set_callback(&page);
    Texts texts;
    std::vector<VARIANT> arguments = {texts.Text(L"http://ad.example/show/dravel_end_normal.aspx"),
                                      Empty()};
    DISPPARAMS parameters = {arguments.data(), nullptr, 2, 0};
    EXPECT_EQ(view.Invoke(DISPID_DOCUMENTCOMPLETE, IID_NULL, 0, DISPATCH_METHOD, &parameters,
                          nullptr, nullptr, nullptr),
              S_OK);
    ASSERT_EQ(page.completed.size(), 1u);
    EXPECT_EQ(page.completed[0], "http://ad.example/show/dravel_end_normal.aspx");
    EXPECT_EQ(page.sources[0], "");

    // Nothing reaches a page that has gone.
    view.set_callback(nullptr);
    view.Invoke(DISPID_DOCUMENTCOMPLETE, IID_NULL, 0, DISPATCH_METHOD, &parameters, nullptr,
                nullptr, nullptr);
    EXPECT_EQ(page.completed.size(), 1u);
}

}  // namespace
