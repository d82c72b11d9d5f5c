#pragma once
// Whole jobs of Norvane as the agent, the user and the vendor's servers play them: the update
// window's fixture (tests/window) with an option file that carries offers, a start page and a
// licence, served setups for the offers, the product's setup stand-in that reports to the window,
// and the environment those stand-ins read. Outcomes are read only from outside: files, the
// registry, the loopback server's record, the stand-ins' records and exit codes.
#include <optional>
#include <string>
#include <vector>

#include "tests/window/UpdateWindowFixture.h"

namespace scenario {

// One offered product of the option file, served by the loopback server.
struct OfferSpec {
    std::string name;           // ProductName; also the setup's file name in the offer folder
    std::string local_name;
    std::string version = "1.0";
    std::string checksum;       // "" leaves the attribute out
    std::string url;
    bool checked_by_default = true;
    std::string title_new = "Install it too";
    std::string title_update = "Update it too";
};

// The start-page offer of the option file.
struct StartPageSpec {
    std::string page = "http://partner.example/home";
    std::string title = "Make the partner's page your start page";
    std::string check_urls = "partner.example";
    std::string partner_url;   // the partner's report address, with placeholders
    std::string page_name = "partner1";
    bool checked_by_default = true;
    bool send_always = false;  // sendcondition
};

struct OptionSpec {
    std::optional<OfferSpec> middle;
    std::optional<OfferSpec> end;
    std::optional<StartPageSpec> start_page;
    std::string log_url;    // "" leaves the option record out
    int eula_revision = 0;  // with eula_url
    std::string eula_url;
    std::string Xml() const;
};

class Scenario : public windowtest::UpdateWindowTest {
protected:
    explicit Scenario(std::string product_name = testsupport::UniqueName("Scn"));
    ~Scenario() override;

    // The offer stand-in's setup served at /offers/<name>.exe with its digest.
    OfferSpec ServedOffer(const std::string& prefix, const std::string& local_name);
    StartPageSpec ServedStartPage();
    // An option file with a log address and, when `licence` is set, a licence newer than the
    // installed product's.
    OptionSpec Options(bool licence);
    // The option file on disk (the agent's "OptionFileName"), or from the add-on server.
    void UseOptionFile(const OptionSpec& option_file);
    void ServeOptionFile(const OptionSpec& option_file);
    // The product's setup stand-in at DownloadedPath, reporting as `mode` says.
    void UseProductSetup(const std::string& mode = "registered");
    // The setup file again (a finished update deletes it), and no record of an earlier run.
    void PutSetupBack();
    // Sets (or replaces) one variable of Norvane's environment.
    void SetEnvironment(const std::string& name, const std::string& value);
    // The vendor's statistics server is the loopback server.
    void ServeStatistics();

    // Norvane with the stand-ins' settings in its environment, which its children inherit.
    DWORD StartWithEnvironment(const std::string& mode, bool limited_token = false);

    // ---- walking the window as the user does ----
    // Clicks the box until it shows `checked`.
    void SetBox(HWND dialog, int id, bool checked);
    // The option page: the extra-offer and start-page boxes set, then its button.
    void ChooseOptions(HWND window, std::optional<bool> middle, std::optional<bool> start_page);
    // The licence page: the box ticked, then its button.
    void AcceptLicence(HWND window);
    // The completion page: the end-offer box set (when shown), then the finish button; waits
    // for the process to end and returns its exit code.
    std::optional<DWORD> Finish(DWORD pid, HWND window, std::optional<bool> end_offer);
    // What the completion page's message line said when the chosen end offer failed (empty when
    // it did not), as the last Finish saw it.
    std::string end_offer_failure;
    // The whole walk with these choices (unset: the page's defaults): description, options,
    // the licence when `licence`, the completion page; the exit code.
    std::optional<DWORD> AcceptEverything(DWORD pid, bool licence, std::optional<bool> middle,
                                          std::optional<bool> start_page,
                                          std::optional<bool> end_offer);
    // The window's ending after the cancel question answered Yes.
    void ExpectCancelledWithYes(DWORD pid);

    // ---- what the stand-ins and the server saw ----
    std::optional<std::string> SetupCommand();      // the product setup's arguments, once it ran
    std::vector<std::string> OfferRuns();           // one line per run of an offered setup
    std::vector<testsupport::LoopbackServer::Request> LogRequests(size_t at_least = 1);
    std::string MiddleSetupFile(const std::string& name) const;
    std::string EndSetupFile(const std::string& name) const;
    std::optional<std::string> StartPage();
    // The query an update without changes to the installation logs, after the offer fields.
    std::string UpdateFields() const;
    static std::string OfferFields(char prefix, const OfferSpec* offer, int shown, int by_default,
                                   int user, int state);

    std::vector<std::string> environment;
    const std::string setup_record;
    const std::string offer_record;
    std::vector<std::string> offer_files;  // removed at the end
    testsupport::ScopedRegValue start_page_value;
    testsupport::ScopedRegValue enum_list;
};

// MD5 of a file's bytes as 32 lowercase hexadecimal digits, by the system's crypto provider.
std::string Md5Hex(const std::string& bytes);
std::string FileBytes(const std::string& path);

}  // namespace scenario
