#include "wssp/text_escapes.h"

#include <array>
#include <initializer_list>

namespace cgp {

namespace {

// A byte's replacement and its length; a null text when the byte stays.
struct EscapeTable {
    std::array<const char*, 256> text{};
    std::array<unsigned char, 256> length{};
};

struct Replacement {
    char byte;
    const char* text;
};

constexpr std::size_t lengthOf(const char* text) {
    std::size_t n = 0;
    while (text[n] != '\0') ++n;
    return n;
}

constexpr EscapeTable tableOf(std::initializer_list<Replacement> replacements) {
    EscapeTable table{};
    for (const Replacement& r : replacements) {
        table.text[static_cast<unsigned char>(r.byte)] = r.text;
        table.length[static_cast<unsigned char>(r.byte)] = static_cast<unsigned char>(lengthOf(r.text));
    }
    return table;
}

constexpr EscapeTable kHtml = tableOf({{'&', "&amp;"}, {'"', "&quot;"}, {'<', "&lt;"}, {'>', "&gt;"}, {'\'', "&#39;"}});
constexpr EscapeTable kTags = tableOf({{'<', "&lt;"}, {'>', "&gt;"}});
constexpr EscapeTable kJavaScript =
    tableOf({{'\\', "\\\\"}, {'\'', "\\'"}, {'"', "\\\""}, {'\n', "\\n"}, {'\r', "\\r"}, {'<', "\\x3C"}});

// Sizes the result first and then fills it: texts dense in replaced bytes cost one pass
// more instead of one append per replacement.
void appendThrough(const EscapeTable& table, std::string& out, std::string_view text) {
    std::size_t grown = 0;
    std::size_t replaced = 0;
    for (char c : text) {
        unsigned char length = table.length[static_cast<unsigned char>(c)];
        grown += length;
        replaced += length != 0;
    }
    if (replaced == 0) {
        out.append(text.data(), text.size());
        return;
    }
    std::size_t at = out.size();
    out.resize(at + text.size() - replaced + grown);
    char* to = &out[at];
    for (char c : text) {
        unsigned char byte = static_cast<unsigned char>(c);
        if (const char* replacement = table.text[byte]) {
            for (unsigned char i = 0; i < table.length[byte]; ++i) *to++ = replacement[i];
        } else {
            *to++ = c;
        }
    }
}

bool isUnreserved(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_' ||
           c == '.' || c == '~';
}

}  // namespace

void appendHtmlEscaped(std::string& out, std::string_view text) { appendThrough(kHtml, out, text); }

void appendHtmlTagsEscaped(std::string& out, std::string_view text) { appendThrough(kTags, out, text); }

void appendJavaScriptEscaped(std::string& out, std::string_view text) { appendThrough(kJavaScript, out, text); }

void appendUrlEscaped(std::string& out, std::string_view text) {
    static const char kHex[] = "0123456789ABCDEF";
    for (char byte : text) {
        unsigned char c = static_cast<unsigned char>(byte);
        if (isUnreserved(c)) {
            out += byte;
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
}

}  // namespace cgp
