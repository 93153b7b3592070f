#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "foundation/mutex.h"
#include "formats/parser_tokens.h"

namespace cgp {

class RouterRowSink;

// The parser of the server's three text languages. mode is a ParserMode: 0 template
// page, 1 Router table, 2 dataset. Each parse runs under the process-wide parser mutex;
// a dataset parse takes the dataset value-pool mutex first (the lock order of
// foundation/lock_order.h: pool, then parser), so callers that hold the pool mutex may call in.
//
// Results: a page-mode parse leaves the page with the node tree (the noted node of
// wssp_node.h; climb its parents to the root, which the caller then owns, and hold the
// parser mutex across the parse and that read when other threads parse pages); a failed
// page parse deletes every node it built. A Router-mode parse hands each row to rows
// (when not null) as soon as the row's line ends. A dataset-mode parse leaves its value
// in the value pool (dataset_pool.h).
//
// Errors: a syntax error, a too deep nesting ("memory exhausted"), an unreadable input
// or a mode other than 0, 1, 2 make the parse return false. Nothing is thrown. Only a
// failed allocation ends the process (exit status 2, message on standard error).

// Parses the file at path. A syntax error prints one error line on standard output:
//   * while parsing "<path>" file: <message> : near "<token>" (<line>:<column>)
// A file that cannot be opened or read (a folder, for one) fails without a line.
bool cgparserParseFile(const std::string& path, int mode, RouterRowSink* rows = nullptr);

// Parses the text; nothing is printed (the file name of errors would be "string").
bool cgparserParseString(const std::string& text, int mode, RouterRowSink* rows = nullptr);
// The same over bytes that need no terminator; the scanner reads none past the end.
bool cgparserParseBytes(std::string_view text, int mode, RouterRowSink* rows = nullptr);

// The parser mutex: recursive, made on first use, never destroyed.
tmg::MutexInterface& cgparserMutex();

// A token as the scanner hands it to the grammar: its code and its grammar text.
struct ScannedToken {
    int code;
    std::string text;
    bool operator==(const ScannedToken& other) const { return code == other.code && text == other.text; }
};

// The tokens of text in mode, up to but without the end of input (a test and
// diagnostics hook). Empty for an unknown mode.
std::vector<ScannedToken> cgparserTokenize(std::string_view text, int mode);

}  // namespace cgp
