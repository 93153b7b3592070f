#include "cli/cli_exception.h"

namespace cgp {

CLIException::~CLIException() = default;

}  // namespace cgp
