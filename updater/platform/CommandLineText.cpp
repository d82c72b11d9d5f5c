#include "updater/platform/CommandLineText.h"

#include <cstdio>

namespace {

const char* YesNo(int flag) { return flag ? "yes" : "no"; }

}  // namespace

// A quote inside is written \", and backslashes before a quote (or before the closing one) are
// doubled. Plain text, without quotes or a backslash at the end, comes out as "text".
std::string QuotedArgument(const std::string& text) {
    std::string quoted = "\"";
    size_t slashes = 0;
    for (char c : text) {
        if (c == '\\') {
            ++slashes;
        } else {
            if (c == '"') quoted.append(slashes + 1, '\\');
            slashes = 0;
        }
        quoted += c;
    }
    quoted.append(slashes, '\\');
    return quoted + "\"";
}

std::string CommandLineOf(const std::string& path, const std::string& parameters) {
    const bool quoted = !path.empty() && path[0] == '"';
    return (quoted ? path : "\"" + path + "\"") + " " + parameters;
}

std::string SetupParameterText(int page_handle, int desktop_icon, int start_menu_icon,
                               int quick_launch_icon) {
    char first[64];
    std::snprintf(first, sizeof(first), "/verysilent /H=%d /Q=1", page_handle);
    char second[96];
    std::snprintf(second, sizeof(second), " /DesktopIcon=%s /StartMenuIcon=%s /LightLaunchIcon=%s",
                  YesNo(desktop_icon), YesNo(start_menu_icon), YesNo(quick_launch_icon));
    return std::string(first) + second;
}

std::string EndOfferParameters(const std::string& parent_product) {
    // The name comes from Norvane's own command line and may hold a quote or end in a backslash;
    // put in as it stands, it would end the argument early and pass the rest as switches.
    return "/silent /addsetup /NOINSTDRAVEL /parentproduct=" + QuotedArgument(parent_product);
}

std::string AdminProgressParameters(const std::string& product, const std::string& data_folder,
                                    unsigned long window) {
    return "/adminprogress " + QuotedArgument(product) + " /data=" + QuotedArgument(data_folder) +
           " /handover=" + std::to_string(window);
}
