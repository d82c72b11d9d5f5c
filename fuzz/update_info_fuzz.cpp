// UpdateInfo.ini is written by the agent: every value is outside text. Checks the line break
// expansion against a plain left-to-right reading, the usability rule (required values, the
// product name compared without case), and that the logo's file name derived from the version
// stays one name in the product's folder.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "updater/data/UpdateInfoRules.h"

namespace {

std::string ReferenceLineBreaks(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == 'n') {
            out += '\n';
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }
char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

std::string Flip(const std::string& text) {
    std::string out = text;
    for (char& c : out) c = c == Lower(c) ? Upper(c) : Lower(c);
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    UpdateInfoFields info;
    std::string* const fields[] = {&info.EngName,        &info.LocalName,    &info.Mutex,
                                   &info.MainApp,        &info.NewVersion,   &info.Descript1,
                                   &info.Descript2,      &info.DownloadedPath, &info.SimpleDescript,
                                   &info.LogoImageURL,   &info.LogoImagePath};
    for (std::string* field : fields) *field = in.ConsumeRandomLengthString(64);
    // Most often the file's own name for the product, in another case.
    std::string product = in.ConsumeBool() ? Flip(info.EngName) : in.ConsumeRandomLengthString(32);

    // Line breaks.
    for (const std::string* text : {&info.Descript2, &info.SimpleDescript}) {
        const std::string expanded = ExpandLineBreaks(*text);
        if (expanded != ReferenceLineBreaks(*text)) std::abort();
        if (expanded.find("\\n") != std::string::npos) std::abort();
    }

    // The product name: equal without regard to ASCII case, and nothing else.
    const bool same = SameProductName(info.EngName, product);
    if (same != SameProductName(product, info.EngName)) std::abort();
    bool reference_same = info.EngName.size() == product.size();
    for (size_t i = 0; reference_same && i < product.size(); ++i) {
        reference_same = Lower(info.EngName[i]) == Lower(product[i]);
    }
    if (same != reference_same) std::abort();
    if (!SameProductName(product, Flip(product))) std::abort();

    const bool usable = UpdateInfoUsable(info, product);
    const bool required = !info.LocalName.empty() && !info.Mutex.empty() &&
                          !info.NewVersion.empty() && !info.Descript1.empty() &&
                          !info.Descript2.empty() && !info.DownloadedPath.empty();
    if (usable != (same && required)) std::abort();

    // The logo: one file name, or none for a version that would leave the folder.
    const std::string name = LogoFileName(info.NewVersion);
    const bool names_folder = info.NewVersion.find_first_of("\\/:") != std::string::npos ||
                              info.NewVersion.find("..") != std::string::npos;
    if (name.empty() != names_folder) std::abort();
    if (!name.empty()) {
        if (name != "UpdateImage_" + info.NewVersion + ".bmp") std::abort();
        if (name.find_first_of("\\/:") != std::string::npos) std::abort();
        // Cut at a NUL by the system, it is still a name of its own in the product's folder.
        const std::string as_called = name.substr(0, name.find('\0'));
        if (as_called.find_first_not_of('.') == std::string::npos) std::abort();
    }
    return 0;
}
