// Random Boost patterns and lines, spelled by the input bytes: every line Boost matches
// must be one the prefilter names, whether it reads the rules whole or cuts them short to
// their cores (as it does long rules).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include <boost/regex.hpp>

#include "filter/regex_prefilter.h"
#include "tests/support/regex_grammar.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::size_t at = 0;
    testsupport::RegexGrammar grammar([&](unsigned n) { return at < size ? data[at++] % n : 0u; });
    std::vector<cgp::PrefilterRule> rules;
    std::vector<boost::regex> expressions;
    for (int i = 0; i < 3; ++i) {
        std::string pattern = grammar.pattern();
        bool icase = at < size && (data[at++] & 1);
        try {
            boost::regex expression(pattern, boost::regex::perl | (icase ? boost::regex::icase : 0));
            rules.push_back(cgp::PrefilterRule{pattern, icase, expression.mark_count()});
            expressions.push_back(expression);
        } catch (const std::exception&) {
        }
    }
    bool cut = at < size && (data[at++] & 1);
    std::unique_ptr<cgp::RegexPrefilter::Reading> reading =
        cut ? cgp::RegexPrefilter::read(rules, nullptr, 40, 20) : cgp::RegexPrefilter::read(rules);
    if (!reading) std::abort();
    std::unique_ptr<cgp::RegexPrefilter> prefilter = cgp::RegexPrefilter::compile(std::move(*reading));
    if (!prefilter) std::abort();
    cgp::RegexPrefilter::Scratch scratch;
    if (!prefilter->prepare(scratch)) return 0;
    for (int l = 0; l < 8; ++l) {
        std::string line = grammar.line();
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
