#pragma once
// The digest offered setup programs are checked with before they run: MD5 over the whole file,
// as 32 lowercase hexadecimal digits, computed by the system's cryptographic provider.
#include <windows.h>

#include <string>

// "" when the file cannot be read or the provider fails.
std::string FileMd5Hex(const std::string& path);
std::string FileMd5Hex(HANDLE file);  // reads from the start of an open file
// Case-insensitive; an empty digest or checksum never matches.
bool DigestMatches(const std::string& digest, const std::string& checksum);

// Holds a setup file open from the digest check until its process has started, sharing it for
// reading only: nothing can rewrite, replace or delete the checked file in between.
class LockedSetupFile {
public:
    LockedSetupFile() = default;
    ~LockedSetupFile() { Release(); }
    LockedSetupFile(const LockedSetupFile&) = delete;
    LockedSetupFile& operator=(const LockedSetupFile&) = delete;

    bool Open(const std::string& path);
    // Takes over a file just written through `written` (open for reading and writing, shared
    // for reading only): reads its digest there, closes it and holds the path again. False
    // (nothing held) when the file changed in the moment between the two handles.
    bool TakeWritten(HANDLE written, const std::string& path);
    bool is_open() const { return file_ != INVALID_HANDLE_VALUE; }
    std::string Digest() const;
    void Release();

private:
    HANDLE file_ = INVALID_HANDLE_VALUE;
};
