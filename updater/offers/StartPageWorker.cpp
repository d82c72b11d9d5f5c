#include "updater/offers/StartPageWorker.h"

#include "updater/offers/OptionXml.h"
#include "updater/offers/SetupOptionIni.h"
#include "updater/platform/Shell.h"

namespace {

constexpr const char* kInfoSection = "StartpageInfo";
constexpr const char* kListSection = "StartPageList";

void TakeFirstChildText(const XmlNode& node, std::string* field) {
    std::string text;
    if (FirstChildText(node, &text)) *field = Utf8ToAnsi(TrimText(text));
}

void ReadStartPageElement(const XmlNode& startpage, StartPageInfo* info) {
    for (const auto& child : startpage.children) {
        const XmlNode& e = *child;
        if (ElementIs(e, "setstartpage")) {
            TakeFirstChildText(e, &info->StartpageUrl);
        } else if (ElementIs(e, "setstartpagename")) {
            TakeFirstChildText(e, &info->TitleStartpage);
        } else if (ElementIs(e, "setcheckstartpage")) {
            TakeFirstChildText(e, &info->StartpageCheckUrls);
        } else if (ElementIs(e, "otherstartpagesendurl")) {
            TakeFirstChildText(e, &info->PartnerSenderUrl);
        } else if (ElementIs(e, "changepagename")) {
            std::string text;
            info->ChangePageName =
                FirstChildText(e, &text) ? Utf8ToAnsi(TrimText(text)) : Utf8ToAnsi(e.value);
        } else if (ElementIs(e, "setcheckbox")) {
            info->CheckboxDefault = FlagOf(e);
        } else if (ElementIs(e, "sendcondition")) {
            info->sendcondition = FlagOf(e);
        } else if (ElementIs(e, "viewcheckbox")) {
            info->viewcheckbox = FlagOf(e);
        } else if (ElementIs(e, "regbackupchange")) {
            info->StartPageMode = FlagOf(e);
        } else if (ElementIs(e, "faviconurl")) {
            info->LinkIconUrl = Utf8ToAnsi(TrimText(e.value));
        } else if (ElementIs(e, "linkName")) {
            info->LinkName = Utf8ToAnsi(TrimText(e.value));
        } else if (ElementIs(e, "linkDesc")) {
            info->LinkDesc = Utf8ToAnsi(TrimText(e.value));
        } else if (ElementIs(e, "linkUrl")) {
            info->LinkUrl = Utf8ToAnsi(TrimText(e.value));
        }
    }
}

}  // namespace

bool StartPageInfo::IsComplete() const {
    return !StartpageUrl.empty() && !TitleStartpage.empty() && !StartpageCheckUrls.empty() &&
           !PartnerSenderUrl.empty() && !ChangePageName.empty();
}

bool StartPageInfo::operator==(const StartPageInfo& o) const {
    return StartpageUrl == o.StartpageUrl && TitleStartpage == o.TitleStartpage &&
           StartpageCheckUrls == o.StartpageCheckUrls && PartnerSenderUrl == o.PartnerSenderUrl &&
           ChangePageName == o.ChangePageName && CheckboxDefault == o.CheckboxDefault &&
           CheckboxUserState == o.CheckboxUserState && sendcondition == o.sendcondition &&
           viewcheckbox == o.viewcheckbox && StartPageMode == o.StartPageMode &&
           LinkUrl == o.LinkUrl && LinkIconUrl == o.LinkIconUrl && LinkName == o.LinkName &&
           LinkDesc == o.LinkDesc && LinkFlags == o.LinkFlags;
}

bool LoadStartPageFromXml(const std::string& option_file, CStartPageWorker* worker,
                          const std::string& product) {
    XmlNode root;
    if (option_file.empty() || !LoadXmlFile(option_file, &root)) return false;
    for (const auto& child : root.children) {
        if (ElementIs(*child, "startpage")) ReadStartPageElement(*child, &worker->info);
    }
    worker->info.CheckboxUserState = 0;
    if (!worker->info.IsComplete() || product.empty()) return false;
    // ENUMERATION LIST and CHECK-BOX VISIBILITY plug in here with the start-page issue: the
    // list named by "StartPageEnumList" (or downloaded) is added to `page_list`, and
    // `checkbox_visible` is computed after `active` is set.
    worker->product = product;
    worker->active = true;
    return true;
}

bool LoadStartPageFromIni(const std::string& product, CStartPageWorker* worker,
                          const std::string& ini_path) {
    SetupOptionIni ini(ini_path);
    StartPageInfo info;
    info.StartpageUrl = ini.ReadText(kInfoSection, "StartpageUrl");
    info.TitleStartpage = ini.ReadText(kInfoSection, "TitleStartpage");
    info.StartpageCheckUrls = ini.ReadText(kInfoSection, "StartpageCheckUrls");
    info.PartnerSenderUrl = ini.ReadText(kInfoSection, "PartnerSenderUrl");
    info.ChangePageName = ini.ReadText(kInfoSection, "ChangePageName");
    info.CheckboxDefault = ini.ReadFlag(kInfoSection, "CheckboxDefault", 1);
    info.CheckboxUserState = ini.ReadFlag(kInfoSection, "CheckboxUserState", 1);
    info.sendcondition = ini.ReadFlag(kInfoSection, "sendcondition", 1);
    info.viewcheckbox = ini.ReadFlag(kInfoSection, "viewcheckbox", 0);
    info.StartPageMode = ini.ReadNumber(kInfoSection, "StartPageMode", 0) == 1 ? 1 : 0;
    info.LinkIconUrl = ini.ReadText(kInfoSection, "LinkIconUrl");
    info.LinkName = ini.ReadText(kInfoSection, "LinkName");
    info.LinkDesc = ini.ReadText(kInfoSection, "LinkDesc");
    info.LinkFlags = ini.ReadNumber(kInfoSection, "LinkFlags", 0);
    info.LinkUrl = ini.ReadText(kInfoSection, "LinkUrl");
    if (!info.IsComplete() || product.empty()) return false;
    worker->info = info;

    worker->page_list.clear();
    int count = ini.ReadNumber(kListSection, "ItemCount", 0);
    if (count > kIniMaxListCount) count = kIniMaxListCount;
    for (int index = 0; index < count; ++index) {
        std::string id_key = "pageID" + std::to_string(index);
        std::string url_key = "pageURL" + std::to_string(index);
        int page = ini.ReadNumber(kListSection, id_key.c_str(), -1);
        std::string url = ini.ReadText(kListSection, url_key.c_str());
        if (page >= 0 && !url.empty()) worker->page_list.emplace(page, url);
    }
    // CHECK-BOX VISIBILITY plugs in here with the start-page issue.
    worker->product = product;
    worker->active = true;
    return true;
}

bool CStartPageWorker::SaveToIni(const std::string& ini_path) const {
    if (!active) return false;
    SetupOptionIni ini(ini_path);
    // Each section is written whole or not at all; the other still gets its chance.
    IniSection list;
    list.Number("ItemCount", static_cast<int>(page_list.size()));
    int index = 0;
    for (const auto& [page, url] : page_list) {
        const std::string number = std::to_string(index++);
        list.Number(("pageID" + number).c_str(), page);
        list.Text(("pageURL" + number).c_str(), url);
    }
    const bool list_ok = ini.WriteSection(kListSection, list);

    const StartPageInfo& i = info;
    IniSection keys;
    keys.Text("StartpageUrl", i.StartpageUrl);
    keys.Text("TitleStartpage", i.TitleStartpage);
    keys.Text("StartpageCheckUrls", i.StartpageCheckUrls);
    keys.Text("PartnerSenderUrl", i.PartnerSenderUrl);
    keys.Text("ChangePageName", i.ChangePageName);
    keys.Flag("CheckboxDefault", i.CheckboxDefault);
    keys.Flag("CheckboxUserState", i.CheckboxUserState);
    keys.Flag("sendcondition", i.sendcondition);
    keys.Flag("viewcheckbox", i.viewcheckbox);
    keys.Number("StartPageMode", i.StartPageMode);
    keys.Text("LinkIconUrl", i.LinkIconUrl);
    keys.Text("LinkName", i.LinkName);
    keys.Text("LinkDesc", i.LinkDesc);
    keys.Number("LinkFlags", i.LinkFlags);
    keys.Text("LinkUrl", i.LinkUrl);
    const bool info_ok = ini.WriteSection(kInfoSection, keys);
    return list_ok && info_ok;
}
