// Log fields are encoded from whatever the product and the option file hold. The output must
// use only letters, digits and "%xx", and decode back to the input.
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "updater/platform/UrlEncode.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const std::string encoded = UrlEncode(input);
    std::string decoded;
    for (size_t i = 0; i < encoded.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(encoded[i]);
        if (c == '%') {
            if (i + 2 >= encoded.size()) std::abort();  // a cut-off escape
            const std::string hex = encoded.substr(i + 1, 2);
            for (char h : hex)
                if (!std::isdigit(static_cast<unsigned char>(h)) && (h < 'a' || h > 'f')) std::abort();
            decoded += static_cast<char>(std::strtol(hex.c_str(), nullptr, 16));
            i += 2;
        } else if (std::isalnum(c)) {
            decoded += static_cast<char>(c);
        } else {
            std::abort();
        }
    }
    if (decoded != input) std::abort();
    return 0;
}
