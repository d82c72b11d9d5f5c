#pragma once
// The vendor's web servers. Every address Norvane builds for them comes from here, so that a
// staging or test setup can point Norvane elsewhere: a string value under HKEY_LOCAL_MACHINE
// "Software\\Quindel\\Dravel" (the program's own 32-bit view) per server overrides its host
// ("host" or "host:port").
#include <string>

enum class VendorServer {
    Addon,          // option files; the default host is prefixed with the language code
    Advertisement,  // the completion page's advertisement pages
    Statistics,     // installer statistics (start-page reports)
    Install,        // the start-page enumeration list
};

// Name of the override value of a server ("AddonServerHost", "AdServerHost",
// "StatServerHost", "InstallServerHost").
const char* ServerOverrideValueName(VendorServer server);

// The host[:port] to use. The add-on server's default host is the language code followed by
// the add-on domain; an override is used as it stands.
std::string ServerHost(VendorServer server, const std::string& language_code = "");

// "http://" + host + path_and_query (which begins with "/").
std::string ServerUrl(VendorServer server, const std::string& path_and_query,
                      const std::string& language_code = "");
