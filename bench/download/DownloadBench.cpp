// Serves a 64 MiB file from a loopback server and times DownloadToFile and DownloadToTempFile on
// it. The server stays up until run.sh has fetched the same file with curl, so all figures come
// from the same server in the same run.
//   download_bench <folder>   writes <folder>\port.txt, then <folder>\bench.txt with the figures,
//                             then serves until <folder>\curl.done exists (at most 10 minutes)
#include <windows.h>
#include <urlmon.h>

#include <cstdio>
#include <string>

#include "tests/support/LoopbackServer.h"
#include "updater/platform/Download.h"

namespace {

constexpr size_t kSize = 64u * 1024u * 1024u;
constexpr int kRounds = 3;

double Seconds(LARGE_INTEGER from, LARGE_INTEGER to) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(to.QuadPart - from.QuadPart) / frequency.QuadPart;
}

bool WriteText(const std::string& path, const std::string& text) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    std::fwrite(text.data(), 1, text.size(), file);
    std::fclose(file);
    return true;
}

long long FileSize(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return -1;
    return (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// Best of kRounds, in MB/s (10^6 bytes per second); 0 when a round fails.
template <typename Fn>
double Measure(Fn download) {
    double best = 0;
    for (int round = 0; round < kRounds; ++round) {
        LARGE_INTEGER start, end;
        QueryPerformanceCounter(&start);
        const bool ok = download();
        QueryPerformanceCounter(&end);
        if (!ok) return 0;
        const double rate = kSize / Seconds(start, end) / 1e6;
        if (rate > best) best = rate;
    }
    return best;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: download_bench <folder>\n");
        return 2;
    }
    const std::string folder = argv[1];
    testsupport::LoopbackServer server;
    if (!server.ok()) return 1;
    std::string body(kSize, '\0');
    for (size_t i = 0; i < kSize; ++i) body[i] = static_cast<char>(i * 2654435761u >> 24);
    server.Serve("/big.bin", body);
    body.clear();
    body.shrink_to_fit();
    const std::string url = server.Url("/big.bin");
    WriteText(folder + "\\port.txt", std::to_string(server.port()) + "\n");

    const std::string target = folder + "\\dl.bin";
    const double to_file = Measure([&] {
        return DownloadToFile(url, target) && FileSize(target) == static_cast<long long>(kSize);
    });
    DeleteFileA(target.c_str());
    std::string temp_path;
    const double to_temp = Measure([&] {
        temp_path = DownloadToTempFile("norvane_bench.bin", url);
        return !temp_path.empty() && FileSize(temp_path) == static_cast<long long>(kSize);
    });
    if (!temp_path.empty()) DeleteFileA(temp_path.c_str());

    // The system's URL moniker download, which DownloadToFile stands in for.
    const double moniker = Measure([&] {
        return SUCCEEDED(URLDownloadToFileA(nullptr, url.c_str(), target.c_str(), 0, nullptr)) &&
               FileSize(target) == static_cast<long long>(kSize);
    });
    DeleteFileA(target.c_str());

    char figures[256];
    std::snprintf(figures, sizeof(figures),
                  "DownloadToFile %.1f\nDownloadToTempFile %.1f\nURLDownloadToFileA %.1f\n",
                  to_file, to_temp, moniker);
    WriteText(folder + "\\bench.txt", figures);

    const std::string done = folder + "\\curl.done";
    for (int waited = 0; waited < 6000 && GetFileAttributesA(done.c_str()) ==
                                              INVALID_FILE_ATTRIBUTES;
         ++waited)
        Sleep(100);
    return to_file > 0 && to_temp > 0 ? 0 : 1;
}
