#pragma once
// Where the advertisement view may go. The view runs inside Norvane, which may be elevated, and
// shows pages of a plain-HTTP server: it stays on web addresses, only the advertisement server's
// own pages open in it, and only a page of that server may name the end offer.
//
// No Windows header here: this builds natively for fuzzing and tests.
#include <string>
#include <string_view>

// The parts of an http or https address that say where it leads.
struct WebAddress {
    std::string scheme;  // "http" or "https", lower case
    std::string host;    // lower case, without user information or port
    int port = 0;        // the scheme's default when none is written
    std::string path;    // from the first "/" up to "?" or "#"; "/" when empty
};

// False for anything but a well-formed http or https address with a host.
bool ReadWebAddress(std::string_view url, WebAddress* address);

// Whether the two addresses name the same server: scheme, host and port compared whole, so that
// "ad.example.evil" or "evil/?ad.example" is not "ad.example".
bool SameServer(const WebAddress& a, const WebAddress& b);

// Whether a document's address is that advertisement page: the same server and the same path
// (letters in either case); a query or fragment may follow.
bool IsAdPageAddress(std::string_view url, std::string_view page_address);

enum class AdNavigation {
    kShow,         // stays in the view
    kOpenOutside,  // not in the view: in the user's browser, with the user's rights
    kRefuse,       // nowhere
};

// A navigation of the view: `top_level` for the view's own document, false for its frames.
// Web addresses on the advertisement server's host (`ad_address`, any of its pages) and web
// frames stay;
// a web address elsewhere leaves the view for the user's browser; every other scheme is refused
// ("about:blank" aside, which frames start from).
AdNavigation DecideAdNavigation(std::string_view url, std::string_view ad_address, bool top_level);
