#pragma once
// Whether a module file is whole: its headers and every section's bytes lie inside the file.
// The system maps a cut or damaged module as a data file all the same, and reading a resource
// whose bytes lie past the end of the file then faults inside the system.
//
// No Windows header here: it builds natively for the sanitizer tests and the fuzzer.
#include <cstddef>
#include <cstdint>
#include <string>

// How much of a module's beginning is read for the check. Its headers and section table take
// a few hundred bytes; a module whose table lies further in is refused. The rest of the file is
// only measured, not read: the check runs before the window is made.
constexpr std::size_t kModuleHeadersCap = 64u * 1024u;

// `start` is the file's beginning (at least its headers), `file_size` the size of the whole file.
bool ModuleImageIsWhole(const std::string& start, std::uint64_t file_size);

// The whole file in memory.
inline bool ModuleImageIsWhole(const std::string& bytes) {
    return ModuleImageIsWhole(bytes, bytes.size());
}
