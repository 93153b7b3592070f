#include "foundation/ostream_func.h"

#include <sstream>

namespace tmg {

ostream_func::~ostream_func() = default;

std::string ostream_func::toString() const {
    std::ostringstream out;
    (*this)(out);
    return out.str();
}

std::ostream& operator<<(std::ostream& out, const ostream_func& object) {
    object(out);
    return out;
}

}  // namespace tmg
