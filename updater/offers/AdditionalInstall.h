#pragma once
// The offers of further products: the middle offer (installed during the update's progress
// page) and the end offers (offered on the completion page). Their records come from the option
// file and travel between Norvane processes in SetupOption.ini.
#include <string>
#include <vector>

#include "updater/offers/SettingReaderWriter.h"

class SetupOptionIni;

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

// One offer section: eleven keys. Writing stops at the first write the system refuses.
AdditionalInstallInfo ReadOfferSection(const SetupOptionIni& ini, const char* section);
bool WriteOfferSection(const SetupOptionIni& ini, const char* section,
                       const AdditionalInstallInfo& info);

// Every "productinfo" under the "addproduct" elements of that type, in file order; false when
// the file cannot be read or parsed.
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

    std::string parent_product;
    bool loaded = false;
    AdditionalInstallInfo selected;
    int install_result = 0;  // 0 nothing done, 1 installed, 2 updated, 3 switched back on
    bool checkbox_shown = false;
};

class CMediumInstall : public CAdditionalInstall {
public:
    bool LoadFromXml(const std::string& product, const std::string& option_file) override;
    bool LoadFromIni(const std::string& product, const std::string& ini_path) override;
    bool SaveToIni(const std::string& ini_path) override;
    std::string GetTitle() override;
    bool Install() override;

    std::vector<AdditionalInstallInfo> products;
};

class CEndInstall : public CAdditionalInstall {
public:
    bool LoadFromXml(const std::string& product, const std::string& option_file) override;
    bool LoadFromIni(const std::string& product, const std::string& ini_path) override;
    bool SaveToIni(const std::string& ini_path) override;
    std::string GetTitle() override;
    bool Install() override;

    std::vector<AdditionalInstallInfo> products;
};
