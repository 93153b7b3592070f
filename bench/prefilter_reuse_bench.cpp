// What a prefilter build after a small edit of the rules file costs, on Debian's
// spamassassin rules (about 1,400): the parts it compiles, the time to its first stage and
// to its final prefilter, against a fresh build of the same rules in the same run. The edits
// are those that move rules about: a cheap rule inserted in the middle of the body rules
// and removed again, a header rule inserted at the top of the header rules (every header
// line's rule after it is renumbered, the full ones included) and removed, a costly rule
// inserted and removed, and, for comparison, a rule edited in place. Each edit goes from
// the build in service; every prefilter served is checked against the bare scan on the
// first messages of a folder of real mail.
//
// Usage: prefilter_reuse_bench [rounds (default 2)] [messages to check (default 150)] [folder]
// The folder defaults to the one ../shared/tools/mail-corpus fills (/tmp/mail-corpus).
// Times are wall-clock on a shared machine: compare them within one run, and over rounds.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "bench/spamassassin_rules.h"
#include "filter/filter_settings.h"
#include "filter/message_scan.h"
#include "filter/prefilter_builder.h"
#include "foundation/process.h"

namespace {

using Clock = std::chrono::steady_clock;

double since(Clock::time_point from) { return std::chrono::duration<double>(Clock::now() - from).count(); }

struct Outcome {
    std::size_t compiles = 0;
    double firstStage = -1;  // seconds; -1 when none was served
    double ready = -1;
    std::size_t wrong = 0, checked = 0;
    std::size_t parts = 0;  // of the final prefilter, both sides
};

std::vector<std::string> readMessages(const std::string& folder, std::size_t most) {
    std::vector<std::string> paths;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error))
        if (entry.is_regular_file()) paths.push_back(entry.path().string());
    std::sort(paths.begin(), paths.end());
    if (paths.size() > most) paths.resize(most);
    std::vector<std::string> messages;
    for (const std::string& path : paths) {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        messages.push_back(text.str());
    }
    return messages;
}

// The messages whose answer with prefilter differs from the bare scan's.
std::size_t wrongAnswers(const std::vector<std::string>& messages, const FilterSettings& settings,
                         const cgp::RulesPrefilter& prefilter) {
    cgp::MessageScanner scanner;
    std::size_t wrong = 0;
    unsigned int request = 0;
    for (const std::string& message : messages) {
        std::istringstream bare(message), filtered(message);
        std::vector<std::string> expected = scanner.scan(bare, settings, true, ++request).lines;
        if (scanner.scan(filtered, settings, true, ++request, &prefilter).lines != expected) ++wrong;
    }
    return wrong;
}

// Reads text into settings, has builder build it, and watches the stages come.
Outcome rebuild(cgp::PrefilterBuilder& builder, FilterSettings& settings, const std::string& text,
                const std::vector<std::string>& messages) {
    std::istringstream in(text);
    settings.read(in);
    Outcome outcome;
    const std::size_t before = builder.compilesBegunForTests();
    auto began = Clock::now();
    builder.start(settings);
    std::shared_ptr<const cgp::RulesPrefilter> first, last;
    while (!last && since(began) < 900) {
        std::shared_ptr<const cgp::RulesPrefilter> current = builder.ready(settings.generation());
        if (current && !current->final && !first) {
            first = current;
            outcome.firstStage = since(began);
        }
        if (current && current->final) {
            last = current;
            outcome.ready = since(began);
        }
        tmg::sleepMilliseconds(1);
    }
    outcome.compiles = builder.compilesBegunForTests() - before;
    for (const auto& served : {first, last}) {
        if (!served) continue;
        outcome.wrong += wrongAnswers(messages, settings, *served);
        outcome.checked += messages.size();
    }
    if (last) outcome.parts = last->headerLines->partCount() + last->bodyLines->partCount();
    return outcome;
}

// The rule lines of a section: their positions in lines.
std::vector<std::size_t> sectionRules(const std::vector<std::string>& lines, const std::string& section) {
    std::vector<std::size_t> rules;
    bool inside = false;
    for (std::size_t k = 0; k < lines.size(); ++k) {
        if (!lines[k].empty() && lines[k][0] != ' ') inside = lines[k] == section;
        else if (inside && lines[k].find('/') != std::string::npos) rules.push_back(k);
    }
    return rules;
}

std::string joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += line + "\n";
    return text;
}

// A costly pattern (well over two kilobytes) of made-up words that real mail does not hold.
std::string costlyPattern() {
    std::string pattern;
    unsigned seed = 27;
    for (int i = 0; i < 300; ++i) {
        std::string word = "qz";
        for (int k = 0; k < 8; ++k) {
            seed = seed * 1103515245u + 12345u;
            word += static_cast<char>('a' + (seed >> 16) % 26);
        }
        pattern += (i ? "|" : "") + word;
    }
    return pattern;
}

void printRow(const char* what, const Outcome& outcome, const Outcome& fresh) {
    auto seconds = [](double s) {
        char text[32];
        if (s < 0) std::snprintf(text, sizeof text, "      -");
        else std::snprintf(text, sizeof text, "%7.2f", s);
        return std::string(text);
    };
    std::fprintf(stderr, "| %-40s | %4zu | %s | %s | %5.3f | %3zu | %zu of %zu |\n", what, outcome.compiles,
                 seconds(outcome.firstStage).c_str(), seconds(outcome.ready).c_str(),
                 fresh.ready > 0 ? outcome.ready / fresh.ready : 0.0, outcome.parts, outcome.wrong, outcome.checked);
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 2;
    const std::size_t checked = argc > 2 ? static_cast<std::size_t>(std::atol(argv[2])) : 150;
    const std::string folder = argc > 3 ? argv[3] : "/tmp/mail-corpus";
    std::size_t count = 0;
    const std::string text = bench::spamAssassinRules(100000, 20, count);
    if (count == 0) {
        std::fprintf(stderr, "no rule set: apt-get install spamassassin\n");
        return 0;
    }
    const std::vector<std::string> messages = readMessages(folder, checked);
    if (messages.empty()) std::fprintf(stderr, "no messages in %s (../shared/tools/mail-corpus): answers unchecked\n",
                                       folder.c_str());

    std::vector<std::string> lines;
    for (std::size_t at = 0, end; (end = text.find('\n', at)) != std::string::npos; at = end + 1)
        lines.push_back(text.substr(at, end - at));
    const std::vector<std::size_t> body = sectionRules(lines, "BODY"), header = sectionRules(lines, "HEADERS");
    if (body.empty() || header.empty()) {
        std::fprintf(stderr, "the rule set has no body or header rules\n");
        return 1;
    }
    auto inserted = [&](std::size_t at, const std::string& line) {
        std::vector<std::string> out = lines;
        out.insert(out.begin() + static_cast<std::ptrdiff_t>(at), line);
        return joined(out);
    };
    auto editedInPlace = [&] {
        std::vector<std::string> out = lines;
        std::string& line = out[body[body.size() / 2]];
        std::size_t open = line.find('/'), close = line.rfind('/');
        line = line.substr(0, open + 1) + "(?:" + line.substr(open + 1, close - open - 1) + "|qqzx7edit)" +
               line.substr(close);
        return joined(out);
    };
    const std::string base = joined(lines);
    const struct {
        const char* name;
        std::string text;
    } edits[] = {
        {"cheap body rule inserted mid-file", inserted(body[body.size() / 2], "  I27_INSERTED  /\\bqqzx7ins[0-9]+\\b/i")},
        {"cheap header rule inserted at the top",
         inserted(header.front(), "  I27_TOP  /^Subject:.*qqzx7top[0-9]+/")},
        {"costly body rule inserted mid-file", inserted(body[body.size() / 3], "  I27_COSTLY  /" + costlyPattern() + "/")},
        {"body rule edited in place", editedInPlace()},
    };

    std::fprintf(stderr, "rules: %zu; answers checked on %zu messages of %s per prefilter served\n", count,
                 messages.size(), folder.c_str());
    std::fprintf(stderr, "| build | compiles | first stage s | ready s | ready / fresh | parts | wrong |\n"
                         "|---|---|---|---|---|---|---|\n");
    for (int round = 0; round < rounds; ++round) {
        cgp::PrefilterBuilder builder;
        FilterSettings settings;
        const Outcome fresh = rebuild(builder, settings, base, messages);
        printRow("fresh build", fresh, fresh);
        for (const auto& edit : edits) {
            printRow(edit.name, rebuild(builder, settings, edit.text, messages), fresh);
            std::string back = std::string("  ... and back (") + (std::string(edit.name).find("inserted") !=
                                                                      std::string::npos
                                                                  ? "removed"
                                                                  : "undone") + ")";
            printRow(back.c_str(), rebuild(builder, settings, base, messages), fresh);
        }
    }
    return 0;
}
