// Random Boost patterns and lines, spelled by the input bytes: every line Boost matches
// must be one the prefilter names, however it was made: reading the rules whole, cutting
// them short to their cores (as it does long rules), or compiling them in parts.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include <boost/regex.hpp>

#include "filter/regex_compile_hang.h"
#include "filter/regex_prefilter.h"
#include "tests/support/regex_grammar.h"

namespace {

std::unique_ptr<cgp::RegexPrefilter> made(const std::vector<cgp::PrefilterRule>& rules, unsigned way) {
    std::unique_ptr<cgp::RegexPrefilter::Reading> reading =
        way == 1 ? cgp::RegexPrefilter::read(rules, nullptr, 40, 20) : cgp::RegexPrefilter::read(rules);
    if (!reading) std::abort();
    if (way != 2) return cgp::RegexPrefilter::compile(std::move(*reading));
    std::vector<std::size_t> all(reading->expressions.size());
    for (std::size_t i = 0; i < all.size(); ++i) all[i] = i;
    std::vector<std::shared_ptr<const cgp::RegexPrefilter::Part>> parts;
    for (const auto& group : cgp::RegexPrefilter::split(*reading, all, 2))
        parts.push_back(cgp::RegexPrefilter::compilePart(*reading, &group));
    return cgp::RegexPrefilter::assemble(*reading, parts);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::size_t at = 0;
    auto next = [&](unsigned n) { return at < size ? data[at++] % n : 0u; };
    testsupport::RegexGrammar grammar(next);
    std::vector<cgp::PrefilterRule> rules;
    std::vector<boost::regex> expressions;
    for (unsigned i = 1 + next(6); i > 0; --i) {
        std::string pattern = grammar.pattern();
        bool icase = next(2);
        // The grammar makes no pattern that Boost never finishes compiling; should one
        // appear, it is left out rather than hang the run.
        if (cgp::compileNeverEnds(pattern, boost::regex::perl)) continue;
        try {
            boost::regex expression(pattern, boost::regex::perl | (icase ? boost::regex::icase : 0));
            rules.push_back(cgp::PrefilterRule{pattern, icase, expression.mark_count()});
            expressions.push_back(expression);
        } catch (const std::exception&) {
        }
    }
    std::unique_ptr<cgp::RegexPrefilter> prefilter = made(rules, next(3));
    if (!prefilter) std::abort();
    cgp::RegexPrefilter::Scratch scratch;
    if (!prefilter->prepare(scratch)) return 0;
    for (int l = 0; l < 12; ++l) {
        std::string line = grammar.line();
        // Engines take other paths past 64 bytes.
        if (next(4) == 0) line = std::string(64 + next(64), 'q') + line;
        prefilter->scan(line.data(), line.data() + line.size(), scratch);
        for (std::size_t i = 0; i < rules.size(); ++i) {
            bool matches = false;
            try {
                matches = boost::regex_search(line.data(), line.data() + line.size(), expressions[i]);
            } catch (const std::exception&) {
            }
            if (matches && !prefilter->isCandidate(scratch, i)) std::abort();
        }
    }
    return 0;
}
