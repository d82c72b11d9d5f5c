#include "updater/offers/UpdateLogQuery.h"

#include <cstring>

#include "updater/platform/UrlEncode.h"

namespace {

bool BreaksQuery(unsigned char c) {
    return c <= 0x20 || c >= 0x7F || std::strchr("&#=%+?", c) != nullptr;
}

void AppendField(std::string* query, const char* key, const std::string& value) {
    if (!query->empty()) *query += '&';
    *query += key;
    *query += '=';
    *query += value;
}

std::string Prefixed(char prefix, const char* key) { return std::string(1, prefix) + key; }

}  // namespace

std::string EscapeLogValue(const std::string& text) {
    static const char kHex[] = "0123456789abcdef";
    std::string escaped;
    escaped.reserve(text.size());
    for (unsigned char c : text) {
        if (BreaksQuery(c)) {
            escaped += '%';
            escaped += kHex[c >> 4];
            escaped += kHex[c & 0x0F];
        } else {
            escaped += static_cast<char>(c);
        }
    }
    return escaped;
}

std::string OfferLogFields(char prefix, const UpdateLogOffer& offer) {
    std::string fields;
    AppendField(&fields, Prefixed(prefix, "Name").c_str(), EscapeLogValue(offer.name));
    AppendField(&fields, Prefixed(prefix, "Ver").c_str(), EscapeLogValue(offer.version));
    AppendField(&fields, Prefixed(prefix, "Shown").c_str(), offer.shown ? "1" : "0");
    AppendField(&fields, Prefixed(prefix, "Default").c_str(), offer.checkbox_default ? "1" : "0");
    AppendField(&fields, Prefixed(prefix, "User").c_str(), offer.user_choice ? "1" : "0");
    AppendField(&fields, Prefixed(prefix, "State").c_str(), std::to_string(offer.install_result));
    return fields;
}

std::string UpdateLogFields(const UpdateLogUpdate& update) {
    std::string fields;
    AppendField(&fields, "uName", EscapeLogValue(update.product));
    AppendField(&fields, "uOldVer", EscapeLogValue(update.old_version));
    AppendField(&fields, "uOldLocale", EscapeLogValue(update.old_locale));
    AppendField(&fields, "uOldLicense", UrlEncode(update.old_license));
    AppendField(&fields, "uNewVer", EscapeLogValue(update.new_version));
    AppendField(&fields, "uNewLocale", EscapeLogValue(update.new_locale));
    AppendField(&fields, "uNewLicense", UrlEncode(update.new_license));
    return fields;
}

std::string ToolbarLogFields(const UpdateLogToolbar& toolbar) {
    std::string fields;
    AppendField(&fields, "antiphishing", toolbar.antiphishing ? "1" : "0");
    AppendField(&fields, "antion", toolbar.antion ? "1" : "0");
    return fields;
}

bool IsToolbarProduct(const std::string& product) {
    static const char kToolbar[] = "wendle";
    if (product.size() != sizeof(kToolbar) - 1) return false;
    for (std::size_t i = 0; i < product.size(); ++i) {
        char c = product[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != kToolbar[i]) return false;
    }
    return true;
}

std::string ComposeUpdateLogQuery(const UpdateLogOffer& middle, const UpdateLogOffer& end,
                                  const UpdateLogUpdate& update, const UpdateLogToolbar& toolbar) {
    std::string query = OfferLogFields('m', middle);
    query += '&';
    query += OfferLogFields('e', end);
    query += '&';
    query += UpdateLogFields(update);
    if (IsToolbarProduct(update.product)) {
        query += '&';
        query += ToolbarLogFields(toolbar);
    }
    return query;
}
