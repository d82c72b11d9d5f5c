// The offers of further products: which product is offered, how its setup program is fetched,
// checked and run, and the licence and log operations of the option record. Setup programs are
// the offer-setup stand-in served by the loopback server.
#include <gtest/gtest.h>

#include <fstream>

#include "tests/support/LoopbackServer.h"
#include "tests/support/TestSupport.h"
#include "updater/data/UpdateInfo.h"
#include "updater/offers/AdditionalInstall.h"
#include "updater/offers/AdditionalOption.h"
#include "updater/offers/FileDigest.h"
#include "updater/platform/Shell.h"

using namespace testsupport;

namespace {

std::string SetupDouble() { return Join(DoublesDir(), "offer_setup.exe"); }

std::string ReadAll(const std::string& path) { return ReadTextFile(path).value_or(""); }

// An option file with the given "productinfo" elements under one "addproduct".
std::string OptionFile(const TempDir& dir, const char* type, const std::string& products) {
    const std::string path = dir.File("option.xml");
    WriteTextFile(path, std::string("<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<addon>\n<addproduct type=\"") +
                            type + "\">\n" + products + "</addproduct>\n</addon>\n");
    return path;
}

std::string ProductInfo(const std::string& name, const std::string& version, const std::string& url,
                        const std::string& checksum, bool with_enable = true) {
    std::string xml = "<productinfo><name>" + name + "</name><namelocal>" + name +
                      " local</namelocal><ver>" + version + "</ver><url checksum=\"" + checksum +
                      "\"><![CDATA[" + url + "]]></url><setcheckbox>1</setcheckbox>"
                      "<textadd><![CDATA[Install " + name + "]]></textadd>"
                      "<textupdate><![CDATA[Update " + name + "]]></textupdate>";
    if (with_enable) xml += "<textenable><![CDATA[Switch " + name + " on]]></textenable>";
    return xml + "</productinfo>\n";
}

class Offers : public ::testing::Test {
protected:
    LoopbackServer server;
    TempDir dir;
    std::string parent = UniqueName("Parent");
    std::string record = dir.File("setup-record.txt");
    std::vector<std::unique_ptr<ScopedRegTree>> installed_products;
    std::vector<std::string> offer_files;
    std::string setup_bytes;
    std::string setup_md5;

    void SetUp() override {
        ASSERT_TRUE(server.ok());
        setup_bytes = ReadAll(SetupDouble());
        ASSERT_FALSE(setup_bytes.empty());
        setup_md5 = FileMd5Hex(SetupDouble());
        SetEnvironmentVariableA("OFFER_SETUP_RECORD", record.c_str());
        SetEnvironmentVariableA("OFFER_SETUP_EXIT", "0");
    }
    void TearDown() override {
        SetEnvironmentVariableA("OFFER_SETUP_RECORD", nullptr);
        SetEnvironmentVariableA("OFFER_SETUP_EXIT", nullptr);
        // The offers wait for the setups they start; one that was left running ends here.
        ProcessOwner setups;
        for (const std::string& file : offer_files) setups.OwnCopiesOf(file);
        setups.EndAll();
        for (const std::string& file : offer_files) DeleteFileA(file.c_str());
    }
    // A product of the suite that is installed in the given version.
    void Install(const std::string& name, const std::string& version) {
        installed_products.push_back(std::make_unique<ScopedRegTree>(
            HKEY_LOCAL_MACHINE, "Software\\Quindel\\" + name, View::View32));
        SetRegString(HKEY_LOCAL_MACHINE, "Software\\Quindel\\" + name, "Version", version);
    }
    std::string ServeSetup(const std::string& name) {
        const std::string path = "/setup/" + name + ".exe";
        server.Serve(path, setup_bytes);
        return server.Url(path);
    }
    template <typename Offer>
    std::string OfferFile(const Offer& offer, const std::string& name) {
        const std::string file = offer.SetupFolder() + "\\" + name + ".exe";
        offer_files.push_back(file);
        return file;
    }
};

TEST_F(Offers, MiddleOfferSkipsTheUpdatedProductAndInstalledOnes) {
    const std::string current = UniqueName("Current"), fresh = UniqueName("Fresh");
    Install(current, "2.0");
    CMediumInstall only_parent;
    EXPECT_FALSE(only_parent.LoadFromXml(parent, OptionFile(dir, "middle", ProductInfo(parent, "9.0", "http://x/a", setup_md5))));
    EXPECT_FALSE(only_parent.loaded);
    EXPECT_FALSE(only_parent.checkbox_shown);
    EXPECT_EQ(only_parent.GetTitle(), "");

    CMediumInstall offer;
    ASSERT_TRUE(offer.LoadFromXml(parent, OptionFile(dir, "MIDDLE",
        ProductInfo(parent, "9.0", "http://x/a", setup_md5) + ProductInfo(current, "2.0", "http://x/b", setup_md5) +
        ProductInfo(fresh, "1.0", "http://x/c", setup_md5))));
    EXPECT_EQ(offer.selected.ProductName, fresh);
    EXPECT_TRUE(offer.checkbox_shown);
    EXPECT_EQ(offer.GetTitle(), "Install " + fresh);

    // With every other product installed, the first one needing an update is offered.
    CMediumInstall update;
    Install(fresh, "0.9");
    ASSERT_TRUE(update.LoadFromXml(parent, OptionFile(dir, "middle",
        ProductInfo(current, "2.0", "http://x/b", setup_md5) + ProductInfo(fresh, "1.0", "http://x/c", setup_md5))));
    EXPECT_EQ(update.selected.ProductName, fresh);
    EXPECT_EQ(update.GetTitle(), "Update " + fresh);

    // Installed and current everywhere: no offer.
    CMediumInstall none;
    EXPECT_FALSE(none.LoadFromXml(parent, OptionFile(dir, "middle", ProductInfo(current, "2.0", "http://x/b", setup_md5))));
}

TEST_F(Offers, MiddleOfferNeedsEveryCaptionAndADigest) {
    const std::string name = UniqueName("NoDigest");
    CMediumInstall offer;
    EXPECT_FALSE(offer.LoadFromXml(parent, OptionFile(dir, "middle", ProductInfo(name, "1.0", "http://x/a", ""))));
    CMediumInstall toolbar;
    EXPECT_FALSE(toolbar.LoadFromXml(parent, OptionFile(dir, "middle",
                                                        ProductInfo("Wendle", "3.0", "http://x/w", setup_md5, false))));
}

TEST_F(Offers, MiddleSetupRunsWithItsParametersAndRecordsTheResult) {
    const std::string fresh = UniqueName("Fresh");
    CMediumInstall offer;
    ASSERT_TRUE(offer.LoadFromXml(parent, OptionFile(dir, "middle", ProductInfo(fresh, "1.0", ServeSetup(fresh), setup_md5))));
    OfferFile(offer, fresh);
    ASSERT_TRUE(offer.Install());
    EXPECT_EQ(offer.install_result, 1);
    EXPECT_EQ(ReadAll(record), "/verysilent /norestart /addothersetup /NOINSTDRAVEL\n");
    EXPECT_EQ(server.RequestsFor("/setup/" + fresh + ".exe").size(), 1u);
    // Used once, the setup leaves nothing in the user's profile to be planted over.
    EXPECT_FALSE(PathExists(offer.selected.SetupDownloadPath));

    // A file already there with the right digest (downloaded ahead) is used without a download.
    CMediumInstall ahead;
    ASSERT_TRUE(ahead.LoadFromXml(parent, OptionFile(dir, "middle", ProductInfo(fresh, "1.0", ServeSetup(fresh), setup_md5))));
    ASSERT_TRUE(ahead.DownloadSetup());
    EXPECT_EQ(server.RequestsFor("/setup/" + fresh + ".exe").size(), 2u);
    CMediumInstall again;
    ASSERT_TRUE(again.LoadFromXml(parent, OptionFile(dir, "middle", ProductInfo(fresh, "1.0", ServeSetup(fresh), setup_md5))));
    ASSERT_TRUE(again.DownloadSetup());
    EXPECT_EQ(server.RequestsFor("/setup/" + fresh + ".exe").size(), 2u);
    EXPECT_EQ(again.UpdateLogFields('m'),
              "mName=" + fresh + "&mVer=1.0&mShown=1&mDefault=1&mUser=0&mState=0");
}

TEST_F(Offers, FailingMiddleSetupRecordsNothing) {
    const std::string old = UniqueName("Old");
    Install(old, "0.5");
    SetEnvironmentVariableA("OFFER_SETUP_EXIT", "3");
    CMediumInstall offer;
    ASSERT_TRUE(offer.LoadFromXml(parent, OptionFile(dir, "middle", ProductInfo(old, "1.0", ServeSetup(old), setup_md5))));
    OfferFile(offer, old);
    EXPECT_FALSE(offer.Install());
    EXPECT_EQ(offer.install_result, 0);
    EXPECT_FALSE(ReadAll(record).empty()) << "the setup ran";

    SetEnvironmentVariableA("OFFER_SETUP_EXIT", "0");
    ASSERT_TRUE(offer.Install());
    EXPECT_EQ(offer.install_result, 2);  // an update of an installed product
}

TEST_F(Offers, WrongDigestDeletesTheFileAndNeverStartsIt) {
    const std::string fresh = UniqueName("Tampered");
    CMediumInstall offer;
    ASSERT_TRUE(offer.LoadFromXml(parent, OptionFile(dir, "middle",
        ProductInfo(fresh, "1.0", ServeSetup(fresh), "0123456789abcdef0123456789abcdef"))));
    const std::string file = OfferFile(offer, fresh);
    EXPECT_FALSE(offer.Install());
    EXPECT_FALSE(PathExists(file));
    EXPECT_FALSE(PathExists(record));

    // A middle offer read back without a digest never runs.
    offer.selected.SetupChecksum.clear();
    ASSERT_TRUE(offer.DownloadSetup());
    EXPECT_FALSE(offer.RunSetup());
    EXPECT_FALSE(PathExists(record));
}

TEST_F(Offers, ProductNamesCannotLeadOutOfTheOfferFolder) {
    CEndInstall offer;
    AdditionalInstallInfo record_info;
    record_info.ProductName = "..\\..\\Escaped";
    record_info.ProductLocalName = "Escaped";
    record_info.SetupURL = ServeSetup("escaped");
    ASSERT_TRUE(offer.SetEndOffer(record_info, parent));
    EXPECT_FALSE(offer.DownloadSetup());
    EXPECT_EQ(server.RequestCount(), 0u);
}

// A device name is no file name: "NUL.exe" swallows the download and reports success, "COM1.exe"
// would send the setup's bytes to a port. Such names are refused before anything is fetched,
// whatever their letter case, extension or trailing dots and blanks; names that only begin
// like a device are ordinary.
TEST_F(Offers, DeviceNamesAreNoSetupFileNames) {
    const std::string url = ServeSetup("device");
    for (const char* name : {"NUL", "nul", "CON", "Aux", "prn", "COM1", "com9", "LPT1", "Lpt9",
                             "NUL.txt", "con.tar.gz", "COM1.", "aux  ", "nul . .", "LPT3 .x",
                             "CONIN$", "conout$", "COM0", "LPT0"}) {
        CEndInstall offer;
        AdditionalInstallInfo info;
        info.ProductName = name;
        info.ProductLocalName = "Device";
        info.SetupURL = url;
        ASSERT_TRUE(offer.SetEndOffer(info, parent));
        EXPECT_FALSE(offer.DownloadSetup()) << name;
        EXPECT_TRUE(offer.selected.SetupDownloadPath.empty()) << name;
    }
    EXPECT_EQ(server.RequestCount(), 0u);

    for (const char* name : {"NULL", "Console", "COM10", "LPT", "Auxiliary", "xCON"}) {
        CEndInstall offer;
        AdditionalInstallInfo info;
        info.ProductName = name;
        info.ProductLocalName = "Ordinary";
        info.SetupURL = url;
        ASSERT_TRUE(offer.SetEndOffer(info, parent));
        OfferFile(offer, name);
        EXPECT_TRUE(offer.DownloadSetup()) << name;
        EXPECT_EQ(ReadAll(offer.selected.SetupDownloadPath), setup_bytes) << name;
    }
}

// Names and versions come from the option file. What would end a field, start another or end
// the query is escaped; everything else goes out as it stands, and nothing is cut off.
TEST_F(Offers, LogFieldsEscapeWhatWouldBreakTheQueryAndKeepTheRest) {
    CEndInstall offer;
    AdditionalInstallInfo info;
    info.ProductName = "Viewer&eState=1#x";
    info.ProductLocalName = "Viewer";
    info.SetupURL = "http://x/v";
    info.version = "2.0 beta+1?=%";
    info.CheckboxDefault = 1;
    ASSERT_TRUE(offer.SetEndOffer(info, parent));
    EXPECT_EQ(offer.UpdateLogFields('e'),
              "eName=Viewer%26eState%3d1%23x&eVer=2.0%20beta%2b1%3f%3d%25"
              "&eShown=1&eDefault=1&eUser=0&eState=0");

    // Real names keep their dots, dashes, underscores, slashes and brackets.
    offer.selected.ProductName = "Ostrey_Viewer-2.x/(kr)";
    offer.selected.version = "3.0.12.7";
    EXPECT_EQ(offer.UpdateLogFields('e'),
              "eName=Ostrey_Viewer-2.x/(kr)&eVer=3.0.12.7&eShown=1&eDefault=1&eUser=0&eState=0");

    // A name far longer than any buffer loses nothing, and the fields after it still follow.
    offer.selected.ProductName = std::string(3000, 'n');
    offer.selected.version = "1.0";
    const std::string fields = offer.UpdateLogFields('e');
    const std::string tail = "&eVer=1.0&eShown=1&eDefault=1&eUser=0&eState=0";
    EXPECT_EQ(fields.size(), 6 + 3000 + tail.size());
    EXPECT_EQ(fields.compare(0, 6 + 3000, "eName=" + std::string(3000, 'n')), 0);
    EXPECT_EQ(fields.substr(std::min(fields.size(), size_t{6 + 3000})), tail);
}

TEST_F(Offers, EndOfferWithoutDigestRunsUncheckedAndItsFileIsRemoved) {
    const std::string fresh = UniqueName("EndFresh");
    CEndInstall offer;
    ASSERT_TRUE(offer.LoadFromXml(parent, OptionFile(dir, "end",
        ProductInfo(parent, "9.0", "http://x/p", "") + ProductInfo(fresh, "1.0", ServeSetup(fresh), ""))));
    EXPECT_EQ(offer.products.size(), 2u);
    offer.SelectEndOffer();
    EXPECT_EQ(offer.selected.ProductName, fresh);
    EXPECT_TRUE(offer.checkbox_shown);
    const std::string file = OfferFile(offer, fresh);
    ASSERT_TRUE(offer.Install());
    EXPECT_EQ(offer.install_result, 1);
    EXPECT_EQ(ReadAll(record), "/silent /addsetup /NOINSTDRAVEL /parentproduct=\"" + parent + "\"\n");
    EXPECT_FALSE(PathExists(file));
    EXPECT_EQ(offer.UpdateLogFields('e'), "eName=" + fresh + "&eVer=1.0&eShown=1&eDefault=1&eUser=0&eState=1");
}

// An end offer without a digest runs whatever file lies in the user's folder when it starts:
// from the end of its download to its start nobody may write, replace or delete it.
TEST_F(Offers, EndOfferWithoutDigestIsHeldFromItsDownloadToItsStart) {
    const std::string fresh = UniqueName("EndHeld");
    CEndInstall offer;
    ASSERT_TRUE(offer.LoadFromXml(parent, OptionFile(dir, "end", ProductInfo(fresh, "1.0", ServeSetup(fresh), ""))));
    offer.SelectEndOffer();
    const std::string file = OfferFile(offer, fresh);
    const std::string planted = dir.File("planted.exe");
    ASSERT_TRUE(WriteTextFile(planted, "not the offer"));

    LockedSetupFile held;
    ASSERT_TRUE(offer.DownloadSetup(nullptr, &held));
    ASSERT_TRUE(held.is_open());
    EXPECT_EQ(offer.selected.SetupDownloadPath, file);
    HANDLE writer = CreateFileA(file.c_str(), GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(writer, INVALID_HANDLE_VALUE) << "the downloaded setup could be rewritten";
    if (writer != INVALID_HANDLE_VALUE) CloseHandle(writer);
    EXPECT_FALSE(DeleteFileA(file.c_str()));
    EXPECT_FALSE(MoveFileExA(planted.c_str(), file.c_str(), MOVEFILE_REPLACE_EXISTING));
    EXPECT_EQ(ReadAll(file), setup_bytes);

    ASSERT_TRUE(offer.RunSetup(&held));
    EXPECT_FALSE(held.is_open());
    EXPECT_EQ(ReadAll(record), "/silent /addsetup /NOINSTDRAVEL /parentproduct=\"" + parent + "\"\n");
    EXPECT_FALSE(PathExists(file));
}

TEST_F(Offers, EndOfferWhoseProductsAreAllInstalledStillSelectsTheFirst) {
    const std::string a = UniqueName("A"), b = UniqueName("B");
    Install(a, "1.0");
    Install(b, "1.0");
    CEndInstall offer;
    ASSERT_TRUE(offer.LoadFromXml(parent, OptionFile(dir, "end",
        ProductInfo(a, "1.0", ServeSetup(a), "") + ProductInfo(b, "1.0", ServeSetup(b), ""))));
    offer.SelectEndOffer();
    EXPECT_EQ(offer.selected.ProductName, a);
    EXPECT_FALSE(offer.checkbox_shown);
    EXPECT_FALSE(offer.Install());
    EXPECT_EQ(server.RequestCount(), 0u);

    // A record from the advertisement page needs a name, an address and a display name.
    AdditionalInstallInfo incomplete;
    incomplete.ProductName = "X";
    incomplete.ProductLocalName = "X";
    EXPECT_FALSE(offer.SetEndOffer(incomplete, parent));
    EXPECT_EQ(offer.selected.ProductName, a);
}

TEST_F(Offers, CancelledEndDownloadLeavesNoFile) {
    struct Cancel : IBindStatusCallback {
        HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** out) override { *out = nullptr; return E_NOINTERFACE; }
        ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
        ULONG STDMETHODCALLTYPE Release() override { return 1; }
        HRESULT STDMETHODCALLTYPE OnStartBinding(DWORD, IBinding*) override { return E_NOTIMPL; }
        HRESULT STDMETHODCALLTYPE GetPriority(LONG*) override { return E_NOTIMPL; }
        HRESULT STDMETHODCALLTYPE OnLowResource(DWORD) override { return E_NOTIMPL; }
        HRESULT STDMETHODCALLTYPE OnProgress(ULONG, ULONG, ULONG, LPCWSTR) override { return E_ABORT; }
        HRESULT STDMETHODCALLTYPE OnStopBinding(HRESULT, LPCWSTR) override { return E_NOTIMPL; }
        HRESULT STDMETHODCALLTYPE GetBindInfo(DWORD*, BINDINFO*) override { return E_NOTIMPL; }
        HRESULT STDMETHODCALLTYPE OnDataAvailable(DWORD, DWORD, FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
        HRESULT STDMETHODCALLTYPE OnObjectAvailable(REFIID, IUnknown*) override { return E_NOTIMPL; }
    } cancel;
    const std::string fresh = UniqueName("Cancelled");
    CEndInstall offer;
    ASSERT_TRUE(offer.LoadFromXml(parent, OptionFile(dir, "end", ProductInfo(fresh, "1.0", ServeSetup(fresh), ""))));
    offer.SelectEndOffer();
    const std::string file = OfferFile(offer, fresh);
    EXPECT_FALSE(offer.InstallWithProgress(&cancel));
    EXPECT_FALSE(PathExists(file));
    EXPECT_FALSE(PathExists(record));
}

// An installed, current toolbar that is switched off in the browser: the middle offer only
// switches it back on. (The browser's own application object is made unavailable, as Wine's
// never finishes starting.)
class SwitchedOffToolbar : public Offers {
protected:
    TempDir files;
    ScopedRegTree wendle{HKEY_LOCAL_MACHINE, "Software\\Quindel\\Wendle"};
    ScopedRegTree classes[3] = {
        {HKEY_CLASSES_ROOT, "CLSID\\{38FBE93D-4CA1-4414-AF6A-94920C5BD8DA}"},
        {HKEY_CLASSES_ROOT, "CLSID\\{7F1A79F9-78D1-4186-9F60-EE0B63DF042A}"},
        {HKEY_CLASSES_ROOT, "CLSID\\{332D49D5-832C-4EB2-8911-C596F580D14A}"}};
    ScopedRegValue browser_toolbar{HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Internet Explorer\\Toolbar",
                                   "{38FBE93D-4CA1-4414-AF6A-94920C5BD8DA}"};
    ScopedRegTree helper_object{HKEY_LOCAL_MACHINE,
        "Software\\Microsoft\\Windows\\CurrentVersion\\explorer\\Browser Helper Objects\\"
        "{7F1A79F9-78D1-4186-9F60-EE0B63DF042A}"};
    ScopedRegValue ie_server{HKEY_CLASSES_ROOT,
                             "CLSID\\{0002DF01-0000-0000-C000-000000000046}\\LocalServer32", "", View::Own};

    void SetUp() override {
        Offers::SetUp();
        WriteTextFile(files.File("band.dll"), "MZ");
        SetRegString(HKEY_LOCAL_MACHINE, "Software\\Quindel\\Wendle", "RootDir", files.path());
        SetRegString(HKEY_LOCAL_MACHINE, "Software\\Quindel\\Wendle", "Version", "3.0");
        SetRegString(HKEY_CLASSES_ROOT, "CLSID\\{38FBE93D-4CA1-4414-AF6A-94920C5BD8DA}\\InprocServer32", "", files.File("band.dll"));
        SetRegString(HKEY_CLASSES_ROOT, "CLSID\\{7F1A79F9-78D1-4186-9F60-EE0B63DF042A}\\InprocServer32", "", files.File("band.dll"));
        SetRegString(HKEY_CLASSES_ROOT, "CLSID\\{332D49D5-832C-4EB2-8911-C596F580D14A}\\LocalServer32", "", files.File("band.dll"));
        DeleteRegValue(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Internet Explorer\\Toolbar",
                       "{38FBE93D-4CA1-4414-AF6A-94920C5BD8DA}");
        SetRegString(HKEY_CLASSES_ROOT, "CLSID\\{0002DF01-0000-0000-C000-000000000046}\\LocalServer32", "",
                     files.File("no-browser.exe"), View::Own);
    }
};

TEST_F(SwitchedOffToolbar, OfferedForSwitchingOnAndInstalledWithoutADownload) {
    CMediumInstall offer;
    ASSERT_TRUE(offer.LoadFromXml(parent, OptionFile(dir, "middle", ProductInfo("Wendle", "3.0", ServeSetup("Wendle"), setup_md5))));
    EXPECT_TRUE(offer.checkbox_shown);
    EXPECT_EQ(offer.GetTitle(), "Switch Wendle on");
    EXPECT_TRUE(offer.RunsBeforeSetup());
    ASSERT_TRUE(offer.Install());
    EXPECT_EQ(offer.install_result, 3);
    EXPECT_EQ(server.RequestCount(), 0u);
    EXPECT_FALSE(PathExists(record));
    EXPECT_EQ(GetRegString(HKEY_LOCAL_MACHINE, "Software\\Quindel\\Wendle", "Reinstall"), "1");
}

class OptionRecord : public Offers {
protected:
    std::string product = UniqueName("Licensed");
    ScopedRegTree product_key{HKEY_LOCAL_MACHINE, "Software\\Quindel\\" + product};
    CAdditionalOption option;
    std::vector<std::string> eula_files;
    void TearDown() override {
        for (const std::string& file : eula_files) DeleteFileA(file.c_str());
        Offers::TearDown();
    }
    void Load(int revision, const std::string& eula_url) {
        const std::string path = dir.File("opt.xml");
        WriteTextFile(path, "<a><option><logurl><![CDATA[" + server.Url("/log.aspx") +
                                "]]></logurl><eula ver=\"" + std::to_string(revision) + "\"><![CDATA[" +
                                eula_url + "]]></eula></option></a>");
        ASSERT_TRUE(option.LoadFromXml(product, path));
        eula_files.push_back(DataRoot() + "\\EULA_" + std::to_string(revision) + ".rtf");
    }
};

TEST_F(OptionRecord, LicenceShownOnlyForANewerRevision) {
    server.Serve("/eula.rtf", "{\\rtf1 licence}");
    const int revision = 700000 + static_cast<int>(GetTickCount() % 100000);
    Load(revision, server.Url("/eula.rtf"));
    SetRegDword(HKEY_LOCAL_MACHINE, "Software\\Quindel\\" + product, "EULAVersion", revision);
    EXPECT_FALSE(option.ShouldShowEula());
    EXPECT_EQ(ReadAll(option.EulaDownloadPath), "{\\rtf1 licence}");

    SetRegDword(HKEY_LOCAL_MACHINE, "Software\\Quindel\\" + product, "EULAVersion", revision - 1);
    EXPECT_TRUE(option.ShouldShowEula());
    // The licence already on disk is not fetched again.
    EXPECT_EQ(server.RequestsFor("/eula.rtf").size(), 1u);
}

TEST_F(OptionRecord, UpdateLogGoesToTheLogAddressWithTheQuery) {
    Load(1, server.Url("/eula.rtf"));
    EXPECT_TRUE(option.SendUpdateLog("mName=A&uName=B"));
    auto requests = server.RequestsFor("/log.aspx");
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].query, "mName=A&uName=B");

    CAdditionalOption invalid;
    EXPECT_FALSE(invalid.SendUpdateLog("x=1"));
    EXPECT_FALSE(invalid.DownloadEula());
    EXPECT_EQ(server.RequestsFor("/log.aspx").size(), 1u);
}

}  // namespace
