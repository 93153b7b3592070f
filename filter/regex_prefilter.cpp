#include "filter/regex_prefilter.h"

#include <algorithm>

#include <hs/hs.h>

#include "filter/prefilter_pattern.h"

namespace cgp {

namespace {

// Longer superset patterns are refused by the engine or take long to compile; such rules
// are simply always run.
constexpr std::size_t maxExpressionLength = 32 * 1024;

int onMatch(unsigned int id, unsigned long long, unsigned long long, unsigned int, void* context) {
    auto* marks = static_cast<std::pair<std::uint32_t*, std::uint32_t>*>(context);
    marks->first[id] = marks->second;
    return 0;
}

}  // namespace

std::unique_ptr<RegexPrefilter::Reading> RegexPrefilter::read(const std::vector<PrefilterRule>& rules,
                                                              const std::atomic<bool>* stop) {
    auto reading = std::make_unique<Reading>();
    reading->always.assign(rules.size(), 1);
    prefilter::ByteSetOracle oracle;
    for (std::size_t i = 0; i < rules.size(); ++i) {
        if (stop && stop->load(std::memory_order_relaxed)) return nullptr;
        prefilter::PatternNode tree;
        if (!prefilter::readPattern(rules[i].pattern, rules[i].ignoreCase, rules[i].markCount, oracle, tree)) continue;
        if (prefilter::matchesEmpty(tree)) continue;
        std::string expression = prefilter::emitPattern(tree);
        if (expression.size() > maxExpressionLength) continue;
        reading->expressions.push_back(std::move(expression));
        reading->ruleOf.push_back(static_cast<unsigned int>(i));
    }
    return reading;
}

std::unique_ptr<RegexPrefilter> RegexPrefilter::compile(Reading reading, const std::atomic<bool>* stop) {
    std::unique_ptr<RegexPrefilter> prefilter(new RegexPrefilter);
    prefilter->always = std::move(reading.always);
    std::vector<std::string>& expressions = reading.expressions;
    std::vector<unsigned int>& ruleOf = reading.ruleOf;
    // An expression the engine refuses is dropped (its rule stays always run) and the rest
    // compiled again.
    while (!expressions.empty()) {
        if (stop && stop->load(std::memory_order_relaxed)) return nullptr;
        std::vector<const char*> texts;
        std::vector<unsigned int> flags(expressions.size(), HS_FLAG_PREFILTER | HS_FLAG_SINGLEMATCH);
        for (const std::string& expression : expressions) texts.push_back(expression.c_str());
        hs_database_t* database = nullptr;
        hs_compile_error_t* error = nullptr;
        hs_error_t status = hs_compile_multi(texts.data(), flags.data(), ruleOf.data(),
                                             static_cast<unsigned int>(texts.size()), HS_MODE_BLOCK, nullptr,
                                             &database, &error);
        if (status == HS_SUCCESS) {
            prefilter->database = database;
            for (unsigned int rule : ruleOf) prefilter->always[rule] = 0;
            break;
        }
        int bad = error ? error->expression : -1;
        hs_free_compile_error(error);
        if (bad < 0 || static_cast<std::size_t>(bad) >= expressions.size()) break;
        expressions.erase(expressions.begin() + bad);
        ruleOf.erase(ruleOf.begin() + bad);
    }
    return prefilter;
}

std::unique_ptr<RegexPrefilter> RegexPrefilter::build(const std::vector<PrefilterRule>& rules,
                                                      const std::atomic<bool>* stop) {
    std::unique_ptr<Reading> reading = read(rules, stop);
    if (!reading) return nullptr;
    return compile(std::move(*reading), stop);
}

RegexPrefilter::~RegexPrefilter() { hs_free_database(database); }

RegexPrefilter::Scratch::~Scratch() { hs_free_scratch(space); }

bool RegexPrefilter::prepare(Scratch& scratch) const {
    if (scratch.seen.size() < always.size()) scratch.seen.resize(always.size(), scratch.stamp);
    if (!database) return true;
    return hs_alloc_scratch(database, &scratch.space) == HS_SUCCESS;
}

bool RegexPrefilter::scan(const char* begin, const char* end, Scratch& scratch) const {
    scratch.all = false;
    if (++scratch.stamp == 0) {
        // After 2^32 lines the stamps wrap: forget every old one.
        std::fill(scratch.seen.begin(), scratch.seen.end(), 0);
        scratch.stamp = 1;
    }
    if (!database || begin == end) return true;
    std::pair<std::uint32_t*, std::uint32_t> marks(scratch.seen.data(), scratch.stamp);
    hs_error_t status = hs_scan(database, begin, static_cast<unsigned int>(end - begin), 0, scratch.space,
                                onMatch, &marks);
    if (status != HS_SUCCESS) {
        scratch.all = true;
        return false;
    }
    return true;
}

std::size_t RegexPrefilter::alwaysRunCount() const {
    return static_cast<std::size_t>(std::count(always.begin(), always.end(), 1));
}

}  // namespace cgp
