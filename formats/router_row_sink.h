#pragma once

#include <string>

namespace cgp {

// Receives the rows of a Router table as the parser reads them, in table order. The
// directory library implements it with its row builders; formats/ only declares it.
// Rows read before a syntax error have been delivered when the parse fails.
// addRouterRow runs with the parser mutex held: it must not read dataset text (the
// value-pool mutex comes before the parser mutex), so values it needs, such as the main
// domain's name, are to be read before the parse starts.
class RouterRowSink {
public:
    virtual ~RouterRowSink();

    // One row. left is the left side's word; addressForm is true when it was written in
    // angle brackets. right is the right side's text (a bare word, or a quoted word whole,
    // with its quotes and the bytes after them), or null for a row without a right side.
    virtual void addRouterRow(const std::string& left, bool addressForm, const std::string* right) = 0;
};

}  // namespace cgp
