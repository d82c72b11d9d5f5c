#pragma once
// Which addresses Norvane may fetch or open. Addresses come from the option file, the update
// information and pages from the network; the system's URL handling would also take file:,
// network-share and other schemes from them, leaking the user's credentials to a share or
// copying local files where an elevated copy writes.
//
// No Windows header here: this also builds natively for the unit tests and fuzzing.
#include <string>

// True for "http://" or "https://" (the scheme in any case) followed by a host.
bool IsFetchableAddress(const std::string& url);

// Links of the licence text that a click may open: fetchable addresses and "mailto:" with a
// recipient.
bool IsLicenceLinkAllowed(const std::string& url);
