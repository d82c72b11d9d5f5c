// Parse throughput of Norvane's XML reader on generated option files of about 10 KB, 1 MB and
// 32 MB, side by side with tinyxml2 on the same texts in the same run, and the growth of the
// parse time from 1 MB to 32 MB (linear growth gives about 32x).
#include <tinyxml2.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "updater/offers/XmlReader.h"

namespace {

// One "productinfo" record as the add-on server writes it, UTF-8 text included.
std::string Product(unsigned n) {
    char buffer[1024];
    std::snprintf(buffer, sizeof(buffer),
                  "    <productinfo>\n"
                  "      <name>Product%u</name>\n"
                  "      <namelocal>\xEC\xA0\x9C\xED\x92\x88 %u &amp; more</namelocal>\n"
                  "      <ver>%u.%u.%u.%u</ver>\n"
                  "      <url checksum=\"%08x%08x%08x%08x\"><![CDATA[ http://dl.example.test/p%u/setup.exe ]]></url>\n"
                  "      <setcheckbox>%u</setcheckbox>\n"
                  "      <!-- captions -->\n"
                  "      <textadd><![CDATA[Install product %u]]></textadd>\n"
                  "      <textupdate><![CDATA[Update product %u]]></textupdate>\n"
                  "    </productinfo>\n",
                  n, n, n % 10, n % 7, n % 100, n, n * 2654435761u, n ^ 0x5bd1e995u, n * 40503u,
                  ~n, n, n & 1u, n, n);
    return buffer;
}

std::string OptionFile(std::size_t target_bytes) {
    std::string text = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<Dravel>\n";
    unsigned n = 0;
    while (text.size() < target_bytes) {
        text += "  <addproduct type=\"";
        text += (n % 2) ? "end" : "middle";
        text += "\">\n";
        for (int i = 0; i < 8; ++i) text += Product(n++);
        text += "  </addproduct>\n";
    }
    text +=
        "  <option>\n    <logurl><![CDATA[http://log.example.test/u.aspx]]></logurl>\n"
        "    <eula ver=\"3\"><![CDATA[http://eula.example.test/e.rtf]]></eula>\n  </option>\n"
        "</Dravel>\n";
    return text;
}

// Best time of `parse` over the rounds. The tree it returns is released outside the timing, so
// the figures compare parsing, not the allocator's release of millions of nodes.
template <typename F>
double BestSeconds(int rounds, F&& parse) {
    double best = 1e30;
    for (int i = 0; i < rounds; ++i) {
        auto start = std::chrono::steady_clock::now();
        auto tree = parse();
        std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        best = std::min(best, took.count());
    }
    return best;
}

struct Figures {
    double ours = 0;
    double reference = 0;
};

Figures Measure(const std::string& text, int rounds) {
    Figures f;
    f.ours = BestSeconds(rounds, [&] {
        auto root = std::make_unique<XmlNode>();
        if (!LoadXmlText(text, root.get()) || root->children.empty())
            std::fprintf(stderr, "parse failed\n");
        return root;
    });
    f.reference = BestSeconds(rounds, [&] {
        auto doc = std::make_unique<tinyxml2::XMLDocument>();
        if (doc->Parse(text.data(), text.size()) != tinyxml2::XML_SUCCESS)
            std::fprintf(stderr, "tinyxml2 failed\n");
        return doc;
    });
    return f;
}

}  // namespace

int main() {
    struct Case {
        const char* label;
        std::size_t bytes;
        int rounds;
    };
    const Case cases[] = {{"10 KB", 10 * 1024, 200}, {"1 MB", 1 << 20, 50}, {"32 MB", 32u << 20, 5}};
    std::printf("%-7s %11s  %12s %10s  %12s %10s  %s\n", "file", "bytes", "reader ms", "MB/s",
                "tinyxml2 ms", "MB/s", "reader/tinyxml2");
    std::vector<Figures> figures;
    std::vector<std::size_t> sizes;
    for (const Case& c : cases) {
        std::string text = OptionFile(c.bytes);
        Figures f = Measure(text, c.rounds);
        double mb = text.size() / 1048576.0;
        std::printf("%-7s %11zu  %12.3f %10.1f  %12.3f %10.1f  %.2f\n", c.label, text.size(),
                    f.ours * 1e3, mb / f.ours, f.reference * 1e3, mb / f.reference,
                    f.ours / f.reference);
        figures.push_back(f);
        sizes.push_back(text.size());
    }
    double size_ratio = double(sizes[2]) / double(sizes[1]);
    std::printf("growth 1 MB -> 32 MB: size x%.1f, reader time x%.1f, tinyxml2 time x%.1f\n",
                size_ratio, figures[2].ours / figures[1].ours,
                figures[2].reference / figures[1].reference);
    return 0;
}
