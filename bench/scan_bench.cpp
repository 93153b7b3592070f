// Cost of the filter's scan per message on a spam-filter workload, against a floor: the
// same compiled rules searched over the same lines, held in memory, in a bare loop. The
// filter's run includes everything it does per message: opening the file, the rules-file
// change check, the envelope, reading lines, the name set and the result lines.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "filter/filter_settings.h"
#include "filter/message_scan.h"
#include "filter/prefilter_builder.h"
#include "filter/vorpelin.h"
#include "foundation/read_line.h"
#include "spamassassin_rules.h"
#include "timing.h"

namespace {

const int kRules = 300;
const int kMessages = 3000;
const int kMaxBodyLines = 50;

std::mt19937 rng(20261210);

int pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(rng); }

std::string word() {
    static const char* syllables[] = {"ka", "lo", "mi", "ne", "ru", "sa", "to", "vi", "pe", "da",
                                      "gri", "mon", "tex", "bel", "qua", "zor", "fin", "ex", "ul", "cas"};
    std::string w;
    for (int i = pick(2, 4); i > 0; --i) w += syllables[pick(0, 19)];
    return w;
}

std::string alternation(int count) {
    std::string text = "(";
    for (int i = 0; i < count; ++i) text += (i ? "|" : "") + word();
    return text + ")";
}

std::vector<std::string> vocabulary;

std::string rulesText() {
    std::string headers = "HEADERS\n", body = "BODY\n", full = "FULL\n";
    for (int i = 0; i < kRules; ++i) {
        std::string name = "Rule-" + std::to_string(i % 240);  // some names shared by several rules
        std::string rule;
        switch (i % 10) {
            case 0: rule = "/^Subject:.*\\b" + alternation(4) + "\\b/i"; break;
            case 1: rule = "/^From:.*@" + alternation(3) + "\\.(biz|top|xyz|click)>?$/i"; break;
            case 2: rule = "/^Received: from [a-z0-9.-]+ \\(\\[(10|172|192)\\.[0-9]{1,3}\\.[0-9]{1,3}\\.[0-9]{1,3}\\]\\)/"; break;
            case 3: rule = "/^X-Mailer: " + alternation(2) + "/"; break;
            case 4: rule = "/\\b" + alternation(5) + "\\b/i"; break;
            case 5: rule = "/https?:\\/\\/[a-z0-9.-]*" + word() + "[a-z0-9.-]*\\.(ru|cn|top)\\//i"; break;
            case 6: rule = "/[A-Z]{12,}/"; break;
            case 7: rule = "/\\$[0-9]{3,}(\\.[0-9]{2})? " + alternation(2) + "/"; break;
            case 8: rule = "/^(Dear|Hello) (friend|customer|" + word() + ")/i"; break;
            case 9: rule = "/" + word() + "[ \\t]+" + word() + "/"; break;
        }
        std::string line = "  " + name + "   " + rule + "\n";
        (i % 10 < 4 ? headers : i % 10 < 9 ? body : full) += line;
    }
    return "CONFIG\n  MAXBODYLINES: " + std::to_string(kMaxBodyLines) + "\n" + headers + body + full;
}

std::string sentence() {
    std::string line;
    while (line.size() < 60) line += vocabulary[pick(0, static_cast<int>(vocabulary.size()) - 1)] + " ";
    line.pop_back();
    return line;
}

std::string messageText(int n) {
    std::string m = "P I 10-12-2026 09:14:03 0000 ____ _FY_ <sender" + std::to_string(n) + "@example.net>\n"
                    "O L\nA example.net [192.0.2." + std::to_string(n % 250) + "]\nS SMTP [192.0.2.1]\n"
                    "R W10-12-2026 09:14:03 <user@example.org>\n\n";
    for (int hop = pick(2, 6); hop > 0; --hop)
        m += "Received: from relay" + std::to_string(hop) + ".example.net ([198.51.100." + std::to_string(hop) +
             "])\n\tby mx.example.org with ESMTP id " + std::to_string(n * 31 + hop) +
             ";\n\tThu, 10 Dec 2026 09:14:0" + std::to_string(hop) + " +0000\n";
    m += "From: \"" + word() + "\" <" + word() + "@" + word() + ".com>\nTo: user@example.org\n"
         "Subject: " + sentence().substr(0, 40) + "\nDate: Thu, 10 Dec 2026 09:14:03 +0000\n"
         "Message-ID: <" + std::to_string(n) + "." + word() + "@example.net>\nMIME-Version: 1.0\n"
         "Content-Type: multipart/alternative; boundary=\"b" + std::to_string(n) + "\"\n"
         "X-Mailer: " + word() + " " + std::to_string(pick(1, 9)) + ".0\n\n";
    m += "--b" + std::to_string(n) + "\nContent-Type: text/plain; charset=utf-8\n\n";
    for (int i = pick(10, 120); i > 0; --i) m += sentence() + "\n";
    if (n % 3 == 0) {
        m += "--b" + std::to_string(n) + "\nContent-Transfer-Encoding: base64\n\n";
        for (int i = pick(50, 600); i > 0; --i) {
            std::string b64;
            for (int j = 0; j < 76; ++j)
                b64 += "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/"[pick(0, 63)];
            m += b64 + "\n";
        }
    }
    return m;
}

// The lines the scan tests, as it reads them: header lines whole, then the first body lines
// cut to the tested length.
struct Lines {
    std::vector<std::string> header, body;
};

Lines linesOf(const std::string& path) {
    Lines lines;
    std::ifstream in(path);
    cgp::ExtFilter::skipEnvelope(in);
    std::string line;
    bool body = false;
    while (in.good()) {
        tmg::readLine(in, line);
        if (line.empty()) {
            body = true;
            break;
        }
        lines.header.push_back(line);
    }
    for (int count = 0; body && in.good();) {
        tmg::readLine(in, line, cgp::maxTestedLine);
        lines.body.push_back(line);
        if (++count > kMaxBodyLines) break;
    }
    return lines;
}

std::size_t floorScan(const FilterSettings& rules, const std::vector<Lines>& messages) {
    std::size_t hits = 0;
    auto search = [&](const std::vector<FilterSettings::Rule>& list, const std::string& line) {
        for (const auto& rule : list)
            hits += boost::regex_search(line.data(), line.data() + line.size(), rule.pattern);
    };
    for (const Lines& m : messages) {
        for (const std::string& line : m.header) {
            search(rules.headerRules(), line);
            search(rules.fullRules(), line);
        }
        for (const std::string& line : m.body) {
            search(rules.bodyRules(), line);
            search(rules.fullRules(), line);
        }
    }
    return hits;
}

long residentKiB() {
    long pages = 0, resident = 0;
    std::FILE* statm = std::fopen("/proc/self/statm", "r");
    if (statm) {
        if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2) resident = 0;
        std::fclose(statm);
    }
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

std::string answerOf(const cgp::ScanResult& result) {
    std::string text;
    for (const std::string& line : result.lines) text += line + "\n";
    return text;
}

// Messages made to be slow: the longest tested lines of what a rule set finds hard.
std::vector<std::string> hostileMessages() {
    std::string crs, as(4096, 'a'), nuls(4096, '\0'), lone(4096, '\r'), many;
    for (int i = 0; i < 2048; ++i) crs += "\r ";
    for (int i = 0; i < 10000; ++i) many += "X-" + std::to_string(i) + ": y\n";
    std::string binary;
    for (int i = 0; i < 200000; ++i) binary.push_back(static_cast<char>((i * 7919) % 251));
    return {"Subject: " + crs + "\n\n" + crs + "\n", "Subject: " + as + "\n\n" + as + "\n",
            "Subject: x" + nuls + "\n\n" + nuls + "\n", "Subject: " + lone + "\n\n" + lone + "\n",
            many + "\nbody\n", "Subject: b\n\n" + binary + "\n"};
}

// The real rule set against the bare loop: messages per second, the share of (line, rule)
// pairs that still reach Boost, the build, its memory, and the worst hostile message.
void realRules(std::size_t limit, const std::vector<std::string>& messages) {
    std::size_t count = 0;
    std::string text = bench::spamAssassinRules(limit, kMaxBodyLines, count);
    FilterSettings rules;
    std::istringstream in(text);
    rules.read(in);
    long before = residentKiB();
    cgp::PrefilterBuilder builder;
    // The first stage, if any, is kept to be measured too.
    std::shared_ptr<const cgp::RulesPrefilter> firstStage, prefilter;
    double firstAt = 0, build = 0;
    auto began = std::chrono::steady_clock::now();
    builder.start(rules);
    for (int waited = 0; waited < 600000 && !prefilter; ++waited) {
        std::shared_ptr<const cgp::RulesPrefilter> now = builder.ready(rules.generation());
        double at = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
        if (now && !now->final && !firstStage) firstStage = now, firstAt = at;
        if (now && now->final) prefilter = now, build = at;
        if (!prefilter) usleep(1000);
    }
    if (!prefilter) {
        std::printf("%zu rules: the prefilter was not built\n", count);
        return;
    }
    long memory = residentKiB() - before;

    std::vector<std::string> bare(messages.size()), filtered(messages.size());
    auto run = [&](const cgp::RulesPrefilter* with, std::vector<std::string>& answers) {
        cgp::MessageScanner scanner;
        for (std::size_t n = 0; n < messages.size(); ++n) {
            std::istringstream message(messages[n]);
            cgp::ExtFilter::skipEnvelope(message);
            answers[n] = answerOf(scanner.scan(message, rules, false, n, with));
        }
    };
    std::vector<std::string> staged(messages.size());
    double bareBest = 1e9, filteredBest = 1e9, stagedBest = 1e9;
    for (int round = 0; round < 2; ++round) {
        bareBest = std::min(bareBest, secondsFor([&] { run(nullptr, bare); }));
        filteredBest = std::min(filteredBest, secondsFor([&] { run(prefilter.get(), filtered); }));
        if (firstStage) stagedBest = std::min(stagedBest, secondsFor([&] { run(firstStage.get(), staged); }));
    }
    std::size_t differ = 0;
    for (std::size_t n = 0; n < messages.size(); ++n)
        differ += bare[n] != filtered[n] || (firstStage && bare[n] != staged[n]);

    // Pairs that reach Boost: the candidates of every tested line.
    std::size_t pairs = 0, candidates = 0;
    cgp::RegexPrefilter::Scratch headerScratch, bodyScratch;
    prefilter->headerLines->prepare(headerScratch);
    prefilter->bodyLines->prepare(bodyScratch);
    for (const std::string& message : messages) {
        std::istringstream stream(message);
        cgp::ExtFilter::skipEnvelope(stream);
        std::string line;
        bool body = false;
        int bodyLines = 0;
        while (stream.good() && bodyLines <= kMaxBodyLines) {
            tmg::readLine(stream, line, cgp::maxTestedLine);
            if (!body && line.empty()) {
                body = true;
                continue;
            }
            const cgp::RegexPrefilter& p = body ? *prefilter->bodyLines : *prefilter->headerLines;
            cgp::RegexPrefilter::Scratch& scratch = body ? bodyScratch : headerScratch;
            p.scan(line.data(), line.data() + line.size(), scratch);
            for (std::size_t i = 0; i < p.ruleCount(); ++i) candidates += p.isCandidate(scratch, i);
            pairs += p.ruleCount();
            if (body) ++bodyLines;
        }
    }

    double worstBare = 0, worstFiltered = 0;
    for (const std::string& message : hostileMessages()) {
        cgp::MessageScanner scanner;
        auto once = [&](const cgp::RulesPrefilter* with) {
            return secondsFor([&] {
                std::istringstream stream(message);
                scanner.scan(stream, rules, false, 1, with);
            });
        };
        worstBare = std::max(worstBare, once(nullptr));
        worstFiltered = std::max(worstFiltered, once(prefilter.get()));
    }

    std::printf("%zu real rules (%zu always run), %zu messages:\n", count,
                prefilter->headerLines->alwaysRunCount() + prefilter->bodyLines->alwaysRunCount(), messages.size());
    std::printf("  bare loop:      %8.1f messages/s\n", messages.size() / bareBest);
    std::printf("  with prefilter: %8.1f messages/s   ratio %.1f, answers that differ: %zu\n",
                messages.size() / filteredBest, bareBest / filteredBest, differ);
    if (firstStage)
        std::printf("  first stage:    %8.1f messages/s   ratio %.1f, in service after %.1f s (%zu + %zu parts)\n",
                    messages.size() / stagedBest, bareBest / stagedBest, firstAt, firstStage->headerLines->partCount(),
                    firstStage->bodyLines->partCount());
    std::printf("  pairs reaching Boost: %.2f %% of %zu; final prefilter after %.1f s, about %ld KiB\n",
                100.0 * candidates / pairs, pairs, build, memory);
    std::printf("  worst hostile message: %.3f s bare, %.3f s with prefilter (ratio %.1f)\n", worstBare,
                worstFiltered, worstBare / worstFiltered);
}

}  // namespace

int main() {
    for (int i = 0; i < 400; ++i) vocabulary.push_back(word());
    vocabulary.insert(vocabulary.end(), {"the", "and", "of", "to", "in", "for", "you", "your", "we", "offer"});

    std::string root = (std::filesystem::temp_directory_path() / ("scan-bench-" + std::to_string(getpid()))).string();
    std::filesystem::create_directories(root);
    std::ofstream(root + "/vorpelin.regex") << rulesText();
    std::vector<std::string> paths;
    std::size_t bytes = 0;
    for (int n = 0; n < kMessages; ++n) {
        paths.push_back(root + "/" + std::to_string(n) + ".msg");
        std::string text = messageText(n);
        bytes += text.size();
        std::ofstream(paths.back()) << text;
    }

    std::fflush(stdout);
    FilterSettings& settings = FilterSettings::instance();
    if (!settings.load(root + "/vorpelin.regex")) return 1;
    std::vector<Lines> lines;
    std::size_t tested = 0;
    for (const std::string& path : paths) {
        lines.push_back(linesOf(path));
        tested += lines.back().header.size() + lines.back().body.size();
    }

    Vorpelin filter;
    std::size_t added = 0, hits = 0;
    double filterBest = 1e9, floorBest = 1e9;
    for (int round = 0; round < 3; ++round) {
        floorBest = std::min(floorBest, secondsFor([&] { hits = floorScan(settings, lines); }));
        filterBest = std::min(filterBest, secondsFor([&] {
            added = 0;
            for (std::size_t n = 0; n < paths.size(); ++n) added += filter.scanMessage(n, paths[n]).lines.size();
        }));
    }
    std::filesystem::remove_all(root);

    std::printf("workload: %d rules (%zu header, %zu body, %zu full), %d messages, %.1f KiB each on average,\n"
                "          %.1f lines tested per message, %zu rule hits in the floor, %zu header lines added\n",
                kRules, settings.headerRules().size(), settings.bodyRules().size(), settings.fullRules().size(),
                kMessages, bytes / 1024.0 / kMessages, double(tested) / kMessages, hits, added - kMessages);
    std::printf("floor (same rules, same lines, bare loop): %8.1f us per message\n", floorBest * 1e6 / kMessages);
    std::printf("filter scanMessage:                        %8.1f us per message\n", filterBest * 1e6 / kMessages);
    std::printf("ratio filter / floor: %.3f\n", filterBest / floorBest);

    if (!std::filesystem::exists(bench::spamAssassinFolder)) {
        std::printf("no real rule set: apt-get install spamassassin for the prefilter figures\n");
        return 0;
    }
    std::vector<std::string> messages;
    for (int n = 0; n < 1000; ++n) messages.push_back(messageText(n));
    realRules(300, messages);
    realRules(100000, messages);
    return 0;
}
