// Feeds arbitrary patterns to the check for Boost's endless compile and then to the bounded
// compile: the check must never crash, and a pattern it refuses must be refused. A compile
// past the bound may be merely slow (Boost's compile of a repeated group holding a recursion
// grows with the cube of its alternatives: 1.6 KB take 16 s), so its abandoned thread is
// given a minute to end; one that does not is a shape of endless compile the check does not
// know yet: an abort.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "filter/bounded_compile.h"
#include "filter/regex_compile_hang.h"
#include "tests/support/wait_until.h"

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
    if (batch[0].outcome == cgp::BoundedCompile::TooLong &&
        !testsupport::waitUntil([] { return cgp::abandonedCompilesAlive() == 0; }, std::chrono::minutes(1)))
        std::abort();
    if (endless && batch[0].outcome != cgp::BoundedCompile::Refused) std::abort();
    return 0;
}
