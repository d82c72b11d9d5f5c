#pragma once
// Options of the product being updated that the update offers to switch on. Only the browser
// toolbar has them: option 1 switches on its anti-phishing alarm, option 2 is a further yes/no
// choice worded by the language module.
#include <map>
#include <string>

struct ProductOptionEntry {
    std::string title;
    std::string text1;
    std::string text2;
    std::string text3;
    int state = 0;
};

class ProductOption {
public:
    ProductOption() = default;
    virtual ~ProductOption() = default;

    // Refills the store for the product; true when it holds an option.
    bool BuildProductOptions(const std::string& product_name);
    bool HasOption(int number) const;
    int GetOptionState(int number) const;
    // Applies and stores a state; option 1 writes the anti-phishing setting first and stays
    // unchanged when that fails.
    bool SetOptionState(int number, int state);
    std::string GetOptionTitle(int number) const;
    std::string GetOptionText1(int number) const;
    std::string GetOptionText2(int number) const;
    std::string GetOptionText3(int number) const;

    bool empty() const { return entries.empty(); }

    // Section "ProductOption" of SetupOption.ini: key = option number, value = state, both
    // decimal. Only the options in the store are read (states are restored, not applied);
    // nothing happens when the file cannot be read or written.
    bool LoadStatesFromIni(const std::string& ini_path);
    bool SaveStatesToIni(const std::string& ini_path) const;

    // The anti-phishing setting: HKEY_CURRENT_USER key by system version, value "PhishingAlarm2".
    static std::string AntiPhishingKey();
    static unsigned ReadAntiPhishing();

    std::map<int, ProductOptionEntry> entries;

private:
    const ProductOptionEntry* Find(int number) const;
};
