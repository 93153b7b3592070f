#pragma once

#include <memory>
#include <string>

#include "formats/page_parse.h"
#include "formats/wssp_node.h"
#include "formats/wssp_node_dump.h"

namespace cgp {

// The tree dump of a page, or "fail".
inline std::string pageDump(const std::string& text) {
    std::unique_ptr<WSSPNode> root = parsePageText(text);
    return root ? dumpWSSPTree(root.get()) : "fail";
}

}  // namespace cgp
