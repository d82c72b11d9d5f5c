#include "updater/adview/AdViewModel.h"

#include <utility>

#include "updater/adview/AdNavigation.h"

CompletionControls CompletionPageControls(bool offerable, int ad_state) {
    CompletionControls controls;
    controls.offer_box = offerable;
    controls.ad_caption = !offerable && ad_state == kAdNormalShown;
    // The message gives way only to an advertisement on show; an offer without one keeps it, or
    // the page would say nothing but the offer.
    controls.labels = !(ad_state == kAdNormalShown || (offerable && ad_state == kAdAddinShown));
    return controls;
}

AdViewModel::AdViewModel(std::string addin_address, std::string normal_address)
    : addin_address_(std::move(addin_address)), normal_address_(std::move(normal_address)) {}

bool AdViewModel::Matches(std::string_view url, const std::string& address) const {
    // Only the server's own page may name the end offer: an address that merely contains the
    // page's (another host's path or query) is not it.
    return !address.empty() && IsAdPageAddress(url, address);
}

bool AdViewModel::NeedsSource(std::string_view url, bool page_shown) const {
    if (page_shown) return false;
    return (state_ == kAdNothingShown && Matches(url, addin_address_)) ||
           (state_ == kAdNormalRequested && Matches(url, normal_address_));
}

AdViewStep AdViewModel::OnDocumentComplete(std::string_view url, std::string_view source,
                                           bool page_shown, AdOfferTaker& taker) {
    AdViewStep step;
    if (page_shown) {
        // Once the user has seen the page, a late document changes nothing on it.
        state_ = kAdNothingShown;
        return step;
    }
    if (state_ == kAdNothingShown && Matches(url, addin_address_)) {
        AdPageOffer offer;
        if (ReadAdPageOffer(source, &offer)) {
            step.offer_handed = true;
            if (taker.TakeOffer(offer)) {
                state_ = kAdAddinShown;
                step.view = AdViewStep::View::Show;
                return step;
            }
        }
        state_ = kAdNormalRequested;
        step.view = AdViewStep::View::Hide;
        step.request_normal_page = true;
        return step;
    }
    if (state_ == kAdNormalRequested && Matches(url, normal_address_)) {
        if (HasAdPageMarker(source)) {
            state_ = kAdNormalShown;
            step.view = AdViewStep::View::Show;
        } else {
            state_ = kAdNothingShown;
            step.view = AdViewStep::View::Hide;
        }
    }
    return step;
}
