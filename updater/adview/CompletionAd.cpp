#include "updater/adview/CompletionAd.h"

#include <windows.h>

#include "resources/ResourceIds.h"
#include "updater/platform/Registry.h"
#include "updater/data/UpdateInfo.h"
#include "updater/adview/CheckVaccine.h"
#include "updater/pages/UpdatePage.h"
#include "updater/platform/ServerHosts.h"

namespace {

constexpr char kSuiteKey[] = "Software\\Quindel";

std::vector<std::string> ProductKeyNames(bool view64) {
    std::vector<std::string> names;
    std::string name;
    for (DWORD index = 0; EnumRegSubkey(kSuiteKey, index, name, view64); ++index) {
        names.push_back(name);
    }
    return names;
}

}  // namespace

AdSystemFields ReadAdSystemFields() {
    OSVERSIONINFOEXA version;
    ZeroMemory(&version, sizeof(version));
    version.dwOSVersionInfoSize = sizeof(version);
    if (!GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&version))) {
        // Systems without the extended information give the basic one; the rest stays 0.
        ZeroMemory(&version, sizeof(version));
        version.dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
        GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&version));
    }
    SYSTEM_INFO system;
    ZeroMemory(&system, sizeof(system));
    GetSystemInfo(&system);

    AdSystemFields fields;
    fields.major = version.dwMajorVersion;
    fields.minor = version.dwMinorVersion;
    fields.service_pack_major = version.wServicePackMajor;
    fields.product_type = version.wProductType;
    fields.processor_architecture = system.wProcessorArchitecture;
    fields.build = version.dwBuildNumber;
    fields.suite_mask = version.wSuiteMask;
    return fields;
}

std::vector<SuiteProductFields> ReadSuiteProducts() {
    std::vector<std::string> names;
    if (IsRunningUnderWow64()) {
        names = SuiteProductKeyNames(ProductKeyNames(true), ProductKeyNames(false));
    } else {
        names = SuiteProductKeyNames(ProductKeyNames(false), {});
    }
    std::vector<SuiteProductFields> products;
    for (const std::string& name : names) {
        products.push_back({name, ReadProductVersion(name), ReadProductLicenseType(name),
                            ReadProductLocale(name)});
    }
    return products;
}

const std::string& CAdParams::Get(const ProductSettings& product) {
    if (!built_) {
        CCheckVaccine antivirus;
        const AdProductFields fields{product.product_name, product.version, product.locale,
                                     product.license_type};
        text_ = BuildAdFormData(fields, ReadAdSystemFields(), ReadSuiteProducts(),
                                antivirus.DetectProducts());
        built_ = true;
    }
    return text_;
}

std::string AddinAdAddress() {
    return ServerUrl(VendorServer::Advertisement, kAddinAdPath);
}

std::string NormalAdAddress() {
    return ServerUrl(VendorServer::Advertisement, kNormalAdPath);
}

AdditionalInstallInfo EndOfferRecord(const AdPageOffer& offer) {
    AdditionalInstallInfo record;
    record.ProductName = offer.product_name;
    record.ProductLocalName = offer.local_name;
    record.version = offer.version;
    record.SetupURL = offer.setup_url;
    record.CheckboxDefault = offer.default_selection;
    record.TitleNew = FormatResString(IDS_AD_OFFER_LABEL, offer.local_name);
    return record;
}

bool CEndOfferTaker::TakeOffer(const AdPageOffer& offer) {
    if (!end_offer_) return false;
    return end_offer_->SetEndOffer(EndOfferRecord(offer),
                                   update_info_ ? update_info_->EngName : std::string());
}
