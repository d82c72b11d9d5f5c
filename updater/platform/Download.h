#pragma once
// Downloads through the system's internet client (WinInet and the URL moniker). Every call
// returns only once the download has ended, but the transfer itself runs on a thread of its own:
// meanwhile the calling thread dispatches its window messages (waking on each), so its windows
// answer however slowly the server sends. A download that outgrows its size cap or outlasts its
// time limit fails as one from a dead server does (no file left); so does one whose thread sees a
// quit message (the quit is posted again). Failures are results, never messages.
#include <string>

#include "updater/platform/UrlEncode.h"  // UrlEncode

struct IBindStatusCallback;

// The most a download may bring and the longest it may take, connecting included.
struct DownloadLimits {
    unsigned long long max_bytes;
    unsigned long max_ms;
};
// Files read from outside (option file, enumeration list, licence, logo, icon): nothing larger
// than what their readers take in.
constexpr DownloadLimits kOutsideFileLimits = {4ull * 1024 * 1024, 60ul * 1000};
// Offer setups: far beyond any real installer, and time for one on a slow line.
constexpr DownloadLimits kSetupLimits = {512ull * 1024 * 1024, 60ul * 60 * 1000};

// Downloads the URL through WinInet into "<temporary folder>\\<file_name>" and returns that
// path; "" when the file cannot be created, the server cannot be reached, answers with an error
// status, or the body breaks off (no empty or partial file is left under the name).
std::string DownloadToTempFile(const std::string& file_name, const std::string& url,
                               const DownloadLimits& limits = kOutsideFileLimits);

// Removes the URL from the browser cache and downloads it to the path. True only for a
// successful HTTP status and a complete body; on failure no file is left at the path. The
// callback (may be null) is called on the calling thread at least every 100 ms while the
// download runs: OnProgress with BINDSTATUS_CONNECTING until the answer is in, then
// BINDSTATUS_BEGINDOWNLOADDATA once, _DOWNLOADINGDATA with the bytes received so far, and
// _ENDDOWNLOADDATA after a complete body. A failing OnProgress (E_ABORT) cancels: the download
// ends without another report and the connection is closed.
bool DownloadToFile(const std::string& url, const std::string& path,
                    IBindStatusCallback* progress = nullptr,
                    const DownloadLimits& limits = kSetupLimits);

// DownloadToFile for a file that must not change before it is used: http and https only, the
// file created for reading and writing and shared for reading alone, and on success left open,
// its handle in `file` (the caller closes it), so that nobody else could write it meanwhile.
// On failure nothing is left at the path and `file` is INVALID_HANDLE_VALUE.
bool DownloadToHeldFile(const std::string& url, const std::string& path,
                        IBindStatusCallback* progress, void** file,
                        const DownloadLimits& limits = kSetupLimits);

// Downloads to "<path>.tmp" and moves that over the path only when the download succeeded, so a
// failure leaves the destination as it was.
bool DownloadReplacing(const std::string& url, const std::string& path,
                       const DownloadLimits& limits = kOutsideFileLimits);

// The longest a report may take to be taken by its server, connecting included.
constexpr unsigned long kReportLimitMs = 30ul * 1000;

// Opens an http(s) URL so that its server takes the request, and closes it unread: a report.
// Runs on a worker thread like the downloads, but a quit message does not end it (a report
// sent as the window closes still goes out); only max_ms does. True when the URL opened. On
// failure, failure_stage is 2 when no internet session could be had, 1 when the URL did not
// open (failure_error then holds the error code), 0 otherwise.
bool OpenUnread(const std::string& url, unsigned long max_ms, unsigned long* failure_stage,
                unsigned long* failure_error);

// GET of "<address>?<query>" whose response is never read, with debug traces ("Log URL : %s",
// "Log Error 1 : %d", "Log Error 2 : %d"). True only when the URL opened. Used for the update log.
bool SendLogRequest(const std::string& address, const std::string& query);
