// Digest throughput of the setup-file check: bench_digest FILE [ROUNDS]
// Prints the digest and the best time of the rounds in milliseconds.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "updater/offers/FileDigest.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        fprintf(stderr, "usage: bench_digest FILE [ROUNDS]\n");
        return 2;
    }
    const int rounds = argc > 2 ? atoi(argv[2]) : 3;
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    double best_ms = 1e30;
    std::string digest;
    for (int round = 0; round < rounds; ++round) {
        LARGE_INTEGER start, end;
        QueryPerformanceCounter(&start);
        digest = FileMd5Hex(std::string(argv[1]));
        QueryPerformanceCounter(&end);
        const double ms = 1000.0 * static_cast<double>(end.QuadPart - start.QuadPart) /
                          static_cast<double>(frequency.QuadPart);
        if (ms < best_ms) best_ms = ms;
    }
    printf("%s %.1f\n", digest.c_str(), best_ms);
    return digest.empty() ? 1 : 0;
}
