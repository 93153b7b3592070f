// Worst time and memory per hostile message against a large, realistic rule set: the
// header, body, rawbody and full regex rules of Debian's spamassassin package
// (`apt-get install -y spamassassin`; not needed by CI), as spamassassin_rules.h converts
// them to the filter's rules-file format. Each message is scanned through the
// filter's own request path (open, rules check, envelope, scan) in a child process of its
// own, which first loads the rules, waits for their prefilter and scans an ordinary
// message. Each message is scanned twice: with every rule through Boost (the scan until
// the prefilter of new rules is built) and with the prefilter ready. Times are reported as
// ratios to the scan's time budget and to the ordinary message's time the same way in the
// same child; memory as the child's peak over what it held with the rules loaded.
//
// Usage: hostile_bench [converted-rules-out]
//   the converted rules file is also written to converted-rules-out when it is given.
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "filter/ext_filter.h"
#include "filter/filter_settings.h"
#include "filter/message_scan.h"
#include "filter/vorpelin.h"
#include "foundation/regular_file_stream.h"
#include "spamassassin_rules.h"
#include "timing.h"

namespace {

namespace fs = std::filesystem;

// ---------------------------------------------------------------------------------------
// Messages.

const char* const envelope =
    "P I 10-12-2026 09:14:03 0000 ____ _FY_ <sender@example.net>\nO L\nA example.net [192.0.2.7]\n"
    "S SMTP [192.0.2.1]\nR W10-12-2026 09:14:03 <user@example.org>\n\n";

std::string ordinaryMessage() {
    std::string m = envelope;
    m += "Return-Path: <anna.berg@example.net>\n"
         "Received: from mail.example.net ([192.0.2.7] verified)\n"
         "  by mx.example.org (Mail Server 6.2) with ESMTPS id 48211934\n"
         "  for user@example.org; Thu, 10 Dec 2026 09:14:03 +0000\n"
         "Received: from [10.1.2.3] (dsl-10-1-2-3.example.net [10.1.2.3])\n"
         "  by mail.example.net (Postfix) with ESMTPSA id 4C1D2E3F\n"
         "  for <user@example.org>; Thu, 10 Dec 2026 10:14:01 +0100 (CET)\n"
         "DKIM-Signature: v=1; a=rsa-sha256; c=relaxed/relaxed; d=example.net; s=mail;\n"
         "  t=1797149641; bh=47DEQpj8HBSa+/TImW+5JCeuQeRkm5NMpJWZG3hSuFU=;\n"
         "  h=Date:From:To:Subject:From; b=dGhpcyBpcyBub3QgYSByZWFsIHNpZ25hdHVyZQ==\n"
         "Message-ID: <5f1c2a3b-9d8e-4c7f-a6b5-0123456789ab@example.net>\n"
         "Date: Thu, 10 Dec 2026 10:14:01 +0100\n"
         "MIME-Version: 1.0\n"
         "User-Agent: Mozilla/5.0 (X11; Linux x86_64; rv:115.0) Gecko/20100101 Thunderbird/115.5.0\n"
         "Content-Language: en-GB\n"
         "To: Peter Lund <user@example.org>\n"
         "From: Anna Berg <anna.berg@example.net>\n"
         "Subject: Re: minutes of Tuesday's meeting and the budget draft\n"
         "In-Reply-To: <a1b2c3d4@example.org>\n"
         "References: <a1b2c3d4@example.org>\n"
         "Content-Type: text/plain; charset=UTF-8; format=flowed\n"
         "Content-Transfer-Encoding: 7bit\n\n";
    const char* paragraph[] = {
        "Hi Peter,",
        "",
        "thanks for sending the minutes so quickly. I went through them this morning and",
        "have only two small corrections: the review of the travel budget moves to the",
        "January meeting, and Maria will take over the supplier contacts from Jonas.",
        "",
        "About the budget draft: the figures for the second quarter look right to me, but",
        "could you check the line for the new printers? I think we agreed on three, not",
        "four. The rest can go to the board as it is.",
        "",
        "Could we meet on Thursday at ten to go through the open points? If that does not",
        "suit you, Friday after lunch works as well.",
        "",
        "Best regards,",
        "Anna",
        "",
        "On 08/12/2026 17:02, Peter Lund wrote:",
        "> Dear all,",
        "> please find attached the minutes of today's meeting and the first draft of",
        "> next year's budget. Comments are welcome until Friday.",
        "> Peter",
    };
    for (int round = 0; round < 3; ++round)
        for (const char* line : paragraph) m += std::string(line) + "\n";
    return m;
}

using Writer = std::function<void(std::ofstream&)>;

void repeat(std::ofstream& out, const std::string& piece, std::size_t bytes) {
    std::string chunk;
    while (chunk.size() < (1u << 20)) chunk += piece;
    chunk.resize((1u << 20) / piece.size() * piece.size());
    for (std::size_t written = 0; written < bytes;) {
        std::size_t n = std::min(chunk.size(), bytes - written);
        out.write(chunk.data(), static_cast<std::streamsize>(n));
        written += n;
    }
}

Writer longHeaderLine(const std::string& piece, std::size_t bytes) {
    return [=](std::ofstream& out) {
        out << envelope << "Subject: ";
        repeat(out, piece, bytes);
        out << "\nFrom: a@example.net\n\nbody\n";
    };
}

Writer manyHeaderLines(const std::string& field, const std::string& piece, int lines, std::size_t bytes) {
    return [=](std::ofstream& out) {
        out << envelope;
        for (int i = 0; i < lines; ++i) {
            out << field << ": ";
            repeat(out, piece, bytes);
            out << "\n";
        }
        out << "\nbody\n";
    };
}

Writer manyBodyLines(const std::string& piece, int lines, std::size_t bytes) {
    return [=](std::ofstream& out) {
        out << envelope << "Subject: x\n\n";
        for (int i = 0; i < lines; ++i) {
            repeat(out, piece, bytes);
            out << "\n";
        }
    };
}

struct Case {
    const char* name;
    Writer write;
};

std::vector<Case> hostileCases() {
    return {
        {"header line of \"\\r \", 100 KB", longHeaderLine("\r ", 100 << 10)},
        {"header line of \"\\r \", 1 MB", longHeaderLine("\r ", 1 << 20)},
        // The worst a header can do within its budget: every line as long as is tested, and
        // of a field that many rules are anchored on.
        {"25 Subject lines of \"\\r \", 4 KB each", manyHeaderLines("Subject", "\r ", 25, 4086)},
        {"25 X-Pad lines of \"\\r \", 4 KB each", manyHeaderLines("X-Pad", "\r ", 25, 4088)},
        {"header line of \"a\", 1 MB", longHeaderLine("a", 1 << 20)},
        {"header line of \"a\", 10 MB", longHeaderLine("a", 10 << 20)},
        {"header line of \"a\", 100 MB", longHeaderLine("a", 100 << 20)},
        {"header line of NUL bytes, 1 MB", longHeaderLine(std::string(1, '\0'), 1 << 20)},
        {"header line of lone CRs, 1 MB", longHeaderLine("\r", 1 << 20)},
        {"1,000,000 short header lines",
         [](std::ofstream& out) {
             out << envelope;
             for (int i = 0; i < 1000000; ++i) out << "X-H" << i % 10 << ": v\n";
             out << "\nbody\n";
         }},
        {"body line of 50 MB",
         [](std::ofstream& out) {
             out << envelope << "Subject: x\n\n";
             repeat(out, "spam ", 50 << 20);
             out << "\n";
         }},
        {"101 body lines of \"\\r \", 4 KB each", manyBodyLines("\r ", 101, 4096)},
        {"101 body lines of \"a\", 4 KB each", manyBodyLines("a", 101, 4096)},
        {"binary, 10 MB",
         [](std::ofstream& out) {
             std::mt19937 rng(20261210);
             std::string bytes(10 << 20, '\0');
             for (char& c : bytes) c = static_cast<char>(rng() & 0xFF);
             out << bytes;
         }},
    };
}

// ---------------------------------------------------------------------------------------
// Measuring one message in a child.

long statusKilobytes(const char* field) {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.compare(0, std::strlen(field), field) == 0) return std::atol(line.c_str() + std::strlen(field) + 1);
    return -1;
}

// Two ways through the scan: every rule through Boost (as after start-up or a reload,
// until the prefilter is built), and with the prefilter ready.
enum Way { AllRules = 0, Prefiltered = 1 };

struct Measured {
    double seconds[2] = {0, 0}, ordinarySeconds[2] = {0, 0};
    long rulesKb = 0, loadedKb = 0, peakKb = 0;
    int rules = 0;
    int stillAnswers = 0;
    int prefilter = 0;
};

bool logHas(const std::string& logPath, const std::string& text) {
    std::fflush(stdout);
    std::ifstream in(logPath);
    std::string line;
    while (std::getline(in, line))
        if (line.find(text) != std::string::npos) return true;
    return false;
}

// Scans `path` in a fresh child that loaded the rules and scanned the ordinary message
// first; its log lines go to logPath.
Measured measure(const std::string& rulesPath, const std::string& ordinary, const std::string& path,
                 const std::string& logPath) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0) return {};
    std::fflush(stdout);
    pid_t pid = fork();
    if (pid == 0) {
        close(pipeFds[0]);
        alarm(120);  // a case that does not end fails loudly rather than hanging the bench
        if (!std::freopen(logPath.c_str(), "w", stdout)) _exit(2);
        Measured m;
        long before = statusKilobytes("VmRSS:");
        FilterSettings& settings = FilterSettings::instance();
        if (!settings.load(rulesPath)) _exit(3);
        m.rules = static_cast<int>(settings.headerRules().size() + settings.bodyRules().size() + settings.fullRules().size());
        Vorpelin filter;
        cgp::ScanResult first = filter.scanMessage(1, ordinary);
        // The prefilter is built beside the scan; its memory belongs to the rules, so the
        // mark is taken once it is ready.
        for (int waited = 0; waited < 600 && !logHas(logPath, "* Prefilter ready"); ++waited) {
            usleep(100000);
            filter.scanMessage(1, ordinary);
        }
        m.prefilter = logHas(logPath, "* Prefilter ready");
        // The filter's own path without the prefilter: open, envelope, every rule.
        cgp::MessageScanner allRules;
        auto scanAll = [&](const std::string& file, unsigned int number) {
            tmg::RegularFileStream in(file);
            cgp::ExtFilter::skipEnvelope(in);
            return allRules.scan(in, settings, false, number).lines;
        };
        m.ordinarySeconds[AllRules] = m.ordinarySeconds[Prefiltered] = 1e9;
        for (int i = 0; i < 5; ++i) {
            m.ordinarySeconds[AllRules] =
                std::min(m.ordinarySeconds[AllRules], secondsFor([&] { scanAll(ordinary, 2); }));
            m.ordinarySeconds[Prefiltered] =
                std::min(m.ordinarySeconds[Prefiltered], secondsFor([&] { filter.scanMessage(2, ordinary); }));
        }
        m.loadedKb = statusKilobytes("VmHWM:");
        m.rulesKb = m.loadedKb - before;
        m.seconds[AllRules] = secondsFor([&] { scanAll(path, 3); });
        m.seconds[Prefiltered] = secondsFor([&] { filter.scanMessage(5, path); });
        m.peakKb = statusKilobytes("VmHWM:");
        m.stillAnswers = filter.scanMessage(4, ordinary).lines == first.lines && scanAll(ordinary, 4) == first.lines;
        std::fflush(stdout);
        ssize_t ignored = write(pipeFds[1], &m, sizeof m);
        (void)ignored;
        _exit(0);
    }
    close(pipeFds[1]);
    Measured m;
    ssize_t got = read(pipeFds[0], &m, sizeof m);
    close(pipeFds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    if (got != sizeof m) m.seconds[AllRules] = -1;
    return m;
}

// What stopped the scan of request number, from its log lines.
std::string stopNotes(const std::string& logPath, unsigned int number) {
    const std::string tag = "[" + std::to_string(number) + "] ";
    std::ifstream in(logPath);
    std::string line, notes;
    while (std::getline(in, line)) {
        if (line.find(tag + "Scan stopped") != std::string::npos) notes += " time";
        if (line.find(tag + "Header over") != std::string::npos) notes += " header";
        if (line.find(tag + "Rule ") != std::string::npos && notes.find("rule-error") == std::string::npos)
            notes += " rule-error";
    }
    return notes.empty() ? "-" : notes.substr(1);
}

}  // namespace

int main(int argc, char** argv) {
    std::size_t converted = 0;
    const std::string rulesText = bench::spamAssassinRules(1000000, 100, converted);
    if (converted == 0) {
        std::printf("no rules in %s: apt-get install -y spamassassin\n", bench::spamAssassinFolder);
        return 0;
    }
    const std::string root = (fs::temp_directory_path() / ("hostile-bench-" + std::to_string(getpid()))).string();
    fs::create_directories(root);
    const std::string rulesPath = root + "/vorpelin.regex";
    std::ofstream(rulesPath) << rulesText;
    if (argc > 1) fs::copy_file(rulesPath, argv[1], fs::copy_options::overwrite_existing);
    const std::string ordinary = root + "/ordinary.msg";
    std::ofstream(ordinary) << ordinaryMessage();

    std::printf("rules: %zu converted from %s, MAXBODYLINES 100\n", converted, bench::spamAssassinFolder);
    std::printf("%-38s %7s | %-40s | %-40s | %7s %s\n", "", "", "every rule through Boost", "prefilter ready",
                "", "");
    std::printf("%-38s %7s | %7s %7s %6s %-17s | %7s %7s %6s %-17s | %7s %s\n", "message", "MB", "time s", "/budget",
                "/ordin", "stopped", "time s", "/budget", "/ordin", "stopped", "peak MB", "next ok");
    const double budget = std::chrono::duration<double>(cgp::scanTimeBudget).count();
    double worstBudget[2] = {0, 0}, worstOrdinary[2] = {0, 0};
    long worstPeak = 0;
    Measured firstRun;
    for (const Case& c : hostileCases()) {
        const std::string path = root + "/case.msg";
        {
            std::ofstream out(path, std::ios::binary | std::ios::trunc);
            c.write(out);
        }
        const double size = static_cast<double>(fs::file_size(path)) / (1 << 20);
        const std::string log = root + "/case.log";
        Measured m = measure(rulesPath, ordinary, path, log);
        fs::remove(path);
        if (m.seconds[AllRules] < 0) {
            std::printf("%-38s %7.1f   the child did not report (killed?)\n", c.name, size);
            continue;
        }
        if (firstRun.rules == 0) firstRun = m;
        const long peak = m.peakKb - m.loadedKb;
        worstPeak = std::max(worstPeak, peak);
        std::printf("%-38s %7.1f", c.name, size);
        const unsigned int numbers[2] = {3, 5};
        for (int way : {AllRules, Prefiltered}) {
            worstBudget[way] = std::max(worstBudget[way], m.seconds[way] / budget);
            worstOrdinary[way] = std::max(worstOrdinary[way], m.seconds[way] / m.ordinarySeconds[way]);
            std::printf(" | %7.3f %7.3f %6.0f %-17s", m.seconds[way], m.seconds[way] / budget,
                        m.seconds[way] / m.ordinarySeconds[way], stopNotes(log, numbers[way]).c_str());
        }
        std::printf(" | %7.1f %s\n", peak / 1024.0, m.stillAnswers ? "yes" : "NO");
    }
    std::printf("rules loaded: %d; they take %.1f MB with the prefilter (%s); ordinary message %.2f ms through Boost, "
                "%.2f ms prefiltered\n",
                firstRun.rules, firstRun.rulesKb / 1024.0, firstRun.prefilter ? "ready" : "NOT ready",
                firstRun.ordinarySeconds[AllRules] * 1e3, firstRun.ordinarySeconds[Prefiltered] * 1e3);
    for (int way : {AllRules, Prefiltered})
        std::printf("worst %s: %.3f of the %lld s budget, %.0f times an ordinary message\n",
                    way == AllRules ? "through Boost" : "prefiltered", worstBudget[way],
                    static_cast<long long>(cgp::scanTimeBudget.count()), worstOrdinary[way]);
    std::printf("worst peak memory: %.1f MB over the loaded rules\n", worstPeak / 1024.0);
    fs::remove_all(root);
    return 0;
}
