#include "updater/offers/StartPageRules.h"

#include <climits>
#include <cstdio>

#include "updater/offers/OptionXml.h"
#include "updater/offers/UpdateLogQuery.h"  // EscapeLogValue

// The one place the portal table lives: Naver, Daum, Yahoo, Empas, Nate, Google.
const char* const kPortalDomains[kPortalCount] = {"naver.com", "daum.net",  "yahoo.com",
                                                  "empas.com", "nate.com", "google.com"};

const char kVendorReportPathAndQuery[] =
    "/InstallerPattern.aspx?url=%StartPage%&no=%CheckBoxState%&pd=dv_%Product%"
    "&cr=%ChangeResult%&sr=%SendResult%&cv=%CoopVer%&ov=%OSVer%&ch=%StartPageID%";

namespace {

const char kReportVersion[] = "1.0";

std::string Decimal(int number) {
    char text[16];
    std::snprintf(text, sizeof(text), "%d", number);
    return text;
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

}  // namespace

std::vector<std::string> SplitCheckUrls(const std::string& check_urls) {
    std::vector<std::string> parts;
    std::string::size_type start = 0;
    for (;;) {
        std::string::size_type separator = check_urls.find(';', start);
        if (separator == std::string::npos) break;
        parts.push_back(check_urls.substr(start, separator - start));
        start = separator + 1;
    }
    if (start < check_urls.size()) parts.push_back(check_urls.substr(start));
    return parts;
}

bool PageHoldsCheckUrl(const std::string& current_page, const std::string& check_urls) {
    if (current_page.empty()) return false;
    for (const std::string& part : SplitCheckUrls(check_urls)) {
        if (current_page.find(part) != std::string::npos) return true;
    }
    return false;
}

std::string LowerAscii(const std::string& text) {
    std::string lower = text;
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return lower;
}

int StartPageClass(const std::string& current_page, const std::map<int, std::string>& page_list) {
    const std::string page = LowerAscii(current_page);
    if (!page_list.empty()) {
        for (const auto& entry : page_list) {
            // An empty address would claim every page; the loaders never keep one.
            if (entry.second.empty()) continue;
            if (page.find(LowerAscii(entry.second)) != std::string::npos) return entry.first;
        }
        return kStartPageClassNone;
    }
    for (int index = 0; index < kPortalCount; ++index) {
        if (page.find(kPortalDomains[index]) != std::string::npos) return index + 1;
    }
    return kStartPageClassNone;
}

bool ParseListIndex(const std::string& text, int* index) {
    std::string::size_type position = 0;
    while (position < text.size() && IsBlank(text[position])) ++position;
    const std::string::size_type digits_start = position;
    long long value = 0;
    while (position < text.size() && text[position] >= '0' && text[position] <= '9') {
        value = value * 10 + (text[position] - '0');
        if (value > INT_MAX) return false;
        ++position;
    }
    if (position == digits_start) return false;
    while (position < text.size() && IsBlank(text[position])) ++position;
    if (position != text.size()) return false;
    *index = static_cast<int>(value);
    return true;
}

void AddEnumerationEntries(const XmlNode& document, std::map<int, std::string>* page_list,
                           std::string (*convert)(const std::string&)) {
    for (const auto& child : document.children) {
        if (page_list->size() >= static_cast<std::size_t>(kStartPageListLimit)) return;
        if (!ElementIs(*child, "StartPage")) continue;
        const XmlAttribute* attribute = child->FindAttribute("Index");
        int index = 0;
        if (!attribute || !ParseListIndex(attribute->value, &index)) continue;
        if (page_list->count(index)) continue;
        std::string address = convert ? convert(child->value) : child->value;
        if (address.empty()) continue;
        page_list->emplace(index, address);
    }
}

std::string FillPlaceholders(const std::string& text, const PlaceholderValues& values) {
    std::string filled;
    filled.reserve(text.size());
    std::string::size_type position = 0;
    while (position < text.size()) {
        if (text[position] == '%') {
            const std::pair<std::string, std::string>* match = nullptr;
            for (const auto& value : values) {
                if (!value.first.empty() && text.compare(position, value.first.size(),
                                                         value.first) == 0) {
                    match = &value;
                    break;
                }
            }
            if (match) {
                filled += match->second;
                position += match->first.size();
                continue;
            }
        }
        filled += text[position++];
    }
    return filled;
}

std::string FillReportNames(const std::string& report_template, const std::string& product,
                            const std::string& change_page_name) {
    // The names come from the product's data and the option file; escaped as the update log's
    // values are, a "&" or "#" in them cannot add a field or cut the report short.
    return FillPlaceholders(report_template, {{"%ProductName%", EscapeLogValue(product)},
                                              {"%StartPageID%", EscapeLogValue(change_page_name)}});
}

std::string FillVendorReport(const std::string& url, const StartPageReport& report) {
    return FillPlaceholders(url, {{"%StartPage%", Decimal(report.current_page_class)},
                                  {"%CheckBoxState%", Decimal(report.mode)},
                                  {"%Product%", EscapeLogValue(report.product)},
                                  {"%ChangeResult%", Decimal(report.change_result)},
                                  {"%SendResult%", Decimal(report.send_result)},
                                  {"%CoopVer%", kReportVersion},
                                  {"%OSVer%", report.os_version}});
}

std::string FillPartnerReport(const std::string& url, const StartPageReport& report) {
    return FillPlaceholders(url, {{"%StartPage%", Decimal(report.current_page_class)},
                                  {"%CheckBoxState%", Decimal(report.mode)},
                                  {"%Product%", EscapeLogValue(report.product)},
                                  {"%ChangeResult%", Decimal(report.change_result)},
                                  {"%Version%", kReportVersion},
                                  {"%OSVer%", report.os_version}});
}

std::string SendLogParameters(const std::string& address) {
    std::string parameters = "/SendLog \"";
    for (char c : address) {
        if (c == '"') {
            parameters += "%22";
        } else {
            parameters += c;
        }
    }
    // Backslashes right before the closing quote would escape it; doubled they stand for
    // themselves.
    std::string::size_type trailing = 0;
    while (trailing < address.size() && address[address.size() - 1 - trailing] == '\\') ++trailing;
    parameters.append(trailing, '\\');
    parameters += '"';
    return parameters;
}

bool IsPlainFileName(const std::string& name) {
    if (name.empty() || name == "." || name == "..") return false;
    for (char c : name) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (byte < 0x20) return false;
        switch (c) {
            case '\\': case '/': case ':': case '*': case '?': case '"': case '<': case '>':
            case '|':
                return false;
            default:
                break;
        }
    }
    return true;
}
