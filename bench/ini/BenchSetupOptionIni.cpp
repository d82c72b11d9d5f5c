// Reading end offers from an option file and saving them to SetupOption.ini, for option files
// with the given numbers of offers (about 300 bytes each, as the add-on server writes them).
// The reference is the floor: the same ini bytes written with one WriteFile.
//
// Usage: bench_setup_option_ini.exe FOLDER COUNT...
// Prints one line per count: count, offers taken, option-file bytes, load ms, save ms, ini
// bytes, reference ms.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "updater/offers/AdditionalInstall.h"

namespace {

std::string OfferXml(int i) {
    const std::string n = std::to_string(i);
    return "<productinfo><name>Product" + n + "</name><namelocal>Product " + n +
           " local</namelocal><ver>1.0." + n + "</ver><url checksum=\"0123456789abcdef0123456789abcdef\">"
           "<![CDATA[http://download.example.test/setup/Product" + n + ".exe]]></url>"
           "<setcheckbox>1</setcheckbox><textadd><![CDATA[Install Product " + n + "]]></textadd>"
           "<textupdate><![CDATA[Update Product " + n + "]]></textupdate></productinfo>\n";
}

bool WriteAll(const std::string& path, const std::string& bytes) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const bool ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                    written == bytes.size();
    CloseHandle(file);
    return ok;
}

std::string ReadAll(const std::string& path) {
    std::string bytes;
    if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
        char buffer[65536];
        std::size_t got;
        while ((got = std::fread(buffer, 1, sizeof(buffer), f)) > 0) bytes.append(buffer, got);
        std::fclose(f);
    }
    return bytes;
}

double Ms(const LARGE_INTEGER& a, const LARGE_INTEGER& b) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(b.QuadPart - a.QuadPart) / static_cast<double>(frequency.QuadPart);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s FOLDER COUNT...\n", argv[0]);
        return 2;
    }
    const std::string folder = argv[1];
    for (int a = 2; a < argc; ++a) {
        const int count = std::atoi(argv[a]);
        std::string xml = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<addon>\n<addproduct type=\"end\">\n";
        for (int i = 1; i <= count; ++i) xml += OfferXml(i);
        xml += "</addproduct>\n</addon>\n";
        const std::string option_file = folder + "\\option-" + std::to_string(count) + ".xml";
        const std::string ini = folder + "\\SetupOption-" + std::to_string(count) + ".ini";
        const std::string copy = ini + ".copy";
        if (!WriteAll(option_file, xml)) return 1;
        DeleteFileA(ini.c_str());

        LARGE_INTEGER t0, t1, t2, t3, t4;
        CEndInstall offer;
        QueryPerformanceCounter(&t0);
        offer.LoadFromXml("Bench", option_file);
        QueryPerformanceCounter(&t1);
        offer.SaveToIni(ini);
        QueryPerformanceCounter(&t2);
        const std::string saved = ReadAll(ini);
        QueryPerformanceCounter(&t3);
        WriteAll(copy, saved);
        QueryPerformanceCounter(&t4);

        std::printf("%d %zu %zu %.0f %.0f %zu %.1f\n", count, offer.products.size(), xml.size(),
                    Ms(t0, t1), Ms(t1, t2), saved.size(), Ms(t3, t4));
        std::fflush(stdout);
        DeleteFileA(option_file.c_str());
        DeleteFileA(ini.c_str());
        DeleteFileA(copy.c_str());
    }
    return 0;
}
