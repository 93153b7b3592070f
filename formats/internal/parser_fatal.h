#pragma once

namespace cgp {

// The scanner's fatal conditions, each with its own message text. Only failed
// allocations and impossible internal states reach them; bad input and read errors make
// the parse fail instead.
enum FatalText {
    FatalEnsureBufferStack,  // "out of dynamic memory in cgparser_ensure_buffer_stack()"
    FatalGetNextBuffer,      // "out of dynamic memory in yy_get_next_buffer()"
    FatalCreateBuffer,       // "out of dynamic memory in cgparser__create_buffer()"
    FatalScanBuffer,         // "out of dynamic memory in cgparser__scan_buffer()"
    FatalScanBytes,          // "out of dynamic memory in cgparser__scan_bytes()"
    FatalBadBuffer,          // "bad buffer in cgparser__scan_bytes()"
    FatalStackExpand,        // "out of memory expanding start-condition stack"
    FatalStackUnderflow,     // "start-condition stack underflow"
    FatalInputFailed,        // "input in flex scanner failed"
    FatalNoActionFound,      // "fatal flex scanner internal error--no action found"
    FatalEndOfBufferMissed,  // "fatal flex scanner internal error--end of buffer missed"
    FatalInputBufferOverflow // "fatal error - scanner input buffer overflow"
};

// The message of a fatal condition, without a line feed.
const char* cgparserFatalText(FatalText which);

// Writes the message and a line feed to standard error and ends the process with exit
// status 2. Never returns.
[[noreturn]] void cgparserFatal(FatalText which);

}  // namespace cgp
