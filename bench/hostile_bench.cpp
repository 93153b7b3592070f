// Worst time and memory per hostile message against a large, realistic rule set: the
// header, body, rawbody and full regex rules of Debian's spamassassin package
// (`apt-get install -y spamassassin`; not needed by CI), as spamassassin_rules.h converts
// them to the filter's rules-file format. Each message is scanned through the
// filter's own request path (open, rules check, envelope, scan) in a child process of its
// own, which first loads the rules and scans an ordinary message; the child's time is
// reported as a ratio to the scan's time budget and to the ordinary message's time in the
// same child, and its peak memory over what it held with the rules loaded.
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

#include "filter/filter_settings.h"
#include "filter/message_scan.h"
#include "filter/vorpelin.h"
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

struct Measured {
    double seconds = 0, ordinarySeconds = 0;
    long rulesKb = 0, loadedKb = 0, peakKb = 0;
    int rules = 0;
    int stillAnswers = 0;
};

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
        double best = 1e9;
        for (int i = 0; i < 5; ++i) best = std::min(best, secondsFor([&] { filter.scanMessage(2, ordinary); }));
        m.ordinarySeconds = best;
        m.loadedKb = statusKilobytes("VmHWM:");
        m.rulesKb = m.loadedKb - before;
        m.seconds = secondsFor([&] { filter.scanMessage(3, path); });
        m.peakKb = statusKilobytes("VmHWM:");
        m.stillAnswers = filter.scanMessage(4, ordinary).lines == first.lines;
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
    if (got != sizeof m) m.seconds = -1;
    return m;
}

std::string stopNotes(const std::string& logPath) {
    std::ifstream in(logPath);
    std::string line, notes;
    while (std::getline(in, line)) {
        if (line.find("[3] Scan stopped") != std::string::npos) notes += " time-budget";
        if (line.find("[3] Header over") != std::string::npos) notes += " header-budget";
        if (line.find("[3] Rule ") != std::string::npos && notes.find("rule-error") == std::string::npos)
            notes += " rule-error";
    }
    return notes.empty() ? " -" : notes;
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
    std::printf("%-40s %10s %9s %11s %11s %9s %s\n", "message", "size MB", "time s", "/ budget", "/ ordinary",
                "peak MB", "stopped by / answers next");
    double worstBudget = 0, worstOrdinary = 0;
    long worstPeak = 0;
    bool first = true;
    for (const Case& c : hostileCases()) {
        const std::string path = root + "/case.msg";
        {
            std::ofstream out(path, std::ios::binary | std::ios::trunc);
            c.write(out);
        }
        const double size = static_cast<double>(fs::file_size(path)) / (1 << 20);
        const std::string log = root + "/case.log";
        Measured m = measure(rulesPath, ordinary, path, log);
        if (m.seconds < 0) {
            std::printf("%-40s %10.1f   the child did not report (killed?)\n", c.name, size);
            continue;
        }
        if (first) {
            std::printf("(%d rules loaded; rules take %.1f MB; ordinary message %.2f ms)\n", m.rules,
                        m.rulesKb / 1024.0, m.ordinarySeconds * 1e3);
            first = false;
        }
        const double budget = std::chrono::duration<double>(cgp::scanTimeBudget).count();
        const long peak = m.peakKb - m.loadedKb;
        worstBudget = std::max(worstBudget, m.seconds / budget);
        worstOrdinary = std::max(worstOrdinary, m.seconds / m.ordinarySeconds);
        worstPeak = std::max(worstPeak, peak);
        std::printf("%-40s %10.1f %9.3f %11.3f %11.1f %9.1f%s / %s\n", c.name, size, m.seconds, m.seconds / budget,
                    m.seconds / m.ordinarySeconds, peak / 1024.0, stopNotes(log).c_str(),
                    m.stillAnswers ? "yes" : "NO");
        fs::remove(path);
    }
    std::printf("worst: %.3f of the %lld s budget, %.0f times an ordinary message, %.1f MB over the loaded rules\n",
                worstBudget, static_cast<long long>(cgp::scanTimeBudget.count()), worstOrdinary, worstPeak / 1024.0);
    fs::remove_all(root);
    return 0;
}
