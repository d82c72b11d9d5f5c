// Stand-in for the vendor's web servers outside the tests (the demo, benchmarks): serves the
// files of a folder on 127.0.0.1 and appends one line per request to a log file. Files added
// to the folder later are served too (an option file can name the server's own port).
//   vendor_server.exe FOLDER LOGFILE PORTFILE [SECONDS]
// PORTFILE receives the port once the server listens (written under another name and renamed,
// so that a reader never sees it half written); the server stops after SECONDS (default 600).
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/support/LoopbackServer.h"

using testsupport::LoopbackServer;

namespace {

void ServeFolder(LoopbackServer& server, const std::string& folder, const std::string& prefix) {
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
        const std::string name = data.cFileName;
        if (name == "." || name == "..") continue;
        const std::string path = folder + "\\" + name;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            ServeFolder(server, path, prefix + "/" + name);
            continue;
        }
        FILE* file = fopen(path.c_str(), "rb");
        if (!file) continue;
        std::string body;
        char buffer[65536];
        size_t got;
        while ((got = fread(buffer, 1, sizeof(buffer), file)) > 0) body.append(buffer, got);
        fclose(file);
        server.Serve(prefix + "/" + name, body);
    } while (FindNextFileA(find, &data));
    FindClose(find);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        fprintf(stderr, "usage: vendor_server FOLDER LOGFILE PORTFILE [SECONDS]\n");
        return 2;
    }
    LoopbackServer server;
    if (!server.ok()) return 1;
    ServeFolder(server, argv[1], "");
    const std::string partial = std::string(argv[3]) + ".partial";
    FILE* port_file = fopen(partial.c_str(), "w");
    if (!port_file) return 1;
    fprintf(port_file, "%u\n", server.port());
    fclose(port_file);
    if (!MoveFileExA(partial.c_str(), argv[3], MOVEFILE_REPLACE_EXISTING)) return 1;

    const DWORD seconds = argc > 4 ? static_cast<DWORD>(atoi(argv[4])) : 600;
    const DWORD start = GetTickCount();
    size_t logged = 0;
    DWORD last_scan = GetTickCount();
    while (GetTickCount() - start < seconds * 1000) {
        Sleep(100);
        if (GetTickCount() - last_scan >= 500) {
            ServeFolder(server, argv[1], "");
            last_scan = GetTickCount();
        }
        auto requests = server.Requests();
        if (requests.size() == logged) continue;
        FILE* log = fopen(argv[2], "a");
        for (; logged < requests.size(); ++logged) {
            if (log) fprintf(log, "%s %s\n", requests[logged].method.c_str(), requests[logged].target.c_str());
        }
        if (log) fclose(log);
    }
    return 0;
}
