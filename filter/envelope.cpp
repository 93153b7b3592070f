// Recognising and skipping the envelope the server writes at the top of a queue file.

#include "filter/ext_filter.h"
#include "foundation/read_line.h"

namespace cgp {

namespace {

// Letters by the filter's character table: ASCII letters and the letters of the upper half.
bool isEnvelopeLetter(unsigned char c) {
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) return true;
    switch (c) {
        case 0x8A: case 0x8C: case 0x8E: case 0x9A: case 0x9C: case 0x9E: case 0x9F:
            return true;
        default:
            return (c >= 0xC0 && c <= 0xD6) || (c >= 0xD8 && c <= 0xF7) || c >= 0xF9;
    }
}

bool isEnvelopeSpace(unsigned char c) { return c == ' ' || (c >= 0x09 && c <= 0x0D); }

bool rewind(std::istream& stream) {
    stream.clear();
    return static_cast<bool>(stream.seekg(0));
}

}  // namespace

bool ExtFilter::hasEnvelope(std::istream& stream) {
    if (!rewind(stream)) return false;
    char first[3];
    stream.read(first, 3);
    std::streamsize got = stream.gcount();
    rewind(stream);
    // The first line must be longer than two characters: three bytes before any line feed.
    if (got < 3 || first[0] == '\n' || first[1] == '\n' || first[2] == '\n') return false;
    return isEnvelopeLetter(static_cast<unsigned char>(first[0])) &&
           isEnvelopeSpace(static_cast<unsigned char>(first[1]));
}

bool ExtFilter::skipEnvelope(std::istream& stream) {
    if (!hasEnvelope(stream)) return false;
    // A limit of 0 stores nothing and tells an empty line (false) from any other (true).
    std::string nothing;
    while (stream.good() && tmg::readLine(stream, nothing, 0)) {
    }
    return true;
}

}  // namespace cgp
