#include "wssp/text_escapes.h"

#include <array>
#include <initializer_list>

namespace cgp {

namespace {

// A byte's replacement, or null when the byte stays.
using EscapeTable = std::array<const char*, 256>;

struct Replacement {
    char byte;
    const char* text;
};

constexpr EscapeTable tableOf(std::initializer_list<Replacement> replacements) {
    EscapeTable table{};
    for (const Replacement& r : replacements) table[static_cast<unsigned char>(r.byte)] = r.text;
    return table;
}

constexpr EscapeTable kHtml = tableOf({{'&', "&amp;"}, {'"', "&quot;"}, {'<', "&lt;"}, {'>', "&gt;"}, {'\'', "&#39;"}});
constexpr EscapeTable kTags = tableOf({{'<', "&lt;"}, {'>', "&gt;"}});
constexpr EscapeTable kJavaScript =
    tableOf({{'\\', "\\\\"}, {'\'', "\\'"}, {'"', "\\\""}, {'\n', "\\n"}, {'\r', "\\r"}, {'<', "\\x3C"}});

// Copies runs of bytes that stay in one piece; most texts hold no byte to replace.
void appendThrough(const EscapeTable& table, std::string& out, std::string_view text) {
    std::size_t runStart = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char* replacement = table[static_cast<unsigned char>(text[i])];
        if (replacement == nullptr) continue;
        out.append(text.data() + runStart, i - runStart);
        out += replacement;
        runStart = i + 1;
    }
    out.append(text.data() + runStart, text.size() - runStart);
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
