// Parse throughput of Norvane's XML reader on generated option files of about 10 KB, 1 MB and
// 32 MB, side by side with tinyxml2 on the same texts in the same run, and the growth of the
// parse time from 1 MB to 32 MB (linear growth gives about 32x).
//   xml_bench [--quick] [--keys]
// --quick: 8 MB instead of 32 MB and fewer rounds; --keys: "key value" lines only, for
// bench/run.sh (speed ratios are tinyxml2's time over the reader's: above 1 the reader is faster).
#include <tinyxml2.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
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

// Times one parse; the tree it returns is released outside the timing, so the figures compare
// parsing, not the allocator's release of millions of nodes.
template <typename F>
double Seconds(F&& parse) {
    auto start = std::chrono::steady_clock::now();
    auto tree = parse();
    std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    return took.count();
}

struct Figures {
    double ours = 1e30;
    double reference = 1e30;
};

// Best of the rounds for each parser, the two taking turns round by round so that a busy
// machine slows both alike.
Figures Measure(const std::string& text, int rounds) {
    Figures f;
    for (int i = 0; i < rounds; ++i) {
        f.ours = std::min(f.ours, Seconds([&] {
            auto root = std::make_unique<XmlNode>();
            if (!LoadXmlText(text, root.get()) || root->children.empty())
                std::fprintf(stderr, "parse failed\n");
            return root;
        }));
        f.reference = std::min(f.reference, Seconds([&] {
            auto doc = std::make_unique<tinyxml2::XMLDocument>();
            if (doc->Parse(text.data(), text.size()) != tinyxml2::XML_SUCCESS)
                std::fprintf(stderr, "tinyxml2 failed\n");
            return doc;
        }));
    }
    return f;
}

}  // namespace

int main(int argc, char** argv) {
    bool quick = false, keys = false;
    for (int i = 1; i < argc; ++i) {
        quick = quick || std::strcmp(argv[i], "--quick") == 0;
        keys = keys || std::strcmp(argv[i], "--keys") == 0;
    }
    struct Case {
        const char* label;
        std::size_t bytes;
        int rounds;
    };
    const Case cases[] = {{"10 KB", 10 * 1024, quick ? 50 : 200},
                          {"1 MB", 1 << 20, quick ? 20 : 100},
                          {quick ? "8 MB" : "32 MB", (quick ? 8u : 32u) << 20, quick ? 3 : 8}};
    if (!keys) std::printf("%-7s %11s  %12s %10s  %12s %10s  %s\n", "file", "bytes", "reader ms", "MB/s",
                "tinyxml2 ms", "MB/s", "reader/tinyxml2");
    std::vector<Figures> figures;
    std::vector<std::size_t> sizes;
    for (const Case& c : cases) {
        std::string text = OptionFile(c.bytes);
        Figures f = Measure(text, c.rounds);
        double mb = text.size() / 1048576.0;
        if (!keys) std::printf("%-7s %11zu  %12.3f %10.1f  %12.3f %10.1f  %.2f\n", c.label, text.size(),
                    f.ours * 1e3, mb / f.ours, f.reference * 1e3, mb / f.reference,
                    f.ours / f.reference);
        figures.push_back(f);
        sizes.push_back(text.size());
    }
    double size_ratio = double(sizes[2]) / double(sizes[1]);
    if (keys) {
        std::printf("xml_1mb_reader_ms %.3f\nxml_1mb_tinyxml2_ms %.3f\nxml_1mb_speed_ratio %.3f\n"
                    "xml_large_mb %.0f\nxml_large_reader_ms %.3f\nxml_large_tinyxml2_ms %.3f\n"
                    "xml_large_speed_ratio %.3f\nxml_growth_size %.2f\nxml_growth_time %.2f\n"
                    "xml_growth %.3f\nxml_growth_tinyxml2 %.3f\n",
                    figures[1].ours * 1e3, figures[1].reference * 1e3,
                    figures[1].reference / figures[1].ours, sizes[2] / 1048576.0,
                    figures[2].ours * 1e3, figures[2].reference * 1e3,
                    figures[2].reference / figures[2].ours, size_ratio,
                    figures[2].ours / figures[1].ours,
                    figures[2].ours / figures[1].ours / size_ratio,
                    figures[2].reference / figures[1].reference / size_ratio);
        return 0;
    }
    std::printf("growth 1 MB -> %s: size x%.1f, reader time x%.1f, tinyxml2 time x%.1f\n",
                cases[2].label, size_ratio, figures[2].ours / figures[1].ours,
                figures[2].reference / figures[1].reference);
    return 0;
}
