// Decodes arbitrary mailbox names in both forms, and checks that encoding the input as an
// 8-bit name decodes back to its Latin-1 characters in UTF-8.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

#include "foundation/utf7.h"
#include "foundation/wide_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::string latin1 = tmg::wideToUtf8(tmg::bytesToWide(text));
    for (bool imapForm : {true, false}) {
        const std::string decoded = tmg::utf7Decode(text, imapForm);
        std::ostringstream out;
        tmg::utf7DecodeTo(text, out, imapForm);
        if (out.str() != decoded || decoded.size() > size * 2) std::abort();
        if (tmg::utf7Decode(tmg::utf7Encode(text, imapForm), imapForm) != latin1) std::abort();
    }
    return 0;
}
