#include "updater/offers/SetupOptionManager.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "updater/data/ProductSettings.h"
#include "updater/platform/Registry.h"
#include "updater/offers/SetupOptionIni.h"
#include "updater/platform/BasicHelpers.h"
#include "updater/platform/Download.h"
#include "updater/platform/ServerHosts.h"
#include "updater/platform/Shell.h"

namespace {

const char kAgentKey[] = "Software\\Quindel\\Dravel";

std::string Printf(const char* pattern, const std::string& a, const std::string& b = std::string()) {
    std::vector<char> buffer(std::strlen(pattern) + a.size() + b.size() + 1);
    std::snprintf(buffer.data(), buffer.size(), pattern, a.c_str(), b.c_str());
    return buffer.data();
}

}  // namespace

std::string OptionFileUrl(const std::string& product) {
    return ServerUrl(VendorServer::Addon,
                     Printf("/default.ashx?t=3&ios=%s&p=%s", OsDescription(), product),
                     ResolveLanguageCode());
}

bool CSetupOptionManager::LoadFromOptionFile(const std::string& product) {
    // The agent may have fetched the file already; it stays where the agent put it.
    std::string path = ReadRegString(HKEY_CURRENT_USER, kAgentKey, "OptionFileName", "", false);
    bool downloaded = false;
    if (path.empty()) {
        path = DownloadToTempFile(Printf("dravel_%s_option.xml", product), OptionFileUrl(product));
        downloaded = !path.empty();
    }

    // Each part reads the file on its own: one that finds nothing leaves the others alone.
    medium.LoadFromXml(product, path);
    end.LoadFromXml(product, path);
    LoadStartPageFromXml(path, &start_page, product);
    option.LoadFromXml(product, path);

    if (downloaded) DeleteFileA(path.c_str());
    return true;
}

bool CSetupOptionManager::LoadFromSetupOptionIni(const std::string& product) {
    std::string path = SetupOptionIniPath(product);
    if (path.empty() || !FileExists(path)) return false;
    medium.LoadFromIni(product, path);
    end.LoadFromIni(product, path);
    LoadStartPageFromIni(product, &start_page, path);
    option.LoadFromIni(product, path);
    setup_options.LoadFromIni(path);
    product_option.LoadStatesFromIni(path);
    return true;
}

bool CSetupOptionManager::SaveToSetupOptionIni(const std::string& product) {
    std::string path = SetupOptionIniPath(product);
    if (path.empty()) return false;
    DeleteFileA(path.c_str());
    // The product's data folder is normally the agent's; without it nothing could be written
    // and the elevated instance would lose the user's choices.
    CreateFolderPath(path, false);
    bool saved = true;
    if (medium.loaded) saved = medium.SaveToIni(path) && saved;
    if (end.loaded) saved = end.SaveToIni(path) && saved;
    if (start_page.active) saved = start_page.SaveToIni(path) && saved;
    if (option.valid) saved = option.SaveToIni(path) && saved;
    saved = setup_options.SaveToIni(path) && saved;
    if (!product_option.empty()) saved = product_option.SaveStatesToIni(path) && saved;
    return saved;
}
