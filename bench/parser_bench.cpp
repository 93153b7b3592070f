// Reader speed against the writer's on the same tree and against reading the same bytes:
// a few MB of settings text (dictionaries, arrays, quoted strings, data blocks) and a
// large template page. Prints MB/s and ratios measured in this run.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "formats/dataset_reader.h"
#include "formats/dataset_writer.h"
#include "formats/parser.h"
#include "formats/wssp_node.h"
#include "timing.h"

namespace {

// A realistic settings tree: accounts with their settings, lists, quoted texts and keys.
std::string settingsText(int accounts) {
    std::string text = "{\n";
    for (int i = 0; i < accounts; ++i) {
        std::string n = std::to_string(i);
        text += "  user" + n + " = {\n";
        text += "    RealName = \"User Number " + n + "\";\n";
        text += "    Password = \"#x" + n + "\\\\secret\";\n";
        text += "    MaxAccountSize = 100M; MaxMailboxes = 500; RulesAllowed = Any;\n";
        text += "    Aliases = (u" + n + ", \"user." + n + "@example.com\", postmaster" + n + ");\n";
        text += "    Created = #T01-01-2020_10:00:00; Flags = #(x,y); Count = #" + n + ";\n";
        text += "    Rules = ((1, \"Vacation\", (( \"Human Generated\", \"---\")), ((\"Reply with\", \"I am away\\e\"))));\n";
        text += "    Key = [TWFuIGlzIGRpc3Rpbmd1aXNoZWQsIG5vdCBvbmx5IGJ5IGhpcyByZWFzb24sIGJ1dCBieSB0aGlz\n";
        text += "IHNpbmd1bGFyIHBhc3Npb24gZnJvbSBvdGhlciBhbmltYWxzLg==];\n";
        text += "    Prefs = {Language = English; TimeZone = \"Europe/Berlin\"; Skin = \"\"; Sort = (Date, \"From\");};\n";
        text += "  };\n";
    }
    return text + "}\n";
}

std::string pageText(int blocks) {
    std::string page = "<html><head><title>%%HTML:title%%</title></head><body>\n";
    for (int i = 0; i < blocks; ++i) {
        page += "<div class=\"row\">50% of <b>%%HTML:name%%</b> %%URL:session(\"link\")%%\n";
        page += "<!--%%IF EXISTS(settings(\"x\")) & NOT(a.b) | c--><p>yes</p><!--%%ELIF d-->d<!--%%ELSE-->no<!--%%ENDIF-->\n";
        page += "<!--%%FOREACH m IN list-->%%m[].name%% %%INDEX1:m%%<!--%%EMPTYFOR m-->none<!--%%ENDFOR m-->\n";
        page += "<select><!--%%NUMERICMENU size DEFAULT def IN (1, 2, 5, 10) DISPLAY names--></select>\n";
        page += "<!--%%INCLUDE \"footer.wssp\"(name, \"x\")--></div>\n";
    }
    return page + "</body></html>\n";
}

// Best of several runs.
template <class F>
double best(F&& f, int runs = 5) {
    double fastest = 1e9;
    for (int i = 0; i < runs; ++i) {
        double s = secondsFor(f);
        if (s < fastest) fastest = s;
    }
    return fastest;
}

// Best of several runs of a reader; each result is freed after its run, outside the
// timed part (freeing is the value model's cost, and the next run reuses the memory, as a
// reloading program does).
template <class F>
double bestReader(F&& read, cgp::DataSet& last, int runs = 5) {
    double fastest = 1e9;
    for (int i = 0; i < runs; ++i) {
        last = cgp::DataSet();
        cgp::DataSet result;
        double s = secondsFor([&] { result = read(); });
        if (s < fastest) fastest = s;
        last = result;
    }
    return fastest;
}

double mbPerSecond(std::size_t bytes, double seconds) { return static_cast<double>(bytes) / 1e6 / seconds; }

}  // namespace

int main() {
    std::string settings = settingsText(6000);
    std::string path = "/tmp/parser_bench.settings";
    if (std::FILE* file = std::fopen(path.c_str(), "wb")) {
        std::fwrite(settings.data(), 1, settings.size(), file);
        std::fclose(file);
    }

    std::size_t sink = 0;
    double readBytes = best([&] {
        std::FILE* file = std::fopen(path.c_str(), "rb");
        std::string content;
        char buffer[65536];
        std::size_t got;
        while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) content.append(buffer, got);
        std::fclose(file);
        sink += content.size();
    });
    cgp::DataSet loaded;
    double loadFile = bestReader([&] { return cgp::loadDataSetFile(path); }, loaded);
    loaded = cgp::DataSet();
    cgp::DataSet tree;
    double parseText = bestReader([&] { return cgp::parseDataSetText(settings); }, tree);
    std::string written;
    double writeOne = best([&] { written = cgp::DataSet::toString(tree, false); });
    std::string pretty;
    double writePretty = best([&] { pretty = cgp::DataSet::toString(tree, true); });
    cgp::DataSet again;
    double reread = bestReader([&] { return cgp::parseDataSetText(written); }, again);
    double freeTree = secondsFor([&] { again = cgp::DataSet(); });

    std::printf("settings text: %.2f MB (%zu accounts), one-line form %.2f MB, multi-line %.2f MB\n",
                settings.size() / 1e6, tree->dictionary.size(), written.size() / 1e6, pretty.size() / 1e6);
    std::printf("  read the bytes from file  %8.1f MB/s\n", mbPerSecond(settings.size(), readBytes));
    std::printf("  parseDataSet (text)       %8.1f MB/s\n", mbPerSecond(settings.size(), parseText));
    std::printf("  loadDataSet (file)        %8.1f MB/s   %.0fx the time of reading the bytes\n",
                mbPerSecond(settings.size(), loadFile), loadFile / readBytes);
    std::printf("  writer, one-line          %8.1f MB/s\n", mbPerSecond(written.size(), writeOne));
    std::printf("  writer, multi-line        %8.1f MB/s\n", mbPerSecond(pretty.size(), writePretty));
    std::printf("  reader / writer time on the same tree: %.2f (settings text vs multi-line writer), "
                "%.2f (one-line text read back vs one-line writer)\n",
                parseText / writePretty, reread / writeOne);
    std::printf("  freeing the tree          %8.3f s (not part of the reader's time)\n", freeTree);

    std::string page = pageText(20000);
    double copyPage = best([&] { std::string copy = page; sink += copy.size(); });
    double parsePage = 1e9;
    double freePage = 0;
    for (int run = 0; run < 5; ++run) {
        cgp::WSSPNode* root = nullptr;
        double s = secondsFor([&] {
            tmg::MutexLock lock(&cgp::cgparserMutex());
            if (cgp::cgparserParseString(page, cgp::PageMode)) root = cgp::wsspRootOf(cgp::cgparserNotedNode());
        });
        if (s < parsePage) parsePage = s;
        freePage = secondsFor([&] { delete root; });
    }
    std::printf("template page: %.2f MB\n", page.size() / 1e6);
    std::printf("  copy bytes                %8.1f MB/s\n", mbPerSecond(page.size(), copyPage));
    std::printf("  page parse                %8.1f MB/s   %.0fx the time of copying the bytes\n",
                mbPerSecond(page.size(), parsePage), parsePage / copyPage);
    std::printf("  freeing the node tree     %8.3f s\n", freePage);
    std::remove(path.c_str());
    return sink == 42 ? 1 : 0;
}
