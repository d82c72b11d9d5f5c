// The start-page offer reads outside text: the check addresses and report templates of the
// option file, the browser's start page from the registry and the enumeration list from the
// server. Input: those four texts separated by NUL bytes. Checks what must hold for any of them.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "updater/offers/StartPageRules.h"

namespace {

std::vector<std::string> Fields(const uint8_t* data, size_t size, size_t count) {
    std::vector<std::string> fields(count);
    size_t field = 0;
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == 0 && field + 1 < count) {
            ++field;
        } else {
            fields[field] += static_cast<char>(data[i]);
        }
    }
    return fields;
}

// The argument a program gets back from "...\"<arg>\"" by the usual command-line rules.
std::string ParseQuoted(const std::string& line, size_t start) {
    std::string argument;
    size_t i = start;
    while (i < line.size()) {
        size_t slashes = 0;
        while (i < line.size() && line[i] == '\\') ++slashes, ++i;
        if (i < line.size() && line[i] == '"') {
            argument.append(slashes / 2, '\\');
            if (slashes % 2 == 0) return argument;  // the closing quote
            argument += '"';
            ++i;
        } else {
            argument.append(slashes, '\\');
            if (i < line.size()) argument += line[i++];
        }
    }
    std::abort();  // no closing quote
}

const char* const kVendorNames[] = {"%StartPage%", "%CheckBoxState%", "%Product%",
                                    "%ChangeResult%", "%SendResult%", "%CoopVer%", "%OSVer%"};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<std::string> f = Fields(data, size, 4);
    const std::string& check_urls = f[0];
    const std::string& page = f[1];
    const std::string& list_xml = f[2];
    const std::string& report_template = f[3];

    if (PageHoldsCheckUrl(page, check_urls) && page.empty()) std::abort();

    std::map<int, std::string> list;
    XmlNode document;
    LoadXmlText(list_xml, &document);
    AddEnumerationEntries(document, &list, nullptr);
    if (list.size() > static_cast<size_t>(kStartPageListLimit)) std::abort();
    for (const auto& entry : list) {
        if (entry.first < 0 || entry.second.empty()) std::abort();
    }
    const int page_class = StartPageClass(page, list);
    if (list.empty() && (page_class < 1 || page_class > kStartPageClassNone)) std::abort();
    if (!list.empty() && page_class != kStartPageClassNone && !list.count(page_class)) std::abort();

    // With values that hold no letters and no "%", no placeholder can survive the filling.
    StartPageReport report;
    report.current_page_class = page_class;
    report.product = "0";
    report.os_version = "9.2.6.1";
    const std::string vendor = FillVendorReport(FillReportNames(report_template, "1", "2"), report);
    for (const char* name : kVendorNames) {
        if (vendor.find(name) != std::string::npos) std::abort();
    }
    if (vendor.find("%StartPageID%") != std::string::npos) std::abort();
    if (report_template.find('%') == std::string::npos && vendor != report_template) std::abort();

    // The protected-mode copy gets back the address, with quotes written as "%22".
    std::string expected;
    for (char c : report_template) expected += c == '"' ? std::string("%22") : std::string(1, c);
    const std::string parameters = SendLogParameters(report_template);
    if (parameters.compare(0, 10, "/SendLog \"") != 0) std::abort();
    if (ParseQuoted(parameters, 10) != expected) std::abort();

    IsPlainFileName(report_template);
    return 0;
}
