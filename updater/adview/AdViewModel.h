#pragma once
// What the completion page does when its advertisement view completes a document, as a model
// without windows. The page feeds it each completed document (its address, its source text and
// whether the page has been shown) and carries out the step it answers: show or hide the view,
// ask for the normal page (WM_USER+100 to itself). An add-in page's end offer goes to the
// page's AdOfferTaker, whose answer decides what follows.
//
// No Windows header here: the model also builds natively.
#include <string>
#include <string_view>

#include "updater/adview/AdPageReader.h"

// The two pages of the advertisement server.
constexpr const char kAddinAdPath[] = "/show/dravel_end_addin.aspx";
constexpr const char kNormalAdPath[] = "/show/dravel_end_normal.aspx";

// The navigation to either page: no history, no reading from and no writing to the cache; the
// form data is posted with this header.
constexpr long kAdNavigateFlags = 14;
constexpr const char kAdPostHeaders[] = "Content-Type: application/x-www-form-urlencoded\r\n";

// `ad_state`.
enum AdState : int {
    kAdNothingShown = 0,
    kAdAddinShown = 1,  // the add-in page is shown and supplied the end offer
    kAdNormalRequested = 2,
    kAdNormalShown = 3,
};

// Takes an add-in page's end offer (the end offer's SetEndOffer); false when refused.
class AdOfferTaker {
public:
    virtual ~AdOfferTaker() = default;
    virtual bool TakeOffer(const AdPageOffer& offer) = 0;
};

struct AdViewStep {
    enum class View { Unchanged, Show, Hide };
    View view = View::Unchanged;
    bool request_normal_page = false;
    bool offer_handed = false;  // the taker was asked (whatever it answered)
};

// Which of the completion page's controls show when it is shown, from whether the end offer
// can be offered with a caption (its check box) and `ad_state`.
struct CompletionControls {
    bool offer_box = false;   // the end offer's check box
    bool ad_caption = false;  // the caption above the normal advertisement
    bool labels = false;      // the completion message and the line below it
};
CompletionControls CompletionPageControls(bool offerable, int ad_state);

class AdViewModel {
public:
    // The pages' full addresses; a document "is" a page when it lies on the same server (scheme,
    // host and port compared whole) at the same path, whatever query or fragment follows.
    // An empty address matches no document.
    AdViewModel(std::string addin_address, std::string normal_address);

    // Whether OnDocumentComplete would read the source of this document: the page need not
    // fetch the text of any other.
    bool NeedsSource(std::string_view url, bool page_shown) const;

    AdViewStep OnDocumentComplete(std::string_view url, std::string_view source, bool page_shown,
                                  AdOfferTaker& taker);

    int state() const { return state_; }

private:
    bool Matches(std::string_view url, const std::string& address) const;

    std::string addin_address_;
    std::string normal_address_;
    int state_ = kAdNothingShown;
};
