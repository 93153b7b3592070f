#include "foundation/read_line.h"

#include <limits>

namespace tmg {

bool readLine(std::istream& in, std::string& line, std::size_t limit, bool skipRest) {
    line.clear();
    std::streambuf* buffer = in.rdbuf();
    if (!buffer) {
        in.setstate(std::ios::badbit);
        return false;
    }
    for (;;) {
        int c = buffer->sbumpc();
        if (c == std::char_traits<char>::eof()) {
            in.setstate(std::ios::eofbit);
            return false;
        }
        if (c == '\n') return false;
        if (line.size() == limit) {
            if (skipRest) in.ignore(std::numeric_limits<std::streamsize>::max(), '\n');
            return true;
        }
        line.push_back(static_cast<char>(c));
    }
}

}  // namespace tmg
