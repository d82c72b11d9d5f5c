#pragma once
// Downloads through the system's internet client (WinInet and the URL moniker). Every call
// blocks; failures are results, never messages.
#include <string>

struct IBindStatusCallback;

// Downloads the URL through WinInet into "<temporary folder>\\<file_name>" and returns that
// path; "" when the file or the connection could not be opened. A transfer that breaks off
// still returns the path of the partial file.
std::string DownloadToTempFile(const std::string& file_name, const std::string& url);

// Removes the URL from the browser cache and downloads it to the path with the URL moniker.
// The callback (may be null) receives progress and can cancel. True on success.
bool DownloadToFile(const std::string& url, const std::string& path,
                    IBindStatusCallback* progress = nullptr);

// Downloads to "<path>.tmp" and moves that over the path only when the download succeeded, so a
// failure leaves the destination as it was.
bool DownloadReplacing(const std::string& url, const std::string& path);

// GET of "<address>?<query>" whose response is never read, with debug traces ("Log URL : %s",
// "Log Error 1 : %d", "Log Error 2 : %d"). True only when the URL opened. Used for the update log.
bool SendLogRequest(const std::string& address, const std::string& query);

#include "updater/platform/UrlEncode.h"  // UrlEncode
