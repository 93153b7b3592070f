// Cost of the filter's scan per message on a spam-filter workload, against a floor: the
// same compiled rules searched over the same lines, held in memory, in a bare loop. The
// filter's run includes everything it does per message: opening the file, the rules-file
// change check, the envelope, reading lines, the name set and the result lines.
//
// With Debian's spamassassin package it also measures the prefilter of that package's
// rules against the bare scan, on generated mail and on a folder of real messages (the
// first argument, by default /tmp/mail-corpus; one message per file), made rougher the way
// mail from the wild is. Any answer of the prefiltered scan that differs from the bare
// scan's fails the run. With --real-mail-only it measures only the full rule set on the
// real mail, for repeated runs.
#include <unistd.h>

#include <time.h>

#include <algorithm>
#include <cctype>
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

// Seconds of this thread's processor time that one call of f takes: other work on the
// machine, which the wall clock counts, slows it far less.
template <class F>
double cpuSecondsFor(F&& f) {
    auto now = [] {
        struct timespec t;
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
        return t.tv_sec + t.tv_nsec * 1e-9;
    };
    double start = now();
    f();
    return now() - start;
}

// Real messages made rougher the way mail from the wild is, the same way on every run:
// some lines end in a carriage return, some hold a form feed, some letters change case
// (some lines wholly), some bytes are replaced by bytes of the upper half.
std::string roughen(const std::string& text, std::mt19937& random) {
    auto chance = [&](int perMille) { return static_cast<int>(random() % 1000) < perMille; };
    std::string out;
    out.reserve(text.size() + text.size() / 16);
    for (std::size_t at = 0; at < text.size();) {
        std::size_t feed = text.find('\n', at);
        bool ends = feed != std::string::npos;
        std::string line = text.substr(at, (ends ? feed : text.size()) - at);
        at = ends ? feed + 1 : text.size();
        bool shout = chance(10);
        for (char& c : line) {
            if (std::isalpha(static_cast<unsigned char>(c)) && (shout || chance(20)))
                c = static_cast<char>(std::islower(static_cast<unsigned char>(c)) ? std::toupper(c) : std::tolower(c));
            else if (chance(4))
                c = static_cast<char>(0x80 + random() % 128);
        }
        if (!line.empty() && chance(30)) line.insert(random() % line.size(), 1, '\f');
        if (chance(100)) line += '\r';
        out += line;
        if (ends) out += '\n';
    }
    return out;
}

// The messages of folder, one per file in name order, roughened; names gets their file
// names. Empty when there is no such folder.
std::vector<std::string> realMail(const std::string& folder, std::vector<std::string>& names) {
    std::vector<std::string> paths;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error))
        if (entry.is_regular_file() && entry.path().filename().string()[0] != '.') paths.push_back(entry.path().string());
    std::sort(paths.begin(), paths.end());
    std::mt19937 random(20261211);
    std::vector<std::string> messages;
    for (const std::string& path : paths) {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        messages.push_back(roughen(text.str(), random));
        names.push_back(std::filesystem::path(path).filename().string());
    }
    return messages;
}

struct Built {
    std::shared_ptr<const cgp::RulesPrefilter> firstStage, prefilter;
    double firstAt = 0, build = 0;
    long memory = 0;
};

// Builds the prefilter of rules as the filter does, keeping the first stage, if any, to be
// measured too.
Built buildPrefilter(const FilterSettings& rules) {
    Built built;
    long before = residentKiB();
    cgp::PrefilterBuilder builder;
    auto began = std::chrono::steady_clock::now();
    builder.start(rules);
    for (int waited = 0; waited < 600000 && !built.prefilter; ++waited) {
        std::shared_ptr<const cgp::RulesPrefilter> now = builder.ready(rules.generation());
        double at = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
        if (now && !now->final && !built.firstStage) built.firstStage = now, built.firstAt = at;
        if (now && now->final) built.prefilter = now, built.build = at;
        if (!built.prefilter) usleep(1000);
    }
    built.memory = residentKiB() - before;
    return built;
}

// The scans of messages with and without the prefilter (and its first stage when asked), measured in
// rounds that each time both back to back, so that both meet the same load of the machine.
// Prints the ratios: the median of the rounds with their spread, and best against best.
// Every answer must be the bare scan's: a message answered otherwise is printed and the
// result is false.
bool compareScans(const char* what, const FilterSettings& rules, const Built& built,
                  const std::vector<std::string>& messages, const std::vector<std::string>& names, int rounds,
                  bool firstStageToo) {
    const cgp::RulesPrefilter* firstStage = firstStageToo ? built.firstStage.get() : nullptr;
    std::vector<std::string> bare(messages.size()), filtered(messages.size()), staged(messages.size());
    auto run = [&](const cgp::RulesPrefilter* with, std::vector<std::string>& answers) {
        cgp::MessageScanner scanner;
        for (std::size_t n = 0; n < messages.size(); ++n) {
            std::istringstream message(messages[n]);
            cgp::ExtFilter::skipEnvelope(message);
            answers[n] = answerOf(scanner.scan(message, rules, false, static_cast<unsigned int>(n), with));
        }
    };
    std::vector<double> ratios, stagedRatios;
    double bareBest = 1e9, filteredBest = 1e9, stagedBest = 1e9;
    for (int round = 0; round < rounds; ++round) {
        double b = cpuSecondsFor([&] { run(nullptr, bare); });
        double f = cpuSecondsFor([&] { run(built.prefilter.get(), filtered); });
        bareBest = std::min(bareBest, b);
        filteredBest = std::min(filteredBest, f);
        ratios.push_back(b / f);
        if (firstStage) {
            double s = cpuSecondsFor([&] { run(firstStage, staged); });
            stagedBest = std::min(stagedBest, s);
            stagedRatios.push_back(b / s);
        }
    }
    std::size_t differ = 0;
    for (std::size_t n = 0; n < messages.size(); ++n) {
        for (const std::string* answer : {&filtered[n], &staged[n]}) {
            if (answer == &staged[n] && !firstStage) continue;
            if (*answer == bare[n]) continue;
            if (++differ <= 5)
                std::printf("ANSWERS DIFFER (%s) on %s:\n--- bare scan:\n%s--- %s:\n%s", what, names[n].c_str(),
                            bare[n].c_str(), answer == &staged[n] ? "first stage" : "prefilter", answer->c_str());
        }
    }
    auto spread = [](std::vector<double> values) {
        std::sort(values.begin(), values.end());
        char text[96];
        std::snprintf(text, sizeof text, "ratio %.1f (median of %zu rounds, %.1f to %.1f)", values[values.size() / 2],
                      values.size(), values.front(), values.back());
        return std::string(text);
    };
    std::printf("  %s, %zu messages, processor time of the scanning thread:\n", what, messages.size());
    std::printf("    bare scan:      %8.1f messages/s\n", messages.size() / bareBest);
    std::printf("    with prefilter: %8.1f messages/s   %s, best against best %.1f\n", messages.size() / filteredBest,
                spread(ratios).c_str(), bareBest / filteredBest);
    if (firstStage)
        std::printf("    first stage:    %8.1f messages/s   %s\n", messages.size() / stagedBest,
                    spread(stagedRatios).c_str());
    std::printf("    answers that differ from the bare scan's: %zu\n", differ);
    return differ == 0;
}

// The share of (line, rule) pairs that still reach Boost, and whether every pair that Boost
// matches is among them; false (printed) when one is not.
bool countCandidates(const FilterSettings& rules, const cgp::RulesPrefilter& prefilter,
                     const std::vector<std::string>& messages, const std::vector<std::string>& names) {
    std::size_t pairs = 0, candidates = 0, missed = 0;
    cgp::RegexPrefilter::Scratch headerScratch, bodyScratch;
    prefilter.headerLines->prepare(headerScratch);
    prefilter.bodyLines->prepare(bodyScratch);
    for (std::size_t n = 0; n < messages.size(); ++n) {
        std::istringstream stream(messages[n]);
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
            const cgp::RegexPrefilter& p = body ? *prefilter.bodyLines : *prefilter.headerLines;
            cgp::RegexPrefilter::Scratch& scratch = body ? bodyScratch : headerScratch;
            const auto& first = body ? rules.bodyRules() : rules.headerRules();
            p.scan(line.data(), line.data() + line.size(), scratch);
            for (std::size_t i = 0; i < p.ruleCount(); ++i) {
                bool candidate = p.isCandidate(scratch, i);
                candidates += candidate;
                if (candidate) continue;
                const FilterSettings::Rule& rule = i < first.size() ? first[i] : rules.fullRules()[i - first.size()];
                bool matches = false;
                try {
                    matches = boost::regex_search(line.data(), line.data() + line.size(), rule.pattern);
                } catch (const std::exception&) {
                }
                if (matches && ++missed <= 5)
                    std::printf("PREFILTER MISSED rule %s on a line of %s: \"%s\"\n", rule.name.c_str(),
                                names[n].c_str(), line.c_str());
            }
            pairs += p.ruleCount();
            if (body) ++bodyLines;
        }
    }
    std::printf("    pairs reaching Boost: %.2f %% of %zu; matching pairs left out: %zu\n", 100.0 * candidates / pairs,
                pairs, missed);
    return missed == 0;
}

// The real rule set against the bare scan: messages per second, the share of (line, rule)
// pairs that still reach Boost, the build, its memory, and the worst hostile message; with
// real mail, the same there. False when an answer differed.
bool realRules(std::size_t limit, const std::vector<std::string>& generated, const std::vector<std::string>& mail,
               const std::vector<std::string>& mailNames, bool mailOnly) {
    std::size_t count = 0;
    std::string text = bench::spamAssassinRules(limit, kMaxBodyLines, count);
    FilterSettings rules;
    std::istringstream in(text);
    rules.read(in);
    Built built = buildPrefilter(rules);
    if (!built.prefilter) {
        std::printf("%zu rules: the prefilter was not built\n", count);
        return false;
    }
    std::printf("%zu real rules (%zu always run), MAXBODYLINES %d: final prefilter after %.1f s, about %ld KiB\n",
                count, built.prefilter->headerLines->alwaysRunCount() + built.prefilter->bodyLines->alwaysRunCount(),
                kMaxBodyLines, built.build, built.memory);
    if (built.firstStage)
        std::printf("  first stage in service after %.1f s (%zu + %zu parts)\n", built.firstAt,
                    built.firstStage->headerLines->partCount(), built.firstStage->bodyLines->partCount());

    std::vector<std::string> generatedNames;
    for (std::size_t n = 0; n < generated.size(); ++n) generatedNames.push_back("generated message " + std::to_string(n));
    bool same = true;
    if (!mailOnly) {
        same = compareScans("generated mail", rules, built, generated, generatedNames, 2, true);
        same = countCandidates(rules, *built.prefilter, generated, generatedNames) && same;
    }
    if (!mail.empty()) {
        same = compareScans("real mail", rules, built, mail, mailNames, 5, false) && same;
        same = countCandidates(rules, *built.prefilter, mail, mailNames) && same;
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
        worstFiltered = std::max(worstFiltered, once(built.prefilter.get()));
    }
    std::printf("  worst hostile message: %.3f s bare, %.3f s with prefilter (ratio %.1f)\n", worstBare,
                worstFiltered, worstBare / worstFiltered);
    return same;
}

}  // namespace

int main(int argc, char** argv) {
    std::string mailFolder = "/tmp/mail-corpus";
    bool mailOnly = false;
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--real-mail-only") mailOnly = true;
        else mailFolder = argv[i];
    }
    if (mailOnly) {
        std::vector<std::string> names, mail = realMail(mailFolder, names);
        if (mail.empty() || !std::filesystem::exists(bench::spamAssassinFolder)) {
            std::printf("--real-mail-only needs messages in %s and the spamassassin package\n", mailFolder.c_str());
            return 1;
        }
        return realRules(100000, {}, mail, names, true) ? 0 : 1;
    }
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
    std::vector<std::string> mailNames, mail = realMail(mailFolder, mailNames);
    if (mail.empty())
        std::printf("no real mail in %s: give a folder of messages, one per file, as the first argument\n",
                    mailFolder.c_str());
    bool same = realRules(300, messages, {}, {}, false);
    same = realRules(100000, messages, mail, mailNames, false) && same;
    if (!same) {
        std::printf("FAILED: the prefiltered scan answered differently from the bare scan\n");
        return 1;
    }
    return 0;
}
