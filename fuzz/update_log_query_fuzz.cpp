// The update log's query is built from names and versions the option file and the registry
// supply. Whatever they hold, the query must split at "&" into exactly the expected keys, hold
// no byte that would end or garble it, and every value must decode back to its input.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "updater/offers/UpdateLogQuery.h"

namespace {

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

std::string Decode(const std::string& value) {
    std::string decoded;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] != '%') {
            decoded += value[i];
            continue;
        }
        if (i + 2 >= value.size()) std::abort();  // a cut-off escape
        const int high = HexValue(value[i + 1]), low = HexValue(value[i + 2]);
        if (high < 0 || low < 0) std::abort();
        decoded += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return decoded;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    UpdateLogOffer middle, end;
    UpdateLogUpdate update;
    UpdateLogToolbar toolbar;
    middle.name = input.ConsumeRandomLengthString(256);
    middle.version = input.ConsumeRandomLengthString(64);
    end.name = input.ConsumeRandomLengthString(256);
    end.version = input.ConsumeRandomLengthString(64);
    update.product = input.ConsumeBool() ? "Wendle" : input.ConsumeRandomLengthString(64);
    update.old_version = input.ConsumeRandomLengthString(64);
    update.old_locale = input.ConsumeRandomLengthString(16);
    update.old_license = input.ConsumeRandomLengthString(64);
    update.new_version = input.ConsumeRandomLengthString(64);
    update.new_locale = input.ConsumeRandomLengthString(16);
    update.new_license = input.ConsumeRandomLengthString(64);
    middle.shown = input.ConsumeBool();
    middle.install_result = input.ConsumeIntegral<int>();
    end.install_result = input.ConsumeIntegral<int>();
    toolbar.antion = input.ConsumeBool();
    toolbar.antiphishing = input.ConsumeBool();

    const std::string query = ComposeUpdateLogQuery(middle, end, update, toolbar);
    for (unsigned char c : query) {
        if (c <= 0x20 || c >= 0x7F || std::strchr("#?+", c)) std::abort();
    }

    struct Expected {
        const char* key;
        const std::string* value;  // null: a number
    };
    std::vector<Expected> expected = {
        {"mName", &middle.name}, {"mVer", &middle.version}, {"mShown", nullptr},
        {"mDefault", nullptr},   {"mUser", nullptr},        {"mState", nullptr},
        {"eName", &end.name},    {"eVer", &end.version},    {"eShown", nullptr},
        {"eDefault", nullptr},   {"eUser", nullptr},        {"eState", nullptr},
        {"uName", &update.product}, {"uOldVer", &update.old_version},
        {"uOldLocale", &update.old_locale}, {"uOldLicense", &update.old_license},
        {"uNewVer", &update.new_version}, {"uNewLocale", &update.new_locale},
        {"uNewLicense", &update.new_license}};
    if (IsToolbarProduct(update.product)) {
        expected.push_back({"antiphishing", nullptr});
        expected.push_back({"antion", nullptr});
    }

    std::size_t begin = 0;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        std::size_t stop = query.find('&', begin);
        if (stop == std::string::npos) stop = query.size();
        const std::string field = query.substr(begin, stop - begin);
        const std::size_t equals = field.find('=');
        if (equals == std::string::npos || field.find('=', equals + 1) != std::string::npos) std::abort();
        if (field.compare(0, equals, expected[i].key) != 0 || equals != std::strlen(expected[i].key)) {
            std::abort();
        }
        const std::string value = field.substr(equals + 1);
        if (expected[i].value && Decode(value) != *expected[i].value) std::abort();
        if (!expected[i].value && value.empty()) std::abort();
        const bool last = i + 1 == expected.size();
        if (last != (stop == query.size())) std::abort();  // too few or too many fields
        begin = stop + 1;
    }
    return 0;
}
