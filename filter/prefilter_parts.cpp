#include "filter/prefilter_parts_internal.h"

#include <algorithm>
#include <cstdint>

namespace cgp {
namespace PrefilterParts {

namespace {

// The expressions of reading, cheap and costly.
struct Sorted {
    std::vector<std::size_t> cheap, costly;
    std::size_t cheapBytes = 0, costlyBytes = 0;
};

Sorted sortByCost(const RegexPrefilter::Reading& reading) {
    std::vector<std::size_t> ruleBytes(reading.always.size(), 0);
    for (std::size_t i = 0; i < reading.expressions.size(); ++i)
        ruleBytes[reading.ruleOf[i]] += reading.expressions[i].size();
    Sorted sorted;
    for (std::size_t i = 0; i < reading.expressions.size(); ++i) {
        bool costly = ruleBytes[reading.ruleOf[i]] > costlyRuleBytes;
        (costly ? sorted.costly : sorted.cheap).push_back(i);
        (costly ? sorted.costlyBytes : sorted.cheapBytes) += reading.expressions[i].size();
    }
    return sorted;
}

void appendNumber(std::string& key, std::uint32_t number) {
    for (int shift = 0; shift < 32; shift += 8) key.push_back(static_cast<char>((number >> shift) & 0xff));
}

Task taskOf(const RegexPrefilter::Reading& reading, const std::vector<std::size_t>& expressions, bool header) {
    Task task;
    task.header = header;
    auto piece = std::make_shared<RegexPrefilter::Reading>();
    for (std::size_t index : expressions) {
        const std::string& text = reading.expressions[index];
        if (task.rules.empty() || task.rules.back() != reading.ruleOf[index]) task.rules.push_back(reading.ruleOf[index]);
        auto local = static_cast<std::uint32_t>(task.rules.size() - 1);
        appendNumber(task.key, local);
        appendNumber(task.key, static_cast<std::uint32_t>(text.size()));
        task.key += text;
        task.weight += text.size();
        piece->expressions.push_back(text);
        piece->ruleOf.push_back(local);
    }
    piece->always.assign(task.rules.size(), 1);
    task.reading = std::move(piece);
    return task;
}

void addTasks(std::vector<Task>& tasks, const RegexPrefilter::Reading& reading,
              const std::vector<std::size_t>& expressions, std::size_t partBytes, bool header) {
    if (expressions.empty()) return;
    for (const std::vector<std::size_t>& group : cut(reading, expressions, partBytes))
        tasks.push_back(taskOf(reading, group, header));
}

// The expressions of one rule among those given to cut(): [from, to) of them.
struct RuleSpan {
    std::size_t from = 0, to = 0;
    std::size_t bytes = 0;
    std::uint64_t hash = 14695981039346656037ull;  // FNV-1a over its expressions
};

std::uint64_t mixed(std::uint64_t x) {
    // FNV's low bits are weak; spread them over the word.
    x ^= x >> 30;
    x *= 0xbf58476d1ce4e5b9ull;
    x ^= x >> 27;
    x *= 0x94d049bb133111ebull;
    return x ^ (x >> 31);
}

// A run ends after the rule with a chance of its bytes in partBytes, so that runs hold
// about partBytes whatever the rules' sizes.
bool endsRun(const RuleSpan& rule, std::size_t partBytes) {
    std::uint64_t threshold = rule.bytes >= partBytes ? std::uint64_t{1} << 32
                                                      : (std::uint64_t{rule.bytes} << 32) / partBytes;
    return (mixed(rule.hash) >> 32) < threshold;
}

}  // namespace

std::vector<std::vector<std::size_t>> cut(const RegexPrefilter::Reading& reading,
                                          const std::vector<std::size_t>& expressions, std::size_t partBytes) {
    partBytes = std::max<std::size_t>(1, partBytes);
    std::vector<RuleSpan> rules;
    for (std::size_t i = 0; i < expressions.size(); ++i) {
        if (i == 0 || reading.ruleOf[expressions[i]] != reading.ruleOf[expressions[i - 1]]) {
            rules.emplace_back();
            rules.back().from = i;
        }
        RuleSpan& rule = rules.back();
        const std::string& text = reading.expressions[expressions[i]];
        rule.to = i + 1;
        rule.bytes += text.size();
        for (char c : text) rule.hash = (rule.hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
        rule.hash = (rule.hash ^ 0x100) * 1099511628211ull;  // between expressions
    }
    // Runs of rules, as [first, last) rules with their bytes: where the content says, then
    // the small ones joined to the next.
    struct Run {
        std::size_t first = 0, last = 0, bytes = 0;
    };
    std::vector<Run> runs;
    Run run;
    for (std::size_t r = 0; r < rules.size(); ++r) {
        run.last = r + 1;
        run.bytes += rules[r].bytes;
        if ((endsRun(rules[r], partBytes) && run.bytes >= partBytes / 4) || r + 1 == rules.size()) {
            runs.push_back(run);
            run = Run{r + 1, r + 1, 0};
        }
    }
    std::vector<std::vector<std::size_t>> groups;
    for (const Run& whole : runs) {
        // A long run compiles slowly; it is cut into pieces of equal bytes, which changes
        // only its own parts when a rule in it changes.
        std::size_t pieces = (whole.bytes + 2 * partBytes - 1) / (2 * partBytes);
        pieces = std::max<std::size_t>(1, pieces);
        std::size_t done = 0, piece = 0;
        for (std::size_t r = whole.first; r < whole.last; ++r) {
            if (r == whole.first || done * pieces >= (piece + 1) * whole.bytes) {
                if (r != whole.first) ++piece;
                groups.emplace_back();
            }
            for (std::size_t i = rules[r].from; i < rules[r].to; ++i) groups.back().push_back(expressions[i]);
            done += rules[r].bytes;
        }
    }
    return groups;
}

Plan plan(const RegexPrefilter::Reading& header, const RegexPrefilter::Reading& body, std::size_t partBytes) {
    partBytes = std::max<std::size_t>(1, partBytes);
    Sorted headerSorted = sortByCost(header), bodySorted = sortByCost(body);
    std::size_t headerParts = (headerSorted.cheapBytes + partBytes - 1) / partBytes;
    std::size_t bodyParts = (bodySorted.cheapBytes + partBytes - 1) / partBytes;
    bool costly = !headerSorted.costly.empty() || !bodySorted.costly.empty();
    Plan plan;
    if (costly || headerParts + bodyParts > 2) {
        addTasks(plan.firstStage, header, headerSorted.cheap, partBytes, true);
        addTasks(plan.firstStage, body, bodySorted.cheap, partBytes, false);
    }
    if (!headerSorted.cheap.empty()) plan.finalStage.push_back(taskOf(header, headerSorted.cheap, true));
    if (!bodySorted.cheap.empty()) plan.finalStage.push_back(taskOf(body, bodySorted.cheap, false));
    // Fewer, larger parts of the costly rules: each part scanned is a pass over the line.
    // They are few and of very different sizes, so they are cut into runs of equal size,
    // like with like; an edit of a cheap rule leaves them as they were.
    std::size_t costlyPartBytes = 3 * partBytes;
    for (const auto& side : {std::make_pair(&header, &headerSorted), std::make_pair(&body, &bodySorted)}) {
        if (side.second->costly.empty()) continue;
        std::size_t count = (side.second->costlyBytes + costlyPartBytes - 1) / costlyPartBytes;
        for (const std::vector<std::size_t>& group : RegexPrefilter::split(*side.first, side.second->costly, count))
            plan.finalStage.push_back(taskOf(*side.first, group, side.first == &header));
    }
    return plan;
}

}  // namespace PrefilterParts
}  // namespace cgp
