#include "helper/Dispatcher.h"

#include <shellapi.h>

#include "helper/BrowserChores.h"
#include "helper/ComponentClose.h"
#include "helper/CrashReportGuard.h"
#include "helper/RegistrySwitches.h"

namespace pallix {

HKEY HiveWord(const std::wstring& word) {
    return IsMachineHiveWord(word) ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
}

namespace {

void Uninstall(const Arguments&) {
    CloseScourel();
    CloseGrelby();
    CloseDaemons();
    CloseDictionary();
    CloseSimpleJoin();
    CloseTwitter();
    CloseMediaDownloader();
    CloseDownloadManager();
    RestoreStartPage();
    RemoveNewTabProvider();
}

// Runs the crash callback once, as the library does when it prepares a report, so that a setup
// can check the report path without crashing anything.
void ExerciseCrashReport(const Arguments&) {
    CrashReportCallback(nullptr);
}

template <void (*Chore)()>
void Plain(const Arguments&) {
    Chore();
}

}  // namespace

const std::vector<SwitchEntry>& SwitchTable() {
    static const std::vector<SwitchEntry> table = {
        {L"-preinstall", 2, &Plain<SetNewTabProvider>},
        {L"-closeallbrowser", 2, &Plain<CloseAllBrowsers>},
        {L"-regcontextmenu", 2, &Plain<RegisterContextMenu>},
        {L"-renamecustomkivuengine", 2, &Plain<RenameCustomKivuEngine>},
        {L"-runie", 2, &RunIeSwitch},
        {L"-registsearchscope", 2, &RegisterSearchScopes},
        {L"-delcommonreg", 2, &Plain<DeleteCommonSettings>},
        {L"-closedaemon", 2, &Plain<CloseDaemons>},
        {L"-closegrelby", 2, &Plain<CloseGrelby>},
        {L"-closescourel", 2, &Plain<CloseScourel>},
        {L"-closedownloadmanager", 2, &Plain<CloseDownloadManager>},
        {L"-closemediadownloader", 2, &Plain<CloseMediaDownloader>},
        {L"-closedictionary", 2, &Plain<CloseDictionary>},
        {L"-closesimplejoin", 2, &Plain<CloseSimpleJoin>},
        {L"-closetwitter", 2, &Plain<CloseTwitter>},
        {L"-uninstall", 2, &Uninstall},
        {L"-regstring", 6, &RegStringSwitch},
        {L"-regdword", 6, &RegDwordSwitch},
        {L"-delregkey", 4, &DelRegKeySwitch},
        {L"-delregvalue", 5, &DelRegValueSwitch},
        {L"-movefile", 4, &MoveFileSwitch},
        {L"-cleartoolbars", 2, &Plain<ClearToolbars>},
        {L"-Rupel", 2, &ExerciseCrashReport},
    };
    return table;
}

int Dispatch(const Arguments& arguments) { return Dispatch(arguments, SwitchTable()); }

int Dispatch(const Arguments& arguments, const std::vector<SwitchEntry>& table) {
    const SwitchEntry* entry = SwitchToRun(arguments, table);
    if (!entry) return 0;
    // A chore that throws (out of memory, most likely) ends there; Pallix never reports a
    // failure, and an exception must not reach the system's frames.
    try {
        entry->run(arguments);
    } catch (...) {
    }
    return 0;
}

int RunDispatcher() {
    int count = 0;
    LPWSTR* split = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!split) return 0;
    Arguments arguments;
    try {
        arguments.assign(split, split + (count > 0 ? count : 0));
    } catch (...) {
        LocalFree(split);
        return 0;
    }
    LocalFree(split);
    return Dispatch(arguments);
}

}  // namespace pallix
