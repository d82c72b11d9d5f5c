// Digest throughput of the setup-file check: bench_digest FILE [ROUNDS [BLOCK]]
// Prints the digest and the best time of the rounds in milliseconds. With BLOCK, the same
// CryptoAPI MD5 over the file read in blocks of that many bytes instead of FileMd5Hex's, to
// show how much of the time the block size takes.
#include <windows.h>
#include <wincrypt.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "updater/offers/FileDigest.h"

namespace {

std::string Md5InBlocks(const char* path, DWORD block_size) {
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return "";
    HCRYPTPROV provider = 0;
    HCRYPTHASH hash = 0;
    std::string hex;
    if (CryptAcquireContextA(&provider, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT) &&
        CryptCreateHash(provider, CALG_MD5, 0, 0, &hash)) {
        std::vector<BYTE> block(block_size);
        DWORD read = 0;
        bool ok = true;
        while (ok && ReadFile(file, block.data(), block_size, &read, nullptr) && read > 0) {
            ok = CryptHashData(hash, block.data(), read, 0) != FALSE;
        }
        BYTE digest[16];
        DWORD size = sizeof(digest);
        if (ok && CryptGetHashParam(hash, HP_HASHVAL, digest, &size, 0)) {
            char text[33];
            for (int i = 0; i < 16; ++i) std::snprintf(text + 2 * i, 3, "%02x", digest[i]);
            hex = text;
        }
    }
    if (hash) CryptDestroyHash(hash);
    if (provider) CryptReleaseContext(provider, 0);
    CloseHandle(file);
    return hex;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        fprintf(stderr, "usage: bench_digest FILE [ROUNDS [BLOCK]]\n");
        return 2;
    }
    const int rounds = argc > 2 ? atoi(argv[2]) : 3;
    const DWORD block = argc > 3 ? static_cast<DWORD>(atoi(argv[3])) : 0;
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    double best_ms = 1e30;
    std::string digest;
    for (int round = 0; round < rounds; ++round) {
        LARGE_INTEGER start, end;
        QueryPerformanceCounter(&start);
        digest = block ? Md5InBlocks(argv[1], block) : FileMd5Hex(std::string(argv[1]));
        QueryPerformanceCounter(&end);
        const double ms = 1000.0 * static_cast<double>(end.QuadPart - start.QuadPart) /
                          static_cast<double>(frequency.QuadPart);
        if (ms < best_ms) best_ms = ms;
    }
    printf("%s %.1f\n", digest.c_str(), best_ms);
    return digest.empty() ? 1 : 0;
}
