#pragma once

#include <memory>
#include <string>

#include "formats/parser.h"
#include "formats/wssp_node.h"
#include "formats/wssp_node_dump.h"

namespace cgp {

// Parses a page text and returns its root (null when the parse fails), holding the
// parser mutex across the parse and the read of the noted node.
inline std::unique_ptr<WSSPNode> parsePage(const std::string& text) {
    tmg::MutexLock lock(&cgparserMutex());
    if (!cgparserParseString(text, PageMode)) return nullptr;
    return std::unique_ptr<WSSPNode>(wsspRootOf(cgparserNotedNode()));
}

// The tree dump of a page, or "fail".
inline std::string pageDump(const std::string& text) {
    std::unique_ptr<WSSPNode> root = parsePage(text);
    return root ? dumpWSSPTree(root.get()) : "fail";
}

}  // namespace cgp
