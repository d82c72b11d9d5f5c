// Advertisement pages come from a server: whatever their text, reading them and stepping the
// completion page's model through them must end, never read past the text, and keep its
// promises: an offer is handed on only with the marker and the three required values, and a
// value holds no NUL byte.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "updater/adview/AdPageReader.h"
#include "updater/adview/AdViewModel.h"

namespace {

class CheckingTaker : public AdOfferTaker {
public:
    explicit CheckingTaker(bool accept) : accept_(accept) {}
    bool TakeOffer(const AdPageOffer& offer) override {
        if (offer.product_name.empty() || offer.setup_url.empty() || offer.local_name.empty()) {
            std::abort();
        }
        for (const std::string* value :
             {&offer.product_name, &offer.setup_url, &offer.local_name, &offer.version}) {
            if (value->find('\0') != std::string::npos) std::abort();
        }
        ++taken;
        return accept_;
    }
    int taken = 0;

private:
    bool accept_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Copied into a buffer of its own size, so that the sanitizer sees any read past the text.
    std::string text(reinterpret_cast<const char*>(data), size);
    const std::string_view page(text.data(), text.size());

    AdPageOffer offer;
    const bool has_offer = ReadAdPageOffer(page, &offer);
    if (has_offer && !HasAdPageMarker(page)) std::abort();
    if (offer.default_selection != 0 && offer.default_selection != 1) std::abort();
    if (HasAdPageMarker(page) && ElementValue(page, "productName") != offer.product_name) {
        std::abort();
    }

    const char* addin = "http://ad.example/show/dravel_end_addin.aspx";
    const char* normal = "http://ad.example/show/dravel_end_normal.aspx";
    for (bool accept : {true, false}) {
        AdViewModel model(addin, normal);
        CheckingTaker taker(accept);
        const AdViewStep first = model.OnDocumentComplete(addin, page, false, taker);
        if (taker.taken != (has_offer ? 1 : 0)) std::abort();
        if (first.request_normal_page != (model.state() == kAdNormalRequested)) std::abort();
        model.OnDocumentComplete(normal, page, false, taker);
        const int state = model.state();
        if (state != kAdNothingShown && state != kAdAddinShown && state != kAdNormalShown) {
            std::abort();
        }
    }
    return 0;
}
