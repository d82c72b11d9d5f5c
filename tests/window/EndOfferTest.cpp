// The end offer's download dialog, opened by the completion page's finish button: its bar follows
// the download, Escape stops the download at its next report, and the update ends normally
// either way. The offer's setup is served slowly by the loopback server.
#include <gtest/gtest.h>

#include "resources/ResourceIds.h"
#include "tests/window/UpdateWindowFixture.h"
#include "updater/app/PageFlow.h"
#include "updater/data/UpdateInfo.h"
#include "updater/offers/FileDigest.h"

using namespace testsupport;
using namespace windowtest;

class EndOffer : public UpdateWindowTest {
protected:
    EndOffer() {
        norvane_environment.push_back("OFFER_SETUP_RECORD=" + offer_record);
        const std::string setup = Join(DoublesDir(), "offer_setup.exe");
        setup_bytes = ReadTextFile(setup).value_or("");
        LoopbackServer::Response slow;
        slow.body = setup_bytes;
        // Slow enough for a look at the bar and a key press halfway.
        slow.slow_piece = setup_bytes.size() / 40 + 1;
        slow.slow_interval_ms = 150;
        server.Serve(kSetupPath, slow);
        WriteOptionFile("<addproduct type=\"end\"><productinfo><name>" + name +
                        "</name><namelocal>Scanly Virus Scan</namelocal><ver>1.0</ver>"
                        "<url checksum=\"" + FileMd5Hex(setup) + "\"><![CDATA[" +
                        server.Url(kSetupPath) + "]]></url><setcheckbox>1</setcheckbox>"
                        "<textadd><![CDATA[Also install Scanly Virus Scan]]></textadd>"
                        "<textupdate><![CDATA[Also update Scanly Virus Scan]]></textupdate>"
                        "</productinfo></addproduct>");
    }
    ~EndOffer() override {
        DeleteFileA(Join(DataRoot(), "AdditionalInstallInfo_end\\" + name + ".exe").c_str());
    }
    // The update up to its finish button, with the offer's box checked; the download dialog.
    HWND FinishWithTheOffer(DWORD* pid) {
        InstallProduct();
        AgentWillFind(DefaultInfo());
        *pid = StartNorvane("/explicitupdate");
        HWND window = MainWindow(*pid);
        if (!window) return nullptr;
        MoveOnToTheProgressStep(window);
        if (!WaitForPage(window, kProgressPage)) return nullptr;
        OpenSetupGate();
        HWND complete = WaitForPage(window, kCompletePage);
        if (!complete) return nullptr;
        HWND box = Control(complete, IDC_END_OFFER_CHECK);
        EXPECT_TRUE(box && IsWindowVisible(box) && IsChecked(box)) << "the offer is not on show";
        EXPECT_EQ(Text(complete, IDC_END_OFFER_CHECK), "Also install Scanly Virus Scan");
        if (!Click(Control(complete, IDC_PAGE_BUTTON))) return nullptr;
        HWND dialog = nullptr;
        WaitUntil(
            [&] {
                for (HWND candidate : WindowsOfProcess(*pid)) {
                    if (candidate != window && IsWindowVisible(candidate) &&
                        Control(candidate, IDC_END_OFFER_PROGRESS)) {
                        dialog = candidate;
                    }
                }
                return dialog != nullptr;
            },
            kAppearTimeout);
        return dialog;
    }
    // Waits until the download dialog's bar has moved; what it showed then.
    std::optional<BarState> WaitForMovingBar(HWND dialog) {
        std::optional<BarState> bar;
        WaitUntil(
            [&] {
                bar = ReadBar(Control(dialog, IDC_END_OFFER_PROGRESS));
                return bar && bar->position > 0;
            },
            kAppearTimeout);
        return bar;
    }
    std::string EndOfferLog() {
        WaitUntil([&] { return !server.RequestsFor("/UpdateLog.aspx").empty(); }, kAppearTimeout);
        auto logs = server.RequestsFor("/UpdateLog.aspx");
        if (logs.empty()) return "";
        const std::string& query = logs[0].query;
        const size_t start = query.find("eName=");
        return start == std::string::npos ? "" : query.substr(start, query.find("&uName") - start);
    }

    static constexpr const char* kSetupPath = "/end/scanly_setup.exe";
    const std::string name = UniqueName("Scanly");
    const std::string offer_record = root.File("offer.record");
    std::string setup_bytes;
};

TEST_F(EndOffer, DownloadMovesTheBarAndTheOfferRuns) {
    ASSERT_GT(setup_bytes.size(), 0u);
    DWORD pid = 0;
    HWND dialog = FinishWithTheOffer(&pid);
    ASSERT_NE(dialog, nullptr) << "no download dialog";
    EXPECT_EQ(Text(dialog, IDC_END_OFFER_CAPTION),
              Fill(Module(IDS_END_OFFER_CAPTION), "Scanly Virus Scan"));
    const auto bar = WaitForMovingBar(dialog);
    ASSERT_TRUE(bar.has_value());
    EXPECT_GT(bar->position, 0);
    EXPECT_EQ(bar->low, 0);
    EXPECT_EQ(bar->high, static_cast<int>(setup_bytes.size()));

    // The offer runs, the dialog ends, and the window ends the update.
    EXPECT_EQ(WaitForExit(pid, 60000), std::optional<DWORD>(0u));
    EXPECT_EQ(ReadTextFile(offer_record).value_or(""),
              "/silent /addsetup /NOINSTDRAVEL /parentproduct=\"" + product + "\"\n");
    EXPECT_EQ(EndOfferLog(), "eName=" + name + "&eVer=1.0&eShown=1&eDefault=1&eUser=1&eState=1");
}

TEST_F(EndOffer, EscapeStopsTheDownloadAtItsNextReportAndTheUpdateStillEnds) {
    DWORD pid = 0;
    HWND dialog = FinishWithTheOffer(&pid);
    ASSERT_NE(dialog, nullptr) << "no download dialog";
    ASSERT_TRUE(WaitForMovingBar(dialog).has_value());
    ASSERT_TRUE(PressKey(dialog, VK_ESCAPE));

    EXPECT_EQ(WaitForExit(pid, 60000), std::optional<DWORD>(0u));
    // The download hung up before the whole file was there, and nothing ran.
    std::optional<LoopbackServer::Outcome> download;
    WaitUntil(
        [&] {
            for (const auto& outcome : server.Outcomes()) {
                if (outcome.path == kSetupPath) download = outcome;
            }
            return download.has_value();
        },
        kAppearTimeout);
    ASSERT_TRUE(download.has_value()) << "the download's connection never ended";
    EXPECT_FALSE(download->complete);
    EXPECT_TRUE(download->client_closed) << "the download was not stopped";
    EXPECT_LT(download->body_sent, setup_bytes.size());
    EXPECT_FALSE(PathExists(offer_record)) << "the offer ran";
    EXPECT_FALSE(PathExists(Join(DataRoot(), "AdditionalInstallInfo_end\\" + name + ".exe")));
    EXPECT_EQ(EndOfferLog(), "eName=" + name + "&eVer=1.0&eShown=1&eDefault=1&eUser=1&eState=0");
}
