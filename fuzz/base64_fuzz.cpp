// Decodes arbitrary text in both stream and string forms, checks they agree, and that
// re-encoding the decoded bytes decodes back to them.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

#include "foundation/base64.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::ostringstream out;
    tmg::Base64DecodeResult result = tmg::base64DecodeTo(text, out);
    bool failed = false;
    const std::string bytes = tmg::base64Decode(text, failed);
    if (bytes != out.str() || failed == result.ok) std::abort();
    if (result.ok ? result.position < size || result.position > size + 3 : result.position >= size) std::abort();
    if (bytes.size() > size / 4 * 3 + 3) std::abort();
    for (bool modified : {false, true}) {
        if (tmg::base64Decode(tmg::base64Encode(bytes, modified)) != bytes) std::abort();
    }
    return 0;
}
