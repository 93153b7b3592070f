// How long a reload of the rules file holds the message in hand, on Debian's spamassassin
// rules (1,363 of them): the file touched without a change, and the file with one rule
// changed at each reload, against a first read of the same file in the same run (every
// pattern compiled). Each figure is the median and the maximum of many reloads, in
// wall-clock time (what the message waits) and in the reading thread's processor time.
// The stall is the reload plus the start of the prefilter build it may call for.
// One-rule changes are reported apart for ordinary patterns and for the few long ones (over
// 10,000 bytes); for those, what the reload's process-wide processor time (the reading
// thread and the compile's thread) holds beyond Boost's own compile of the changed pattern,
// timed alone right after it, is the part of the stall that is not Boost's.

#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "bench/spamassassin_rules.h"
#include "filter/filter_settings.h"
#include "filter/prefilter_builder.h"

namespace {

constexpr int kRounds = 60;

double secondsOn(clockid_t clock) {
    struct timespec now;
    clock_gettime(clock, &now);
    return now.tv_sec + now.tv_nsec / 1e9;
}

double threadSeconds() { return secondsOn(CLOCK_THREAD_CPUTIME_ID); }
double processSeconds() { return secondsOn(CLOCK_PROCESS_CPUTIME_ID); }

constexpr std::size_t kLongPattern = 10000;

struct Times {
    std::vector<double> wall, processor;
    void add(double w, double p) {
        wall.push_back(w);
        processor.push_back(p);
    }
    static double median(std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v.empty() ? 0 : v[v.size() / 2];
    }
    static double most(const std::vector<double>& v) { return v.empty() ? 0 : *std::max_element(v.begin(), v.end()); }
};

// Times f, in wall-clock and thread processor seconds.
template <class F>
void timed(Times& times, F&& f) {
    auto began = std::chrono::steady_clock::now();
    double processor = threadSeconds();
    f();
    times.add(std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count(), threadSeconds() - processor);
}

void setModified(const std::string& path, long nanoseconds) {
    struct timespec times[2] = {{1000000, nanoseconds}, {1000000, nanoseconds}};
    utimensat(AT_FDCWD, path.c_str(), times, 0);
}

void report(const char* what, const Times& times, const Times& baseline) {
    std::printf("  %-34s wall median %7.2f ms  max %7.2f ms   processor median %7.2f ms  max %7.2f ms   "
                "median / first read %.3f\n",
                what, Times::median(times.wall) * 1e3, Times::most(times.wall) * 1e3, Times::median(times.processor) * 1e3,
                Times::most(times.processor) * 1e3, Times::median(times.wall) / Times::median(baseline.wall));
}

}  // namespace

int main() {
    std::size_t count = 0;
    const std::string text = bench::spamAssassinRules(100000, 20, count);
    if (count == 0) {
        std::printf("no rule set: apt-get install spamassassin\n");
        return 0;
    }
    // The rule lines, so that one at a time can be changed.
    std::vector<std::string> lines;
    for (std::size_t at = 0, end; (end = text.find('\n', at)) != std::string::npos; at = end + 1)
        lines.push_back(text.substr(at, end - at));
    std::vector<std::size_t> ruleLines;
    for (std::size_t k = 0; k < lines.size(); ++k)
        if (lines[k].size() > 2 && lines[k][0] == ' ' && lines[k].find('/') != std::string::npos &&
            lines[k].find("MAXBODYLINES") == std::string::npos)
            ruleLines.push_back(k);

    std::string root = (std::filesystem::temp_directory_path() / ("rules-reload-bench-" + std::to_string(getpid()))).string();
    std::filesystem::create_directories(root);
    const std::string path = root + "/vorpelin.regex";
    auto write = [&](long stamp) {
        std::string out;
        for (const std::string& line : lines) out += line + "\n";
        std::ofstream(path) << out;
        setModified(path, stamp);
    };
    write(1);

    Times first, touched, oneChanged, ordinary, longOnes, builds;
    std::vector<double> longProcess, longBoost;  // per long change: the reload's, Boost's alone
    for (int round = 0; round < 5; ++round) {
        FilterSettings fresh;
        timed(first, [&] { fresh.load(path); });
    }
    FilterSettings settings;
    settings.load(path);
    const std::size_t held = settings.headerRules().size() + settings.bodyRules().size() + settings.fullRules().size();

    long stamp = 2;
    int kept = 0;
    for (int round = 0; round < kRounds; ++round) {
        setModified(path, stamp++);
        std::uint64_t before = settings.generation();
        timed(touched, [&] { settings.reload(); });
        kept += settings.generation() == before;
    }

    int changed = 0;
    std::size_t worstLength = 0;
    double worst = 0;
    for (int round = 0; round < kRounds; ++round) {
        // One more rule with its pattern wrapped in a group at each reload: a change of that
        // rule alone.
        std::string& line = lines[ruleLines[(round * 97) % ruleLines.size()]];
        std::size_t open = line.find('/'), close = line.rfind('/');
        if (open == std::string::npos || close <= open) continue;
        line = line.substr(0, open + 1) + "(?:" + line.substr(open + 1, close - open - 1) + ")" + line.substr(close);
        write(stamp++);
        std::uint64_t before = settings.generation();
        double processBefore = processSeconds();
        timed(oneChanged, [&] { settings.reload(); });
        double process = processSeconds() - processBefore;
        changed += settings.generation() != before;
        const std::size_t length = close - open - 1 + 4;
        (length > kLongPattern ? longOnes : ordinary).add(oneChanged.wall.back(), oneChanged.processor.back());
        if (length > kLongPattern) {
            std::size_t from = line.find('/') + 1, to = line.rfind('/');
            bool icase = line.find('i', to) != std::string::npos;
            double boostBefore = threadSeconds();
            boost::regex alone(line.substr(from, to - from), boost::regex::perl | (icase ? boost::regex::icase : 0));
            longBoost.push_back(threadSeconds() - boostBefore);
            longProcess.push_back(process);
        }
        if (oneChanged.wall.back() > worst) {
            worst = oneChanged.wall.back();
            worstLength = length;
        }
        cgp::PrefilterBuilder builder;
        timed(builds, [&] { builder.start(settings); });
    }
    std::filesystem::remove_all(root);

    std::printf("rules: %zu in the file, %zu held; %d reloads each (wall-clock times are noisy on a shared machine)\n",
                count, held, kRounds);
    report("first read (every pattern compiled)", first, first);
    report("reload, file touched only", touched, first);
    report("reload, one rule changed", oneChanged, first);
    report("  of which ordinary patterns", ordinary, first);
    report("  of which patterns over 10,000 bytes", longOnes, first);
    report("prefilter build start after it", builds, first);
    std::printf("  the slowest one-rule change changed a pattern of %zu bytes\n", worstLength);
    for (std::size_t k = 0; k < longProcess.size(); ++k)
        std::printf("  a long pattern's change: processor %.2f ms in all, Boost's compile of it alone %.2f ms, "
                    "the rest %.2f ms\n",
                    longProcess[k] * 1e3, longBoost[k] * 1e3, (longProcess[k] - longBoost[k]) * 1e3);
    std::printf("  generation kept by %d of %d touches, changed by %d of %d one-rule changes\n", kept, kRounds, changed,
                kRounds);
    return 0;
}
