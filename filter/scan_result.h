#pragma once

#include <string>
#include <vector>

namespace cgp {

// What the mail server is to do with a scanned message. The values are the protocol's
// action codes and must not change.
enum FilterAction : int {
    Accept = 0,     // "<n> OK"
    Postpone = 1,   // "<n> REJECTED "<text>"": try again later
    Reject = 2,     // "<n> ERROR "<text>"": bounce with the text
    Discard = 3,    // "<n> DISCARD"
    AddHeader = 4,  // "<n> ADDHEADER "<lines>"", or "<n> OK" when there is nothing to add
};

// The result of scanning one message, returned by value.
struct ScanResult {
    FilterAction action = Accept;
    // AddHeader: the header lines to add, without line ends. Postpone and Reject: the lines
    // of the text sent with the answer. Unused otherwise.
    std::vector<std::string> lines;
};

}  // namespace cgp
