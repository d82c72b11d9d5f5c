#pragma once
// The offers of further products: the middle offer (installed during the update's progress
// page) and the end offers (offered on the completion page). Their records come from the option
// file and travel between Norvane processes in SetupOption.ini.
#include <windows.h>

#include <string>
#include <vector>

#include "updater/offers/SettingReaderWriter.h"
#include "updater/offers/UpdateLogQuery.h"

class SetupOptionIni;
class LockedSetupFile;

// One offered product.
struct AdditionalInstallInfo {
    std::string ProductName;       // English name; also the base name of its setup file
    std::string ProductLocalName;  // shown to the user
    std::string version;
    std::string SetupURL;
    std::string SetupDownloadPath;
    std::string SetupChecksum;     // MD5, 32 hexadecimal digits
    int CheckboxDefault = 0;
    std::string TitleNew;          // caption when the product is not installed
    std::string TitleUpdate;       // caption when an older version is installed
    std::string TitleEnabale;      // caption when the toolbar is installed but switched off
    int CheckboxUserState = 0;

    bool operator==(const AdditionalInstallInfo& other) const;
};

// Reading from the ini file: which records may be offered at all.
bool IsValidIniRecord(const AdditionalInstallInfo& info);

// The section names of the offers in SetupOption.ini.
constexpr const char* kMiddleSection = "AdditionalInstallInfo_middle";
constexpr const char* kEndCountSection = "AdditionalInstallInfo_end";
// "AdditionalInstallInfo_end<number>", numbered from 1.
std::string EndSectionName(int number);

// One offer section: eleven keys, written in one call.
AdditionalInstallInfo ReadOfferSection(const SetupOptionIni& ini, const char* section);
bool WriteOfferSection(const SetupOptionIni& ini, const char* section,
                       const AdditionalInstallInfo& info);

// Every "productinfo" under the "addproduct" elements of that type, in file order, up to
// kIniMaxListCount of them; false when the file cannot be read or parsed.
bool ReadOfferProducts(const std::string& option_file, const char* offer_type,
                       std::vector<AdditionalInstallInfo>* products);

class CAdditionalInstall : public CSettingReaderWriter {
public:
    ~CAdditionalInstall() override = default;

    virtual bool LoadFromXml(const std::string& product, const std::string& option_file) = 0;
    virtual bool LoadFromIni(const std::string& product, const std::string& ini_path) = 0;
    virtual bool SaveToIni(const std::string& ini_path) = 0;
    virtual std::string GetTitle() = 0;
    virtual bool Install() = 0;
    // A non-empty "Locale" or "Version" in the selected product's registry key.
    virtual bool IsInstalled();
    // Loaded, and the installed version is older than the offered one.
    virtual bool NeedsUpdate();

    // The offer's fields of the update log ("mName=...", "eName=..."): prefix 'm' or 'e'. Names
    // and versions are escaped where they would break the query (EscapeLogValue).
    std::string UpdateLogFields(char prefix) const;
    // The same fields as values, for the whole update log.
    UpdateLogOffer LogOffer() const;
    // Downloads the selected product's setup program into the offer's folder, or takes the file
    // already there when its digest matches. The progress callback may cancel.
    // With `held`, the file is kept open from the end of its download (or its digest check) to
    // its start, so that nothing can swap it in between; it must then be run through the same.
    bool DownloadSetup(IBindStatusCallback* progress = nullptr, LockedSetupFile* held = nullptr);
    // The offer's folder under the user's application data.
    std::string SetupFolder() const;

    std::string parent_product;
    bool loaded = false;
    AdditionalInstallInfo selected;
    int install_result = 0;  // 0 nothing done, 1 installed, 2 updated, 3 switched back on
    bool checkbox_shown = false;

protected:
    // Checks the downloaded setup's digest (an empty one passes only when not required; a
    // mismatch deletes the file) and starts it hidden with the parameters. The process handle,
    // INVALID_HANDLE_VALUE when started without one, or null when nothing was started.
    // A file `held` since its download is started as it is held, not opened again.
    HANDLE StartCheckedSetup(const std::string& parameters, bool digest_required,
                             LockedSetupFile* held = nullptr);
    virtual const char* FolderName() const = 0;
    // A partial download is removed at once (end offers) or left for the next digest check.
    virtual bool KeepsPartialDownload() const = 0;
};

// Whether the product has installation data (a "Locale" or "Version"), and whether its
// installed version is older than `version`.
bool IsProductInstalled(const std::string& product_name);
bool ProductNeedsUpdate(const std::string& product_name, const std::string& version);

class CMediumInstall : public CAdditionalInstall {
public:
    bool LoadFromXml(const std::string& product, const std::string& option_file) override;
    bool LoadFromIni(const std::string& product, const std::string& ini_path) override;
    bool SaveToIni(const std::string& ini_path) override;
    std::string GetTitle() override;
    bool Install() override;

    // An installed, current toolbar that is switched off only needs switching on, which is done
    // before the product's own setup runs.
    bool RunsBeforeSetup();
    // Runs the downloaded setup silently and waits for it; true only for exit code 0.
    bool RunSetup();

    std::vector<AdditionalInstallInfo> products;

protected:
    const char* FolderName() const override { return "AdditionalInstallInfo_middle"; }
    bool KeepsPartialDownload() const override { return true; }

private:
    bool SelectFromProducts();
    bool IsSwitchedOffToolbar(const std::string& product_name) const;
    void UpdateCheckboxShown();
};

class CEndInstall : public CAdditionalInstall {
public:
    bool LoadFromXml(const std::string& product, const std::string& option_file) override;
    bool LoadFromIni(const std::string& product, const std::string& ini_path) override;
    bool SaveToIni(const std::string& ini_path) override;
    std::string GetTitle() override;
    bool Install() override;
    // As Install, with the download reporting to `progress`; the thread's windows answer
    // throughout the download and the setup.
    bool InstallWithProgress(IBindStatusCallback* progress);

    // Chooses the product to offer: the first other product not installed, else the first.
    void SelectEndOffer();
    // Takes a product offered by the advertisement page; refused without name, address or
    // display name.
    bool SetEndOffer(const AdditionalInstallInfo& record, const std::string& product);
    // Starts the downloaded setup (checked when a digest is given) and waits for it; the setup
    // file is deleted afterwards. True when it could be started.
    bool RunSetup(LockedSetupFile* held = nullptr);

    std::vector<AdditionalInstallInfo> products;

protected:
    const char* FolderName() const override { return "AdditionalInstallInfo_end"; }
    bool KeepsPartialDownload() const override { return false; }

private:
    void UpdateCheckboxShown();
};
