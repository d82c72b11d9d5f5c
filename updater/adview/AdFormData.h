#pragma once
// The form data the completion page posts to the advertisement server: the updated product,
// the system, and the suite's installed products with the antivirus products found beside them.
// Plain values in, the text out; reading them from the system is CompletionAd's part. No Windows
// header here: this builds natively.
#include <string>
#include <vector>

// The antivirus detection's bit set.
constexpr int kAntivirusInternational = 1;
constexpr int kAntivirusDomestic = 2;

// The updated product as the window holds it.
struct AdProductFields {
    std::string name;
    std::string version;
    std::string locale;
    std::string license_type;
};

// The system's version and processor, as the extended version information and the system
// information give them.
struct AdSystemFields {
    unsigned major = 0;
    unsigned minor = 0;
    unsigned service_pack_major = 0;
    unsigned product_type = 0;
    unsigned processor_architecture = 0;
    unsigned build = 0;
    unsigned suite_mask = 0;
};

// One installed product of the suite: its key name and three of its values.
struct SuiteProductFields {
    std::string key_name;
    std::string version;
    std::string license_type;
    std::string locale;
};

// The product key names to list, in order: `first` (the 64-bit view under WOW64), then the
// names of `second` not already taken (registry names compare without regard to case); the
// agent's own key "Dravel" is left out.
std::vector<std::string> SuiteProductKeyNames(const std::vector<std::string>& first,
                                              const std::vector<std::string>& second);

// "p=name#version#locale#licence&o=<system in hexadecimal>&i=<products>|<antivirus entries>".
// Products with an empty version, licence type or locale are left out. The text is sent as it
// stands: nothing is encoded.
std::string BuildAdFormData(const AdProductFields& product, const AdSystemFields& system,
                            const std::vector<SuiteProductFields>& installed, int antivirus_bits);
