// The three downloaders and the traced log request against the loopback server: what lands on
// disk for good, missing, refused, empty and cut-off answers, and what the server was asked.
#include <gtest/gtest.h>
#include <urlmon.h>

#include <atomic>

#include "tests/support/DebugOutputMonitor.h"
#include "tests/support/LoopbackServer.h"
#include "tests/support/TestSupport.h"
#include "updater/platform/Download.h"

using namespace testsupport;
using Response = LoopbackServer::Response;

namespace {

std::string Body(size_t size) {
    std::string body(size, '\0');
    for (size_t i = 0; i < size; ++i) body[i] = static_cast<char>('A' + (i * 7) % 26);
    return body;
}

std::string RefusedUrl(const std::string& path) {
    return "http://127.0.0.1:" + std::to_string(LoopbackServer::UnusedPort()) + path;
}

Response Truncated(const std::string& body, size_t after) {
    Response response;
    response.body = body;
    response.truncate_after = after;
    return response;
}

class Downloads : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(server.ok()); }
    LoopbackServer server;
    TempDir temp;
    std::string temp_name = UniqueName("dl") + ".xml";
};

TEST_F(Downloads, TempFileHoldsTheBodyAndTheRequestNamesNorvane) {
    const std::string body = Body(5000) + "\r\nline\n\xff\x00 end";  // not a multiple of 1023
    server.Serve("/option.xml", body);
    const std::string path = DownloadToTempFile(temp_name, server.Url("/option.xml"));
    ASSERT_FALSE(path.empty());
    EXPECT_TRUE(ReadTextFile(path).value_or("") == body);
    char folder[MAX_PATH];
    GetTempPathA(MAX_PATH, folder);
    EXPECT_EQ(path, std::string(folder) + temp_name);
    auto requests = server.RequestsFor("/option.xml");
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].Header("User-Agent"), "Norvane");
    DeleteFileA(path.c_str());
}

TEST_F(Downloads, TempFileOfAnEmptyBodyIsAnEmptyFile) {
    server.Serve("/empty.xml", "");
    const std::string path = DownloadToTempFile(temp_name, server.Url("/empty.xml"));
    ASSERT_FALSE(path.empty());
    EXPECT_EQ(ReadTextFile(path).value_or("missing"), "");
    DeleteFileA(path.c_str());
}

TEST_F(Downloads, TempFileFailuresGiveNoPath) {
    // An error page, a refused connection, a body cut short and a dropped connection are not
    // the file that was asked for.
    server.Serve("/cut.xml", Truncated(Body(40000), 12000));
    Response dropped;
    dropped.drop = true;
    server.Serve("/drop.xml", dropped);
    const std::string urls[] = {server.Url("/missing.xml"), RefusedUrl("/x.xml"),
                                server.Url("/cut.xml"), server.Url("/drop.xml")};
    for (const std::string& url : urls) {
        EXPECT_EQ(DownloadToTempFile(temp_name, url), "") << url;
    }
    char folder[MAX_PATH];
    GetTempPathA(MAX_PATH, folder);
    DeleteFileA((std::string(folder) + temp_name).c_str());
}

TEST_F(Downloads, TempFileThatCannotBeCreatedAsksNothing) {
    server.Serve("/option.xml", "data");
    EXPECT_EQ(DownloadToTempFile("no\\such\\folder\\f.xml", server.Url("/option.xml")), "");
    EXPECT_EQ(DownloadToTempFile("bad<name>|.xml", server.Url("/option.xml")), "");
    EXPECT_EQ(server.RequestCount(), 0u);
}

TEST_F(Downloads, FileDownloadSucceedsOnlyForACompleteAnswer) {
    const std::string body = Body(300000);
    server.Serve("/logo.bmp", body);
    server.Serve("/empty.bmp", "");
    server.Serve("/cut.bmp", Truncated(body, 100000));

    EXPECT_TRUE(DownloadToFile(server.Url("/logo.bmp"), temp.File("logo.bmp")));
    EXPECT_TRUE(ReadTextFile(temp.File("logo.bmp")).value_or("") == body);
    // The browser cache is bypassed: a second download asks the server again.
    EXPECT_TRUE(DownloadToFile(server.Url("/logo.bmp"), temp.File("logo2.bmp")));
    EXPECT_EQ(server.RequestsFor("/logo.bmp").size(), 2u);

    EXPECT_TRUE(DownloadToFile(server.Url("/empty.bmp"), temp.File("empty.bmp")));
    EXPECT_EQ(ReadTextFile(temp.File("empty.bmp")).value_or("missing"), "");

    EXPECT_FALSE(DownloadToFile(server.Url("/missing.bmp"), temp.File("missing.bmp")));
    EXPECT_FALSE(DownloadToFile(RefusedUrl("/logo.bmp"), temp.File("refused.bmp")));
    EXPECT_FALSE(DownloadToFile(server.Url("/cut.bmp"), temp.File("cut.bmp")));
    EXPECT_FALSE(PathExists(temp.File("cut.bmp")));
    EXPECT_FALSE(DownloadToFile(server.Url("/logo.bmp"), temp.File("no\\folder\\x.bmp")));
}

// Cancels the download at its first progress report with data, as the progress page's
// cancel button does.
class CancelingCallback : public IBindStatusCallback {
public:
    std::atomic<int> data_reports{0};
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (iid == IID_IUnknown || iid == IID_IBindStatusCallback) {
            *out = static_cast<IBindStatusCallback*>(this);
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE OnStartBinding(DWORD, IBinding*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetPriority(LONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OnLowResource(DWORD) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnProgress(ULONG, ULONG, ULONG status, LPCWSTR) override {
        if (status == BINDSTATUS_BEGINDOWNLOADDATA || status == BINDSTATUS_DOWNLOADINGDATA) {
            ++data_reports;
            return E_ABORT;
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnStopBinding(HRESULT, LPCWSTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetBindInfo(DWORD*, BINDINFO*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnDataAvailable(DWORD, DWORD, FORMATETC*, STGMEDIUM*) override {
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnObjectAvailable(REFIID, IUnknown*) override { return S_OK; }
};

TEST_F(Downloads, ProgressCallbackThatCancelsStopsTheDownload) {
    const std::string body = Body(8 * 1024 * 1024);
    server.Serve("/setup.exe", body);
    CancelingCallback callback;
    EXPECT_FALSE(DownloadToFile(server.Url("/setup.exe"), temp.File("setup.exe"), &callback));
    EXPECT_EQ(callback.data_reports.load(), 1);
    EXPECT_FALSE(PathExists(temp.File("setup.exe")));  // no partial installer left to run
}

TEST_F(Downloads, ReplacingTouchesTheDestinationOnlyOnSuccess) {
    const std::string destination = temp.File("partner.ico");
    ASSERT_TRUE(WriteTextFile(destination, "old icon"));
    server.Serve("/cut.ico", Truncated(Body(50000), 1000));

    EXPECT_FALSE(DownloadReplacing(server.Url("/missing.ico"), destination));
    EXPECT_FALSE(DownloadReplacing(RefusedUrl("/a.ico"), destination));
    EXPECT_FALSE(DownloadReplacing(server.Url("/cut.ico"), destination));
    EXPECT_FALSE(DownloadReplacing("", destination));
    EXPECT_FALSE(DownloadReplacing(server.Url("/a.ico"), ""));
    EXPECT_TRUE(ReadTextFile(destination).value_or("") == "old icon");
    EXPECT_FALSE(PathExists(destination + ".tmp"));

    server.Serve("/new.ico", "new icon");
    EXPECT_TRUE(DownloadReplacing(server.Url("/new.ico"), destination));
    EXPECT_EQ(ReadTextFile(destination).value_or(""), "new icon");
    EXPECT_FALSE(PathExists(destination + ".tmp"));
}

TEST_F(Downloads, LogRequestSendsTheQueryAndTracesWhenDebugIsOn) {
    ScopedRegValue debug(HKEY_CURRENT_USER, "Software\\Quindel\\Dravel", "Debug");
    ASSERT_TRUE(SetRegString(HKEY_CURRENT_USER, "Software\\Quindel\\Dravel", "Debug", "1"));
    DebugOutputMonitor monitor;
    ASSERT_TRUE(monitor.ok());

    const std::string address = server.Url("/log/update.asp");
    EXPECT_TRUE(SendLogRequest(address, "pn=Prod&ver=1%2e0"));
    ASSERT_EQ(server.RequestsFor("/log/update.asp").size(), 1u);
    EXPECT_EQ(server.RequestsFor("/log/update.asp")[0].query, "pn=Prod&ver=1%2e0");
    // Any status counts as sent.
    EXPECT_TRUE(SendLogRequest(server.Url("/missing.asp"), "a=1"));

    const std::string refused = RefusedUrl("/log");
    EXPECT_FALSE(SendLogRequest(refused, "a=2"));
    ASSERT_TRUE(WaitUntil([&] { return monitor.Joined().find("Log Error 1 : ") != std::string::npos; },
                          5000));
    const std::string trace = monitor.Joined(GetCurrentProcessId());
    EXPECT_NE(trace.find("Log URL : " + address + "?pn=Prod&ver=1%2e0"), std::string::npos);
    EXPECT_NE(trace.find("Log URL : " + refused + "?a=2"), std::string::npos);
    EXPECT_NE(trace.find("Log Error 1 : 12029"), std::string::npos) << trace;  // cannot connect
}

TEST_F(Downloads, LogRequestIsSilentWithoutDebug) {
    ScopedRegValue debug(HKEY_CURRENT_USER, "Software\\Quindel\\Dravel", "Debug");
    DeleteRegValue(HKEY_CURRENT_USER, "Software\\Quindel\\Dravel", "Debug");
    DebugOutputMonitor monitor;
    ASSERT_TRUE(monitor.ok());
    EXPECT_TRUE(SendLogRequest(server.Url("/log"), "x=1"));
    Sleep(200);
    EXPECT_EQ(monitor.Joined(GetCurrentProcessId()).find("Log URL"), std::string::npos);
}

}  // namespace
