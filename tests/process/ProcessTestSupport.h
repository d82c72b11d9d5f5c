#pragma once
// Text conversions for the image and window names the tests compare (ASCII only).
#include <string>

#include "tests/support/TestSupport.h"

namespace processtest {

inline std::string Narrow(const std::wstring& text) {
    return std::string(text.begin(), text.end());  // the tests use ASCII names only
}
inline std::wstring Wide(const std::string& text) {
    return std::wstring(text.begin(), text.end());
}


}  // namespace processtest
