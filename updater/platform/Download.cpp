#include "updater/platform/Download.h"

#include <windows.h>
#include <urlmon.h>
#include <wininet.h>

#include <cstdarg>
#include <vector>

#include "updater/platform/DebugTrace.h"
#include "updater/platform/Shell.h"

namespace {

constexpr DWORD kTempFileFlags =
    INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_TRANSFER_ASCII;
static_assert(kTempFileFlags == 0x84000001, "request flags of the temporary-file download");
// The option files fetched into the temporary folder are small and are read 1023 bytes at a
// time; installers are large, and small reads cost a system call each.
constexpr DWORD kTempFileChunk = 1023;
constexpr DWORD kFileChunk = 64 * 1024;

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

bool IsHttpUrl(const std::string& url) {
    return CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, url.c_str(),
                          url.size() < 7 ? -1 : 7, "http://", -1) == CSTR_EQUAL ||
           CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, url.c_str(),
                          url.size() < 8 ? -1 : 8, "https://", -1) == CSTR_EQUAL;
}

// Reads the answer to an opened URL into the file, at most `chunk` bytes per read. True only for
// a successful status and a complete body: an error page is not the file that was asked for,
// and a body that ends before its announced length was cut off. A progress callback sees the
// begin, continuation and end of the data and cancels by answering with a failure.
bool Transfer(HINTERNET request, HANDLE file, DWORD chunk, IBindStatusCallback* progress) {
    bool has_status = false;
    const DWORD status = QueryNumber(request, HTTP_QUERY_STATUS_CODE, &has_status);
    if (has_status && (status < 200 || status >= 300)) return false;
    bool has_length = false;
    const DWORD expected = QueryNumber(request, HTTP_QUERY_CONTENT_LENGTH, &has_length);
    const ULONG progress_max = has_length ? expected : 0;

    if (progress && FAILED(progress->OnProgress(0, progress_max, BINDSTATUS_BEGINDOWNLOADDATA,
                                                nullptr)))
        return false;
    std::vector<char> buffer(chunk);
    unsigned long long received = 0;
    for (;;) {
        DWORD read = 0;
        if (!InternetReadFile(request, buffer.data(), chunk, &read)) return false;
        if (read == 0) break;
        DWORD written = 0;
        if (!WriteFile(file, buffer.data(), read, &written, nullptr) || written != read)
            return false;
        received += read;
        if (progress &&
            FAILED(progress->OnProgress(static_cast<ULONG>(received), progress_max,
                                        BINDSTATUS_DOWNLOADINGDATA, nullptr)))
            return false;
    }
    if (has_length && received != expected) return false;
    if (progress) {
        progress->OnProgress(static_cast<ULONG>(received), static_cast<ULONG>(received),
                             BINDSTATUS_ENDDOWNLOADDATA, nullptr);
    }
    return true;
}

// Downloads the URL into the path (created or truncated); on failure the path is removed so
// that no partial file passes for the download.
bool DownloadInto(const std::string& url, const std::string& path,
                  IBindStatusCallback* progress) {
    if (!IsHttpUrl(url)) {
        // Not a web address: the URL moniker handles whatever scheme it knows.
        return SUCCEEDED(URLDownloadToFileA(nullptr, url.c_str(), path.c_str(), 0, progress));
    }
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    bool complete = false;
    {
        InternetHandle root(
            InternetOpenA("Norvane", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
        InternetHandle request(
            root ? InternetOpenUrlA(root.get(), url.c_str(), nullptr, 0,
                                    INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE, 0)
                 : nullptr);
        complete = request && Transfer(request.get(), file, kFileChunk, progress);
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

    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return "";

    bool complete = false;
    {
        InternetHandle root(
            InternetOpenA("Norvane", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
        // The request is closed before the root handle that owns it.
        InternetHandle request(root ? InternetOpenUrlA(root.get(), url.c_str(), nullptr, 0,
                                                       kTempFileFlags, 0)
                                    : nullptr);
        complete = request && Transfer(request.get(), file, kTempFileChunk, nullptr);
    }
    CloseHandle(file);
    return complete ? path : std::string();
}

bool DownloadToFile(const std::string& url, const std::string& path,
                    IBindStatusCallback* progress) {
    DeleteUrlCacheEntryA(url.c_str());
    return DownloadInto(url, path, progress);
}

bool DownloadReplacing(const std::string& url, const std::string& path) {
    if (url.empty() || path.empty()) return false;
    const std::string temporary = path + ".tmp";
    if (!DownloadInto(url, temporary, nullptr)) {
        DeleteFileA(temporary.c_str());
        return false;
    }
    return MoveFileExA(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING) != FALSE;
}

bool SendLogRequest(const std::string& address, const std::string& query) {
    const std::string url = address + "?" + query;
    Trace("Log URL : %s", url.c_str());
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
