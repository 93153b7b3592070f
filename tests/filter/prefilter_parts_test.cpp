#include "filter/prefilter_parts_internal.h"

#include <algorithm>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

using cgp::RegexPrefilter;
namespace PrefilterParts = cgp::PrefilterParts;

// Rules of one to three expressions of 10 to 300 bytes, each rule's text its own.
std::vector<std::vector<std::string>> randomRules(unsigned seed, std::size_t count) {
    std::mt19937 random(seed);
    std::vector<std::vector<std::string>> rules;
    for (std::size_t r = 0; r < count; ++r) {
        std::vector<std::string> expressions(1 + random() % 3);
        for (std::string& text : expressions) {
            text = "r" + std::to_string(seed) + "_" + std::to_string(r) + "_";
            for (std::size_t k = 10 + random() % 290; text.size() < k;) text += static_cast<char>('a' + random() % 26);
        }
        rules.push_back(expressions);
    }
    return rules;
}

RegexPrefilter::Reading readingOf(const std::vector<std::vector<std::string>>& rules) {
    RegexPrefilter::Reading reading;
    reading.always.assign(rules.size(), 1);
    for (std::size_t r = 0; r < rules.size(); ++r)
        for (const std::string& text : rules[r]) {
            reading.expressions.push_back(text);
            reading.ruleOf.push_back(static_cast<unsigned int>(r));
        }
    return reading;
}

// The groups of cut() over every expression, each as the texts it holds.
std::set<std::vector<std::string>> groupsOf(const std::vector<std::vector<std::string>>& rules, std::size_t partBytes) {
    RegexPrefilter::Reading reading = readingOf(rules);
    std::vector<std::size_t> all(reading.expressions.size());
    for (std::size_t i = 0; i < all.size(); ++i) all[i] = i;
    std::set<std::vector<std::string>> groups;
    std::vector<std::size_t> seen;
    for (const std::vector<std::size_t>& group : PrefilterParts::cut(reading, all, partBytes)) {
        EXPECT_FALSE(group.empty());
        std::size_t bytes = 0;
        std::vector<std::string> texts;
        for (std::size_t i : group) {
            bytes += reading.expressions[i].size();
            texts.push_back(reading.expressions[i]);
        }
        // Only a rule larger than that stands alone in a longer group.
        if (reading.ruleOf[group.front()] != reading.ruleOf[group.back()]) {
            EXPECT_LE(bytes, 2 * partBytes + 300 * 3);
        }
        seen.insert(seen.end(), group.begin(), group.end());
        groups.insert(texts);
    }
    // Every expression once, in order, so that each rule's stay together.
    EXPECT_EQ(seen, all);
    return groups;
}

// The runs of the first stage end where the rules' content says: a rule edited, inserted or
// removed anywhere changes the groups beside it and leaves the others as they were, their
// texts and order included (a part's key).
TEST(PrefilterParts, ARuleMovedChangesOnlyTheGroupsBesideIt) {
    constexpr std::size_t partBytes = 4096;
    const std::vector<std::vector<std::string>> rules = randomRules(5, 600);
    const std::set<std::vector<std::string>> before = groupsOf(rules, partBytes);
    ASSERT_GT(before.size(), 20u);
    std::size_t worst = 0;
    for (std::size_t at : {std::size_t{0}, std::size_t{1}, std::size_t{57}, std::size_t{300}, std::size_t{301},
                           std::size_t{598}, std::size_t{599}}) {
        for (int edit = 0; edit < 3; ++edit) {
            SCOPED_TRACE(std::to_string(at) + (edit == 0 ? " inserted" : edit == 1 ? " removed" : " edited"));
            std::vector<std::vector<std::string>> changed = rules;
            if (edit == 0) changed.insert(changed.begin() + static_cast<std::ptrdiff_t>(at), {"new_rule_text_xyz"});
            if (edit == 1) changed.erase(changed.begin() + static_cast<std::ptrdiff_t>(at));
            if (edit == 2) changed[at][0] += "_edited";
            std::set<std::vector<std::string>> after = groupsOf(changed, partBytes);
            std::size_t fresh = 0;
            for (const auto& group : after) fresh += before.count(group) == 0;
            // The group that held the place, split in two or joined with the next, and at
            // most the one after that.
            EXPECT_LE(fresh, 3u);
            worst = std::max(worst, fresh);
        }
    }
    EXPECT_GE(worst, 1u);
}

// Small and odd sizes still give groups that hold every rule whole: one byte per part, a
// rule larger than a part, no expressions at all.
TEST(PrefilterParts, CutHoldsEveryRuleWholeAtAnySize) {
    const std::vector<std::vector<std::string>> rules = randomRules(9, 40);
    for (std::size_t partBytes : {std::size_t{0}, std::size_t{1}, std::size_t{100}, std::size_t{1} << 20}) {
        SCOPED_TRACE(partBytes);
        std::set<std::vector<std::string>> groups = groupsOf(rules, partBytes);
        if (partBytes <= 1) {
            EXPECT_EQ(groups.size(), rules.size());
        }
        if (partBytes == std::size_t{1} << 20) {
            EXPECT_EQ(groups.size(), 1u);
        }
    }
    RegexPrefilter::Reading empty;
    EXPECT_TRUE(PrefilterParts::cut(empty, {}, 4096).empty());
}

}  // namespace
