#include "updater/data/UpdateInfo.h"

#include <windows.h>

#include "updater/platform/BasicHelpers.h"
#include "updater/platform/Download.h"
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

// The agent writes line breaks as the two characters backslash and "n".
std::string ExpandLineBreaks(std::string text) {
    for (size_t at = text.find("\\n"); at != std::string::npos; at = text.find("\\n", at + 1))
        text.replace(at, 2, "\n");
    return text;
}

void RecordLogoPath(CUpdateInfo& info, const std::string& path) {
    info.LogoImagePath = path;
    WritePrivateProfileStringA(kProductSection, "LogoImagePath", path.c_str(),
                               UpdateInfoPath(info.EngName).c_str());
}

}  // namespace

std::string DataRoot() { return JoinPath(GetSpecialFolder(kFolderAppData), "Quindel\\Dravel"); }

std::string UpdateInfoPath(const std::string& product) {
    return DataRoot() + "\\" + product + "\\UpdateInfo.ini";
}

std::string LogoImageFilePath(const std::string& product, const std::string& version) {
    return DataRoot() + "\\" + product + "\\UpdateImage_" + version + ".bmp";
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

    return lstrcmpiA(info.EngName.c_str(), product.c_str()) == 0 && !info.LocalName.empty() &&
           !info.Mutex.empty() && !info.NewVersion.empty() && !info.Descript1.empty() &&
           !info.Descript2.empty() && !info.DownloadedPath.empty();
}

bool PrepareLogoImage(CUpdateInfo& info) {
    // The version becomes part of a file name: one that names another folder is no version.
    if (info.NewVersion.find_first_of("\\/:") != std::string::npos ||
        info.NewVersion.find("..") != std::string::npos) {
        return false;
    }
    const std::string path = LogoImageFilePath(info.EngName, info.NewVersion);
    if (FileExists(path)) {
        RecordLogoPath(info, path);
        return true;
    }
    if (info.LogoImageURL.empty()) return false;

    CreateFolderPath(path, false);
    if (!DownloadToFile(info.LogoImageURL, path)) {
        // A partial bitmap would otherwise be taken as this version's logo from now on.
        DeleteFileA(path.c_str());
        return false;
    }
    RecordLogoPath(info, path);
    return true;
}
