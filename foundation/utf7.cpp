#include "foundation/utf7.h"

#include "foundation/base64.h"
#include "foundation/wide_text.h"

namespace tmg {

namespace {

bool isPrintable(wchar_t c) { return c >= 0x20 && c <= 0x7E; }

std::string encode(std::string_view text, bool imapForm) {
    const char shift = imapForm ? '&' : '+';
    const std::wstring wide = bytesToWide(text);
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < wide.size();) {
        wchar_t c = wide[i];
        if (c == static_cast<wchar_t>(shift)) {
            out += shift;
            out += '-';
            ++i;
        } else if (isPrintable(c)) {
            out += static_cast<char>(c);
            ++i;
        } else {
            std::size_t end = i;
            while (end < wide.size() && !isPrintable(wide[end])) ++end;
            out += shift;
            out += base64Encode(wideToUtf16be(std::wstring_view(wide).substr(i, end - i)), true);
            out += '-';
            i = end;
        }
    }
    return out;
}

void appendRun(std::string& collected, std::string& out) {
    while (collected.size() % 4 != 0) collected += '=';
    std::string units = base64Decode(collected);
    collected.clear();
    if (units.size() % 2 != 0) units.pop_back();
    out += wideToUtf8(utf16beToWide(units));
}

std::string decode(std::string_view text, bool imapForm) {
    const char shift = imapForm ? '&' : '+';
    std::string out;
    out.reserve(text.size());
    std::string collected;
    bool inRun = false;
    bool justShifted = false;
    for (char c : text) {
        // "+" is also a Base64 digit: inside a run it is data, not a new shift.
        if (c == shift && !(inRun && shift == '+')) {
            collected.clear();
            inRun = true;
            justShifted = true;
        } else if (c == '-' && justShifted) {
            out += shift;
            inRun = false;
            justShifted = false;
        } else if (c == '-' && inRun) {
            appendRun(collected, out);
            inRun = false;
        } else {
            (inRun ? collected : out) += c;
            justShifted = false;
        }
    }
    return out;
}

}  // namespace

void utf7EncodeTo(std::string_view text, std::ostream& out, bool imapForm) {
    const std::string encoded = encode(text, imapForm);
    out.write(encoded.data(), static_cast<std::streamsize>(encoded.size()));
}

std::string utf7Encode(std::string_view text, bool imapForm) {
    return encode(text, imapForm);
}

void utf7DecodeTo(std::string_view text, std::ostream& out, bool imapForm) {
    const std::string decoded = decode(text, imapForm);
    out.write(decoded.data(), static_cast<std::streamsize>(decoded.size()));
}

std::string utf7Decode(std::string_view text, bool imapForm) {
    return decode(text, imapForm);
}

}  // namespace tmg
