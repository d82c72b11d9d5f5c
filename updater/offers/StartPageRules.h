#pragma once
// The start-page offer's rules that need no Windows call: which check addresses count as
// already set, which known start page the browser had, the enumeration list's entries, and the
// report addresses' placeholders. No Windows header here: this builds natively for fuzzing.
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "updater/offers/XmlReader.h"

// Class of a start page that matched neither the enumeration list nor the portal table.
constexpr int kStartPageClassNone = 7;
// Portals whose web domains (lower case) give the classes 1 to 6 when there is no list.
constexpr int kPortalCount = 6;
extern const char* const kPortalDomains[kPortalCount];

// Most entries the enumeration list may hold; SetupOption.ini carries no more than that.
constexpr int kStartPageListLimit = 512;

// The parts of a ";"-separated list of check addresses: two adjacent ";" give an empty part,
// and the text after the last ";" is a part only when it is not empty.
std::vector<std::string> SplitCheckUrls(const std::string& check_urls);
// True when the page is not empty and any part occurs in it (case-sensitive). An empty part
// occurs in every non-empty page.
bool PageHoldsCheckUrl(const std::string& current_page, const std::string& check_urls);

// A-Z become a-z; every other byte stays.
std::string LowerAscii(const std::string& text);
// Which known start page the browser shows: with a list, the number of the first entry (by
// ascending number) whose address occurs in the lower-cased page; without one, the position
// (1 to 6) of the first portal domain that does; kStartPageClassNone when nothing matched.
// List addresses are compared in lower case too.
int StartPageClass(const std::string& current_page, const std::map<int, std::string>& page_list);

// A whole decimal number of 0 or more that fits an int, blanks around it allowed.
bool ParseListIndex(const std::string& text, int* index);
// Adds every "StartPage" child (name compared without regard to case) of the list's document
// element that has an "Index" attribute: its number and its text, passed through `convert`.
// A number already present keeps its address; entries without a usable number or address are
// passed over; the list stops growing at kStartPageListLimit entries.
void AddEnumerationEntries(const XmlNode& document, std::map<int, std::string>* page_list,
                           std::string (*convert)(const std::string&));

// Placeholder names and their values; one pass from left to right, so an inserted value is never
// read again as a placeholder.
using PlaceholderValues = std::vector<std::pair<std::string, std::string>>;
std::string FillPlaceholders(const std::string& text, const PlaceholderValues& values);

// The vendor's statistics path and query, before any placeholder is filled.
extern const char kVendorReportPathAndQuery[];

// What one run reports.
struct StartPageReport {
    int current_page_class = kStartPageClassNone;
    int mode = 2;
    int change_result = 0;
    int send_result = 0;
    std::string product;
    std::string os_version;  // "browser major.platform id.system major.system minor"
};

// "%ProductName%" and "%StartPageID%", filled before the rest so that "%StartPage%" cannot be
// mistaken for the start of "%StartPageID%" later.
std::string FillReportNames(const std::string& report_template, const std::string& product,
                            const std::string& change_page_name);
// The vendor report: "%StartPage%", "%CheckBoxState%", "%Product%", "%ChangeResult%",
// "%SendResult%", "%CoopVer%" and "%OSVer%".
std::string FillVendorReport(const std::string& url, const StartPageReport& report);
// The partner report: the same without "%SendResult%" and "%CoopVer%", with "%Version%".
std::string FillPartnerReport(const std::string& url, const StartPageReport& report);

// The parameters of the protected-mode copy: "/SendLog \"<address>\"", with any double quote in
// the address written as "%22" and trailing backslashes doubled, so that the copy's argument
// parsing gives the address back as one argument.
std::string SendLogParameters(const std::string& address);

// A shortcut or icon name taken from the option file must stay a plain file name: not empty,
// not "." or "..", none of \ / : * ? " < > | and no control character.
bool IsPlainFileName(const std::string& name);
