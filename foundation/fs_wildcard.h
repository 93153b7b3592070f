#pragma once

#include <string>

namespace tmg::fs {

// Whether name matches pattern, byte by byte and case-sensitive: "*" matches any run of
// characters (also none), "?" exactly one, every other byte only itself. There is no
// escape. "a*b?c" matches "aXXbYc"; "*" matches ""; "?" does not.
bool wildcardMatch(const std::string& pattern, const std::string& name);

}  // namespace tmg::fs
