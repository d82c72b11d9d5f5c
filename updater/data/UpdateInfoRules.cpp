#include "updater/data/UpdateInfoRules.h"

namespace {

char FoldAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

std::string ExpandLineBreaks(std::string text) {
    for (size_t at = text.find("\\n"); at != std::string::npos; at = text.find("\\n", at + 1))
        text.replace(at, 2, "\n");
    return text;
}

// The system's comparison follows the user's collation: for ASCII letters that is plain case
// folding, but it may also take two different non-ASCII spellings, or names that differ only
// in characters it ignores, for one. Here only ASCII letters fold and every other byte must be
// the same, so a file is never taken for a product the system would have told apart; a product
// name is its registry key name and plain ASCII in practice.
bool SameProductName(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
    }
    return true;
}

bool UpdateInfoUsable(const UpdateInfoFields& info, const std::string& product) {
    return SameProductName(info.EngName, product) && !info.LocalName.empty() &&
           !info.Mutex.empty() && !info.NewVersion.empty() && !info.Descript1.empty() &&
           !info.Descript2.empty() && !info.DownloadedPath.empty();
}

std::string LogoFileName(const std::string& version) {
    // The version becomes part of a file name: one that names another folder is no version.
    if (version.find_first_of("\\/:") != std::string::npos ||
        version.find("..") != std::string::npos) {
        return std::string();
    }
    return "UpdateImage_" + version + ".bmp";
}

std::string MainAppRelativePath(const std::string& main_app) {
    // Windows drops trailing dots from a component, so "..." would climb as well: no ".." at all.
    if (main_app.empty() || main_app.find(':') != std::string::npos ||
        main_app.find("..") != std::string::npos) {
        return std::string();
    }
    std::string path;
    size_t at = 0;
    for (;;) {
        const size_t end = main_app.find_first_of("\\/", at);
        const std::string part =
            main_app.substr(at, end == std::string::npos ? std::string::npos : end - at);
        // An empty first part is a rooted path; an empty later one a doubled or final slash.
        if (part.empty() || part == "." || part == "..") return std::string();
        path += (path.empty() ? "" : "\\") + part;
        if (end == std::string::npos) return path;
        at = end + 1;
    }
}

std::string MainAppImageName(const std::string& main_app) {
    const std::string path = MainAppRelativePath(main_app);
    const size_t slash = path.rfind('\\');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}
