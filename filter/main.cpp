// The vorpelin program: the mail server's content filter.

#include <exception>

#include "filter/vorpelin.h"
#include "foundation/log_line.h"

int main(int argc, char** argv) {
    // Nothing may end the filter by an abort: whatever escapes is logged, and the server
    // sees the process end with a failure status and can restart it.
    try {
        Vorpelin filter;
        return filter.run(argc, argv);
    } catch (const std::exception& e) {
        tmg::logline() << "Fatal error, quitting: " << e.what();
    } catch (...) {
        tmg::logline() << "Fatal error, quitting: unknown exception";
    }
    return 1;
}
