#pragma once
// Query-string encoding of log fields. No Windows header here: this builds natively for fuzzing.
#include <string>

// 0-9, A-Z and a-z pass unchanged; every other byte becomes "%xx" in lowercase hexadecimal.
std::string UrlEncode(const std::string& text);
