#include "updater/data/UpdateInfo.h"

#include <windows.h>

#include "updater/data/UpdateInfoRules.h"

#include "updater/platform/BasicHelpers.h"
#include "updater/platform/Download.h"
#include "updater/platform/SafeFolder.h"
#include "updater/platform/Shell.h"

namespace {

const char kProductSection[] = "ProductInfo";
const char kFileSection[] = "FileInfo";
constexpr DWORD kValueBuffer = 2048;

std::string ReadValue(const std::string& file, const char* section, const char* key) {
    char buffer[kValueBuffer] = {};
    DWORD length = GetPrivateProfileStringA(section, key, "", buffer, kValueBuffer, file.c_str());
    return std::string(buffer, length < kValueBuffer ? length : kValueBuffer - 1);
}

void RecordLogoPath(CUpdateInfo& info, const std::string& path) {
    info.LogoImagePath = path;
    WritePrivateProfileStringA(kProductSection, "LogoImagePath", path.c_str(),
                               UpdateInfoPath(info.EngName).c_str());
}

}  // namespace

namespace {
std::string& HandedOverDataRoot() {
    static std::string folder;
    return folder;
}
}  // namespace

std::string DataRoot() {
    if (!HandedOverDataRoot().empty()) return HandedOverDataRoot();
    const std::string app_data = GetSpecialFolder(kFolderAppData);
    return app_data.empty() ? std::string() : JoinPath(app_data, "Quindel\\Dravel");
}

void UseDataRoot(const std::string& folder) { HandedOverDataRoot() = folder; }

std::string UpdateInfoPath(const std::string& product) {
    return DataRoot() + "\\" + product + "\\UpdateInfo.ini";
}

std::string LogoImageFilePath(const std::string& product, const std::string& version) {
    const std::string name = LogoFileName(version);
    if (name.empty()) return std::string();
    return DataRoot() + "\\" + product + "\\" + name;
}

bool LoadUpdateInfo(CUpdateInfo& info, const std::string& product) {
    const std::string path = UpdateInfoPath(product);
    if (!FileExists(path)) return false;

    info.EngName = ReadValue(path, kProductSection, "EngName");
    info.LocalName = ReadValue(path, kProductSection, "LocalName");
    info.Mutex = ReadValue(path, kProductSection, "Mutex");
    info.MainApp = ReadValue(path, kProductSection, "MainApp");
    info.NewVersion = ReadValue(path, kProductSection, "NewVersion");
    info.Descript1 = ReadValue(path, kProductSection, "Descript1");
    info.Descript2 = ExpandLineBreaks(ReadValue(path, kProductSection, "Descript2"));
    info.SimpleDescript = ExpandLineBreaks(ReadValue(path, kProductSection, "SimpleDescript"));
    info.LogoImageURL = ReadValue(path, kProductSection, "LogoImageURL");
    info.LogoImagePath = ReadValue(path, kProductSection, "LogoImagePath");
    info.DownloadedPath = ReadValue(path, kFileSection, "DownloadedPath");

    return UpdateInfoUsable(info, product);
}

bool PrepareLogoImage(CUpdateInfo& info) {
    const std::string path = LogoImageFilePath(info.EngName, info.NewVersion);
    if (path.empty()) return false;
    if (FileExists(path)) {
        RecordLogoPath(info, path);
        return true;
    }
    if (info.LogoImageURL.empty()) return false;

    CreateFolderPath(path, false);
    // The elevated copy fetches the logo too, into the user's profile: a folder there made a
    // junction would take the bytes anywhere.
    if (!FolderChainIsPlain(GetSpecialFolder(kFolderAppData), ParentFolder(path))) return false;
    if (!DownloadToFile(info.LogoImageURL, path, nullptr, kOutsideFileLimits)) {
        // A partial bitmap would otherwise be taken as this version's logo from now on.
        DeleteFileA(path.c_str());
        return false;
    }
    RecordLogoPath(info, path);
    return true;
}
