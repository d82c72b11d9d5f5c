#include "updater/platform/ServerHosts.h"

#include <windows.h>

#include "updater/platform/Registry.h"

namespace {

const char kOverrideKey[] = "Software\\Quindel\\Dravel";

struct ServerEntry {
    VendorServer server;
    const char* override_value;
    const char* default_host;
};

// The production hosts.
const ServerEntry kServers[] = {
    {VendorServer::Addon, "AddonServerHost", ".addon.quindel.example"},
    {VendorServer::Advertisement, "AdServerHost", "ad.quindel.example"},
    {VendorServer::Statistics, "StatServerHost", "stat.quindel.example"},
    {VendorServer::Install, "InstallServerHost", "install.quindel.example"},
};

const ServerEntry& EntryOf(VendorServer server) {
    for (const ServerEntry& entry : kServers) {
        if (entry.server == server) return entry;
    }
    return kServers[0];
}

}  // namespace

const char* ServerOverrideValueName(VendorServer server) { return EntryOf(server).override_value; }

std::string ServerHost(VendorServer server, const std::string& language_code) {
    const ServerEntry& entry = EntryOf(server);
    // A machine setting: only administrators can write it. Any program of the user could write
    // a user setting, and the option file its server sent would name the setup to run elevated.
    std::string host =
        ReadRegString(HKEY_LOCAL_MACHINE, kOverrideKey, entry.override_value, "", false);
    if (!host.empty()) return host;
    if (server == VendorServer::Addon) return language_code + entry.default_host;
    return entry.default_host;
}

std::string ServerUrl(VendorServer server, const std::string& path_and_query,
                      const std::string& language_code) {
    return "http://" + ServerHost(server, language_code) + path_and_query;
}
