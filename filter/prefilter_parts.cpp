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
        appendNumber(task.key, reading.ruleOf[index]);
        appendNumber(task.key, static_cast<std::uint32_t>(text.size()));
        task.key += text;
        task.weight += text.size();
        piece->expressions.push_back(text);
        piece->ruleOf.push_back(reading.ruleOf[index]);
    }
    task.reading = std::move(piece);
    return task;
}

void addTasks(std::vector<Task>& tasks, const RegexPrefilter::Reading& reading,
              const std::vector<std::size_t>& expressions, std::size_t partBytes, bool header) {
    if (expressions.empty()) return;
    for (const std::vector<std::size_t>& group : cut(reading, expressions, partBytes))
        tasks.push_back(taskOf(reading, group, header));
}

}  // namespace

std::size_t rulesPerPart(std::size_t rules, std::size_t bytes, std::size_t partBytes) {
    // About partBytes per part, rounded up to 1, 2, 3, 4, 6, 8, 12, 16, ... rules: a rule
    // edited moves the bytes by far less than a step.
    double per = bytes ? static_cast<double>(rules) * static_cast<double>(partBytes) / static_cast<double>(bytes) : 1;
    std::size_t step = 1;
    while (static_cast<double>(step) < per && static_cast<double>(step * 3 / 2) < per) step *= 2;
    return static_cast<double>(step) >= per ? step : step * 3 / 2;
}

std::vector<std::vector<std::size_t>> cut(const RegexPrefilter::Reading& reading,
                                          const std::vector<std::size_t>& expressions, std::size_t partBytes) {
    std::size_t bytes = 0, rules = 0;
    for (std::size_t i = 0; i < expressions.size(); ++i) {
        bytes += reading.expressions[expressions[i]].size();
        rules += i == 0 || reading.ruleOf[expressions[i]] != reading.ruleOf[expressions[i - 1]];
    }
    std::size_t per = rulesPerPart(rules, bytes, std::max<std::size_t>(1, partBytes));
    std::vector<std::vector<std::size_t>> groups;
    std::size_t rule = 0;  // the position of the expression's rule among those given
    for (std::size_t i = 0; i < expressions.size(); ++i) {
        if (i > 0 && reading.ruleOf[expressions[i]] != reading.ruleOf[expressions[i - 1]]) ++rule;
        if (rule % per == 0 && (i == 0 || reading.ruleOf[expressions[i]] != reading.ruleOf[expressions[i - 1]]))
            groups.emplace_back();
        groups.back().push_back(expressions[i]);
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
    // They are few and of very different sizes, so they are balanced by size; an edit of
    // a cheap rule leaves them as they were.
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
