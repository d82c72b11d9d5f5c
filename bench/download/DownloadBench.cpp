// Serves a 64 MiB file from a loopback server and times DownloadToFile (without and with a
// progress callback), DownloadToTempFile and
// the system's URL moniker download on it, round by round; between rounds run.sh fetches the
// same file with curl, so that a machine others are loading slows every downloader alike.
//   download_bench <folder> <rounds>
//     writes <folder>\port.txt; then for each round r = 1..rounds appends "r name MB/s" lines
//     to <folder>\figures.txt, creates <folder>\round<r>.done and waits for
//     <folder>\curl<r>.done (at most 10 minutes) before the next round.
#include <windows.h>
#include <urlmon.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/support/LoopbackServer.h"
#include "updater/platform/Download.h"

namespace {

constexpr size_t kSize = 64u * 1024u * 1024u;

bool Exists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool Append(const std::string& path, const std::string& text) {
    FILE* file = std::fopen(path.c_str(), "ab");
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

// MB/s (10^6 bytes per second) of one download; 0 when it fails.
template <typename Fn>
double Measure(Fn download) {
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    const bool ok = download();
    QueryPerformanceCounter(&end);
    if (!ok) return 0;
    const double seconds = static_cast<double>(end.QuadPart - start.QuadPart) / frequency.QuadPart;
    return kSize / seconds / 1e6;
}

// What the end offer's box does with the reports: takes each and goes on. The download then
// reads only what has arrived, so that the count follows the transfer.
class Follower : public IBindStatusCallback {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** object) override {
        if (riid == IID_IUnknown || riid == IID_IBindStatusCallback) {
            *object = static_cast<IBindStatusCallback*>(this);
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 1; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP OnStartBinding(DWORD, IBinding*) override { return S_OK; }
    STDMETHODIMP GetPriority(LONG*) override { return E_NOTIMPL; }
    STDMETHODIMP OnLowResource(DWORD) override { return S_OK; }
    STDMETHODIMP OnProgress(ULONG, ULONG, ULONG, LPCWSTR) override { return S_OK; }
    STDMETHODIMP OnStopBinding(HRESULT, LPCWSTR) override { return S_OK; }
    STDMETHODIMP GetBindInfo(DWORD*, BINDINFO*) override { return S_OK; }
    STDMETHODIMP OnDataAvailable(DWORD, DWORD, FORMATETC*, STGMEDIUM*) override { return S_OK; }
    STDMETHODIMP OnObjectAvailable(REFIID, IUnknown*) override { return S_OK; }
};

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: download_bench <folder> <rounds>\n");
        return 2;
    }
    const std::string folder = argv[1];
    const int rounds = std::atoi(argv[2]);
    testsupport::LoopbackServer server;
    if (!server.ok()) return 1;
    std::string body(kSize, '\0');
    for (size_t i = 0; i < kSize; ++i) body[i] = static_cast<char>(i * 2654435761u >> 24);
    server.Serve("/big.bin", body);
    body.clear();
    body.shrink_to_fit();
    const std::string url = server.Url("/big.bin");
    const std::string figures = folder + "\\figures.txt";
    Append(folder + "\\port.txt", std::to_string(server.port()) + "\n");

    const std::string target = folder + "\\dl.bin";
    bool all_ok = true;
    for (int round = 1; round <= rounds; ++round) {
        const double to_file = Measure([&] {
            return DownloadToFile(url, target) && FileSize(target) == static_cast<long long>(kSize);
        });
        DeleteFileA(target.c_str());
        Follower follower;
        const double followed = Measure([&] {
            return DownloadToFile(url, target, &follower) &&
                   FileSize(target) == static_cast<long long>(kSize);
        });
        DeleteFileA(target.c_str());
        std::string temp_path;
        const double to_temp = Measure([&] {
            // The file is far above the cap of the files this download fetches for real: the
            // setups' cap lets the same code run over it.
            temp_path = DownloadToTempFile("norvane_bench.bin", url, kSetupLimits);
            return !temp_path.empty() && FileSize(temp_path) == static_cast<long long>(kSize);
        });
        if (!temp_path.empty()) DeleteFileA(temp_path.c_str());
        // The system's URL moniker download, which DownloadToFile stands in for.
        const double moniker = Measure([&] {
            return SUCCEEDED(
                       URLDownloadToFileA(nullptr, url.c_str(), target.c_str(), 0, nullptr)) &&
                   FileSize(target) == static_cast<long long>(kSize);
        });
        DeleteFileA(target.c_str());
        all_ok = all_ok && to_file > 0 && followed > 0 && to_temp > 0;

        char lines[256];
        std::snprintf(lines, sizeof(lines),
                      "%d DownloadToFile %.1f\n%d DownloadToFile+progress %.1f\n"
                      "%d DownloadToTempFile %.1f\n%d URLDownloadToFileA %.1f\n",
                      round, to_file, round, followed, round, to_temp, round, moniker);
        Append(figures, lines);
        Append(folder + "\\round" + std::to_string(round) + ".done", "");
        const std::string curl_done = folder + "\\curl" + std::to_string(round) + ".done";
        for (int waited = 0; waited < 6000 && !Exists(curl_done); ++waited) Sleep(100);
        if (!Exists(curl_done)) return 1;
    }
    return all_ok ? 0 : 1;
}
