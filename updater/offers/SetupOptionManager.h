#pragma once
// Everything the option file says about one product update, together with the user's choices,
// kept between Norvane processes in SetupOption.ini. One per update window.
#include <string>

#include "updater/offers/AdditionalInstall.h"
#include "updater/offers/AdditionalOption.h"
#include "updater/offers/ProductOption.h"
#include "updater/offers/SetupOptions.h"
#include "updater/offers/StartPageWorker.h"

class CSetupOptionManager {
public:
    // Obtains the option file (the agent's "OptionFileName", else a download from the add-on
    // server, deleted after reading) and reads every part from it. A missing or broken file
    // leaves every part without an offer.
    bool LoadFromOptionFile(const std::string& product);
    // False, changing nothing, when the product's SetupOption.ini does not exist.
    bool LoadFromSetupOptionIni(const std::string& product);
    // Writes SetupOption.ini from scratch.
    // True when every part was written: a copy that reads the file then finds the user's
    // choices. Callers that only prepare ahead may ignore it.
    bool SaveToSetupOptionIni(const std::string& product);

    CMediumInstall medium;
    CEndInstall end;
    CStartPageWorker start_page;
    CAdditionalOption option;
    CSetupOptions setup_options;
    ProductOption product_option;
};

// The add-on server's address of the product's option file.
std::string OptionFileUrl(const std::string& product);
