#include "updater/adview/AdNavigation.h"

namespace {

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

std::string LowerText(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) c = Lower(c);
    return lower;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (size_t at = 0; at < prefix.size(); ++at) {
        if (Lower(text[at]) != Lower(prefix[at])) return false;
    }
    return true;
}

bool EqualNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && StartsWithNoCase(a, b);
}

bool ValidHostCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '_';
}

}  // namespace

bool ReadWebAddress(std::string_view url, WebAddress* address) {
    WebAddress result;
    std::string_view rest;
    if (StartsWithNoCase(url, "http://")) {
        result.scheme = "http";
        result.port = 80;
        rest = url.substr(7);
    } else if (StartsWithNoCase(url, "https://")) {
        result.scheme = "https";
        result.port = 443;
        rest = url.substr(8);
    } else {
        return false;
    }
    // Browsers read a backslash as a slash: the authority ends at either.
    const size_t authority_end = rest.find_first_of("/\\?#");
    std::string_view authority = rest.substr(0, authority_end);
    const size_t at_sign = authority.rfind('@');
    if (at_sign != std::string_view::npos) authority = authority.substr(at_sign + 1);
    std::string_view host = authority;
    const size_t colon = authority.rfind(':');
    if (colon != std::string_view::npos) {
        host = authority.substr(0, colon);
        const std::string_view digits = authority.substr(colon + 1);
        if (!digits.empty()) {
            if (digits.size() > 5) return false;
            int port = 0;
            for (char c : digits) {
                if (c < '0' || c > '9') return false;
                port = port * 10 + (c - '0');
            }
            if (port == 0 || port > 65535) return false;
            result.port = port;
        }
    }
    result.host = LowerText(host);
    if (result.host.empty()) return false;
    for (char c : result.host) {
        if (!ValidHostCharacter(c)) return false;
    }
    if (authority_end != std::string_view::npos) {
        std::string_view path = rest.substr(authority_end);
        path = path.substr(0, path.find_first_of("?#"));
        result.path = std::string(path);
        for (char& c : result.path) {
            if (c == '\\') c = '/';
        }
    }
    if (result.path.empty()) result.path = "/";
    *address = result;
    return true;
}

bool SameServer(const WebAddress& a, const WebAddress& b) {
    return a.scheme == b.scheme && a.host == b.host && a.port == b.port;
}

bool IsAdPageAddress(std::string_view url, std::string_view page_address) {
    WebAddress document, page;
    return ReadWebAddress(url, &document) && ReadWebAddress(page_address, &page) &&
           SameServer(document, page) && EqualNoCase(document.path, page.path);
}

AdNavigation DecideAdNavigation(std::string_view url, std::string_view ad_address,
                                bool top_level) {
    if (EqualNoCase(url, "about:blank")) return AdNavigation::kShow;
    WebAddress target;
    if (!ReadWebAddress(url, &target)) return AdNavigation::kRefuse;
    if (!top_level) return AdNavigation::kShow;
    WebAddress server;
    if (ReadWebAddress(ad_address, &server) && server.host == target.host) {
        return AdNavigation::kShow;
    }
    return AdNavigation::kOpenOutside;
}
