#pragma once
// Product version texts ("3.5.0.1", "V2.0", "1.5b2") as the update decision reads them. No
// Windows header here: this builds natively for fuzzing.
#include <cstdint>
#include <string>

enum VersionKind { kVersionAlpha = 0, kVersionBeta = 1, kVersionRelease = 2 };

struct ParsedVersion {
    float number = 0.0f;           // major.minor only: 3.5.0.1 reads as 3.5, 3.10 as 3.1
    int kind = kVersionRelease;    // VersionKind
    int32_t suffix = 0;            // the number after "a"/"b"; 0 when none
};

ParsedVersion ParseVersion(const std::string& text);

// 1 when a is newer than b, -1 when older, 0 when they count as equal.
signed char CompareVersions(const std::string& a, const std::string& b);
