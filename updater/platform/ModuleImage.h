#pragma once
// Whether a module file is whole: its headers and every section's bytes lie inside the file.
// The system maps a cut or damaged module as a data file all the same, and reading a resource
// whose bytes lie past the end of the file then faults inside the system.
//
// No Windows header here: it builds natively for the sanitizer tests and the fuzzer.
#include <cstddef>
#include <string>

// Largest language module read for the check; ours is a few hundred kilobytes.
constexpr std::size_t kModuleImageCap = 16u * 1024u * 1024u;

bool ModuleImageIsWhole(const std::string& bytes);
