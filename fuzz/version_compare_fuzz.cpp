// Version texts come from the registry and from the agent's UpdateInfo.ini: any bytes at all.
// Parsing must not fault, and the comparison must stay antisymmetric and reflexive.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "updater/platform/VersionCompare.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const size_t split = input.find('\0');
    const std::string a = input.substr(0, split);
    const std::string b = split == std::string::npos ? std::string() : input.substr(split + 1);
    const ParsedVersion parsed = ParseVersion(a);
    if (parsed.number != parsed.number) std::abort();  // never NaN
    if (CompareVersions(a, a) != 0) std::abort();
    if (CompareVersions(a, b) != -CompareVersions(b, a)) std::abort();
    return 0;
}
