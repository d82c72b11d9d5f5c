// Command lines in and out. In: Norvane's mode switch and product name, Pallix's switch and its
// parameters (hive words, numbers, paths). Out: the command lines Norvane builds around values
// from outside (a program path, the page handle, the product name) for the programs it starts,
// which must split back into the arguments that were meant, whatever the values hold.
// Input: up to six NUL-separated arguments, then the numbers from what is left.
#include <fuzzer/FuzzedDataProvider.h>

#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "helper/SwitchRules.h"
#include "updater/app/ModeSwitches.h"
#include "updater/platform/CommandLineText.h"

namespace {

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool Blank(char c) { return c == ' ' || c == '\t'; }

// The parameters of a command line split by the usual rules of the C runtime: blanks separate,
// quotes group, 2n backslashes before a quote give n and the quote groups, 2n+1 give n and a
// literal quote, other backslashes are literal; "" inside quotes is a literal quote.
std::vector<std::string> SplitParameters(const std::string& line) {
    std::vector<std::string> arguments;
    size_t i = 0;
    while (true) {
        while (i < line.size() && Blank(line[i])) ++i;
        if (i >= line.size()) return arguments;
        std::string argument;
        bool quoted = false;
        while (i < line.size() && (quoted || !Blank(line[i]))) {
            size_t slashes = 0;
            while (i < line.size() && line[i] == '\\') ++slashes, ++i;
            if (i < line.size() && line[i] == '"') {
                argument.append(slashes / 2, '\\');
                if (slashes % 2) {
                    argument += '"';
                    ++i;
                } else if (quoted && i + 1 < line.size() && line[i + 1] == '"') {
                    argument += '"';
                    i += 2;
                } else {
                    quoted = !quoted;
                    ++i;
                }
            } else {
                argument.append(slashes, '\\');
                if (i < line.size() && (quoted || !Blank(line[i]))) argument += line[i++];
            }
        }
        arguments.push_back(argument);
    }
}

// The program name of a command line: up to the next quote when it starts with one, otherwise
// up to the first blank. Sets rest to what follows it.
std::string ProgramName(const std::string& line, std::string* rest) {
    if (!line.empty() && line[0] == '"') {
        const size_t close = line.find('"', 1);
        if (close == std::string::npos) std::abort();
        *rest = line.substr(close + 1);
        return line.substr(1, close - 1);
    }
    size_t end = 0;
    while (end < line.size() && !Blank(line[end])) ++end;
    *rest = line.substr(end);
    return line.substr(0, end);
}

std::wstring Widen(const std::string& text) {
    std::wstring wide;
    for (size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        // 0xFF and the two bytes after it make one UTF-16 unit, for characters past Latin-1.
        if (c == 0xFF && i + 2 < text.size()) {
            wide += static_cast<wchar_t>((static_cast<unsigned char>(text[i + 1]) << 8) |
                                         static_cast<unsigned char>(text[i + 2]));
            i += 2;
        } else {
            wide += static_cast<wchar_t>(c);
        }
    }
    return wide;
}

long ReferenceDecimal(const std::wstring& text) {
    size_t at = 0;
    while (at < text.size() && (text[at] == L' ' || (text[at] >= L'\t' && text[at] <= L'\r'))) ++at;
    bool negative = false;
    if (at < text.size() && (text[at] == L'-' || text[at] == L'+')) negative = text[at++] == L'-';
    long long value = 0;
    while (at < text.size() && text[at] >= L'0' && text[at] <= L'9') {
        if (value < 10000000000LL) value = value * 10 + (text[at] - L'0');
        ++at;
    }
    if (negative) value = -value;
    if (value > INT32_MAX) return INT32_MAX;
    if (value < INT32_MIN) return INT32_MIN;
    return static_cast<long>(value);
}

void Chore(const pallix::Arguments&) {}

// Pallix's switches with their counts; "-movefile" twice, as a table with a repeated switch must
// still run only the first.
const std::vector<pallix::SwitchEntry>& Table() {
    static const std::vector<pallix::SwitchEntry> table = {
        {L"-runie", 2, &Chore},     {L"-regstring", 6, &Chore},  {L"-regdword", 6, &Chore},
        {L"-delregkey", 4, &Chore}, {L"-delregvalue", 5, &Chore}, {L"-movefile", 4, &Chore},
        {L"-movefile", 2, &Chore},  {L"-Rupel", 2, &Chore},      {L"-uninstall", 2, &Chore},
    };
    return table;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<std::string> args;
    size_t at = 0;
    while (args.size() < 6 && at <= size) {
        const uint8_t* end =
            at < size ? static_cast<const uint8_t*>(std::memchr(data + at, 0, size - at)) : nullptr;
        const size_t stop = end ? static_cast<size_t>(end - data) : size;
        args.emplace_back(at < size ? reinterpret_cast<const char*>(data + at) : "", stop - at);
        at = stop + 1;
        if (!end) break;
    }
    FuzzedDataProvider rest(at < size ? data + at : data, at < size ? size - at : 0);

    // Norvane's mode and product.
    std::vector<const char*> argv;
    for (const std::string& a : args) argv.push_back(a.c_str());
    const int argc = static_cast<int>(argv.size());
    const ModeCommand command = ReadModeCommand(argc, argv.data());
    if (command.complete != (argc >= 3)) std::abort();
    int expected_mode = -1;
    if (argc >= 3) {
        for (int index = 0; index < 5 && expected_mode < 0; ++index) {
            const std::string word = argv[1];  // as the C string the program gets
            const std::string target = kModeSwitches[index];
            bool equal = word.size() == target.size();
            for (size_t i = 0; equal && i < word.size(); ++i) equal = Lower(word[i]) == target[i];
            if (equal) expected_mode = index;
        }
    }
    if (command.mode != expected_mode) std::abort();
    if (command.HasProduct() && command.argument.empty()) std::abort();
    if (command.mode >= 0 && command.argument != argv[2]) std::abort();
    if (command.mode < 0 && !command.argument.empty()) std::abort();

    // Command lines Norvane builds. The product name comes from its own command line.
    const std::string product = argc >= 3 ? std::string(argv[2]) : std::string();
    const std::vector<std::string> end_offer = SplitParameters(EndOfferParameters(product));
    const std::vector<std::string> expected_end = {"/silent", "/addsetup", "/NOINSTDRAVEL",
                                                   "/parentproduct=" + product};
    if (end_offer != expected_end) std::abort();

    const int handle = rest.ConsumeIntegral<int>();
    const int desktop = rest.ConsumeIntegral<int>();
    const int start_menu = rest.ConsumeIntegral<int>();
    const int quick_launch = rest.ConsumeIntegral<int>();
    const auto yes_no = [](int flag) { return std::string(flag ? "yes" : "no"); };
    const std::vector<std::string> expected_setup = {
        "/verysilent", "/H=" + std::to_string(handle), "/Q=1", "/DesktopIcon=" + yes_no(desktop),
        "/StartMenuIcon=" + yes_no(start_menu), "/LightLaunchIcon=" + yes_no(quick_launch)};
    if (SplitParameters(SetupParameterText(handle, desktop, start_menu, quick_launch)) != expected_setup)
        std::abort();

    const std::string path = args.size() > 3 ? args[3] : std::string();
    const std::string parameters = args.size() > 4 ? args[4] : std::string();
    if (path.find('"') == std::string::npos) {
        std::string after;
        if (ProgramName(CommandLineOf(path, parameters), &after) != path) std::abort();
        if (after != " " + parameters) std::abort();
    }

    // Pallix's switch and parameters.
    pallix::Arguments wide;
    for (const std::string& a : args) wide.push_back(Widen(a));
    const pallix::SwitchEntry* entry = pallix::SwitchToRun(wide, Table());
    const pallix::SwitchEntry* first = nullptr;
    if (wide.size() >= 2) {
        for (const pallix::SwitchEntry& candidate : Table()) {
            if (wide[1] == candidate.literal) {
                first = &candidate;
                break;
            }
        }
    }
    if (entry && entry != first) std::abort();
    if (first && (entry != nullptr) != (wide.size() >= first->minimum_count)) std::abort();
    if (!first && entry) std::abort();

    for (const std::wstring& word : wide) {
        const long number = pallix::ReadDecimal(word);
        if (number < INT32_MIN || number > INT32_MAX) std::abort();
        if (number != ReferenceDecimal(word)) std::abort();
        if (pallix::IsMachineHiveWord(word) != (word == L"hklm")) std::abort();

        const std::wstring browser = pallix::BrowserPathFromCommand(word);
        if (!browser.empty()) {
            const size_t open = word.find(L'"');
            if (word.compare(open + 1, browser.size(), browser) != 0) std::abort();
            if (word[open + 1 + browser.size()] != L'"') std::abort();
        }

        const std::wstring folder = pallix::DestinationFolder(word);
        if (!folder.empty()) {
            if (folder.size() >= 260 || word.compare(0, folder.size(), folder) != 0) std::abort();
            if (word[folder.size()] != L'\\') std::abort();
            if (word.find(L'\\', folder.size() + 1) != std::wstring::npos) std::abort();
        }
    }
    return 0;
}
