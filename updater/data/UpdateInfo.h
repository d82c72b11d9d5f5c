#pragma once
// The agent's per-product UpdateInfo.ini: what a newer version is, what to show about it and
// where the agent put its setup program. The logo path is the one value Norvane writes back.
#include <string>

// The eleven values of the file, named after their keys. Pages receive copies of this.
struct UpdateInfoFields {
    std::string EngName;
    std::string LocalName;
    std::string Mutex;
    std::string MainApp;
    std::string NewVersion;
    std::string Descript1;
    std::string Descript2;
    std::string DownloadedPath;
    std::string SimpleDescript;
    std::string LogoImageURL;
    std::string LogoImagePath;
};

// The update window's one record of the update information.
class CUpdateInfo : public UpdateInfoFields {
public:
    virtual ~CUpdateInfo() = default;
};

// "<roaming application data>\\Quindel\\Dravel".
std::string DataRoot();
// The elevated copy's data root, handed over by the copy that started it: that copy's user may
// not be the one the elevated copy runs as. Checked by the caller (an existing local folder).
void UseDataRoot(const std::string& folder);
// "<DataRoot>\\<product>\\UpdateInfo.ini".
std::string UpdateInfoPath(const std::string& product);
// "<DataRoot>\\<product>\\UpdateImage_<version>.bmp"; "" for a version that would name another
// folder.
std::string LogoImageFilePath(const std::string& product, const std::string& version);

// Fills info from the file (each value cut to 2047 characters; "\n" pairs in Descript2 and
// SimpleDescript become line feeds). False when the file is missing (info untouched) or when a
// required value is empty or EngName is not the product (info filled anyway).
bool LoadUpdateInfo(CUpdateInfo& info, const std::string& product);

// Makes sure the logo bitmap of EngName/NewVersion exists locally (downloading LogoImageURL when
// it does not) and that LogoImagePath, in memory and in the file, names it. False when there is
// no bitmap; LogoImagePath then stays as it was.
bool PrepareLogoImage(CUpdateInfo& info);
