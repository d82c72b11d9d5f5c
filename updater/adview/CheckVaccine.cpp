#include "updater/adview/CheckVaccine.h"

#include <windows.h>

#include "updater/platform/Registry.h"
#include "updater/adview/AdFormData.h"

namespace {

constexpr char kUninstallRoot[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

struct VaccineRow {
    int international;
    const char* name;
    const char* uninstall_subkey;  // below kUninstallRoot
    const char* product_key;       // nullptr: the uninstall key itself
    const char* path_value;
    const char* files;
};

// clang-format off
const VaccineRow kVaccineRows[] = {
    {0, "V3 Lite", "{BBBD1EE8_6012_48d8_AE46_89386CA2DCC6}", "SOFTWARE\\AhnLab\\V3Lite", "InstallPath", "V3LTray.exe"},  // 1
    {0, "Naver PCGreen", "NaverVaccine", "SOFTWARE\\NHN Corporation\\NaverVaccine", "InstallDir", "NVC.npc"},  // 2
    {0, "Naver PCGreen", "NaverPCGreen", "SOFTWARE\\NHN Corporation\\NaverPCGreen", "InstallDir", "NPCGreen.npc"},  // 3
    {0, "V3 365 Clinic", "{964335F0_1655_45F0_AD07_E85C9366CD8A}", "SOFTWARE\\AhnLab\\V3 365 Clinic", "InstallPath", "V3LTray.exe"},  // 4
    {0, "V3 IS 7.0", "{706CF16D_480D_4CB8_B81F_30688E745B62}", "SOFTWARE\\AhnLab\\V3IS2007", "InstallPath", "AFMain.exe"},  // 5
    {0, "V3 IS 8.0", "{AF8267C6_8886_4cfd_AAC7_48BCB879743F}", "SOFTWARE\\AhnLab\\V3IS80", "InstallPath", "V3SP.exe V3Main.exe"},  // 6
    {0, "V3 2004 Pro", "{733BC948-3BFA-48E3-B7FF-0A2ACDED0EBE}", "SOFTWARE\\AhnLab\\V3Pro", "InstallPath", "V3Pro32.exe V3IMPro.exe"},  // 7
    {0, "nProtect AntiVirus Spyware 2007", "{7E93F13B-34A5-443C-9600-A08A2F370C35}", nullptr, "InstallLocation", "nspmain.exe"},  // 8
    {0, "Hauri Desktop 5.5", "{08CC6CEF-3AF6-400C-BCF2-E7AB5E0AB649}", "SOFTWARE\\HAURI\\ViRobot Desktop 5.5", "InstallDir", "hcontain.exe"},  // 9
    {0, "Virus Chaser 5.0b", "{2B2CCC2A-5EC6-11D6-9696-0090961B771E}", "SOFTWARE\\New Technology Wave\\Virus Chaser\\Update", "VcPath", "Vcrmon.exe Vcr32.exe"},  // 10
    {1, "Kaspersky Anti-Virus 2009", "{6580C5A3-2336-4EC5-85F1-3448C5F6208A}", nullptr, "InstallLocation", "avp.exe"},  // 11
    {1, "Kaspersky Internet Security 2009", "{8CB14A64-CEF4-4C8F-B1C8-1C3B8752CB55}", nullptr, "InstallLocation", "avp.exe"},  // 12
    {1, "Avast", "avast!", nullptr, "InstallLocation", "ashSimpl.exe"},  // 13
    {0, "Hauri ViRobot Windows Server 3.5", "{9BD1B951-F7EC-4536-B4AE-D14F52E79E21}", "SOFTWARE\\HAURI\\ViRobot Windows Server 3.5", "InstallDir", "hcontain.exe"},  // 14
    {1, "Norton 360", "N360", nullptr, "InstallLocation", "Engine\\3.0.0.134\\ccSvcHst.exe"},  // 15
    {1, "Norton Internet Security", "NIS", nullptr, "InstallLocation", "Engine\\16.5.0.134\\ccSvcHst.exe"},  // 16
    {1, "TrendMicro Internet Security", "{40E12A55-C504-4223-AFAC-7672DBF1ACDE}", nullptr, "InstallLocation", "UfSeAgnt.exe UfNavi.exe"},  // 17
    {1, "McAfee Security Center(AV,IS)", "MSC", nullptr, "InstallLocation", "mcshell.exe"},  // 18
    {1, "ESET NOD32 Antivirus", "{CDF97135-7FD2-4289-96B8-DD4505267ACD}", nullptr, "InstallLocation", "egui.exe ekrn.exe"},  // 19
    {1, "AntiVir", "Avira AntiVir Desktop", "SOFTWARE\\Avira\\AntiVir Desktop", "Path", "avgnt.exe avcenter.exe"},  // 20
    {1, "PCTools Spyware Doctor", "Spyware Doctor", nullptr, "InstallLocation", "pctsGui.exe"},  // 21
    {1, "AVG AntiVirus", "AVG8Uninstall", nullptr, "InstallLocation", "avgtray.exe avgui.exe"},  // 22
    {1, "F-Secure Internet Security 2009", "F-Secure Anti-Virus Client Security Installer", "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\F-Secure Product 444", "InstallLocation", "fsavgui.exe"},  // 23
    {1, "Dr.Web anti-virus", "{2BD3661D-1384-4EF4-9E5C-DFDB8EE6E3EA}", nullptr, "InstallLocation", "DrWeb32w.exe"},  // 24
    {1, "BitDefender(AV)", "{7E0F42A8-AC7D-4557-8D8F-49918C543ABF}", "SOFTWARE\\BitDefender\\BitDefender Desktop\\Maintenance\\Install", "InstallDir", "bdagent.exe"},  // 25
    {1, "BitDefender(IS)", "{27148014-3B0A-402B-8130-6B056357D12D}", "SOFTWARE\\BitDefender\\BitDefender Desktop\\Maintenance\\Install", "InstallDir", "seccenter.exe"},  // 26
    {1, "a-squared", "a-squared Anti-Malware_is1", nullptr, "InstallLocation", "a2start.exe a2wizard.exe"},  // 27
    {1, "Sunbelt VIPRE 3.1.2710", "{450A41F4-4511-4D5C-8412-6BA4DD88F65F}", nullptr, "InstallLocation", "sbamui.exe"},  // 28
    {1, "Sunbelt VIPRE 3.1.2775", "{03261EAA-89BD-4BCB-9DC9-B34E41B9E0CC}", nullptr, "InstallLocation", "sbamui.exe"},  // 29
    {1, "COMODO Internet Security", "COMODO Internet Security", "SOFTWARE\\ComodoGroup\\CDI\\1", "InstallProductPath", "cfp.exe"},  // 30
    {0, "Hauri Desktop 5.0", "{4D39924A-B269-4472-A990-F9E542E8430E}", "SOFTWARE\\HAURI\\ViRobot Desktop 5.0", "InstallDir", "hcontain.exe"},  // 31
    {1, "AVG AntiVirus 7.5 for 98NT", "AVG7Uninstall", "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\AVG7Uninstall\\Directories", "dir_AvgDir", "AVGCC.exe"},  // 32
    {1, "Dr.Web anti-virus 5.0 for 98NT", "{BBE2F69C-4338-11D7-8F0C-00A0244F4E2D}", "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{BBE2F69C-4338-11D7-8F0C-00A0244F4E2D}", "InstallLocation", "DrWeb32w.exe"},  // 33
    {1, "Norton 360 5.0", "N360", "SOFTWARE\\Norton\\{0C55C096-0F1D-4F28-AAA2-85EF591126E7}", "BASEDIR", "ccsvchst.exe"},  // 34
    {1, "Norton Internet Security 2012", "NIS", "SOFTWARE\\Norton\\{0C55C096-0F1D-4F28-AAA2-85EF591126E7}", "BASEDIR", "ccsvchst.exe"},  // 35
    {1, "Norton Antivirus 2012", "NAV", "SOFTWARE\\Norton\\{0C55C096-0F1D-4F28-AAA2-85EF591126E7}", "BASEDIR", "ccsvchst.exe"},  // 36
    {1, "AVG Inernet Security 2012", "AVG", "SOFTWARE\\Avg\\Avg2012", "AvgDir", "avgtray.exe"},  // 37
    {1, "AVG Antivirus 2012", "AVG", "SOFTWARE\\Avg\\Avg2012", "AvgDir", "avgtray.exe"},  // 38
    {1, "AVG Antivirus Free 2012", "AVG", "SOFTWARE\\Avg\\Avg2012", "AvgDir", "avgtray.exe"},  // 39
    {1, "Avira Free Antivirus", "Avira AntiVir Desktop", "SOFTWARE\\Avira\\AntiVir Desktop", "Path", "avgnt.exe"},  // 40
    {1, "Avira Antivirus Premium 2012", "Avira AntiVir Desktop", "SOFTWARE\\Avira\\AntiVir Desktop", "Path", "avgnt.exe"},  // 41
    {1, "Avira Internet Security 2012", "Avira AntiVir Desktop", "SOFTWARE\\Avira\\AntiVir Desktop", "Path", "avgnt.exe"},  // 42
    {1, "Avast Internet Security", "avast", "SOFTWARE\\AVAST Software\\Avast", "ProgramFolder", "AvastUI.exe"},  // 43
    {1, "Avast Pro Antivirus", "avast", "SOFTWARE\\AVAST Software\\Avast", "ProgramFolder", "AvastUI.exe"},  // 44
    {1, "avast Free Antivirus", "avast", "SOFTWARE\\AVAST Software\\Avast", "ProgramFolder", "AvastUI.exe"},  // 45
    {0, "NaverVaccine", "NaverVaccine", "SOFTWARE\\NHN Corporation\\NaverVaccine", "InstallDir", "NVC.npc"},  // 46
    {1, "Kaspersky PURE", "{1A59064A-12A9-469F-99F6-04BF118DBCFF}", "SOFTWARE\\KasperskyLab\\SetupFolders", "KPURE", "avp.exe"},  // 47
    {1, "Kaspersky Anti-Virus 2012", "{45E557D6-2271-4F13-8101-C620B4285AB0}", "SOFTWARE\\KasperskyLab\\SetupFolders", "KAVKIS11", "avp.exe"},  // 48
    {1, "Kaspersky Internet Security 2012", "{45E557D6-2271-4F13-8101-C620B4285AB0}", "SOFTWARE\\KasperskyLab\\SetupFolders", "KAVKIS11", "avp.exe"},  // 49
    {0, "Virobot Internet Security 2011", "{01266360-B3C6-411D-8AA7-3EFBC3C49751}", "SOFTWARE\\HAURI\\VRIS2011", "InstallDir", "hVrContain.exe"},  // 50
    {0, "nProtect Anti-Virus/Spyware 3.0", "{2F194499-EBB4-4D95-A99A-090789E643BF}", "SOFTWARE\\INCAInternet\\nProtect Anti-Virus/Spyware 3.0", "InstallDir", "nspsvc.exe"},  // 51
    {0, "virus chaser 8.0", "VirusChaser", "SOFTWARE\\Security Global Alliance\\VirusChaser", "InstallPath", "sgavc.exe"},  // 52
};
// clang-format on

bool KeyOpens(const std::string& subkey, REGSAM access) {
    ScopedRegKey key;
    return key.Open(HKEY_LOCAL_MACHINE, subkey, access);
}

// The product's folder from its product key, with a trailing backslash; "" when the value is
// missing, is no string, does not end with its NUL, or is empty.
std::string ReadInstallFolder(const VaccineProduct& product, REGSAM access) {
    ScopedRegKey key;
    if (!key.Open(HKEY_LOCAL_MACHINE, product.product_key, access)) return "";
    char buffer[260];
    DWORD type = 0;
    DWORD size = sizeof(buffer);
    if (RegQueryValueExA(key.get(), product.path_value.c_str(), nullptr, &type,
                         reinterpret_cast<BYTE*>(buffer), &size) != ERROR_SUCCESS) {
        return "";
    }
    if ((type != REG_SZ && type != REG_EXPAND_SZ) || size == 0 || size > sizeof(buffer) ||
        buffer[size - 1] != '\0') {
        return "";
    }
    std::string folder(buffer);
    // Without a folder the names would be looked up at the root of the current drive, which
    // says nothing about the product.
    if (folder.empty()) return "";
    if (folder.back() != '\\') folder += '\\';
    return folder;
}

bool AllFilesExist(const std::string& folder, const std::string& files) {
    size_t start = 0;
    bool any = false;
    while (start <= files.size()) {
        size_t end = files.find(' ', start);
        if (end == std::string::npos) end = files.size();
        if (end > start) {
            const std::string path = folder + files.substr(start, end - start);
            if (GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) return false;
            any = true;
        }
        start = end + 1;
    }
    return any;
}

}  // namespace

CCheckVaccine::CCheckVaccine() {
    products_.reserve(sizeof(kVaccineRows) / sizeof(kVaccineRows[0]));
    for (const VaccineRow& row : kVaccineRows) {
        VaccineProduct product;
        product.international = row.international;
        product.name = row.name;
        product.uninstall_key = std::string(kUninstallRoot) + row.uninstall_subkey;
        product.product_key = row.product_key ? row.product_key : product.uninstall_key;
        product.path_value = row.path_value;
        product.files = row.files;
        products_.push_back(product);
    }
}

CCheckVaccine::~CCheckVaccine() = default;

bool CCheckVaccine::UnderWow64() const {
    return IsRunningUnderWow64();
}

int CCheckVaccine::DetectProducts() {
    constexpr int kBoth = kAntivirusInternational | kAntivirusDomestic;
    // Without a view flag the keys open in the program's own view, the one a 32-bit program
    // sees; products that registered only in the 64-bit view need the second pass.
    int found = DetectInView(kRegRead, 0);
    if (found != kBoth && UnderWow64()) found |= DetectInView(kRegRead64, found);
    return found;
}

int CCheckVaccine::DetectInView(unsigned long access, int found) const {
    constexpr int kBoth = kAntivirusInternational | kAntivirusDomestic;
    for (const VaccineProduct& product : products_) {
        if (found == kBoth) break;
        bool installed = KeyOpens(product.uninstall_key, access);
        const std::string folder = ReadInstallFolder(product, access);
        if (!folder.empty() && AllFilesExist(folder, product.files)) installed = true;
        if (installed)
            found |= product.international == 1 ? kAntivirusInternational : kAntivirusDomestic;
    }
    return found;
}
