#include "foundation/file_stream.h"

namespace tmg {

ifstream::~ifstream() = default;
ofstream::~ofstream() = default;

}  // namespace tmg
