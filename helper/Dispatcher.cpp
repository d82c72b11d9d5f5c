#include "helper/Dispatcher.h"

#include <shellapi.h>

#include <cwchar>

#include "helper/ComponentClose.h"

namespace pallix {

HKEY HiveWord(const std::wstring& word) {
    if (word == L"hklm") return HKEY_LOCAL_MACHINE;
    return HKEY_CURRENT_USER;
}

long ReadDecimal(const std::wstring& text) {
    // wcstol has exactly this rule: blanks, an optional sign, digits, saturation at LONG_MIN and
    // LONG_MAX (32 bits on Windows).
    return wcstol(text.c_str(), nullptr, 10);
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
}

template <void (*Chore)()>
void Plain(const Arguments&) {
    Chore();
}

}  // namespace

const std::vector<SwitchEntry>& SwitchTable() {
    static const std::vector<SwitchEntry> table = {
        {L"-preinstall", 2, nullptr},
        {L"-closeallbrowser", 2, &Plain<CloseAllBrowsers>},
        {L"-regcontextmenu", 2, nullptr},
        {L"-renamecustomkivuengine", 2, nullptr},
        {L"-runie", 2, nullptr},
        {L"-registsearchscope", 2, nullptr},
        {L"-delcommonreg", 2, nullptr},
        {L"-closedaemon", 2, &Plain<CloseDaemons>},
        {L"-closegrelby", 2, &Plain<CloseGrelby>},
        {L"-closescourel", 2, &Plain<CloseScourel>},
        {L"-closedownloadmanager", 2, &Plain<CloseDownloadManager>},
        {L"-closemediadownloader", 2, &Plain<CloseMediaDownloader>},
        {L"-closedictionary", 2, &Plain<CloseDictionary>},
        {L"-closesimplejoin", 2, &Plain<CloseSimpleJoin>},
        {L"-closetwitter", 2, &Plain<CloseTwitter>},
        {L"-uninstall", 2, &Uninstall},
        {L"-regstring", 6, nullptr},
        {L"-regdword", 6, nullptr},
        {L"-delregkey", 4, nullptr},
        {L"-delregvalue", 5, nullptr},
        {L"-movefile", 4, nullptr},
        {L"-cleartoolbars", 2, nullptr},
        {L"-Rupel", 2, nullptr},
    };
    return table;
}

int Dispatch(const Arguments& arguments) {
    if (arguments.size() < 2) return 0;
    for (const SwitchEntry& entry : SwitchTable()) {
        if (arguments[1] != entry.literal) continue;
        if (arguments.size() >= entry.minimum_count && entry.run) entry.run(arguments);
        break;
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
