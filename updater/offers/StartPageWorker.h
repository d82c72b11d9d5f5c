#pragma once
// The start-page offer: a partner's page that Norvane offers to make the browser's start page.
// The worker holds the offer as the option file and SetupOption.ini carry it, decides whether
// its check box is shown, and at the end of the product's setup sets the page (or has the
// external start-page program set it), places the partner's shortcuts and reports the outcome
// to the partner and to the vendor.
#include <map>
#include <string>

#include "updater/offers/SettingReaderWriter.h"
#include "updater/offers/StartPageRules.h"

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

    // Whether the option page may show the check box: an active offer that allows it, and a
    // browser start page that holds none of the check addresses.
    bool ComputeCheckboxVisible() const;

    // What the option page shows.
    const std::string& TitleStartpage() const { return info.TitleStartpage; }
    const std::string& ChangePageName() const { return info.ChangePageName; }
    const std::string& LinkName() const { return info.LinkName; }
    const std::string& LinkUrl() const { return info.LinkUrl; }

    // Acts on the user's choice (state 1: the box was selected) once the product's setup has
    // finished. False without an offer; otherwise whether the vendor report was sent.
    bool Run(int state);

    std::string product;
    StartPageInfo info;
    bool active = false;
    bool checkbox_visible = false;
    std::map<int, std::string> page_list;  // page number -> start-page address

    // Norvane's own executable as the run's tools see it: "zoz.exe" lies beside it and the
    // protected-mode report starts a copy of it. Empty means OwnModulePath(); tests point it at
    // a copy in a folder of their own.
    std::string program_path;
};

// One run of the offer, built by Run.
class StartPageExtension {
public:
    virtual ~StartPageExtension() = default;

    // Takes the browser's current page class, changes the page when the box was selected,
    // reports to the partner when asked to and always to the vendor. True when the vendor
    // report was sent.
    bool Execute(const CStartPageWorker& worker);

    int mode = 2;  // 1 shown and selected, 0 shown and not selected, 2 not shown
    int send_result = 0;
    int change_result = 0;
    int current_page_class = kStartPageClassNone;
    std::string report_url;
    std::string partner_url;
    std::string product;
    std::string new_start_page;

private:
    int ChangeStartPage(int start_page_mode, const std::string& program) const;
    int SendPartnerReport(const std::string& os_version, const std::string& program) const;
    int SendVendorReport(const std::string& os_version) const;
    StartPageReport Report(const std::string& os_version) const;
};

// Outcomes of the start-page change.
constexpr int kChangeNotConfirmed = 0;  // the value read back differs, or the tool did not start
constexpr int kChangeDone = 1;
constexpr int kChangeNotWritten = 2;    // the key would not open or the value not set
constexpr int kChangeFailed = 3;        // an exception

// The protected-mode report's copy is waited for at most this long, with the window's messages
// dispatched meanwhile.
constexpr unsigned long kSendLogWaitMs = 30000;

// The browser's start page: "Start Page" under HKEY_CURRENT_USER
// "Software\\Microsoft\\Internet Explorer\\Main", read whole; "" when it cannot be read.
std::string ReadCurrentStartPage();
// "%d.%d.%d.%d" of the browser's major version ("IE" under "Version Vector", 0 when missing),
// the platform id and the system's major and minor version.
std::string ReportOsVersion();

// Reads the "startpage" elements of the option file into the worker's record; for a complete
// record adds the enumeration list (the file named by "StartPageEnumList" or the install
// server's list) and activates the offer.
bool LoadStartPageFromXml(const std::string& option_file, CStartPageWorker* worker,
                          const std::string& product);
// Reads "StartpageInfo" and, for a complete record, "StartPageList".
bool LoadStartPageFromIni(const std::string& product, CStartPageWorker* worker,
                          const std::string& ini_path);
