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
#include "updater/platform/LateImports.h"
#include "updater/platform/MessageWait.h"
#include "updater/platform/SafeFolder.h"
#include "updater/platform/Shell.h"

namespace {

constexpr DWORD kTempFileFlags =
    INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_TRANSFER_ASCII;
static_assert(kTempFileFlags == 0x84000001, "request flags of the temporary-file download");
constexpr DWORD kFileFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE;
// The file download reads only what has arrived, at most this much at a time, so that its count
// of received bytes follows the transfer closely however slowly the data come. The block is
// large because the connection may hold far more than one small block when asked: reading it
// all in one call keeps the number of calls, and their cost, down on a fast transfer.
constexpr DWORD kFileBlock = 1024 * 1024;
// The file download's progress callback hears from it at least this often.
constexpr DWORD kReportMs = 100;
// A watched download reads what arrives in about this long at its current rate in one call,
// but never more than kFollowBlock: what a transfer that stops at once leaves uncounted.
constexpr double kFollowMs = 20.0;
constexpr DWORD kFollowBlock = 64 * 1024;

// The internet client is loaded when the first download or report needs it, not with the
// program: it and the libraries it brings cost a share of the start-up, and the first page needs
// none of them. Always from the system folder, never from the program's own.
class WinInet {
public:
    static const WinInet& Get() {
        static const WinInet api;
        return api;
    }
    bool loaded() const { return loaded_; }

    decltype(&::InternetOpenA) OpenA = nullptr;
    decltype(&::InternetOpenUrlA) OpenUrlA = nullptr;
    decltype(&::InternetReadFile) ReadFile = nullptr;
    decltype(&::InternetQueryDataAvailable) QueryDataAvailable = nullptr;
    decltype(&::InternetCloseHandle) CloseHandle = nullptr;
    decltype(&::HttpQueryInfoA) QueryInfoA = nullptr;
    decltype(&::DeleteUrlCacheEntryA) DeleteUrlCacheEntryA = nullptr;

private:
    WinInet() {
        HMODULE module = late::LoadSystemLibrary("wininet.dll");
        if (!module) return;
        loaded_ = Find(module, "InternetOpenA", &OpenA) && Find(module, "InternetOpenUrlA", &OpenUrlA) &&
                  Find(module, "InternetReadFile", &ReadFile) &&
                  Find(module, "InternetQueryDataAvailable", &QueryDataAvailable) &&
                  Find(module, "InternetCloseHandle", &CloseHandle) &&
                  Find(module, "HttpQueryInfoA", &QueryInfoA) &&
                  Find(module, "DeleteUrlCacheEntryA", &DeleteUrlCacheEntryA);
    }
    template <typename Fn>
    static bool Find(HMODULE module, const char* name, Fn* fn) {
        *fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
        return *fn != nullptr;
    }

    bool loaded_ = false;
};

const WinInet& Net() { return WinInet::Get(); }

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
    *present = Net().QueryInfoA(request, what | HTTP_QUERY_FLAG_NUMBER, &number, &size, &index) !=
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

// One download of an http(s) URL into an open file. WinInet blocks while it connects and while
// it waits for data, so a worker thread does the WinInet calls while the calling thread waits
// dispatching its messages, and reports to the progress callback (where there is one) every
// kReportMs meanwhile: the callback dispatches the calling thread's window messages too, so it
// must run there, and often. The callback sees BINDSTATUS_CONNECTING until the answer is in,
// then BEGINDOWNLOADDATA once, DOWNLOADINGDATA, and ENDDOWNLOADDATA after a complete body.
//
// A failing report, the time limit or a quit message cancels: the handle the worker is blocked
// on is closed, and the calling thread returns at once without waiting for the worker (Wine ends
// a blocked call only when the next data arrive, and a dead server may send none for minutes).
// The worker therefore shares the transfer with the caller (the last one out frees it) and
// writes to the file only under the lock and only while nobody has cancelled, so that once
// Cancel has returned the caller may close and delete the file.
//
// A report (file_ is INVALID_HANDLE_VALUE) only opens the URL, so that the server takes the
// request, and leaves the answer unread; it is not given up on a quit message, because a report
// sent as the window closes must still go out, only at its time limit.
class FileTransfer {
public:
    FileTransfer(const std::string& url, HANDLE file, DWORD flags, const DownloadLimits& limits)
        : url_(url), file_(file), flags_(flags), limits_(limits) {}

    // The same, giving why it failed, for a report's trace: stage 2 no internet session, 1 the
    // URL did not open (with the error code), 0 anything else.
    bool RunAndRelease(DWORD* failure_stage, DWORD* failure_error);

    // True only for a successful status and a complete body within the limits that nobody
    // cancelled. Call once; the transfer frees itself when both threads are done with it.
    bool RunAndRelease(IBindStatusCallback* progress);

private:
    enum class Stage { kConnecting, kReceiving };

    ~FileTransfer() {
        if (request_) Net().CloseHandle(request_);
        if (root_) Net().CloseHandle(root_);
    }
    FileTransfer(const FileTransfer&) = delete;
    FileTransfer& operator=(const FileTransfer&) = delete;

    static DWORD WINAPI WorkerMain(void* self) {
        FileTransfer* transfer = static_cast<FileTransfer*>(self);
        const bool complete = transfer->Work();
        {
            CriticalSection::Lock lock(transfer->lock_);
            transfer->complete_ = complete;
        }
        transfer->Release();
        return 0;
    }
    void Release() {
        if (InterlockedDecrement(&references_) == 0) delete this;
    }
    bool Run(IBindStatusCallback* progress);
    bool Work();
    bool Receive(HINTERNET request);
    bool Cancelled();
    void Cancel();
    HRESULT Report(IBindStatusCallback* progress);

    const std::string url_;
    const HANDLE file_;
    const DWORD flags_;
    const DownloadLimits limits_;
    LONG references_ = 1;
    bool follow_closely_ = false;  // set before the worker starts: a callback watches the count
    bool is_report() const { return file_ == INVALID_HANDLE_VALUE; }
    bool begun_ = false;  // calling thread only: BEGINDOWNLOADDATA was reported

    CriticalSection lock_;  // guards everything below
    HINTERNET root_ = nullptr;
    HINTERNET request_ = nullptr;
    bool cancelled_ = false;
    bool complete_ = false;  // the worker's result
    DWORD failure_stage_ = 0;
    DWORD failure_error_ = 0;
    Stage stage_ = Stage::kConnecting;
    unsigned long long received_ = 0;
    ULONG progress_max_ = 0;
};

bool FileTransfer::RunAndRelease(IBindStatusCallback* progress) {
    const bool complete = Run(progress);
    Release();
    return complete;
}

bool FileTransfer::RunAndRelease(DWORD* failure_stage, DWORD* failure_error) {
    const bool complete = Run(nullptr);
    {
        CriticalSection::Lock lock(lock_);
        *failure_stage = failure_stage_;
        *failure_error = failure_error_;
    }
    Release();
    return complete;
}

bool FileTransfer::Run(IBindStatusCallback* progress) {
    // Without the internet client a transfer fails as one to a dead server.
    root_ = Net().loaded() ? Net().OpenA(is_report() ? nullptr : "Norvane",
                                         INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0)
                           : nullptr;
    if (!root_) {
        failure_stage_ = 2;
        failure_error_ = GetLastError();
        return false;
    }
    const DWORD start = GetTickCount();
    follow_closely_ = progress != nullptr;
    InterlockedIncrement(&references_);
    ScopedHandle worker(CreateThread(nullptr, 0, WorkerMain, this, 0, nullptr));
    if (!worker.valid()) {
        InterlockedDecrement(&references_);
        // No thread to be had: transfer here, within the size cap alone.
        complete_ = Work();
    } else {
        DWORD reported = GetTickCount();
        for (;;) {
            const DWORD left = RemainingMs(start, limits_.max_ms, GetTickCount());
            DWORD slice = left;
            if (progress) {
                const DWORD report_left = RemainingMs(reported, kReportMs, GetTickCount());
                if (report_left < slice) slice = report_left;
            }
            const WaitEnd end = WaitDispatchingMessages(worker.get(), slice, !is_report());
            if (end == WaitEnd::kSignalled) break;
            if (end != WaitEnd::kTimedOut ||
                RemainingMs(start, limits_.max_ms, GetTickCount()) == 0) {
                // Closing the window, a thread that cannot be waited on, or the time limit:
                // the transfer is given up as one from a dead server.
                Trace("Download given up : %s", url_.c_str());
                Cancel();
                return false;
            }
            if (!progress) continue;
            reported = GetTickCount();
            if (FAILED(Report(progress))) {
                Cancel();
                return false;
            }
        }
    }
    bool complete;
    {
        CriticalSection::Lock lock(lock_);
        complete = complete_;
    }
    if (!complete) return false;
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
    HINTERNET request = Net().OpenUrlA(root, url_.c_str(), nullptr, 0, flags_, 0);
    const DWORD error = request ? 0 : GetLastError();
    {
        CriticalSection::Lock lock(lock_);
        if (!request) {
            failure_stage_ = 1;
            failure_error_ = error;
        }
        if (cancelled_) {
            if (request) Net().CloseHandle(request);
            return false;
        }
        request_ = request;
    }
    if (is_report()) return request != nullptr;
    return request && Receive(request);
}

bool FileTransfer::Receive(HINTERNET request) {
    bool has_length = false;
    DWORD expected = 0;
    if (!AcceptAnswer(request, &has_length, &expected)) return false;
    // A body announced beyond the cap is not begun.
    if (has_length && expected > limits_.max_bytes) return false;
    {
        CriticalSection::Lock lock(lock_);
        stage_ = Stage::kReceiving;
        progress_max_ = has_length ? expected : 0;
    }
    std::unique_ptr<char[]> buffer(new (std::nothrow) char[kFileBlock]);
    if (!buffer) return false;
    unsigned long long received = 0;
    LARGE_INTEGER frequency, last_read;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&last_read);
    DWORD follow_block = 0;  // what the rate of the last read brings in kFollowMs
    while (!Cancelled()) {
        // Waits until data have arrived, then takes only those. A count of none, which need
        // not mean the end, is settled by a one-byte read: at the end it reads nothing.
        DWORD available = 0;
        if (follow_closely_ && !Net().QueryDataAvailable(request, &available, 0, 0)) {
            return false;
        }
        // Without a callback nobody watches the count, and a given-up transfer is left to
        // end by itself, so whole blocks are waited for: fewer, larger calls. With one, the
        // read takes what has arrived, or what the transfer's rate since the last read brings
        // in kFollowMs if that is more: a fast transfer is read in large blocks, a slow one in
        // what each piece brings. When the data stop at once, at most one such block of what
        // came before waits uncounted until they go on.
        DWORD wanted = kFileBlock;
        if (follow_closely_) {
            wanted = available == 0 ? 1 : available;
            if (available > 0 && follow_block > wanted) {
                wanted = follow_block < kFollowBlock ? follow_block : kFollowBlock;
            }
            if (wanted > kFileBlock) wanted = kFileBlock;
        }
        DWORD read = 0;
        if (!Net().ReadFile(request, buffer.get(), wanted, &read)) return false;
        if (follow_closely_ && read > 0) {
            LARGE_INTEGER now;
            QueryPerformanceCounter(&now);
            // Since the last read ended: the wait for data counts, so a slow server's rate
            // stays low however fast each read then returns.
            const double ms = 1000.0 * static_cast<double>(now.QuadPart - last_read.QuadPart) /
                              static_cast<double>(frequency.QuadPart);
            last_read = now;
            // The block grows at most fourfold a read, and only as the rate shows.
            const double brought = ms > 0.0 ? read * (kFollowMs / ms) : read * 4.0;
            const double limit = static_cast<double>(read) * 4.0;
            follow_block = static_cast<DWORD>(brought < limit ? brought : limit);
        }
        if (read == 0) return !has_length || received == expected;
        // A body that goes on past the cap (or past its own announced length) is not the file.
        if (received + read > limits_.max_bytes) return false;
        CriticalSection::Lock lock(lock_);
        // After a cancel the file may already be closed and deleted: never written again.
        if (cancelled_) return false;
        if (!WriteAll(file_, buffer.get(), read)) return false;
        received += read;
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
    if (blocking) Net().CloseHandle(blocking);
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

// Downloads the URL into the file; false (and the file to be thrown away) on any failure.
bool Transfer(const std::string& url, HANDLE file, DWORD flags, const DownloadLimits& limits,
              IBindStatusCallback* progress) {
    FileTransfer* transfer = new (std::nothrow) FileTransfer(url, file, flags, limits);
    return transfer && transfer->RunAndRelease(progress);
}

// Downloads the URL into the path (created or truncated); on failure the path is removed so
// that no partial file passes for the download.
bool DownloadInto(const std::string& url, const std::string& path,
                  IBindStatusCallback* progress, const DownloadLimits& limits) {
    if (!IsFetchableAddress(url)) {
        Trace("Not fetched (not an http or https address) : %s", url.c_str());
        return false;
    }
    HANDLE file = CreateFreshFile(path);
    if (file == INVALID_HANDLE_VALUE) return false;
    const bool complete = Transfer(url, file, kFileFlags, limits, progress);
    CloseHandle(file);
    if (!complete) DeleteFileA(path.c_str());
    return complete;
}

}  // namespace

std::string DownloadToTempFile(const std::string& file_name, const std::string& url,
                               const DownloadLimits& limits) {
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
    const bool complete = Transfer(url, file, kTempFileFlags, limits, nullptr);
    CloseHandle(file);
    if (complete) return path;
    // An empty or cut-off file left under the expected name would be read by whoever next
    // looks for it there.
    DeleteFileA(path.c_str());
    return "";
}

bool DownloadToFile(const std::string& url, const std::string& path,
                    IBindStatusCallback* progress, const DownloadLimits& limits) {
    if (Net().loaded()) Net().DeleteUrlCacheEntryA(url.c_str());
    return DownloadInto(url, path, progress, limits);
}

bool DownloadToHeldFile(const std::string& url, const std::string& path,
                        IBindStatusCallback* progress, void** file,
                        const DownloadLimits& limits) {
    *file = INVALID_HANDLE_VALUE;
    if (!IsFetchableAddress(url)) {
        Trace("Not fetched (not an http or https address) : %s", url.c_str());
        return false;
    }
    if (Net().loaded()) Net().DeleteUrlCacheEntryA(url.c_str());
    HANDLE held = CreateFreshFile(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ);
    if (held == INVALID_HANDLE_VALUE) return false;
    if (!Transfer(url, held, kFileFlags, limits, progress)) {
        CloseHandle(held);
        DeleteFileA(path.c_str());
        return false;
    }
    *file = held;
    return true;
}

bool DownloadReplacing(const std::string& url, const std::string& path,
                       const DownloadLimits& limits) {
    if (url.empty() || path.empty()) return false;
    const std::string temporary = path + ".tmp";
    // A failed download has removed its own partial file; whatever else stands under the
    // temporary name (a link it refused) is not ours to delete.
    if (!DownloadInto(url, temporary, nullptr, limits)) return false;
    if (MoveOverWithoutLinks(temporary, path)) return true;
    DeleteFileA(temporary.c_str());
    return false;
}

bool OpenUnread(const std::string& url, unsigned long max_ms, unsigned long* failure_stage,
                unsigned long* failure_error) {
    *failure_stage = 0;
    *failure_error = 0;
    if (!IsFetchableAddress(url)) return false;
    const DownloadLimits limits = {0, max_ms};
    FileTransfer* transfer = new (std::nothrow)
        FileTransfer(url, INVALID_HANDLE_VALUE, INTERNET_FLAG_RELOAD, limits);
    return transfer && transfer->RunAndRelease(failure_stage, failure_error);
}

bool SendLogRequest(const std::string& address, const std::string& query) {
    const std::string url = address + "?" + query;
    Trace("Log URL : %s", url.c_str());
    DWORD stage = 0;
    DWORD error = 0;
    if (OpenUnread(url, kReportLimitMs, &stage, &error)) return true;
    if (stage == 2) Trace("Log Error 2 : %d", static_cast<int>(error));
    if (stage == 1) Trace("Log Error 1 : %d", static_cast<int>(error));
    return false;
}
