#pragma once

// Internal: the clock-dependent operations of dated_files.h at a given moment, so tests
// can fix "now". Not for other callers.

#include <ctime>
#include <string>

#include "foundation/date_time.h"

namespace tmg::fs::internal {

std::string rotateFileAt(const std::string& path, const std::string& tag, const DateTime& nowUtc);
bool deleteOlderThanAt(const std::string& base, const std::string& tag, int days, std::time_t now);

}  // namespace tmg::fs::internal
