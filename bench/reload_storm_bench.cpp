// The filter under a storm of rules-file changes while real mail streams through it: the
// rules file (spamassassin's rules, about 1,400) is rewritten every 0.3, 1, 3 and 10 s, by a
// new file renamed over it that alternates two sets differing in one rule, or only touched.
// Per storm it prints the threads of the process and those of the builds, the builds' CPU
// per wall second, the memory at its peak and once settled (against one undisturbed
// build's), the "Prefilter ready" lines during the storm, the times to the first stage and
// to the final prefilter after the last write ("none" when that line did not come: a touch
// builds nothing, and a build with every final part at hand needs no first stage), and
// answers per second (each checked against the bare scan of the rules in force).
//
// Memory is "settled" once the final prefilter of the last rules has served for 30 s and the
// resident size then set no new low for 10 s (at most 120 s after ready); beside it stands
// what the C library's heap says is in use at that moment, which tells memory held by the
// filter from pages the allocator keeps. The undisturbed build is measured the same way,
// before the storms and again after them.
//
// Usage: reload_storm_bench [seconds per storm (default 30)] [folder of messages] [storms]
// The folder defaults to the one ../shared/tools/mail-corpus fills (/tmp/mail-corpus);
// storms, by default all, is a list such as "rewrite:0.3,touch:10".
#include <dirent.h>
#include <fcntl.h>
#include <malloc.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "filter/filter_settings.h"
#include "filter/message_scan.h"
#include "filter/vorpelin.h"
#include "spamassassin_rules.h"

namespace {

using Clock = std::chrono::steady_clock;

double since(Clock::time_point from) { return std::chrono::duration<double>(Clock::now() - from).count(); }

long tidNow() { return static_cast<long>(syscall(SYS_gettid)); }

std::FILE* report = stdout;  // standard output itself is the filter's, read by the reader

// The fields of a /proc stat line after the command's closing parenthesis.
// Empty when the thread has ended meanwhile.
std::vector<std::string> statFields(const std::string& path) {
    std::string text;
    int fd = open(path.c_str(), O_RDONLY);
    if (fd >= 0) {
        char buffer[1024];
        ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got > 0) text.assign(buffer, static_cast<std::size_t>(got));
        close(fd);
    }
    std::vector<std::string> fields;
    std::size_t close = text.rfind(')');
    if (close == std::string::npos) return fields;
    std::istringstream rest(text.substr(close + 1));
    for (std::string field; rest >> field;) fields.push_back(field);
    return fields;
}

// CPU seconds (user and system) from a stat line's fields: utime and stime are fields 14
// and 15 of the line, 12 and 13 after the parenthesis.
double cpuOf(const std::vector<std::string>& fields) {
    if (fields.size() < 13) return 0;
    return (std::atof(fields[11].c_str()) + std::atof(fields[12].c_str())) / sysconf(_SC_CLK_TCK);
}

double processCpu() { return cpuOf(statFields("/proc/self/stat")); }
double threadCpu(long tid) { return cpuOf(statFields("/proc/self/task/" + std::to_string(tid) + "/stat")); }

long residentMiB() {
    long pages = 0, resident = 0;
    if (std::FILE* statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2) resident = 0;
        std::fclose(statm);
    }
    return resident * (sysconf(_SC_PAGESIZE) / 1024) / 1024;
}

// What the heap holds for its callers, in MiB: chunks in use in every arena and blocks
// mapped on their own.
long heapInUseMiB() {
    struct mallinfo2 info = mallinfo2();
    return static_cast<long>((info.uordblks + info.hblkhd) >> 20);
}

// The threads of the process: how many, and how many of those not in skip are runnable.
struct Threads {
    std::size_t all = 0, build = 0, runnable = 0;
};

Threads threadsNow(const std::set<long>& skip) {
    Threads threads;
    if (DIR* dir = opendir("/proc/self/task")) {
        while (dirent* entry = readdir(dir)) {
            if (entry->d_name[0] == '.') continue;
            ++threads.all;
            long tid = std::atol(entry->d_name);
            if (skip.count(tid)) continue;
            ++threads.build;
            std::vector<std::string> fields = statFields(std::string("/proc/self/task/") + entry->d_name + "/stat");
            if (!fields.empty() && fields[0] == "R") ++threads.runnable;
        }
        closedir(dir);
    }
    return threads;
}

// Reads what the filter says on standard output and notes when the prefilter stages come.
class Said {
public:
    Said() {
        int ends[2];
        if (pipe(ends) != 0) std::exit(2);
        int saved = dup(1);
        report = fdopen(saved, "w");
        std::fflush(stdout);
        dup2(ends[1], 1);
        close(ends[1]);
        reader = std::thread([this, in = ends[0]] { read(in); });
    }
    long tid() const { return readerTid.load(); }

    struct Line {
        Clock::time_point at;
        std::string text;
    };
    std::vector<Line> since(Clock::time_point from) {
        std::lock_guard<std::mutex> lock(mutex);
        std::vector<Line> found;
        for (const Line& line : lines)
            if (line.at >= from) found.push_back(line);
        return found;
    }

private:
    void read(int in) {
        readerTid = tidNow();
        std::string pending;
        char buffer[4096];
        for (ssize_t got; (got = ::read(in, buffer, sizeof buffer)) > 0;) {
            pending.append(buffer, static_cast<std::size_t>(got));
            for (std::size_t end; (end = pending.find('\n')) != std::string::npos; pending.erase(0, end + 1)) {
                if (pending.compare(0, 11, "* Prefilter") != 0) continue;
                std::lock_guard<std::mutex> lock(mutex);
                lines.push_back(Line{Clock::now(), pending.substr(0, end)});
            }
        }
    }

    std::mutex mutex;
    std::vector<Line> lines;
    std::atomic<long> readerTid{0};
    std::thread reader;  // runs until the process ends
};

struct Messages {
    std::vector<std::string> paths;
    std::map<std::string, std::vector<std::string>> expected;  // by rules text: bare answers
};

std::string answerOf(const cgp::ScanResult& result) {
    std::string text;
    for (const std::string& line : result.lines) text += line + "\n";
    return text;
}

// The answers of the bare scan (no prefilter) of every message under the rules of text.
std::vector<std::string> bareAnswers(const std::string& text, const std::vector<std::string>& paths) {
    FilterSettings rules;
    std::istringstream in(text);
    rules.read(in);
    cgp::MessageScanner scanner;
    std::vector<std::string> answers;
    for (std::size_t n = 0; n < paths.size(); ++n) {
        std::ifstream message(paths[n], std::ios::binary);
        cgp::ExtFilter::skipEnvelope(message);
        answers.push_back(answerOf(scanner.scan(message, rules, false, static_cast<unsigned>(n), nullptr)));
    }
    return answers;
}

void writeFile(const std::string& path, const std::string& text) {
    std::string fresh = path + ".new";
    std::ofstream(fresh, std::ios::binary | std::ios::trunc) << text;
    std::rename(fresh.c_str(), path.c_str());
}

struct Storm {
    double interval = 1;
    bool touchOnly = false;
};

struct Result {
    double seconds = 0;
    std::size_t writes = 0, reloads = 0;
    std::size_t threadsPeak = 0, buildPeak = 0, runnablePeak = 0;
    double runnableAverage = 0, buildCpuPerSecond = 0;
    long rssPeak = 0, rssSettled = 0, rssBefore = 0, heapSettled = 0;
    double settledAfter = 0;
    std::size_t readyLines = 0, firstLines = 0;
    double firstAfter = -1, readyAfter = -1;
    double answersPerSecond = 0;
    std::size_t answers = 0, wrong = 0;
};

class Bench {
public:
    Bench(std::string where, Messages& corpus, std::string a, std::string b, Said& output)
        : folder(std::move(where)), messages(corpus), rulesA(std::move(a)), rulesB(std::move(b)), said(output) {}

    // One undisturbed build: its time to ready, and its memory once settled.
    struct Undisturbed {
        double readySeconds = 0, settledAfter = 0;
        long rssSettled = 0, heapSettled = 0;
    };
    Undisturbed undisturbed() {
        Undisturbed result;
        auto filter = std::make_unique<Vorpelin>();
        writeFile(path(), rulesA);
        FilterSettings::instance().load(path());
        auto began = Clock::now();
        std::size_t next = 0;
        while (!seen("ready", began) && since(began) < 300) scanOne(*filter, next);
        result.readySeconds = since(began);
        result.settledAfter = settleMemory(*filter, next, result.rssSettled, result.heapSettled);
        return result;
    }

    Result run(const Storm& storm, double seconds) {
        auto filter = std::make_unique<Vorpelin>();
        writeFile(path(), rulesA);
        FilterSettings::instance().load(path());
        std::size_t next = 0;
        auto loaded = Clock::now();
        while (!seen("ready", loaded) && since(loaded) < 300) scanOne(*filter, next);
        settle(*filter, next, 3);
        Result result;
        result.rssBefore = residentMiB();

        std::atomic<bool> writing{true}, sampling{true};
        std::atomic<long> writerTid{0}, samplerTid{0};
        std::atomic<std::size_t> writes{0};
        auto began = Clock::now();
        Clock::time_point lastWrite = began;
        std::thread writer([&] {
            writerTid = tidNow();
            bool toB = true;
            for (int n = 1; since(began) < seconds; ++n) {
                auto due = began + std::chrono::microseconds(static_cast<long>(n * storm.interval * 1e6));
                while (Clock::now() < due && since(began) < seconds) std::this_thread::sleep_for(std::chrono::milliseconds(5));
                if (since(began) >= seconds) break;
                if (storm.touchOnly) {
                    utimensat(AT_FDCWD, path().c_str(), nullptr, 0);
                } else {
                    writeFile(path(), toB ? rulesB : rulesA);
                    toB = !toB;
                }
                lastWrite = Clock::now();
                ++writes;
            }
            writing = false;
        });
        double runnableSum = 0;
        std::size_t samples = 0;
        std::thread sampler([&] {
            samplerTid = tidNow();
            while (sampling) {
                std::set<long> skip{mainTid, writerTid.load(), samplerTid.load(), said.tid()};
                Threads now = threadsNow(skip);
                result.threadsPeak = std::max(result.threadsPeak, now.all);
                result.buildPeak = std::max(result.buildPeak, now.build);
                result.runnablePeak = std::max(result.runnablePeak, now.runnable);
                if (writing) {
                    runnableSum += static_cast<double>(now.runnable);
                    ++samples;
                }
                result.rssPeak = std::max(result.rssPeak, residentMiB());
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
        });
        while (samplerTid.load() == 0 || writerTid.load() == 0) std::this_thread::yield();
        auto cpuOthers = [&] { return threadCpu(mainTid) + threadCpu(writerTid) + threadCpu(samplerTid) + threadCpu(said.tid()); };
        double cpuStart = processCpu() - cpuOthers();
        std::size_t answered = 0;
        while (writing) {
            scanOne(*filter, next, &result);
            ++answered;
        }
        writer.join();
        result.seconds = since(began);
        result.answersPerSecond = static_cast<double>(answered) / result.seconds;
        result.buildCpuPerSecond = (processCpu() - cpuOthers() - cpuStart) / result.seconds;
        result.runnableAverage = samples ? runnableSum / static_cast<double>(samples) : 0;
        result.writes = writes;
        for (const Said::Line& line : said.since(began))
            if (line.at <= lastWrite) {
                result.readyLines += line.text.find("ready") != std::string::npos;
                result.firstLines += line.text.find("first stage") != std::string::npos;
            }

        // After the last write: until the final prefilter of the last rules (a touch builds
        // nothing: the one in service stays), then settled.
        while (!storm.touchOnly && !seen("ready", lastWrite) && since(lastWrite) < 300) scanOne(*filter, next, &result);
        for (const Said::Line& line : said.since(lastWrite)) {
            double after = std::chrono::duration<double>(line.at - lastWrite).count();
            if (line.text.find("first stage") != std::string::npos && result.firstAfter < 0) result.firstAfter = after;
            if (line.text.find("ready") != std::string::npos && result.readyAfter < 0) result.readyAfter = after;
        }
        result.settledAfter = settleMemory(*filter, next, result.rssSettled, result.heapSettled, &result);
        sampling = false;
        sampler.join();
        return result;
    }

private:
    std::string path() const { return folder + "/vorpelin.regex"; }

    bool seen(const char* what, Clock::time_point from) {
        for (const Said::Line& line : said.since(from))
            if (line.text.find(what) != std::string::npos) return true;
        return false;
    }

    // Scans the next message and checks its answer against the bare scan of the rules in
    // force.
    void scanOne(Vorpelin& filter, std::size_t& next, Result* result = nullptr) {
        std::size_t n = next++ % messages.paths.size();
        std::string answer = answerOf(filter.scanMessage(static_cast<std::uint32_t>(n), messages.paths[n]));
        if (!result) return;
        ++result->answers;
        const std::string& text = isB() ? rulesB : rulesA;
        if (answer != messages.expected[text][n]) ++result->wrong;
    }

    // The rules in force are B's: the one rule where they differ says.
    bool isB() const {
        const auto& body = FilterSettings::instance().bodyRules();
        return !body.empty() && body[editedRule].pattern.str() != editedPatternA;
    }

    void settle(Vorpelin& filter, std::size_t& next, double seconds, Result* result = nullptr) {
        auto from = Clock::now();
        while (since(from) < seconds) scanOne(filter, next, result);
    }

    // Scans on, the final prefilter in service, for 30 s and then until the resident size has
    // set no new low (by a MiB) for 10 s, at most 120 s; returns the seconds it took and
    // the resident size and heap in use at its end. Freed memory may reach the system late
    // (a compile ending, the scan letting go of a prefilter), so a fixed moment soon after
    // ready would measure how far that got rather than what stays.
    double settleMemory(Vorpelin& filter, std::size_t& next, long& rss, long& heap, Result* result = nullptr) {
        auto from = Clock::now(), lowAt = from;
        long low = residentMiB();
        while (since(from) < 120 && (since(from) < 30 || since(lowAt) < 10)) {
            auto slice = Clock::now();
            while (since(slice) < 0.25) scanOne(filter, next, result);
            long now = residentMiB();
            if (now < low) {
                low = now;
                lowAt = Clock::now();
            }
        }
        rss = residentMiB();
        heap = heapInUseMiB();
        return since(from);
    }

public:
    std::size_t editedRule = 0;
    std::string editedPatternA;

private:
    std::string folder;
    Messages& messages;
    std::string rulesA, rulesB;
    Said& said;
    long mainTid = tidNow();
};

// A time after the last write, or "none" when no such line came.
std::string secondsOrNone(double seconds) {
    if (seconds < 0) return "none";
    char text[32];
    std::snprintf(text, sizeof text, "%.1f s", seconds);
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    double seconds = argc > 1 ? std::atof(argv[1]) : 30;
    std::string corpus = argc > 2 ? argv[2] : "/tmp/mail-corpus";
    std::vector<Storm> storms;
    if (argc > 3) {
        std::istringstream list(argv[3]);
        for (std::string item; std::getline(list, item, ',');) {
            std::size_t colon = item.find(':');
            Storm storm{colon == std::string::npos ? 0 : std::atof(item.c_str() + colon + 1), item.compare(0, 5, "touch") == 0};
            if (storm.interval <= 0 || (!storm.touchOnly && item.compare(0, 7, "rewrite") != 0)) {
                std::fprintf(stderr, "storm \"%s\": write rewrite:<seconds> or touch:<seconds>\n", item.c_str());
                return 1;
            }
            storms.push_back(storm);
        }
    } else {
        for (bool touch : {false, true})
            for (double interval : {0.3, 1.0, 3.0, 10.0}) storms.push_back(Storm{interval, touch});
    }
    Messages messages;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(corpus, error))
        if (entry.is_regular_file()) messages.paths.push_back(entry.path().string());
    std::sort(messages.paths.begin(), messages.paths.end());
    if (messages.paths.empty()) {
        std::fprintf(stderr, "no messages in %s: run ../shared/tools/mail-corpus\n", corpus.c_str());
        return 1;
    }
    std::size_t count = 0;
    std::string rulesA = bench::spamAssassinRules(100000, 50, count);
    if (count == 0) {
        std::fprintf(stderr, "the spamassassin package is not installed (apt-get install spamassassin)\n");
        return 1;
    }
    // B: the same rules but one body rule in the middle, which gains an alternative that
    // matches nothing the corpus holds.
    FilterSettings parsed;
    {
        std::istringstream in(rulesA);
        parsed.read(in);
    }
    std::size_t edited = parsed.bodyRules().size() / 2;
    std::string pattern = parsed.bodyRules()[edited].pattern.str();
    std::string rulesB = rulesA;
    std::size_t at = rulesB.find("/" + pattern + "/");
    if (at == std::string::npos) return 1;
    rulesB.insert(at + 1 + pattern.size(), "|qqzx7storm");

    std::string folder = (std::filesystem::temp_directory_path() / ("reload-storm-" + std::to_string(getpid()))).string();
    std::filesystem::create_directories(folder);
    messages.expected[rulesA] = bareAnswers(rulesA, messages.paths);
    messages.expected[rulesB] = bareAnswers(rulesB, messages.paths);

    Said said;
    Bench bench(folder, messages, rulesA, rulesB, said);
    bench.editedRule = edited;
    bench.editedPatternA = pattern;
    auto undisturbed = [&](const char* when) {
        Bench::Undisturbed alone = bench.undisturbed();
        std::fprintf(report,
                     "one undisturbed build %s: ready after %.1f s, settled after %.0f s more at %ld MiB resident, "
                     "%ld MiB heap in use\n",
                     when, alone.readySeconds, alone.settledAfter, alone.rssSettled, alone.heapSettled);
        std::fflush(report);
    };
    std::fprintf(report, "%zu rules, %zu real messages, storms of %.0f s each\n", count, messages.paths.size(), seconds);
    undisturbed("before the storms");
    std::fprintf(report, "threads: all of the process (4 are not the builds': scan, writer, sampler, reader)\n\n");
    std::fprintf(report,
                 "| storm | writes | threads peak (builds') | runnable build threads avg / peak | build CPU s per s "
                 "| RSS MiB before / peak / settled | heap in use settled MiB | ready lines during "
                 "| first stage / ready after last write | answers/s | wrong |\n|---|---|---|---|---|---|---|---|---|---|---|\n");
    std::fflush(report);
    for (const Storm& storm : storms) {
        Result r = bench.run(storm, seconds);
        std::fprintf(report,
                     "| %s every %.1f s | %zu | %zu (%zu) | %.1f / %zu | %.2f | %ld / %ld / %ld | %ld | %zu "
                     "| %s / %s | %.0f | %zu of %zu |\n",
                     storm.touchOnly ? "touch" : "rewrite", storm.interval, r.writes, r.threadsPeak, r.buildPeak,
                     r.runnableAverage, r.runnablePeak, r.buildCpuPerSecond, r.rssBefore, r.rssPeak, r.rssSettled,
                     r.heapSettled, r.readyLines, secondsOrNone(r.firstAfter).c_str(),
                     secondsOrNone(r.readyAfter).c_str(), r.answersPerSecond, r.wrong, r.answers);
        std::fflush(report);
    }
    std::fprintf(report, "\n");
    undisturbed("after the storms");
    std::filesystem::remove_all(folder);
    std::fflush(report);
    std::_Exit(0);  // the reader thread runs on; the filter's threads, if any, are left unseen
}
