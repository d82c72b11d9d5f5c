#pragma once
// The start-page offer: a partner's page that Norvane offers to make the browser's start page.
// This holds the offer as the option file and SetupOption.ini carry it; the enumeration list
// download, the check box's visibility and Run come with the start-page issue.
#include <map>
#include <string>

#include "updater/offers/SettingReaderWriter.h"

struct StartPageInfo {
    std::string StartpageUrl;        // the page to set
    std::string TitleStartpage;      // the check box caption
    std::string StartpageCheckUrls;  // ";"-separated addresses that count as already set
    std::string PartnerSenderUrl;    // the partner's report address template
    std::string ChangePageName;      // the page identifier sent to the vendor
    int CheckboxDefault = 1;
    int CheckboxUserState = 0;
    int sendcondition = 0;
    int viewcheckbox = 0;
    int StartPageMode = 0;  // 0 registry, 1 the external start-page program
    std::string LinkUrl;
    std::string LinkIconUrl;
    std::string LinkName;
    std::string LinkDesc;
    int LinkFlags = 0;  // bit 0 desktop, bit 1 start menu, bit 2 quick launch / taskbar

    // The five texts without which there is no offer.
    bool IsComplete() const;
    bool operator==(const StartPageInfo& other) const;
};

class CStartPageWorker : public CSettingReaderWriter {
public:
    // "StartPageList" then "StartpageInfo"; nothing when the offer is not active.
    bool SaveToIni(const std::string& ini_path) const;

    std::string product;
    StartPageInfo info;
    bool active = false;
    bool checkbox_visible = false;
    std::map<int, std::string> page_list;  // page number -> start-page address
};

// Reads the "startpage" elements of the option file into the worker's record.
bool LoadStartPageFromXml(const std::string& option_file, CStartPageWorker* worker,
                          const std::string& product);
// Reads "StartpageInfo" and, for a complete record, "StartPageList".
bool LoadStartPageFromIni(const std::string& product, CStartPageWorker* worker,
                          const std::string& ini_path);
