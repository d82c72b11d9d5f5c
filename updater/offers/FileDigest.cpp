#include "updater/offers/FileDigest.h"

#include <wincrypt.h>

#include <memory>
#include <new>

namespace {

// The digest does not depend on the block size; 1 KiB reads made the check run at half the
// speed of the same digest in 64 KiB reads (bench/digest/run.sh).
constexpr DWORD kBlockSize = 64 * 1024;

}  // namespace

std::string FileMd5Hex(HANDLE file) {
    if (file == INVALID_HANDLE_VALUE || !file) return "";
    if (SetFilePointer(file, 0, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER &&
        GetLastError() != NO_ERROR) {
        return "";
    }
    HCRYPTPROV provider = 0;
    if (!CryptAcquireContextA(&provider, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT)) {
        return "";
    }
    std::string result;
    HCRYPTHASH hash = 0;
    // On the heap: Norvane's one thread has a 1 MB stack.
    std::unique_ptr<BYTE[]> block(new (std::nothrow) BYTE[kBlockSize]);
    if (block && CryptCreateHash(provider, CALG_MD5, 0, 0, &hash)) {
        DWORD read = 0;
        bool ok = true;
        for (;;) {
            if (!ReadFile(file, block.get(), kBlockSize, &read, nullptr)) {
                ok = false;
                break;
            }
            if (read == 0) break;
            if (!CryptHashData(hash, block.get(), read, 0)) {
                ok = false;
                break;
            }
        }
        BYTE digest[16];
        DWORD size = sizeof(digest);
        if (ok && CryptGetHashParam(hash, HP_HASHVAL, digest, &size, 0) && size == 16) {
            static const char kHex[] = "0123456789abcdef";
            for (BYTE byte : digest) {
                result += kHex[byte >> 4];
                result += kHex[byte & 15];
            }
        }
        CryptDestroyHash(hash);
    }
    CryptReleaseContext(provider, 0);
    return result;
}

std::string FileMd5Hex(const std::string& path) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE) return "";
    std::string digest = FileMd5Hex(file);
    CloseHandle(file);
    return digest;
}

bool DigestMatches(const std::string& digest, const std::string& checksum) {
    return !digest.empty() && !checksum.empty() && lstrcmpiA(digest.c_str(), checksum.c_str()) == 0;
}

bool LockedSetupFile::Open(const std::string& path) {
    Release();
    file_ = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                        FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    return is_open();
}

bool LockedSetupFile::TakeWritten(HANDLE written, const std::string& path) {
    Release();
    if (written == INVALID_HANDLE_VALUE || !written) return false;
    // A writer's handle cannot be shared with the process start; the file is open to others
    // for the moment between the two handles, so the second must read what the first wrote.
    const std::string digest = FileMd5Hex(written);
    CloseHandle(written);
    if (digest.empty() || !Open(path)) return false;
    if (Digest() == digest) return true;
    Release();
    return false;
}

std::string LockedSetupFile::Digest() const { return FileMd5Hex(file_); }

void LockedSetupFile::Release() {
    if (is_open()) {
        CloseHandle(file_);
        file_ = INVALID_HANDLE_VALUE;
    }
}
