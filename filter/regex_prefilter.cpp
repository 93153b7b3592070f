#include "filter/regex_prefilter.h"

#include <algorithm>
#include <numeric>

#include <hs/hs.h>

#include "filter/prefilter_odds_internal.h"
#include "filter/prefilter_pattern.h"

namespace cgp {

namespace {

// Rules estimated to match at least this share of ordinary lines are always run.
constexpr double broadRuleShare = 0.5;

struct Marks {
    std::uint32_t* seen;
    std::uint32_t stamp;
    std::vector<std::uint32_t>* named;
    const std::uint32_t* rules;  // the part's: its ids as the prefilter numbers them
};

// A rule that is one long node repeated at least twice: each match holds as many copies of
// that node's core, one after the other with any text between, and an expression of those
// copies names far fewer lines than the core alone, which names every line with one copy.
// The node when the rule is such a rule (its core in part), else null.
const prefilter::PatternNode* repeatedLongNode(const prefilter::PatternNode& tree, std::size_t core,
                                               const prefilter::PatternNode*& part) {
    const prefilter::PatternNode* node = &tree;
    while (node->kind == prefilter::PatternNode::Sequence && node->children.size() == 1) node = &node->children[0];
    if (node->kind != prefilter::PatternNode::Repeat || node->min < 2) return nullptr;
    if (prefilter::emitPattern(*node).size() <= core) return nullptr;
    part = &prefilter::coreOf(node->children[0], core);
    return prefilter::matchesEmpty(*part) ? nullptr : node;
}

prefilter::PatternNode copiesOf(const prefilter::PatternNode& part, long count) {
    prefilter::PatternNode copies;
    copies.kind = prefilter::PatternNode::Sequence;
    prefilter::PatternNode gap;
    gap.kind = prefilter::PatternNode::AnyText;
    copies.children = {part};
    for (long i = 1; i < count; ++i) {
        copies.children.push_back(gap);
        copies.children.push_back(part);
    }
    return copies;
}

// As many copies of part as node repeats (up to five), spelled for the engine's caseless
// mode, whose spelling of letters is a quarter as long: a core that fits twice fits several
// times. Only for a part whose byte sets hold each letter in both cases or neither, as a
// rule that ignores case has them; empty for any other, or when no two copies fit within
// limit.
std::string foldedCopies(const prefilter::PatternNode& node, const prefilter::PatternNode& part, std::size_t limit) {
    constexpr long maxCopies = 5;
    for (long count = std::min(node.min, maxCopies); count >= 2; --count) {
        std::string text = prefilter::emitFoldedPattern(copiesOf(part, count));
        if (text.empty() || text.size() <= limit) return text;
    }
    return std::string();
}

int onMatch(unsigned int id, unsigned long long, unsigned long long, unsigned int, void* context) {
    auto* marks = static_cast<Marks*>(context);
    // Expressions of one rule share its id, and parts never share a rule, but a rule's
    // pieces may each report once.
    std::uint32_t rule = marks->rules[id];
    if (marks->seen[rule] != marks->stamp) {
        marks->seen[rule] = marks->stamp;
        marks->named->push_back(rule);
    }
    return 0;
}

}  // namespace

std::unique_ptr<RegexPrefilter::Reading> RegexPrefilter::read(const std::vector<PrefilterRule>& rules,
                                                              const std::atomic<bool>* stop, std::size_t limit,
                                                              std::size_t core) {
    auto reading = std::make_unique<Reading>();
    reading->always.assign(rules.size(), 1);
    prefilter::ByteSetOracle oracle;
    for (std::size_t i = 0; i < rules.size(); ++i) {
        if (stop && stop->load(std::memory_order_relaxed)) return nullptr;
        prefilter::PatternNode tree;
        if (!prefilter::readPattern(rules[i].pattern, rules[i].ignoreCase, rules[i].markCount, oracle, tree)) continue;
        if (prefilter::matchesEmpty(tree)) continue;
        // The engine would name such a rule on nearly every line, at a high price per line.
        if (prefilter::shareOfLinesNamed(tree) >= broadRuleShare) continue;
        const prefilter::PatternNode* part = nullptr;
        const prefilter::PatternNode* repeated = repeatedLongNode(tree, core, part);
        std::string folded = repeated ? foldedCopies(*repeated, *part, limit) : std::string();
        if (!folded.empty()) {
            reading->expressions.push_back(std::move(folded));
            reading->ruleOf.push_back(static_cast<unsigned int>(i));
            continue;
        }
        // Else two copies in the usual spelling, when they fit.
        bool twoFit = repeated && 2 * prefilter::emitPattern(*part).size() + 16 <= limit;
        prefilter::PatternNode twice = twoFit ? copiesOf(*part, 2) : prefilter::PatternNode();
        const prefilter::PatternNode& given = twoFit ? twice : prefilter::coreOf(tree, core);
        for (std::string& piece : prefilter::emitPieces(given, limit)) {
            reading->expressions.push_back(std::move(piece));
            reading->ruleOf.push_back(static_cast<unsigned int>(i));
        }
    }
    return reading;
}

std::unique_ptr<RegexPrefilter::Part> RegexPrefilter::compilePart(const Reading& reading,
                                                                  const std::vector<std::size_t>* chosen,
                                                                  const std::atomic<bool>* stop) {
    std::vector<std::size_t> indices;
    if (chosen) {
        indices = *chosen;
    } else {
        indices.resize(reading.expressions.size());
        std::iota(indices.begin(), indices.end(), std::size_t{0});
    }
    std::unique_ptr<Part> part(new Part);
    for (std::size_t index : indices)
        part->numbers = std::max<std::size_t>(part->numbers, std::size_t{reading.ruleOf[index]} + 1);
    std::vector<unsigned int> lost;
    while (!indices.empty()) {
        if (stop && stop->load(std::memory_order_relaxed)) return nullptr;
        std::vector<const char*> texts;
        std::vector<unsigned int> ids;
        for (std::size_t index : indices) {
            texts.push_back(reading.expressions[index].c_str());
            ids.push_back(reading.ruleOf[index]);
        }
        std::vector<unsigned int> flags(indices.size(), HS_FLAG_PREFILTER | HS_FLAG_SINGLEMATCH);
        hs_database_t* database = nullptr;
        hs_compile_error_t* error = nullptr;
        hs_error_t status = hs_compile_multi(texts.data(), flags.data(), ids.data(),
                                             static_cast<unsigned int>(texts.size()), HS_MODE_BLOCK, nullptr,
                                             &database, &error);
        if (status == HS_SUCCESS) {
            part->database = database;
            break;
        }
        int bad = error ? error->expression : -1;
        hs_free_compile_error(error);
        // Without an expression to blame (no memory, say) the part holds nothing.
        if (bad < 0 || static_cast<std::size_t>(bad) >= indices.size()) {
            for (std::size_t index : indices) lost.push_back(reading.ruleOf[index]);
            indices.clear();
            break;
        }
        // The rest of that rule's pieces go too: its rule is always run now.
        unsigned int rule = reading.ruleOf[indices[bad]];
        lost.push_back(rule);
        indices.erase(std::remove_if(indices.begin(), indices.end(),
                                     [&](std::size_t index) { return reading.ruleOf[index] == rule; }),
                      indices.end());
    }
    for (std::size_t index : indices) part->rules.push_back(reading.ruleOf[index]);
    std::sort(part->rules.begin(), part->rules.end());
    part->rules.erase(std::unique(part->rules.begin(), part->rules.end()), part->rules.end());
    std::sort(lost.begin(), lost.end());
    lost.erase(std::unique(lost.begin(), lost.end()), lost.end());
    part->lost = std::move(lost);
    return part;
}

std::vector<std::vector<std::size_t>> RegexPrefilter::split(const Reading& reading,
                                                             const std::vector<std::size_t>& expressions,
                                                             std::size_t count) {
    // A rule's pieces stay together, so that a part holds each of its rules whole. Rules of
    // like shape go together: the engine shares its work among them within one database
    // (rules of many counted repeats, such as letters each repeated and spaced out, cost it
    // a third less so than mixed with the rest). So the rules are ordered by counted repeats
    // per byte and cut into runs of about equal bytes.
    std::vector<std::vector<std::size_t>> ofRule(reading.always.size());
    std::vector<std::size_t> size(reading.always.size(), 0), repeats(reading.always.size(), 0);
    for (std::size_t i : expressions) {
        const std::string& text = reading.expressions[i];
        ofRule[reading.ruleOf[i]].push_back(i);
        size[reading.ruleOf[i]] += text.size();
        // Expressions spell every "{" as a byte escape but a counted repeat's.
        repeats[reading.ruleOf[i]] += static_cast<std::size_t>(std::count(text.begin(), text.end(), '{'));
    }
    std::vector<std::size_t> order;
    std::size_t total = 0;
    for (std::size_t rule = 0; rule < ofRule.size(); ++rule) {
        if (ofRule[rule].empty()) continue;
        order.push_back(rule);
        total += size[rule];
    }
    auto density = [&](std::size_t rule) { return static_cast<double>(repeats[rule]) / static_cast<double>(size[rule]); };
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return density(a) > density(b); });
    count = std::max<std::size_t>(1, std::min(count, order.size()));
    // A rule goes to the run its first byte falls in, so there are never more than count.
    std::vector<std::vector<std::size_t>> groups(count);
    std::size_t before = 0;
    for (std::size_t rule : order) {
        std::size_t target = std::min(count - 1, before * count / std::max<std::size_t>(1, total));
        groups[target].insert(groups[target].end(), ofRule[rule].begin(), ofRule[rule].end());
        before += size[rule];
    }
    for (auto& group : groups) std::sort(group.begin(), group.end());
    groups.erase(std::remove_if(groups.begin(), groups.end(), [](const auto& g) { return g.empty(); }), groups.end());
    return groups;
}

std::unique_ptr<RegexPrefilter> RegexPrefilter::assemble(const Reading& reading,
                                                         std::vector<std::shared_ptr<const Part>> parts) {
    std::vector<Placed> placed;
    for (auto& part : parts) placed.push_back(Placed{std::move(part), {}});
    return assemble(reading, std::move(placed));
}

std::unique_ptr<RegexPrefilter> RegexPrefilter::assemble(const Reading& reading, std::vector<Placed> parts) {
    std::unique_ptr<RegexPrefilter> prefilter(new RegexPrefilter);
    prefilter->always = reading.always;
    for (Placed& placed : parts) {
        if (!placed.part) continue;
        if (placed.rules.empty()) {
            placed.rules.resize(placed.part->numbers);
            std::iota(placed.rules.begin(), placed.rules.end(), std::uint32_t{0});
        }
        // The scan looks up every id the engine reports: one it could not map would read
        // past the table.
        bool fits = placed.rules.size() >= placed.part->numbers &&
                    std::all_of(placed.rules.begin(), placed.rules.end(),
                                [&](std::uint32_t rule) { return rule < prefilter->always.size(); });
        if (!fits) placed.part.reset();
    }
    for (const Placed& placed : parts) {
        if (!placed.part) continue;
        for (unsigned int rule : placed.part->rules) prefilter->always[placed.rules[rule]] = 0;
    }
    // A refused piece leaves its rule always run, whichever part took its other pieces.
    for (const Placed& placed : parts) {
        if (!placed.part) continue;
        for (unsigned int rule : placed.part->lost) prefilter->always[placed.rules[rule]] = 1;
    }
    for (Placed& placed : parts)
        if (placed.part && placed.part->database) prefilter->parts.push_back(std::move(placed));
    for (std::size_t rule = 0; rule < prefilter->always.size(); ++rule)
        if (prefilter->always[rule]) prefilter->alwaysList.push_back(static_cast<std::uint32_t>(rule));
    return prefilter;
}

std::unique_ptr<RegexPrefilter> RegexPrefilter::compile(Reading reading, const std::atomic<bool>* stop) {
    std::shared_ptr<const Part> part = compilePart(reading, nullptr, stop);
    if (!part) return nullptr;
    return assemble(reading, {part});
}

std::unique_ptr<RegexPrefilter> RegexPrefilter::build(const std::vector<PrefilterRule>& rules,
                                                      const std::atomic<bool>* stop) {
    std::unique_ptr<Reading> reading = read(rules, stop);
    if (!reading) return nullptr;
    return compile(std::move(*reading), stop);
}

RegexPrefilter::Part::~Part() { hs_free_database(database); }

RegexPrefilter::~RegexPrefilter() = default;

RegexPrefilter::Scratch::~Scratch() { hs_free_scratch(space); }

bool RegexPrefilter::prepare(Scratch& scratch) const {
    if (scratch.seen.size() < always.size()) scratch.seen.resize(always.size(), scratch.stamp);
    scratch.named.reserve(always.size());
    for (const Placed& placed : parts)
        if (hs_alloc_scratch(placed.part->database, &scratch.space) != HS_SUCCESS) return false;
    return true;
}

bool RegexPrefilter::scan(const char* begin, const char* end, Scratch& scratch) const {
    scratch.all = false;
    scratch.named.clear();
    if (++scratch.stamp == 0) {
        // After 2^32 lines the stamps wrap: forget every old one.
        std::fill(scratch.seen.begin(), scratch.seen.end(), 0);
        scratch.stamp = 1;
    }
    if (begin != end) {
        Marks marks{scratch.seen.data(), scratch.stamp, &scratch.named, nullptr};
        for (const Placed& placed : parts) {
            marks.rules = placed.rules.data();
            hs_error_t status = hs_scan(placed.part->database, begin, static_cast<unsigned int>(end - begin), 0,
                                        scratch.space, onMatch, &marks);
            if (status != HS_SUCCESS) {
                scratch.all = true;
                scratch.named.resize(always.size());
                std::iota(scratch.named.begin(), scratch.named.end(), std::uint32_t{0});
                return false;
            }
        }
    }
    if (scratch.named.empty()) {
        scratch.named = alwaysList;
        return true;
    }
    // Rules are tested in their order, whatever order the engine named them in.
    std::size_t found = scratch.named.size();
    scratch.named.insert(scratch.named.end(), alwaysList.begin(), alwaysList.end());
    std::sort(scratch.named.begin(), scratch.named.begin() + static_cast<std::ptrdiff_t>(found));
    std::inplace_merge(scratch.named.begin(), scratch.named.begin() + static_cast<std::ptrdiff_t>(found),
                       scratch.named.end());
    scratch.named.erase(std::unique(scratch.named.begin(), scratch.named.end()), scratch.named.end());
    return true;
}

std::size_t RegexPrefilter::alwaysRunCount() const { return alwaysList.size(); }

}  // namespace cgp
