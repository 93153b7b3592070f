#pragma once
// Internal to the page engine: option lists of Menu nodes.

#include <string>

#include "formats/wssp_node.h"
#include "wssp/internal/evaluator.h"

namespace cgp::wssp_internal {

// Appends the option elements of a Menu node (or "NOT IMPLEMENTED") to out.
void appendMenu(const WSSPNode* menu, Evaluator& evaluator, std::string& out);

}  // namespace cgp::wssp_internal
