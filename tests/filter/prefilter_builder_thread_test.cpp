#include "filter/prefilter_builder.h"

#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <fstream>
#include <map>
#include <memory>
#include <random>
#include <sstream>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <boost/regex.hpp>
#include <gtest/gtest.h>

#include "filter/message_scan.h"
#include "foundation/process.h"
#include "tests/support/capture_stdout.h"
#include "tests/support/processor_time.h"
#include "tests/support/sanitizer_build.h"

namespace {

// A sanitizer's runtime, with the other tests running beside, slows the reading through
// Boost many times over (and adds threads of its own): the timings of a build then say
// nothing of the builder.
#if defined(TEST_UNDER_ASAN) || defined(TEST_UNDER_TSAN)
constexpr bool timingsMean = false;
#else
constexpr bool timingsMean = true;
#endif

using cgp::PrefilterBuilder;

// How long a test waits for a build or its threads to end: a staged build that takes
// seconds on an idle machine takes minutes beside a busy one's other work.
constexpr int buildPatienceSeconds = 240;
constexpr int buildPatienceMs = buildPatienceSeconds * 1000;

void readRules(FilterSettings& settings, const std::string& text) {
    std::istringstream in(text);
    settings.read(in);
}

const char* const someRules =
    "HEADERS\n  Money /^Subject:.*free money/i\nBODY\n  Pills /viagra|cialis/i\nFULL\n  Spaced /(?x) plain/\n";

TEST(PrefilterBuilderThread, BuildsOffTheCallerAndSaysWhenReady) {
    FilterSettings settings;
    readRules(settings, someRules);
    testsupport::CaptureStdout capture;
    {
        PrefilterBuilder builder;
        builder.start(settings);
        ASSERT_TRUE(builder.waitForTests(settings.generation(), buildPatienceMs));
        std::shared_ptr<const cgp::RulesPrefilter> built = builder.ready(settings.generation());
        ASSERT_TRUE(built);
        // Header lines meet the header rules then the full ones; body lines likewise.
        EXPECT_EQ(built->headerLines->ruleCount(), 2u);
        EXPECT_EQ(built->bodyLines->ruleCount(), 2u);
        EXPECT_EQ(built->headerLines->alwaysRunCount(), 1u);  // (?x) is left to Boost
        EXPECT_FALSE(builder.ready(settings.generation() + 1));
    }
    std::string out = capture.text();
    capture.stop();
    EXPECT_TRUE(boost::regex_match(out, boost::regex("\\* Prefilter ready: 3 rules in [0-9]+\\.[0-9] s\n"))) << out;
}

TEST(PrefilterBuilderThread, NewRulesDropTheOldBuild) {
    FilterSettings settings;
    readRules(settings, someRules);
    testsupport::CaptureStdout capture;
    PrefilterBuilder builder;
    builder.start(settings);
    std::uint64_t old = settings.generation();
    readRules(settings, "BODY\n  Other /lottery/\n");
    ASSERT_NE(settings.generation(), old);
    builder.start(settings);
    ASSERT_TRUE(builder.waitForTests(settings.generation(), buildPatienceMs));
    EXPECT_FALSE(builder.ready(old));
    EXPECT_EQ(builder.ready(settings.generation())->bodyLines->ruleCount(), 1u);
    capture.stop();
}

// A builder that goes while its build runs stops it: nothing is published or said after.
TEST(PrefilterBuilderThread, EndsQuietlyWhenDestroyedMidBuild) {
    std::string rules = "BODY\n";
    for (int i = 0; i < 300; ++i) rules += "  R" + std::to_string(i) + " /w" + std::to_string(i) + "[a-z]{2,9}x/i\n";
    FilterSettings settings;
    readRules(settings, rules);
    testsupport::CaptureStdout capture;
    {
        PrefilterBuilder builder;
        builder.start(settings);
    }
    tmg::sleepMilliseconds(300);
    std::string out = capture.text();
    capture.stop();
    EXPECT_EQ(out.find("Prefilter ready"), std::string::npos) << out;
}

// A rule set that is built in two stages: in every section a few costly rules, long
// alternations of random words, beside many cheap ones that never match those words (they
// hold digits and underscores).
struct StagedRules {
    std::string text;
    std::size_t ruleCount = 0;
    // Header lines meet the header and full rules, body lines the body and full rules.
    std::size_t headerCostly = 0, bodyCostly = 0;
    std::map<std::string, std::vector<std::string>> words;  // of each costly rule
};

// An alternation of 400 random words of 7 to 10 letters, which it appends to words.
std::string alternation(std::mt19937& random, std::vector<std::string>& words) {
    std::string pattern;
    for (int i = 0; i < 400; ++i) {
        std::string word;
        for (int k = 7 + static_cast<int>(random() % 4); k > 0; --k) word += static_cast<char>('a' + random() % 26);
        pattern += (i ? "|" : "") + word;
        words.push_back(word);
    }
    return pattern;
}

StagedRules stagedRules(unsigned seed, int cheapPerSection) {
    std::mt19937 random(seed);
    StagedRules rules;
    rules.text = "CONFIG\n  MAXBODYLINES: 20\n";
    auto costly = [&](const std::string& name, bool ignoreCase) {
        std::string pattern = alternation(random, rules.words[name]);
        EXPECT_GT(pattern.size(), 3072u);
        rules.text += "  " + name + " /" + pattern + "/" + (ignoreCase ? "i" : "") + "\n";
        ++rules.ruleCount;
    };
    auto cheap = [&](const char* prefix, int count, const std::string& before, const std::string& after,
                     const char* options) {
        for (int i = 0; i < count; ++i) {
            std::string number = std::to_string(i);
            rules.text += std::string("  ") + prefix + number + " /" + before + number + after + "/" + options + "\n";
            ++rules.ruleCount;
        }
    };
    rules.text += "HEADERS\n";
    costly("CostlyHeader", true);
    cheap("Hk", cheapPerSection, "^Subject:.*hk", "_[a-z]{2,6}x", "i");
    rules.text += "BODY\n";
    costly("CostlyBodyA", false);
    cheap("Bk", cheapPerSection * 2, "\\bbk", "_[0-9]{1,3}(?:ab|cd)", "");
    costly("CostlyBodyB", false);
    rules.text += "FULL\n";
    costly("CostlyFull", false);
    cheap("Fk", cheapPerSection, "fk", "_q+z", "i");
    rules.headerCostly = 2;
    rules.bodyCostly = 3;
    return rules;
}

// Expression bytes per part: the cheap rules of each side make several parts.
constexpr std::size_t stagedPartBytes = 2048;

// Has builder build settings in parts of stagedPartBytes.
void startStaged(PrefilterBuilder& builder, const FilterSettings& settings) {
    builder.setPartBytesForTests(stagedPartBytes);
    builder.start(settings);
}

// A staged build of generated rules under way: the rules read into settings, standard
// output captured from before the build starts. The builder goes first, so that what it
// says as it goes is captured too.
struct StagedBuild {
    StagedBuild(unsigned seed, int cheapPerSection) : rules(stagedRules(seed, cheapPerSection)) {
        readRules(settings, rules.text);
        startStaged(*builder, settings);
    }
    StagedRules rules;
    FilterSettings settings;
    testsupport::CaptureStdout capture;
    std::unique_ptr<PrefilterBuilder> builder = std::make_unique<PrefilterBuilder>();
};

// The log line of a stage, as a regular expression.
std::string stageLine(const char* stage, std::size_t rules) {
    return std::string("\\* Prefilter ") + stage + ": " + std::to_string(rules) + " rules in [0-9]+\\.[0-9] s\n";
}

double secondsSince(std::chrono::steady_clock::time_point began) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
}

// The processor time of all this process's threads.
double processorSeconds() { return testsupport::processorSeconds(CLOCK_PROCESS_CPUTIME_ID); }

// Polls until the first stage of that generation is in service and returns it; null when
// the final one came first or the patience ran out.
std::shared_ptr<const cgp::RulesPrefilter> firstStageOf(const PrefilterBuilder& builder, std::uint64_t generation) {
    auto began = std::chrono::steady_clock::now();
    while (secondsSince(began) < buildPatienceSeconds) {
        std::shared_ptr<const cgp::RulesPrefilter> current = builder.ready(generation);
        if (current) return current->final ? nullptr : current;
        tmg::sleepMilliseconds(1);
    }
    return nullptr;
}

std::string joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += line + "\n";
    return text;
}

std::string upper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

TEST(PrefilterBuilderThread, LargeRulesServeTheCheapOnesInPartsFirstWithTheCostlyAlwaysRun) {
    StagedBuild build(11, 50);
    const StagedRules& rules = build.rules;
    const FilterSettings& settings = build.settings;
    testsupport::CaptureStdout& capture = build.capture;
    PrefilterBuilder& builder = *build.builder;
    std::shared_ptr<const cgp::RulesPrefilter> first = firstStageOf(builder, settings.generation());
    std::string said = capture.text();
    ASSERT_TRUE(first) << "no first stage served before the final one\n" << said;
    EXPECT_TRUE(boost::regex_match(said, boost::regex(stageLine("first stage", rules.ruleCount)))) << said;
    ASSERT_TRUE(builder.waitForTests(settings.generation(), buildPatienceMs));
    std::shared_ptr<const cgp::RulesPrefilter> last = builder.ready(settings.generation());
    std::string out = capture.text();
    capture.stop();
    EXPECT_TRUE(boost::regex_match(
        out, boost::regex(stageLine("first stage", rules.ruleCount) + stageLine("ready", rules.ruleCount))))
        << out;

    struct Side {
        const char* name;
        const cgp::RegexPrefilter* first;
        const cgp::RegexPrefilter* last;
        std::size_t rules, costly;
    };
    std::size_t fullRules = settings.fullRules().size();
    for (const Side& side : {Side{"header lines", first->headerLines.get(), last->headerLines.get(),
                                  settings.headerRules().size() + fullRules, rules.headerCostly},
                             Side{"body lines", first->bodyLines.get(), last->bodyLines.get(),
                                  settings.bodyRules().size() + fullRules, rules.bodyCostly}}) {
        SCOPED_TRACE(side.name);
        EXPECT_EQ(side.first->ruleCount(), side.rules);
        EXPECT_EQ(side.last->ruleCount(), side.rules);
        // While the costly rules wait for their compile they run on every line, and only
        // they do: the cheap ones are in the parts.
        EXPECT_EQ(side.first->alwaysRunCount(), side.costly);
        EXPECT_GT(side.first->partCount(), 1u);
        EXPECT_EQ(side.last->alwaysRunCount(), 0u);
    }

    // The first stage does filter: a line of one cheap rule names it beside the costly ones,
    // and few others.
    cgp::RegexPrefilter::Scratch scratch;
    ASSERT_TRUE(first->bodyLines->prepare(scratch));
    const std::string line = "see bk7_12cd";
    first->bodyLines->scan(line.data(), line.data() + line.size(), scratch);
    std::vector<std::string> named;
    for (std::uint32_t i : first->bodyLines->candidates(scratch)) {
        std::size_t bodyRules = settings.bodyRules().size();
        named.push_back(i < bodyRules ? settings.bodyRules()[i].name : settings.fullRules()[i - bodyRules].name);
    }
    for (const char* name : {"Bk7", "CostlyBodyA", "CostlyBodyB", "CostlyFull"})
        EXPECT_NE(std::find(named.begin(), named.end(), name), named.end()) << name << " in\n" << joined(named);
    EXPECT_LT(named.size(), 10u) << joined(named);
}

// A line the first stage misses (a costly rule it names without having compiled it, a cheap
// rule left out of every part) or the final one misses changes the answer.
TEST(PrefilterBuilderThread, EveryStageAnswersAsTheBareScan) {
    StagedBuild build(12, 50);
    auto word = [&](const char* rule, std::size_t i) { return build.rules.words.at(rule)[i]; };
    const FilterSettings& settings = build.settings;
    PrefilterBuilder& builder = *build.builder;
    testsupport::CaptureStdout& capture = build.capture;
    std::shared_ptr<const cgp::RulesPrefilter> first = firstStageOf(builder, settings.generation());
    ASSERT_TRUE(first);
    ASSERT_TRUE(builder.waitForTests(settings.generation(), buildPatienceMs));
    std::shared_ptr<const cgp::RulesPrefilter> last = builder.ready(settings.generation());
    capture.stop();

    std::string filler;
    for (int i = 0; i < 15; ++i) filler += "line " + std::to_string(i) + " of plain text\n";
    const struct {
        std::string message;
        std::vector<std::string> names;
    } cases[] = {
        {"From: a@example.com\nSubject: hk3_abx offer\n\nnothing to see\n", {"Hk3"}},
        {"Subject: about " + upper(word("CostlyHeader", 17)) + " today\n\n" + word("CostlyBodyA", 5) +
             " and bk7_12cd\n",
         {"Bk7", "CostlyBodyA", "CostlyHeader"}},
        {"X-Note: " + word("CostlyFull", 200) + "\n\nline one\nsee FK5_QQZ here\nand" + word("CostlyBodyB", 399) + "\n",
         {"CostlyBodyB", "CostlyFull", "Fk5"}},
        {"Subject: " + word("CostlyBodyA", 3) + " hk49_ab\n\n" + filler + "x" + word("CostlyFull", 399) + "y fk49_qz\n",
         {"CostlyFull", "Fk49"}},
        // Near misses: each rule in the wrong part of the message, in the wrong case, or cut.
        {"Subject: hello " + word("CostlyBodyA", 3) + "\n\n" + word("CostlyHeader", 3) + " in the body\n" +
             "bk7_ab hk3_ax fk5_z bk7_1ef\n" + upper(word("CostlyBodyB", 1)) + "\n" +
             word("CostlyFull", 9).substr(0, 5) + "\n",
         {}},
    };
    cgp::MessageScanner scanner;  // one for all, as the filter moves from stage to stage
    unsigned int request = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        std::vector<std::string> expected;
        for (const std::string& name : c.names) expected.push_back("X-Regex-Match: " + name);
        std::sort(expected.begin(), expected.end());
        for (const cgp::RulesPrefilter* prefilter : {static_cast<const cgp::RulesPrefilter*>(nullptr), first.get(),
                                                     last.get()}) {
            std::istringstream in(c.message);
            EXPECT_EQ(joined(scanner.scan(in, settings, true, ++request, prefilter).lines), joined(expected))
                << (!prefilter ? "without prefilter" : prefilter->final ? "final" : "first stage");
        }
    }
}

// The threads of this process, by id. A build runs on threads of its own, which end with it.
std::set<std::string> threadIds() {
    std::set<std::string> ids;
    if (DIR* dir = opendir("/proc/self/task")) {
        while (dirent* entry = readdir(dir))
            if (entry->d_name[0] != '.') ids.insert(entry->d_name);
        closedir(dir);
    }
    return ids;
}

std::size_t threadCount() { return threadIds().size(); }

// The threads of this process that have not begun to end. A joined thread may still be
// listed while the kernel ends it, a while after its joiner went on (on a busy machine for
// milliseconds); the kernel marks it exiting (flag 0x4 of its stat) as it begins. A thread
// whose stat cannot be read counts unless it is gone.
std::size_t liveThreadCount() {
    constexpr unsigned long exiting = 0x4;
    std::size_t count = 0;
    for (const std::string& id : threadIds()) {
        const std::string task = "/proc/self/task/" + id;
        std::ifstream stat(task + "/stat");
        std::string line;
        std::size_t afterName = std::string::npos;
        if (std::getline(stat, line)) afterName = line.rfind(") ");
        if (afterName == std::string::npos) {
            count += access(task.c_str(), F_OK) == 0;
            continue;
        }
        // State, parent, group, session, terminal, its group, then the flags.
        std::istringstream fields(line.substr(afterName + 2));
        std::string skipped;
        unsigned long flags = 0;
        for (int i = 0; i < 6; ++i) fields >> skipped;
        count += !(fields >> flags) || (flags & exiting) == 0;
    }
    return count;
}

// The threads of this process once those that are ending have ended (a build's thread may
// still be on its way out when its builder goes): the count when it holds for 50 ms.
std::size_t settledThreadCount() {
    std::size_t count = threadCount();
    auto began = std::chrono::steady_clock::now(), since = began;
    while (secondsSince(since) < 0.05 && secondsSince(began) < buildPatienceSeconds) {
        tmg::sleepMilliseconds(10);
        std::size_t now = threadCount();
        if (now != count) since = std::chrono::steady_clock::now();
        count = now;
    }
    return count;
}

// Waits, at most the patience, until no more threads run than count: the builds left behind
// have ended, and whatever they were to say is out. False when one still runs.
bool threadsBackTo(std::size_t count) {
    auto began = std::chrono::steady_clock::now();
    while (threadCount() > count) {
        if (secondsSince(began) > buildPatienceSeconds) return false;
        tmg::sleepMilliseconds(1);
    }
    return true;
}

// How long a staged build of these rules takes from its start: to its first stage, and
// whole, and the processor time it took to its first stage. Zero when it did not go
// through both stages.
struct BuildTimes {
    double firstStage = 0, whole = 0;
    double firstStageProcessor = 0;
};

BuildTimes timeStagedBuild(const FilterSettings& settings) {
    BuildTimes times;
    std::size_t threads = settledThreadCount();
    testsupport::CaptureStdout capture;
    PrefilterBuilder builder;
    auto began = std::chrono::steady_clock::now();
    const double processorBegan = processorSeconds();
    startStaged(builder, settings);
    if (!firstStageOf(builder, settings.generation())) return BuildTimes{};
    times.firstStage = secondsSince(began);
    times.firstStageProcessor = processorSeconds() - processorBegan;
    if (!builder.waitForTests(settings.generation(), buildPatienceMs)) return BuildTimes{};
    times.whole = secondsSince(began);
    // Its thread is not to count in the next test's threads.
    if (!threadsBackTo(threads)) return BuildTimes{};
    return times;
}

// Moments at which a staged build is cut short.
enum class Moment {
    RightAway,          // it reads the rules
    LateInFirstStage,   // the first stage's compiles are all begun, some done
    FirstStageServing,  // it begins the final stage
    LateInFinalStage,   // the final stage's compiles are all begun, some done
};

const char* nameOf(Moment moment) {
    switch (moment) {
    case Moment::RightAway: return "right after the start";
    case Moment::LateInFirstStage: return "late in the first stage";
    case Moment::FirstStageServing: return "once the first stage serves";
    case Moment::LateInFinalStage: return "late in the final stage";
    }
    return "";
}

// Waits until the build of generation started at began reaches moment, as times tell; false
// when its first stage did not show.
bool reach(const PrefilterBuilder& builder, std::uint64_t generation, Moment moment, const BuildTimes& times,
           std::chrono::steady_clock::time_point began) {
    auto sleepFor = [](double seconds) {
        if (seconds > 0) tmg::sleepMilliseconds(static_cast<unsigned>(seconds * 1000));
    };
    switch (moment) {
    case Moment::RightAway: return true;
    case Moment::LateInFirstStage: sleepFor(0.75 * times.firstStage - secondsSince(began)); return true;
    case Moment::FirstStageServing: return firstStageOf(builder, generation) != nullptr;
    case Moment::LateInFinalStage:
        if (!firstStageOf(builder, generation)) return false;
        sleepFor(0.7 * (times.whole - times.firstStage));
        return true;
    }
    return false;
}

// An old build must not be published at any stage once new rules are in: neither while it
// reads, nor while it compiles its first stage, nor once that serves.
TEST(PrefilterBuilderThread, NewRulesDropAStagedBuildAtEveryStage) {
    if (!timingsMean) GTEST_SKIP() << "its moments are taken from a build's timings, which say nothing under a sanitizer";
    const StagedRules oldRules = stagedRules(21, 50);
    // Built whole at once, and soon: the watch below is of the old build.
    const std::string newRules = "HEADERS\n  Money /^Subject:.*free money/i\nBODY\n  Pills /viagra|cialis/i\n";
    FilterSettings reference;
    readRules(reference, oldRules.text);
    const BuildTimes times = timeStagedBuild(reference);
    ASSERT_GT(times.whole, 0);
    // Not late in the final stage: the old final one may be out by then, rightly.
    for (Moment moment : {Moment::RightAway, Moment::LateInFirstStage, Moment::FirstStageServing}) {
        SCOPED_TRACE(nameOf(moment));
        FilterSettings settings;
        readRules(settings, oldRules.text);
        const std::uint64_t old = settings.generation();
        const std::size_t threads = settledThreadCount();
        testsupport::CaptureStdout capture;
        PrefilterBuilder builder;
        startStaged(builder, settings);
        ASSERT_TRUE(reach(builder, old, moment, times, std::chrono::steady_clock::now()));
        readRules(settings, newRules);
        auto began = std::chrono::steady_clock::now();
        builder.start(settings);
        EXPECT_FALSE(builder.ready(old));

        // Watch until the new build is final and both builds have ended.
        std::shared_ptr<const cgp::RulesPrefilter> last;
        bool oldPublished = false;
        while (secondsSince(began) < buildPatienceSeconds) {
            if (builder.ready(old)) oldPublished = true;
            std::shared_ptr<const cgp::RulesPrefilter> current = builder.ready(settings.generation());
            if (current && current->final) {
                if (!last) {
                    last = current;
                } else if (current != last) {
                    ADD_FAILURE() << "the final prefilter was replaced";
                    break;
                }
            }
            if (last && threadCount() <= threads) break;
            tmg::sleepMilliseconds(1);
        }
        std::string out = capture.text();
        capture.stop();
        ASSERT_TRUE(last) << out;
        EXPECT_LE(threadCount(), threads) << "a build still runs";
        EXPECT_FALSE(oldPublished);
        EXPECT_EQ(last->bodyLines->ruleCount(), settings.bodyRules().size() + settings.fullRules().size());
        // Late in its first stage, the old build may have got there already.
        std::string oldFirst = stageLine("first stage", oldRules.ruleCount);
        std::string expected = (moment == Moment::RightAway             ? ""
                                : moment == Moment::LateInFirstStage ? "(?:" + oldFirst + ")?"
                                                                     : oldFirst) +
                               stageLine("ready", 2);
        EXPECT_TRUE(boost::regex_match(out, boost::regex(expected))) << out;
    }
}

// What a builder's destruction took and what was said around it: the seconds until the
// destructor returned and until the build's threads were gone, the output before and after.
struct Destruction {
    double destroyed = 0, ended = 0;
    std::string before, after;
};

Destruction destroy(std::unique_ptr<PrefilterBuilder>& builder, testsupport::CaptureStdout& capture,
                    std::size_t threads) {
    Destruction gone;
    gone.before = capture.text();
    auto destroying = std::chrono::steady_clock::now();
    builder.reset();
    gone.destroyed = secondsSince(destroying);
    bool back = threadsBackTo(threads);
    gone.ended = secondsSince(destroying);
    gone.after = capture.text();
    capture.stop();
    EXPECT_TRUE(back) << "the build runs on";
    return gone;
}

// A builder that goes while a staged build runs returns at once, and nothing of that build
// is published or said after, whatever it was doing.
TEST(PrefilterBuilderThread, StagedBuildEndsQuietlyAndAtOnceWhenDestroyed) {
    if (!timingsMean) GTEST_SKIP() << "its moments are taken from a build's timings, which say nothing under a sanitizer";
    StagedRules rules = stagedRules(31, 50);
    FilterSettings settings;
    readRules(settings, rules.text);
    const BuildTimes times = timeStagedBuild(settings);
    ASSERT_GT(times.whole, 0);
    for (Moment moment :
         {Moment::RightAway, Moment::LateInFirstStage, Moment::FirstStageServing, Moment::LateInFinalStage}) {
        SCOPED_TRACE(nameOf(moment));
        testsupport::CaptureStdout capture;
        const std::size_t threads = settledThreadCount();
        auto builder = std::make_unique<PrefilterBuilder>();
        auto began = std::chrono::steady_clock::now();
        const double processorBegan = processorSeconds();
        startStaged(*builder, settings);
        ASSERT_TRUE(reach(*builder, settings.generation(), moment, times, began));
        Destruction gone = destroy(builder, capture, threads);
        const double processorUsed = processorSeconds() - processorBegan;
        EXPECT_EQ(gone.after, gone.before);
        if (moment == Moment::RightAway) {
            EXPECT_EQ(gone.before, "");
        }
        if (timingsMean) {
            EXPECT_LT(gone.destroyed, 0.25);
            // Stopped while it reads, it compiles nothing: it takes less processor time
            // than the build took to its first stage (the clock would count the waits a
            // busy machine imposes).
            if (moment == Moment::RightAway) {
                EXPECT_LT(processorUsed, times.firstStageProcessor);
            }
        }
    }
}

// The final stage's compile of many cheap rules in one database takes a while; the builder
// goes without waiting for it, and its result is never seen.
TEST(PrefilterBuilderThread, DestroyedDuringALongCompileReturnsAtOnceAndStaysQuiet) {
    if (!timingsMean) GTEST_SKIP() << "under a sanitizer, on a busy machine, its timings say nothing";
    const std::size_t threads = settledThreadCount();
    StagedBuild build(51, 200);
    ASSERT_TRUE(firstStageOf(*build.builder, build.settings.generation()));
    tmg::sleepMilliseconds(50);  // the final stage's compiles are under way
    Destruction gone = destroy(build.builder, build.capture, threads);
    // Well under a second, and well before the compile it left running ends.
    EXPECT_LT(gone.destroyed, 0.25);
    EXPECT_LT(gone.destroyed, gone.ended / 2) << "the compile ended " << gone.ended << " s after";
    EXPECT_EQ(gone.after, gone.before);
}

// Two stages only when they pay: for a costly rule, or for cheap rules of more than two
// parts; otherwise one compile and one line.
TEST(PrefilterBuilderThread, OnlyCostlyRulesOrSeveralPartsMakeAFirstStage) {
    std::string cheapRules = "BODY\n";
    for (int i = 0; i < 60; ++i) cheapRules += "  C" + std::to_string(i) + " /cheap" + std::to_string(i) + "_[a-z]+/\n";
    std::mt19937 random(41);
    std::vector<std::string> words;
    const std::string costlyRules =
        "HEADERS\n  H /^Subject: hello/\nBODY\n  Long /" + alternation(random, words) + "/\n  Short /short/\n";
    const struct {
        const char* name;
        const std::string& rules;
        std::size_t partBytes;
        std::size_t ruleCount;
        bool staged;
    } cases[] = {
        {"cheap rules of one part", cheapRules, 48 * 1024, 60, false},
        {"cheap rules of many parts", cheapRules, 256, 60, true},
        {"one costly rule among cheap ones", costlyRules, 48 * 1024, 3, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FilterSettings settings;
        readRules(settings, c.rules);
        testsupport::CaptureStdout capture;
        {
            PrefilterBuilder builder;
            builder.setPartBytesForTests(c.partBytes);
            builder.start(settings);
            ASSERT_TRUE(builder.waitForTests(settings.generation(), buildPatienceMs));
        }
        std::string out = capture.text();
        capture.stop();
        std::string expected =
            (c.staged ? stageLine("first stage", c.ruleCount) : "") + stageLine("ready", c.ruleCount);
        EXPECT_TRUE(boost::regex_match(out, boost::regex(expected))) << out;
    }
}

// The staged rules with one cheap body rule's pattern changed in place (to one that
// matches "bk7_zz5"); the text unchanged when the rule is not there.
std::string withBk7Edited(std::string text) {
    const std::string rule = "Bk7 /\\bbk7_[0-9]{1,3}(?:ab|cd)/";
    std::size_t at = text.find(rule);
    if (at != std::string::npos) text.replace(at, rule.size(), "Bk7 /\\bbk7_zz[0-9]+/");
    return text;
}

// Rules read anew at a rate no build can keep up with: one build runs at a time, the
// threads of the builds are never more than the build thread and partThreads() compiles
// (those left running by dropped builds included), and the newest rules' prefilter comes.
TEST(PrefilterBuilderThread, RapidReloadsRunOneBuildOnAtMostPartThreadsCompiles) {
    const StagedRules rules = stagedRules(61, 50);
    const std::string edited = withBk7Edited(rules.text);
    ASSERT_NE(edited, rules.text);
    const std::string others = stagedRules(62, 50).text;
    // A sanitizer starts a thread of its own with the first thread of the process.
    std::thread([] {}).join();
    const std::size_t threads = settledThreadCount();
    const std::size_t limit = threads + 1 + PrefilterBuilder::partThreads();
    testsupport::CaptureStdout capture;
    std::size_t peak = 0;
    {
        PrefilterBuilder builder;
        FilterSettings settings;
        auto began = std::chrono::steady_clock::now();
        // Two sets that differ in one rule, and now and then one that has nothing in common,
        // at intervals from far shorter than a build to about one first stage.
        int reloads = 0;
        for (; secondsSince(began) < 4; ++reloads) {
            readRules(settings, reloads % 7 == 6 ? others : reloads % 2 ? edited : rules.text);
            startStaged(builder, settings);
            auto interval = std::chrono::steady_clock::now();
            int wait = (reloads % 5) * 25;
            do {
                peak = std::max(peak, liveThreadCount());
                tmg::sleepMilliseconds(1);
            } while (secondsSince(interval) * 1000 < wait);
        }
        auto last = std::chrono::steady_clock::now();
        bool ready = false;
        while (!ready && secondsSince(last) < 120) {
            peak = std::max(peak, liveThreadCount());
            ready = builder.waitForTests(settings.generation(), 1);
        }
        ASSERT_TRUE(ready) << "the newest rules' prefilter did not come after " << reloads << " reloads";
        std::shared_ptr<const cgp::RulesPrefilter> built = builder.ready(settings.generation());
        EXPECT_EQ(built->bodyLines->ruleCount(), settings.bodyRules().size() + settings.fullRules().size());
        // Nothing is left to build: the threads go.
        EXPECT_TRUE(threadsBackTo(threads)) << threadCount() << " threads, " << threads << " before";
    }
    capture.stop();
    EXPECT_LE(peak, limit) << "threads beside the " << threads << " of the test: at most the build thread and "
                           << PrefilterBuilder::partThreads() << " compiles";
}

// The staged rules with a rule line put before that of the rule named before; the text
// unchanged when there is no such rule.
std::string withRuleInserted(std::string text, const std::string& before, const std::string& line) {
    std::size_t at = text.find("\n  " + before + " /");
    if (at != std::string::npos) text.insert(at + 1, line + "\n");
    return text;
}

// The staged rules without the named rule's line; the text unchanged when it is not there.
std::string withRuleRemoved(std::string text, const std::string& name) {
    std::size_t at = text.find("\n  " + name + " /");
    if (at != std::string::npos) text.erase(at + 1, text.find('\n', at + 1) - at);
    return text;
}

// A build after a reload compiles only the parts whose expressions it does not have yet:
// none for the same rules read again, the parts around the rule for a one-rule edit, and
// likewise for a rule added or removed in the middle, which renumbers the rules after it
// (their parts do not change for that). What it serves answers as the bare scan at every
// stage, the renumbered rules' answers included.
TEST(PrefilterBuilderThread, ReloadsCompileOnlyThePartsThatChanged) {
    StagedBuild build(71, 150);
    const StagedRules& rules = build.rules;
    FilterSettings& settings = build.settings;
    testsupport::CaptureStdout& capture = build.capture;
    PrefilterBuilder& builder = *build.builder;
    const std::string edited = withBk7Edited(rules.text);
    const std::string inserted = withRuleInserted(edited, "Bk150", "  BkNew /\\bbknew_[0-9]+x/");
    const std::string removed = withRuleRemoved(inserted, "Bk100");
    const std::string headerFirst = withRuleInserted(removed, "Hk0", "  HkNew /^Subject:.*hknew_[0-9]+/i");
    for (const std::string* text : {&edited, &inserted, &headerFirst}) ASSERT_NE(*text, rules.text);
    ASSERT_NE(removed, inserted);
    ASSERT_TRUE(builder.waitForTests(settings.generation(), 120000));
    const std::size_t fresh = builder.compilesBegunForTests();
    std::string said = capture.text();

    // A first-stage part is a run of cheap rules whose ends the rules' content chooses, so
    // a rule edited, added or removed changes its run, which may split in two or join the
    // next one, and the run after that at most; the costly rules' parts stay, and the cheap
    // rules of that side make one part of the final stage, compiled again. A header rule
    // inserted before all others renumbers the header lines' full rules too, and likewise
    // changes only the runs beside it.
    const struct {
        const char* name;
        const std::string& text;
        std::size_t ruleCount;
        std::size_t compiles;  // at most
        bool staged;
    } cases[] = {
        {"the same rules read again", rules.text, rules.ruleCount, 0, false},
        {"one body rule edited", edited, rules.ruleCount, 3, true},
        {"a body rule inserted in the middle", inserted, rules.ruleCount + 1, 4, true},
        {"a body rule removed from the middle", removed, rules.ruleCount, 4, true},
        {"a header rule inserted before all others", headerFirst, rules.ruleCount + 1, 4, true},
    };
    for (const auto& c : cases) ASSERT_GT(fresh, 2 * c.compiles) << "a fresh build compiles too few parts to tell";
    // Rules before and after the rules inserted and removed, with their new numbers: a
    // prefilter that named a rule by its old number would leave their matches out.
    const std::string costly = rules.words.at("CostlyBodyB")[10] + " and " + rules.words.at("CostlyFull")[20];
    const std::string messages[] = {
        "Subject: hk3_abx\n\nsee bk7_zz5 here\n",
        "Subject: none\n\nsee bk7_12cd and bk8_12cd\n",
        "Subject: hknew_4 and hk49_abx\nX-Note: fk7_qqz\n\nsee bknew_12x, bk99_1ab, bk100_1ab and bk101_1ab\n",
        "Subject: hk0_zzx\n\nbk149_7cd bk150_7cd bk299_7cd fk0_qz fk149_qz\n" + costly + "\n",
        "Subject: " + costly + "\n\nbk151_7ab and " + rules.words.at("CostlyBodyA")[30] + "\n",
    };
    cgp::MessageScanner scanner;
    unsigned int request = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::size_t before = builder.compilesBegunForTests();
        readRules(settings, c.text);
        builder.start(settings);
        std::shared_ptr<const cgp::RulesPrefilter> first = firstStageOf(builder, settings.generation());
        EXPECT_EQ(first != nullptr, c.staged);
        ASSERT_TRUE(builder.waitForTests(settings.generation(), 120000));
        std::shared_ptr<const cgp::RulesPrefilter> last = builder.ready(settings.generation());
        EXPECT_LE(builder.compilesBegunForTests() - before, c.compiles) << "of " << fresh << " in a fresh build";
        std::string out = capture.text().substr(said.size());
        said += out;
        std::string expected =
            (c.staged ? stageLine("first stage", c.ruleCount) : "") + stageLine("ready", c.ruleCount);
        EXPECT_TRUE(boost::regex_match(out, boost::regex(expected))) << out;

        for (const std::string& message : messages) {
            SCOPED_TRACE(message);
            std::istringstream bareIn(message);
            const std::string bare = joined(scanner.scan(bareIn, settings, true, ++request, nullptr).lines);
            EXPECT_NE(bare, "") << "the message is to match rules";
            for (const cgp::RulesPrefilter* prefilter : {first.get(), last.get()}) {
                if (!prefilter) continue;
                std::istringstream in(message);
                EXPECT_EQ(joined(scanner.scan(in, settings, true, ++request, prefilter).lines), bare)
                    << (prefilter->final ? "final" : "first stage");
            }
        }
    }
    // The edited rule's answers, as its text says.
    std::istringstream in("Subject: none\n\nsee bk7_zz5, bk7_12cd and bknew_3x\n");
    EXPECT_EQ(joined(scanner.scan(in, settings, true, ++request, builder.ready(settings.generation()).get()).lines),
              "X-Regex-Match: Bk7\nX-Regex-Match: BkNew\n");
    capture.stop();
}

}  // namespace
