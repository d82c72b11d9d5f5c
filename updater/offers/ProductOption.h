#pragma once
// The product's own options that the update offers to switch on, numbered by option number.
// This holds the entries and carries their states through SetupOption.ini; building the
// entries and applying a state come with the product-option issue.
#include <map>
#include <string>

#include "updater/offers/SettingReaderWriter.h"

struct ProductOptionEntry {
    std::string title;
    std::string text1;
    std::string text2;
    std::string text3;
    int state = 0;  // 0 off, 1 on
};

class ProductOption : public CSettingReaderWriter {
public:
    // Section "ProductOption": key = option number, value = state, both decimal. Only the
    // options in the store are read; nothing happens when the file cannot be read.
    bool LoadStatesFromIni(const std::string& ini_path);
    // One key per option; nothing happens when the file cannot be written.
    bool SaveStatesToIni(const std::string& ini_path) const;

    std::map<int, ProductOptionEntry> entries;
};
