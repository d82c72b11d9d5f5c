// The three downloaders and the traced log request against the loopback server: what lands on
// disk for good, missing, refused, empty and cut-off answers, and what the server was asked.
#include <gtest/gtest.h>
#include <winternl.h>
#include <tlhelp32.h>
#include <urlmon.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <thread>
#include <vector>

#include "tests/support/AnswerProbe.h"
#include "tests/support/DebugOutputMonitor.h"
#include "tests/support/LoopbackServer.h"
#include "tests/support/TestSupport.h"
#include "tests/support/UnixLink.h"
#include "updater/platform/BasicHelpers.h"
#include "updater/platform/Download.h"
#include "updater/platform/MessageWait.h"

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

TEST_F(Downloads, TempFileOfSeveralReadBlocksIsWholeAndACutOneFails) {
    const std::string body = Body(2621440 + 17);  // two and a half blocks of 1 MiB, and a bit
    server.Serve("/big.xml", body);
    server.Serve("/cut.xml", Truncated(body, 1572864));  // in the middle of the second block
    const std::string path = DownloadToTempFile(temp_name, server.Url("/big.xml"));
    ASSERT_FALSE(path.empty());
    EXPECT_TRUE(ReadTextFile(path).value_or("") == body);
    EXPECT_EQ(DownloadToTempFile(temp_name, server.Url("/cut.xml")), "");
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
    char folder[MAX_PATH];
    GetTempPathA(MAX_PATH, folder);
    const std::string left = std::string(folder) + temp_name;
    for (const std::string& url : urls) {
        EXPECT_EQ(DownloadToTempFile(temp_name, url), "") << url;
        // Nothing stays under the name to be taken for the file later.
        EXPECT_FALSE(PathExists(left)) << url;
    }
    DeleteFileA(left.c_str());
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

// Records every progress report and the thread it came on, and cancels when told to: at the
// first report of any kind, or at the first one with data (as the progress page's cancel button
// does once the transfer has begun).
class ProgressRecorder : public IBindStatusCallback {
public:
    enum class Cancel { kNever, kAtFirstReport, kAtFirstData };
    explicit ProgressRecorder(Cancel cancel) : cancel_(cancel) {}

    std::vector<ULONG> statuses;
    std::vector<ULONG> progress;
    ULONG last_max = 0;
    int data_reports = 0;
    bool on_other_thread = false;

    size_t Count(ULONG status) const {
        return static_cast<size_t>(std::count(statuses.begin(), statuses.end(), status));
    }

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
    HRESULT STDMETHODCALLTYPE OnProgress(ULONG value, ULONG max, ULONG status,
                                         LPCWSTR) override {
        if (GetCurrentThreadId() != thread_) on_other_thread = true;
        statuses.push_back(status);
        progress.push_back(value);
        last_max = max;
        const bool data =
            status == BINDSTATUS_BEGINDOWNLOADDATA || status == BINDSTATUS_DOWNLOADINGDATA;
        if (data) ++data_reports;
        if (cancel_ == Cancel::kAtFirstReport || (cancel_ == Cancel::kAtFirstData && data)) {
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

private:
    const Cancel cancel_;
    const DWORD thread_ = GetCurrentThreadId();
};

// A body the loopback server sends in pieces of `piece` bytes, one every `interval_ms`.
Response Slow(const std::string& body, size_t piece, DWORD interval_ms) {
    Response response;
    response.body = body;
    response.slow_piece = piece;
    response.slow_interval_ms = interval_ms;
    return response;
}

TEST_F(Downloads, ProgressCallbackThatCancelsStopsTheDownload) {
    const std::string body = Body(8 * 1024 * 1024);
    server.Serve("/setup.exe", body);
    ProgressRecorder callback(ProgressRecorder::Cancel::kAtFirstData);
    EXPECT_FALSE(DownloadToFile(server.Url("/setup.exe"), temp.File("setup.exe"), &callback));
    EXPECT_EQ(callback.data_reports, 1);
    EXPECT_EQ(callback.statuses.back(), static_cast<ULONG>(BINDSTATUS_BEGINDOWNLOADDATA));
    EXPECT_FALSE(PathExists(temp.File("setup.exe")));  // no partial installer left to run
}

TEST_F(Downloads, ProgressRunsFromBeginToEndAgainstTheAnnouncedSize) {
    const std::string body = Body(200000);
    server.Serve("/offer.exe", body);
    ProgressRecorder callback(ProgressRecorder::Cancel::kNever);
    ASSERT_TRUE(DownloadToFile(server.Url("/offer.exe"), temp.File("offer.exe"), &callback));
    // Connecting reports, if any, come first; then the data reports, begun once and ended once.
    std::vector<ULONG> data = callback.statuses;
    data.erase(data.begin(), std::find_if(data.begin(), data.end(), [](ULONG status) {
                   return status != BINDSTATUS_CONNECTING;
               }));
    ASSERT_GE(data.size(), 3u);
    EXPECT_EQ(data.front(), static_cast<ULONG>(BINDSTATUS_BEGINDOWNLOADDATA));
    EXPECT_EQ(data[1], static_cast<ULONG>(BINDSTATUS_DOWNLOADINGDATA));
    EXPECT_EQ(data.back(), static_cast<ULONG>(BINDSTATUS_ENDDOWNLOADDATA));
    EXPECT_EQ(callback.Count(BINDSTATUS_BEGINDOWNLOADDATA), 1u);
    EXPECT_EQ(callback.Count(BINDSTATUS_ENDDOWNLOADDATA), 1u);
    EXPECT_EQ(callback.progress.back(), body.size());
    EXPECT_EQ(callback.last_max, body.size());
    EXPECT_FALSE(callback.on_other_thread);
}

TEST_F(Downloads, SlowTransferIsReportedThroughoutOnTheCallingThread) {
    // 80 000 bytes in 2 000-byte pieces every 50 ms: about 40 KB/s for 2 s. Reports every
    // 100 ms make about twenty; reads of a large block would make two or three.
    const std::string body = Body(80000);
    server.Serve("/slow.exe", Slow(body, 2000, 50));
    ProgressRecorder callback(ProgressRecorder::Cancel::kNever);
    ASSERT_TRUE(DownloadToFile(server.Url("/slow.exe"), temp.File("slow.exe"), &callback));
    EXPECT_TRUE(ReadTextFile(temp.File("slow.exe")).value_or("") == body);
    EXPECT_GE(callback.Count(BINDSTATUS_DOWNLOADINGDATA), 10u);
    EXPECT_FALSE(callback.on_other_thread);  // it dispatches that thread's window messages

    // The count follows the transfer: it never goes back, and many reports fall between the
    // start and the end.
    EXPECT_TRUE(std::is_sorted(callback.progress.begin(), callback.progress.end()));
    std::vector<ULONG> between;
    for (ULONG value : callback.progress) {
        if (value > 0 && value < body.size()) between.push_back(value);
    }
    between.erase(std::unique(between.begin(), between.end()), between.end());
    EXPECT_GE(between.size(), 5u);
}

// A watched download reads a fast transfer in blocks larger than what the client holds at a
// time; when the data stop after a burst, what the burst brought is counted while they wait (all
// but one block of at most 64 KiB), not only when the next data come.
TEST_F(Downloads, WatchedDownloadCountsABurstBeforeThePauseAfterIt) {
    const size_t burst = 600000;
    const std::string body = Body(2 * burst);
    server.Serve("/burst.exe", Slow(body, burst, 1500));
    ProgressRecorder callback(ProgressRecorder::Cancel::kNever);
    ASSERT_TRUE(DownloadToFile(server.Url("/burst.exe"), temp.File("burst.exe"), &callback));
    EXPECT_TRUE(ReadTextFile(temp.File("burst.exe")).value_or("") == body);
    // Reports every 100 ms through the 1.5 s pause: they show the count it waited at.
    const size_t waited_at = static_cast<size_t>(std::count_if(
        callback.progress.begin(), callback.progress.end(),
        [&](ULONG value) { return value + 64 * 1024 >= burst && value <= burst; }));
    EXPECT_GE(waited_at, 5u);
}

TEST_F(Downloads, ServerSlowToAnswerIsReportedAsConnecting) {
    Response late;
    late.body = "logo";
    late.delay_ms = 1500;
    server.Serve("/late.bmp", late);
    ProgressRecorder callback(ProgressRecorder::Cancel::kNever);
    ASSERT_TRUE(DownloadToFile(server.Url("/late.bmp"), temp.File("late.bmp"), &callback));
    EXPECT_EQ(ReadTextFile(temp.File("late.bmp")).value_or(""), "logo");
    EXPECT_GE(callback.Count(BINDSTATUS_CONNECTING), 5u);
    ASSERT_FALSE(callback.statuses.empty());
    EXPECT_EQ(callback.statuses.front(), static_cast<ULONG>(BINDSTATUS_CONNECTING));
    EXPECT_EQ(callback.Count(BINDSTATUS_ENDDOWNLOADDATA), 1u);
}

TEST_F(Downloads, CancelAtTheFirstReportClosesTheConnectionAndLeavesNoFile) {
    // The body would take about 2 s; the first report comes at about 100 ms.
    const std::string body = Body(80000);
    server.Serve("/slow.exe", Slow(body, 2000, 50));
    const std::string path = temp.File("slow.exe");
    ASSERT_TRUE(WriteTextFile(path, "an older download"));
    ProgressRecorder callback(ProgressRecorder::Cancel::kAtFirstReport);
    EXPECT_FALSE(DownloadToFile(server.Url("/slow.exe"), path, &callback));
    EXPECT_EQ(callback.statuses.size(), 1u);  // nothing is reported after the refusal
    EXPECT_FALSE(PathExists(path));

    ASSERT_TRUE(server.WaitForOutcomes(1, 10000));
    const auto outcome = server.Outcomes()[0];
    EXPECT_TRUE(outcome.client_closed);
    EXPECT_FALSE(outcome.complete);
    EXPECT_LT(outcome.body_sent, body.size());
}

TEST_F(Downloads, CancelWhileTheServerIsSlowToAnswerLeavesNoFile) {
    Response late;
    late.body = Body(1000);
    late.delay_ms = 1500;
    server.Serve("/late.exe", late);
    ProgressRecorder callback(ProgressRecorder::Cancel::kAtFirstReport);
    EXPECT_FALSE(DownloadToFile(server.Url("/late.exe"), temp.File("late.exe"), &callback));
    ASSERT_EQ(callback.statuses.size(), 1u);
    EXPECT_EQ(callback.statuses[0], static_cast<ULONG>(BINDSTATUS_CONNECTING));
    EXPECT_FALSE(PathExists(temp.File("late.exe")));
    // A later download in the same process is not disturbed by the one given up.
    server.Serve("/next.exe", "next");
    EXPECT_TRUE(DownloadToFile(server.Url("/next.exe"), temp.File("next.exe")));
    EXPECT_EQ(ReadTextFile(temp.File("next.exe")).value_or(""), "next");
}

size_t ThreadsOfThisProcess() {
    size_t count = 0;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return 0;
    THREADENTRY32 entry = {sizeof(entry)};
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID == GetCurrentProcessId()) ++count;
    }
    CloseHandle(snapshot);
    return count;
}

// The open handles of the kinds a download opens: its thread, its file and its connection's
// socket (a file to the system). Other kinds come and go with the test's own machinery (the
// loopback server's locks create events when first contended). Wine's GetProcessHandleCount
// always gives 0, so the handle values are asked after one by one; both systems hand out the
// lowest free value, which in a process of this size stays far below 0x1000.
size_t OpenThreadAndFileHandles() {
    typedef LONG(WINAPI * QueryObject)(HANDLE, int, void*, ULONG, ULONG*);
    const auto query = reinterpret_cast<QueryObject>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryObject")));
    size_t count = 0;
    for (ULONG_PTR value = 4; value < 0x1000; value += 4) {
        const HANDLE handle = reinterpret_cast<HANDLE>(value);
        DWORD flags;
        if (!GetHandleInformation(handle, &flags)) continue;
        union {
            UNICODE_STRING name;  // ObjectTypeInformation begins with the type's name
            char space[1024];
        } type = {};
        if (query(handle, 2, &type, sizeof(type), nullptr) < 0 || !type.name.Buffer) continue;
        const std::wstring name(type.name.Buffer, type.name.Length / sizeof(wchar_t));
        if (name == L"File" || name == L"Thread") ++count;
    }
    return count;
}

TEST_F(Downloads, NoHandleOrThreadOutlivesADownload) {
    // Every way a file download ends: complete, error status, refused, cut off, cancelled at
    // once, cancelled mid-transfer and cancelled while the server has not answered.
    server.Serve("/ok.bin", Body(100000));
    server.Serve("/cut.bin", Truncated(Body(100000), 5000));
    server.Serve("/slow.bin", Slow(Body(40000), 2000, 50));
    Response late;
    late.body = "late";
    late.delay_ms = 300;
    server.Serve("/late.bin", late);
    const auto download_every_way = [&] {
        ProgressRecorder keep(ProgressRecorder::Cancel::kNever);
        EXPECT_TRUE(DownloadToFile(server.Url("/ok.bin"), temp.File("ok.bin"), &keep));
        EXPECT_TRUE(DownloadToFile(server.Url("/slow.bin"), temp.File("slow.bin"), &keep));
        EXPECT_FALSE(DownloadToFile(server.Url("/missing.bin"), temp.File("m.bin"), &keep));
        EXPECT_FALSE(DownloadToFile(RefusedUrl("/ok.bin"), temp.File("r.bin"), &keep));
        EXPECT_FALSE(DownloadToFile(server.Url("/cut.bin"), temp.File("c.bin"), &keep));
        ProgressRecorder at_once(ProgressRecorder::Cancel::kAtFirstReport);
        EXPECT_FALSE(DownloadToFile(server.Url("/slow.bin"), temp.File("s1.bin"), &at_once));
        ProgressRecorder at_data(ProgressRecorder::Cancel::kAtFirstData);
        EXPECT_FALSE(DownloadToFile(server.Url("/slow.bin"), temp.File("s2.bin"), &at_data));
        ProgressRecorder connecting(ProgressRecorder::Cancel::kAtFirstReport);
        EXPECT_FALSE(DownloadToFile(server.Url("/late.bin"), temp.File("l.bin"), &connecting));
        EXPECT_TRUE(server.WaitConnectionsClosed(10000));
    };
    download_every_way();  // the internet client sets itself up on first use
    const size_t handles_before = OpenThreadAndFileHandles();
    const size_t threads_before = ThreadsOfThisProcess();
    for (int round = 0; round < 2; ++round) download_every_way();
    // Whatever the server's side or the internet client lets go of a moment later has time to
    // go; a leak never settles.
    WaitUntil(
        [&] {
            return OpenThreadAndFileHandles() == handles_before &&
                   ThreadsOfThisProcess() == threads_before;
        },
        5000);
    EXPECT_EQ(OpenThreadAndFileHandles(), handles_before);
    EXPECT_EQ(ThreadsOfThisProcess(), threads_before);
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

// Addresses come from the option file and from pages: one that names a local file, a share or
// another scheme is fetched by nobody, so no file of the machine is copied where an elevated
// copy writes and no share learns the user's credentials.
TEST_F(Downloads, OnlyWebAddressesAreFetchedByAnyDownloader) {
    const std::string secret = temp.File("secret.txt");
    ASSERT_TRUE(WriteTextFile(secret, "local secret"));
    std::string file_url = "file:///" + secret;
    std::replace(file_url.begin(), file_url.end(), '\\', '/');
    const std::string destination = temp.File("offer.exe");
    for (const std::string& url : {file_url, std::string("FILE://") + secret, secret,
                                   std::string("\\\\127.0.0.1\\share\\setup.exe"),
                                   std::string("ftp://127.0.0.1/setup.exe"), std::string("")}) {
        SCOPED_TRACE(url);
        EXPECT_FALSE(DownloadToFile(url, destination));
        EXPECT_FALSE(DownloadReplacing(url, destination));
        EXPECT_EQ(DownloadToTempFile(temp_name, url), "");
        EXPECT_FALSE(PathExists(destination));
        EXPECT_FALSE(PathExists(destination + ".tmp"));
        EXPECT_EQ(HttpGet(url), kHttpGetFailed);
        EXPECT_FALSE(SendLogRequest(url, "a=1"));
    }
    // The scheme is compared without regard to case.
    server.Serve("/a.ico", "icon");
    std::string upper = server.Url("/a.ico");
    upper.replace(0, 4, "HTTP");
    EXPECT_TRUE(DownloadToFile(upper, destination));
    EXPECT_EQ(ReadTextFile(destination).value_or(""), "icon");
}

// A junction planted under a download's name (to a folder such as the system folder) is never
// written through or replaced: the download fails and the folder stays as it was. (Under Wine a
// link to a folder stands for the junction; links to files it cannot show. On Windows a user
// cannot make file links, and a hard link loses only the name when the file is made anew.)
TEST_F(Downloads, LinksUnderTheDestinationsNameAreNotWrittenThrough) {
    TempDir elsewhere;
    const std::string victim = elsewhere.File("service.dll");
    ASSERT_TRUE(WriteTextFile(victim, "system file"));
    server.Serve("/icon.ico", "served bytes");

    const std::string destination = temp.File("partner.ico");
    struct Case {
        const char* what;
        std::string link;
        bool replacing;
    };
    const Case cases[] = {
        {"the replacing download's temporary name", destination + ".tmp", true},
        {"the replacing download's destination", destination, true},
        {"a plain download's destination", temp.File("logo.bmp"), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ScopedUnixLink planted(elsewhere.path(), c.link);
        ASSERT_TRUE(planted.made());
        if (c.replacing) {
            EXPECT_FALSE(DownloadReplacing(server.Url("/icon.ico"), destination));
        } else {
            EXPECT_FALSE(DownloadToFile(server.Url("/icon.ico"), c.link));
        }
        EXPECT_EQ(ReadTextFile(victim).value_or(""), "system file");
        EXPECT_TRUE(PathExists(c.link));  // the link itself stays
    }
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(elsewhere.File("*").c_str(), &found);
    ASSERT_NE(search, INVALID_HANDLE_VALUE);
    std::vector<std::string> names;
    do {
        if (found.cFileName[0] != '.') names.push_back(found.cFileName);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    EXPECT_EQ(names, std::vector<std::string>{"service.dll"});
    EXPECT_FALSE(PathExists(destination));
    EXPECT_FALSE(PathExists(destination + ".tmp"));

    // A plain file under either name is simply replaced.
    ASSERT_TRUE(WriteTextFile(destination + ".tmp", "stale"));
    ASSERT_TRUE(WriteTextFile(destination, "old icon"));
    EXPECT_TRUE(DownloadReplacing(server.Url("/icon.ico"), destination));
    EXPECT_EQ(ReadTextFile(destination).value_or(""), "served bytes");
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

namespace {

// A shown window of the calling thread, so that another thread can ask whether this one
// answers (the probe asks only shown windows).
class ThreadWindow {
public:
    ThreadWindow()
        : window_(CreateWindowExA(WS_EX_NOACTIVATE, "STATIC", "probe", WS_POPUP | WS_VISIBLE, 0, 0,
                                  10, 10, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr)) {}
    ~ThreadWindow() {
        if (window_) DestroyWindow(window_);
    }
    ThreadWindow(const ThreadWindow&) = delete;
    ThreadWindow& operator=(const ThreadWindow&) = delete;
    HWND hwnd() const { return window_; }

private:
    HWND window_;
};

// However a test that posts a quit message ends, none is left for the next one.
struct QuitGuard {
    ~QuitGuard() {
        MSG message;
        while (PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
        }
    }
};

}  // namespace

// The downloads that report to nobody (option file, enumeration list, licence, logo, icon,
// middle offer) leave the calling thread answering its windows while a slow server takes about
// three seconds, and still bring the whole body.
TEST_F(Downloads, DownloadsWithoutProgressLeaveTheCallingThreadAnswering) {
    const std::string body = Body(4000);
    server.Serve("/slow.bin", Slow(body, 1000, 700));
    const std::string url = server.Url("/slow.bin");
    struct Case {
        const char* name;
        std::function<std::string()> download;  // the file's path, "" on failure
    };
    const Case cases[] = {
        {"temporary file", [&] { return DownloadToTempFile(temp_name, url); }},
        {"file", [&] { return DownloadToFile(url, temp.File("f.bin")) ? temp.File("f.bin") : ""; }},
        {"replacing", [&] {
             return DownloadReplacing(url, temp.File("r.bin")) ? temp.File("r.bin") : "";
         }},
        {"held file", [&] {
             void* held = nullptr;
             if (!DownloadToHeldFile(url, temp.File("h.bin"), nullptr, &held)) return std::string();
             CloseHandle(held);
             return temp.File("h.bin");
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ThreadWindow window;
        ASSERT_NE(window.hwnd(), nullptr);
        AnswerProbe probe(window.hwnd(), 2000);
        const std::string path = c.download();
        probe.Stop();
        ASSERT_FALSE(path.empty());
        EXPECT_TRUE(ReadTextFile(path).value_or("") == body);
        DeleteFileA(path.c_str());
        EXPECT_EQ(probe.misses(), 0u) << "the thread stopped answering during the download";
        EXPECT_GT(probe.answered(), 0u);
    }
}

// A body beyond the size cap, or one that takes longer than the time limit, fails as a dead
// server does: nothing at the path (the old destination kept by the replacing download), and
// the connection let go. A body exactly at the cap is taken.
TEST_F(Downloads, DownloadsBeyondTheirLimitsFailAndLeaveNoFile) {
    server.Serve("/big.bin", Body(300000));
    server.Serve("/slow.bin", Slow(Body(40000), 2000, 200));  // about four seconds
    const DownloadLimits capped = {100000, 60000};
    const DownloadLimits hurried = {kOutsideFileLimits.max_bytes, 1000};
    struct Case {
        const char* name;
        std::string path;
        DownloadLimits limits;
    };
    const Case cases[] = {{"over the cap", "/big.bin", capped},
                          {"past the time limit", "/slow.bin", hurried}};
    const std::string destination = temp.File("kept.ico");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string url = server.Url(c.path);
        EXPECT_EQ(DownloadToTempFile(temp_name, url, c.limits), "");
        char folder[MAX_PATH] = {};
        GetTempPathA(MAX_PATH, folder);
        EXPECT_FALSE(PathExists(std::string(folder) + temp_name));
        ProgressRecorder callback(ProgressRecorder::Cancel::kNever);
        EXPECT_FALSE(DownloadToFile(url, temp.File("f.bin"), &callback, c.limits));
        EXPECT_FALSE(PathExists(temp.File("f.bin")));
        EXPECT_EQ(callback.Count(BINDSTATUS_ENDDOWNLOADDATA), 0u);
        void* held = INVALID_HANDLE_VALUE;
        EXPECT_FALSE(DownloadToHeldFile(url, temp.File("h.bin"), nullptr, &held, c.limits));
        EXPECT_EQ(held, INVALID_HANDLE_VALUE);
        EXPECT_FALSE(PathExists(temp.File("h.bin")));
        ASSERT_TRUE(WriteTextFile(destination, "old icon"));
        EXPECT_FALSE(DownloadReplacing(url, destination, c.limits));
        EXPECT_EQ(ReadTextFile(destination).value_or(""), "old icon");
        EXPECT_FALSE(PathExists(destination + ".tmp"));
        // A transfer given up is not left running behind the caller's back for long.
        EXPECT_TRUE(server.WaitConnectionsClosed(30000));
    }
    const DownloadLimits exact = {300000, 60000};
    EXPECT_TRUE(DownloadToFile(server.Url("/big.bin"), temp.File("exact.bin"), nullptr, exact));
    EXPECT_TRUE(ReadTextFile(temp.File("exact.bin")).value_or("") == Body(300000));
}

// Closing the application while a download runs: the download is given up at once, leaves no
// file, and the quit message is still there for the application's own loop.
TEST_F(Downloads, QuitDuringADownloadEndsItAndIsKeptForTheLoop) {
    server.Serve("/slow.bin", Slow(Body(40000), 2000, 200));
    QuitGuard guard;
    PostQuitMessage(7);
    EXPECT_FALSE(DownloadToFile(server.Url("/slow.bin"), temp.File("q.bin")));
    EXPECT_FALSE(PathExists(temp.File("q.bin")));
    MSG message;
    ASSERT_TRUE(PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(message.wParam, 7u);
    EXPECT_TRUE(server.WaitConnectionsClosed(30000));
}

// Reports (the update log, the vendor's reports) go to a server that may take seconds to
// answer: the calling thread keeps answering its windows meanwhile, a quit message posted as
// the window closes does not drop the report, and the quit is still there afterwards.
TEST_F(Downloads, ReportsToASlowServerStillGoOutAndLeaveTheCallingThreadAnswering) {
    LoopbackServer::Response slow;
    slow.body = "ok";
    slow.delay_ms = 2500;
    server.Serve("/log.asp", slow);
    server.Serve("/count.asp", slow);
    QuitGuard guard;
    struct Case {
        const char* name;
        const char* path;
        std::function<bool()> send;
    };
    const Case cases[] = {
        {"update log", "/log.asp", [&] { return SendLogRequest(server.Url("/log.asp"), "a=1"); }},
        {"report", "/count.asp",
         [&] { return HttpGet(server.Url("/count.asp") + "?b=2") == kHttpGetSent; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ThreadWindow window;
        ASSERT_NE(window.hwnd(), nullptr);
        AnswerProbe probe(window.hwnd(), 2000);
        PostQuitMessage(3);
        EXPECT_TRUE(c.send());
        probe.Stop();
        EXPECT_EQ(server.RequestsFor(c.path).size(), 1u);
        EXPECT_EQ(probe.misses(), 0u) << "the thread stopped answering during the report";
        EXPECT_GT(probe.answered(), 0u);
        MSG message;
        ASSERT_TRUE(PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
        EXPECT_EQ(message.wParam, 3u);
    }
}

// A long piece of work on a window's thread (making the pages) answers messages that other
// programs send between its steps, while a request posted meanwhile keeps its place behind it.
TEST(MessageWait, BetweenStepsSentMessagesAreAnsweredAndPostedOnesStayQueued) {
    ThreadWindow window;
    ASSERT_NE(window.hwnd(), nullptr);
    constexpr UINT kRequest = WM_APP + 7;
    ASSERT_TRUE(PostMessageA(window.hwnd(), kRequest, 0, 0));
    std::atomic<bool> answered{false};
    std::thread sender([&] {
        DWORD_PTR ignored = 0;
        answered = SendMessageTimeoutA(window.hwnd(), WM_NULL, 0, 0, SMTO_NORMAL, 20000,
                                       &ignored) != 0;
    });
    // Polled without pumping, as the work would: the message waits until it is answered.
    bool pending = false;
    for (int i = 0; i < 1000 && !pending; ++i) {
        pending = (HIWORD(GetQueueStatus(QS_SENDMESSAGE)) & QS_SENDMESSAGE) != 0;
        if (!pending) Sleep(20);
    }
    EXPECT_TRUE(pending);
    EXPECT_FALSE(answered);
    AnswerSentMessages();
    sender.join();
    EXPECT_TRUE(answered);
    MSG message;
    ASSERT_TRUE(PeekMessageA(&message, window.hwnd(), kRequest, kRequest, PM_REMOVE));
}
