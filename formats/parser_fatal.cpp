#include "formats/internal/parser_fatal.h"

#include <cstdio>
#include <cstdlib>

namespace cgp {

const char* cgparserFatalText(FatalText which) {
    static const char* const texts[] = {
        "out of dynamic memory in cgparser_ensure_buffer_stack()",
        "out of dynamic memory in yy_get_next_buffer()",
        "out of dynamic memory in cgparser__create_buffer()",
        "out of dynamic memory in cgparser__scan_buffer()",
        "out of dynamic memory in cgparser__scan_bytes()",
        "bad buffer in cgparser__scan_bytes()",
        "out of memory expanding start-condition stack",
        "start-condition stack underflow",
        "input in flex scanner failed",
        "fatal flex scanner internal error--no action found",
        "fatal flex scanner internal error--end of buffer missed",
        "fatal error - scanner input buffer overflow",
    };
    return texts[which];
}

void cgparserFatal(FatalText which) {
    // No allocation here: the usual reason to be here is that memory ran out.
    const char* text = cgparserFatalText(which);
    std::fflush(stdout);
    std::fputs(text, stderr);
    std::fputc('\n', stderr);
    std::fflush(stderr);
    std::exit(2);
}

}  // namespace cgp
