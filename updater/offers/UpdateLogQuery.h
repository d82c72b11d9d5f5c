#pragma once
// The query string of the update log: what the offers, the update and the toolbar's options
// report when the update window closes. Pure functions over plain values; the window gathers
// the values and sends the result (CAdditionalOption::SendUpdateLog).
//
// No Windows header here: this also builds natively for fuzzing.
#include <string>

// One offer's fields ("mName=...", "eName=...").
struct UpdateLogOffer {
    std::string name;     // ProductName of the selected product
    std::string version;  // its offered version
    bool shown = false;   // the check box was shown (false for an offer that was not loaded)
    bool checkbox_default = false;
    bool user_choice = false;
    int install_result = 0;  // 0 nothing done, 1 installed, 2 updated, 3 switched back on
};

// The update's fields ("uName=...").
struct UpdateLogUpdate {
    std::string product;      // the product's key name
    std::string old_version;  // from the product settings read when the window was built
    std::string old_locale;
    std::string old_license;
    std::string new_version;  // NewVersion of the update information
    std::string new_locale;   // read again when the log is sent
    std::string new_license;
};

// The toolbar's options, reported only when the product is the toolbar itself.
struct UpdateLogToolbar {
    bool antion = false;        // product option 1 exists
    bool antiphishing = false;  // product option 1 is switched on
};

// A value as the log server reads it: "&", "#", "=", "%", "+", "?", blanks, control bytes and
// bytes above 0x7F become "%" and two lowercase hexadecimal digits; every other byte stays as it
// is, so ordinary names and versions ("Ostrey_Viewer-2.x", "3.0.12.7") go out unchanged.
std::string EscapeLogValue(const std::string& text);

// "<p>Name=...&<p>Ver=...&<p>Shown=0|1&<p>Default=0|1&<p>User=0|1&<p>State=<n>", p the prefix
// ('m' for the middle offer, 'e' for the end offer).
std::string OfferLogFields(char prefix, const UpdateLogOffer& offer);
// "uName=...&uOldVer=...&uOldLocale=...&uOldLicense=...&uNewVer=...&uNewLocale=...&
// uNewLicense=...": the licence values URL-encoded (UrlEncode), the others escaped.
std::string UpdateLogFields(const UpdateLogUpdate& update);
// "antiphishing=0|1&antion=0|1".
std::string ToolbarLogFields(const UpdateLogToolbar& toolbar);
// Whether the product is the toolbar ("Wendle", in any letter case).
bool IsToolbarProduct(const std::string& product);

// The whole query: the middle offer's, the end offer's and the update's fields, and the
// toolbar's when update.product is the toolbar, joined by "&". Nothing is ever cut off.
std::string ComposeUpdateLogQuery(const UpdateLogOffer& middle, const UpdateLogOffer& end,
                                  const UpdateLogUpdate& update, const UpdateLogToolbar& toolbar);
