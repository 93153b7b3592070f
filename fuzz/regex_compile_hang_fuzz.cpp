// Feeds arbitrary patterns to the check for Boost's endless compile and then to the bounded
// compile: the check must never crash, and a pattern it lets through must compile, or be
// refused, within the bound. A compile past the bound is a shape of endless compile the
// check does not know yet (or a legitimate compile far slower than any seen): an abort.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "filter/bounded_compile.h"
#include "filter/regex_compile_hang.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    // The first byte chooses the flags: bit 0 ignores case, bit 1 sets x.
    boost::regex::flag_type flags = boost::regex::perl;
    if (data[0] & 1) flags |= boost::regex::icase;
    if (data[0] & 2) flags |= boost::regex::mod_x;
    std::string pattern(reinterpret_cast<const char*>(data) + 1, size - 1);

    std::vector<cgp::BoundedCompile> batch(1);
    batch[0].pattern = pattern;
    batch[0].flags = flags;
    const bool endless = cgp::compileNeverEnds(pattern, flags);
    cgp::compileWithinBounds(batch);
    if (batch[0].outcome == cgp::BoundedCompile::TooLong) std::abort();
    if (endless && batch[0].outcome != cgp::BoundedCompile::Refused) std::abort();
    return 0;
}
