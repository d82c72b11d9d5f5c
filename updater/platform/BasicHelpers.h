#pragma once
// Helpers Norvane needs from its first moment: its own path, the existence test and the
// one-shot GET whose only payload is the query string.
#include <string>

// Full path of Norvane's executable.
std::string OwnModulePath();
// True when the path (double quotes removed) names an existing file or folder.
bool FileExists(const std::string& path);

// Results of HttpGet; also the exit codes of a "/sendlog" run.
constexpr int kHttpGetSent = 1;
constexpr int kHttpGetFailed = 2;
// Opens the URL (any HTTP status counts as sent); the response is never read.
int HttpGet(const std::string& url);
