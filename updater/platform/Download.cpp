#include "updater/platform/Download.h"

#include <windows.h>
#include <urlmon.h>
#include <wininet.h>

#include <cstdarg>

#include "updater/data/ProductSettings.h"
#include "updater/platform/Shell.h"

namespace {

constexpr DWORD kTempFileFlags =
    INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_TRANSFER_ASCII;
static_assert(kTempFileFlags == 0x84000001, "request flags of the temporary-file download");

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
        // Closing the root handle also closes the request, but the request is closed first so
        // that nothing refers to a closed parent.
        InternetHandle request(root ? InternetOpenUrlA(root.get(), url.c_str(), nullptr, 0,
                                                       kTempFileFlags, 0)
                                    : nullptr);
        if (request) {
            // An error page is not the file that was asked for.
            bool has_status = false;
            DWORD status = QueryNumber(request.get(), HTTP_QUERY_STATUS_CODE, &has_status);
            bool has_length = false;
            DWORD expected = QueryNumber(request.get(), HTTP_QUERY_CONTENT_LENGTH, &has_length);
            if (!has_status || (status >= 200 && status < 300)) {
                char buffer[1024];
                unsigned long long received = 0;
                bool failed = false;
                for (;;) {
                    DWORD read = 0;
                    if (!InternetReadFile(request.get(), buffer, sizeof(buffer) - 1, &read)) {
                        failed = true;
                        break;
                    }
                    if (read == 0) break;
                    DWORD written = 0;
                    if (!WriteFile(file, buffer, read, &written, nullptr) || written != read) {
                        failed = true;
                        break;
                    }
                    received += read;
                }
                // A body that ends before its announced length was cut off.
                complete = !failed && (!has_length || received == expected);
            }
        }
    }
    CloseHandle(file);
    return complete ? path : std::string();
}

bool DownloadToFile(const std::string& url, const std::string& path,
                    IBindStatusCallback* progress) {
    DeleteUrlCacheEntryA(url.c_str());
    return SUCCEEDED(URLDownloadToFileA(nullptr, url.c_str(), path.c_str(), 0, progress));
}

bool DownloadReplacing(const std::string& url, const std::string& path) {
    if (url.empty() || path.empty()) return false;
    const std::string temporary = path + ".tmp";
    if (FAILED(URLDownloadToFileA(nullptr, url.c_str(), temporary.c_str(), 0, nullptr))) {
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
