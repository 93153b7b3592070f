#pragma once

// The one safe way to turn a template page into its node tree. The parser hands a page to
// its loader through the noted node (wssp_node.h), which is shared by the whole process;
// these functions hold the parser mutex across the parse and the read of that node, so any
// thread may call them at any time.

#include <memory>
#include <string>

#include "formats/wssp_node.h"

namespace cgp {

// Parses the page text and returns the root of its tree, owned by the caller (deleting it
// deletes the whole tree). Null when the parse fails; a failed parse leaves no node behind
// and prints nothing. Nothing is thrown; a failed allocation ends the process as the
// parser does (parser.h).
std::unique_ptr<WSSPNode> parsePageText(const std::string& text);

// The same for the page file at path. A syntax error prints its one line on standard
// output ("* while parsing \"<path>\" file: ..."); a file that does not open or read gives
// null without a line.
std::unique_ptr<WSSPNode> parsePageFile(const std::string& path);

}  // namespace cgp
