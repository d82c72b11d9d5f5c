#include "updater/platform/Download.h"

#include <windows.h>
#include <urlmon.h>
#include <wininet.h>

#include <cstdarg>
#include <memory>
#include <new>

#include "common/ScopedHandle.h"
#include "updater/platform/AddressRules.h"
#include "updater/platform/DebugTrace.h"
#include "updater/platform/SafeFolder.h"
#include "updater/platform/Shell.h"

namespace {

constexpr DWORD kTempFileFlags =
    INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_TRANSFER_ASCII;
static_assert(kTempFileFlags == 0x84000001, "request flags of the temporary-file download");
constexpr DWORD kFileFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE;
// The temporary-file download reports to nobody, so it reads in large blocks: every read costs
// system calls, and reads of 1023 bytes cost most of the throughput.
constexpr DWORD kTempFileBlock = 1024 * 1024;
// The file download reads only what has arrived, at most this much at a time, so that its count
// of received bytes follows the transfer closely however slowly the data come. The block is
// large because the connection may hold far more than one small block when asked: reading it
// all in one call keeps the number of calls, and their cost, down on a fast transfer.
constexpr DWORD kFileBlock = 1024 * 1024;
// The file download's progress callback hears from it at least this often; it is also what
// keeps the caller's window responsive.
constexpr DWORD kReportMs = 100;

class InternetHandle {
public:
    explicit InternetHandle(HINTERNET handle) : handle_(handle) {}
    ~InternetHandle() {
        if (handle_) InternetCloseHandle(handle_);
    }
    InternetHandle(const InternetHandle&) = delete;
    InternetHandle& operator=(const InternetHandle&) = delete;
    HINTERNET get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }

private:
    HINTERNET handle_;
};

class CriticalSection {
public:
    CriticalSection() { InitializeCriticalSection(&section_); }
    ~CriticalSection() { DeleteCriticalSection(&section_); }
    CriticalSection(const CriticalSection&) = delete;
    CriticalSection& operator=(const CriticalSection&) = delete;

    class Lock {
    public:
        explicit Lock(CriticalSection& owner) : owner_(owner) {
            EnterCriticalSection(&owner_.section_);
        }
        ~Lock() { LeaveCriticalSection(&owner_.section_); }
        Lock(const Lock&) = delete;
        Lock& operator=(const Lock&) = delete;

    private:
        CriticalSection& owner_;
    };

private:
    CRITICAL_SECTION section_;
};

DWORD QueryNumber(HINTERNET request, DWORD what, bool* present) {
    DWORD number = 0;
    DWORD size = sizeof(number);
    DWORD index = 0;
    *present = HttpQueryInfoA(request, what | HTTP_QUERY_FLAG_NUMBER, &number, &size, &index) !=
               FALSE;
    return number;
}

void Trace(const char* format, ...) {
    if (!IsDebugTraceEnabled()) return;
    char text[1024];
    va_list args;
    va_start(args, format);
    wvsprintfA(text, format, args);  // wvsprintf stops at 1024 characters
    va_end(args);
    DebugTrace(text);
}

// False for an unsuccessful status: an error page is not the file that was asked for. Also
// gives the announced length of the body, where there is one.
bool AcceptAnswer(HINTERNET request, bool* has_length, DWORD* length) {
    bool has_status = false;
    const DWORD status = QueryNumber(request, HTTP_QUERY_STATUS_CODE, &has_status);
    if (has_status && (status < 200 || status >= 300)) return false;
    *length = QueryNumber(request, HTTP_QUERY_CONTENT_LENGTH, has_length);
    return true;
}

bool WriteAll(HANDLE file, const char* data, DWORD size) {
    DWORD written = 0;
    return WriteFile(file, data, size, &written, nullptr) && written == size;
}

// Reads the answer to an opened URL into the file. True only for a successful status and a
// complete body: a body that ends before its announced length was cut off.
bool ReadAnswerInto(HINTERNET request, HANDLE file) {
    bool has_length = false;
    DWORD expected = 0;
    if (!AcceptAnswer(request, &has_length, &expected)) return false;
    std::unique_ptr<char[]> buffer(new (std::nothrow) char[kTempFileBlock]);
    if (!buffer) return false;
    unsigned long long received = 0;
    for (;;) {
        DWORD read = 0;
        if (!InternetReadFile(request, buffer.get(), kTempFileBlock, &read)) return false;
        if (read == 0) break;
        if (!WriteAll(file, buffer.get(), read)) return false;
        received += read;
    }
    return !has_length || received == expected;
}

// One download of an http(s) URL into an open file. WinInet blocks while it connects and while
// it waits for data, so a worker thread does the WinInet calls and the calling thread reports
// to the progress callback every kReportMs meanwhile: the callback dispatches the calling
// thread's window messages, so it must run there, and often. The callback sees
// BINDSTATUS_CONNECTING until the answer is in, then BEGINDOWNLOADDATA once, DOWNLOADINGDATA,
// and ENDDOWNLOADDATA after a complete body. A failing report cancels: closing the handle the
// worker is blocked on ends its call (Wine ends it only when the next data arrive, which is why
// the worker reads only what has arrived), and the worker is always waited for before the
// handles and the file are let go.
class FileTransfer {
public:
    FileTransfer(const std::string& url, HANDLE file) : url_(url), file_(file) {}
    ~FileTransfer() {
        if (request_) InternetCloseHandle(request_);
        if (root_) InternetCloseHandle(root_);
    }
    FileTransfer(const FileTransfer&) = delete;
    FileTransfer& operator=(const FileTransfer&) = delete;

    // True only for a successful status and a complete body that nobody cancelled.
    bool Run(IBindStatusCallback* progress);

private:
    enum class Stage { kConnecting, kReceiving };

    static DWORD WINAPI WorkerMain(void* self) {
        FileTransfer* transfer = static_cast<FileTransfer*>(self);
        transfer->complete_ = transfer->Work();
        return 0;
    }
    bool Work();
    bool Receive(HINTERNET request);
    bool Cancelled();
    void Cancel();
    HRESULT Report(IBindStatusCallback* progress);

    const std::string url_;
    const HANDLE file_;
    bool complete_ = false;  // the worker's result, read once the worker has ended
    bool begun_ = false;     // calling thread only: BEGINDOWNLOADDATA was reported

    CriticalSection lock_;  // guards everything below
    HINTERNET root_ = nullptr;
    HINTERNET request_ = nullptr;
    bool cancelled_ = false;
    Stage stage_ = Stage::kConnecting;
    unsigned long long received_ = 0;
    ULONG progress_max_ = 0;
};

bool FileTransfer::Run(IBindStatusCallback* progress) {
    root_ = InternetOpenA("Norvane", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    if (!root_) return false;
    ScopedHandle worker(CreateThread(nullptr, 0, WorkerMain, this, 0, nullptr));
    if (!worker.valid()) {
        // No thread to be had: transfer here, with only the closing reports.
        complete_ = Work();
    } else if (!progress) {
        WaitForSingleObject(worker.get(), INFINITE);
    } else {
        DWORD reported = GetTickCount();
        for (;;) {
            const DWORD since = GetTickCount() - reported;
            if (WaitForSingleObject(worker.get(), since < kReportMs ? kReportMs - since : 0) ==
                WAIT_OBJECT_0)
                break;
            reported = GetTickCount();
            if (FAILED(Report(progress))) {
                Cancel();
                WaitForSingleObject(worker.get(), INFINITE);
                return false;
            }
        }
    }
    if (!complete_) return false;
    if (progress) {
        // Whatever the slices saw, the callback hears the begin and the final count, and may
        // still refuse the file.
        if (!begun_ && FAILED(Report(progress))) return false;
        if (FAILED(Report(progress))) return false;
        const ULONG total = static_cast<ULONG>(received_);
        progress->OnProgress(total, total, BINDSTATUS_ENDDOWNLOADDATA, nullptr);
    }
    return true;
}

bool FileTransfer::Work() {
    HINTERNET root;
    {
        CriticalSection::Lock lock(lock_);
        if (cancelled_) return false;
        root = root_;
    }
    HINTERNET request = InternetOpenUrlA(root, url_.c_str(), nullptr, 0, kFileFlags, 0);
    {
        CriticalSection::Lock lock(lock_);
        if (cancelled_) {
            if (request) InternetCloseHandle(request);
            return false;
        }
        request_ = request;
    }
    return request && Receive(request);
}

bool FileTransfer::Receive(HINTERNET request) {
    bool has_length = false;
    DWORD expected = 0;
    if (!AcceptAnswer(request, &has_length, &expected)) return false;
    {
        CriticalSection::Lock lock(lock_);
        stage_ = Stage::kReceiving;
        progress_max_ = has_length ? expected : 0;
    }
    std::unique_ptr<char[]> buffer(new (std::nothrow) char[kFileBlock]);
    if (!buffer) return false;
    unsigned long long received = 0;
    while (!Cancelled()) {
        // Waits until data have arrived, then takes only those. A count of none, which need
        // not mean the end, is settled by a one-byte read: at the end it reads nothing.
        DWORD available = 0;
        if (!InternetQueryDataAvailable(request, &available, 0, 0)) return false;
        const DWORD wanted = available == 0 ? 1 : available < kFileBlock ? available : kFileBlock;
        DWORD read = 0;
        if (!InternetReadFile(request, buffer.get(), wanted, &read)) return false;
        if (read == 0) return !has_length || received == expected;
        if (!WriteAll(file_, buffer.get(), read)) return false;
        received += read;
        CriticalSection::Lock lock(lock_);
        received_ = received;
    }
    return false;
}

bool FileTransfer::Cancelled() {
    CriticalSection::Lock lock(lock_);
    return cancelled_;
}

void FileTransfer::Cancel() {
    HINTERNET blocking = nullptr;
    {
        CriticalSection::Lock lock(lock_);
        cancelled_ = true;
        // Before the answer is in, the worker waits inside the root handle's request.
        HINTERNET& handle = request_ ? request_ : root_;
        blocking = handle;
        handle = nullptr;
    }
    // Closed outside the lock: the worker takes the lock between its blocking calls.
    if (blocking) InternetCloseHandle(blocking);
}

HRESULT FileTransfer::Report(IBindStatusCallback* progress) {
    Stage stage;
    unsigned long long received;
    ULONG progress_max;
    {
        CriticalSection::Lock lock(lock_);
        stage = stage_;
        received = received_;
        progress_max = progress_max_;
    }
    if (stage == Stage::kConnecting) {
        return progress->OnProgress(0, 0, BINDSTATUS_CONNECTING, nullptr);
    }
    const ULONG status = begun_ ? BINDSTATUS_DOWNLOADINGDATA : BINDSTATUS_BEGINDOWNLOADDATA;
    begun_ = true;
    return progress->OnProgress(static_cast<ULONG>(received), progress_max, status, nullptr);
}

// Downloads the URL into the path (created or truncated); on failure the path is removed so
// that no partial file passes for the download.
bool DownloadInto(const std::string& url, const std::string& path,
                  IBindStatusCallback* progress) {
    if (!IsFetchableAddress(url)) {
        Trace("Not fetched (not an http or https address) : %s", url.c_str());
        return false;
    }
    HANDLE file = CreateFreshFile(path);
    if (file == INVALID_HANDLE_VALUE) return false;
    bool complete = false;
    {
        FileTransfer transfer(url, file);
        complete = transfer.Run(progress);
    }
    CloseHandle(file);
    if (!complete) DeleteFileA(path.c_str());
    return complete;
}

}  // namespace

std::string DownloadToTempFile(const std::string& file_name, const std::string& url) {
    char folder[MAX_PATH + 1] = {};
    DWORD length = GetTempPathA(MAX_PATH, folder);
    if (length == 0 || length > MAX_PATH) return "";
    const std::string path = JoinPath(folder, file_name);
    if (!IsFetchableAddress(url)) {
        Trace("Not fetched (not an http or https address) : %s", url.c_str());
        return "";
    }

    HANDLE file = CreateFreshFile(path);
    if (file == INVALID_HANDLE_VALUE) return "";

    bool complete = false;
    {
        InternetHandle root(
            InternetOpenA("Norvane", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
        // The request is closed before the root handle that owns it.
        InternetHandle request(root ? InternetOpenUrlA(root.get(), url.c_str(), nullptr, 0,
                                                       kTempFileFlags, 0)
                                    : nullptr);
        complete = request && ReadAnswerInto(request.get(), file);
    }
    CloseHandle(file);
    if (complete) return path;
    // An empty or cut-off file left under the expected name would be read by whoever next
    // looks for it there.
    DeleteFileA(path.c_str());
    return "";
}

bool DownloadToFile(const std::string& url, const std::string& path,
                    IBindStatusCallback* progress) {
    DeleteUrlCacheEntryA(url.c_str());
    return DownloadInto(url, path, progress);
}

bool DownloadToHeldFile(const std::string& url, const std::string& path,
                        IBindStatusCallback* progress, void** file) {
    *file = INVALID_HANDLE_VALUE;
    if (!IsFetchableAddress(url)) {
        Trace("Not fetched (not an http or https address) : %s", url.c_str());
        return false;
    }
    DeleteUrlCacheEntryA(url.c_str());
    HANDLE held = CreateFreshFile(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ);
    if (held == INVALID_HANDLE_VALUE) return false;
    bool complete = false;
    {
        FileTransfer transfer(url, held);
        complete = transfer.Run(progress);
    }
    if (!complete) {
        CloseHandle(held);
        DeleteFileA(path.c_str());
        return false;
    }
    *file = held;
    return true;
}

bool DownloadReplacing(const std::string& url, const std::string& path) {
    if (url.empty() || path.empty()) return false;
    const std::string temporary = path + ".tmp";
    // A failed download has removed its own partial file; whatever else stands under the
    // temporary name (a link it refused) is not ours to delete.
    if (!DownloadInto(url, temporary, nullptr)) return false;
    if (MoveOverWithoutLinks(temporary, path)) return true;
    DeleteFileA(temporary.c_str());
    return false;
}

bool SendLogRequest(const std::string& address, const std::string& query) {
    const std::string url = address + "?" + query;
    Trace("Log URL : %s", url.c_str());
    if (!IsFetchableAddress(url)) return false;
    try {
        InternetHandle root(
            InternetOpenA(nullptr, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
        if (!root) {
            Trace("Log Error 2 : %d", static_cast<int>(GetLastError()));
            return false;
        }
        InternetHandle request(
            InternetOpenUrlA(root.get(), url.c_str(), nullptr, 0, INTERNET_FLAG_RELOAD, 0));
        if (!request) {
            Trace("Log Error 1 : %d", static_cast<int>(GetLastError()));
            return false;
        }
        return true;
    } catch (...) {
        return false;
    }
}
