#pragma once
// The completion page's advertisement, the parts that touch the system: the form data read
// from the system and the registry (built once per page), the two page addresses, and the end
// offer an add-in page carries handed to the end offer. The decisions themselves are in
// AdFormData, AdPageReader and AdViewModel, which need no Windows.
#include <string>
#include <vector>

#include "updater/data/ProductSettings.h"
#include "updater/offers/AdditionalInstall.h"
#include "updater/adview/AdFormData.h"
#include "updater/adview/AdViewModel.h"

class CUpdateInfo;
class CEndInstall;

// Version, service pack, product type, build and suite mask from the extended version
// information; the processor architecture from the system information.
AdSystemFields ReadAdSystemFields();

// The product keys under HKEY_LOCAL_MACHINE "Software\\Quindel" (under WOW64 the 64-bit view's
// names first, then the others of the 32-bit view) without the agent's, each with its Version,
// LicenseType and Locale as the product settings read them.
std::vector<SuiteProductFields> ReadSuiteProducts();

// The form data for the updated product: read and built on the first call, the same text on
// every later one, whatever has changed on the machine since.
class CAdParams {
public:
    const std::string& Get(const ProductSettings& product);

private:
    bool built_ = false;
    std::string text_;
};

// "http://<advertisement host>/show/dravel_end_addin.aspx" or the normal page's address.
std::string AddinAdAddress();
std::string NormalAdAddress();

// The end-offer record of an add-in page's offer; its caption (string 10102 with the local
// name) is the one for a product not yet installed, the only kind the page offers.
AdditionalInstallInfo EndOfferRecord(const AdPageOffer& offer);

// Hands an add-in page's offer to the end offer, with the updated product's English name (""
// without update information).
class CEndOfferTaker : public AdOfferTaker {
public:
    CEndOfferTaker(CEndInstall* end_offer, const CUpdateInfo* update_info)
        : end_offer_(end_offer), update_info_(update_info) {}
    bool TakeOffer(const AdPageOffer& offer) override;

private:
    CEndInstall* end_offer_;
    const CUpdateInfo* update_info_;
};
