#include "filter/ext_filter.h"

#include "filter/quoting.h"
#include "foundation/file_stream.h"
#include "foundation/fs_predicates.h"
#include "foundation/log_line.h"
#include "foundation/output_line.h"

namespace cgp {

const ScanResult ExtFilter::acceptResult{Accept, {}};

ExtFilter::ExtFilter(bool threaded) : Helper(threaded, "REJECTED") {}

ExtFilter::~ExtFilter() = default;

bool ExtFilter::isSupportedCommand(const std::string& command) const { return command == "file"; }

void ExtFilter::processRequest(std::uint32_t number, const std::string&, const std::string& path) {
    // A NUL cannot be part of a file name: the system would read the path only up to it
    // and open some other file.
    if (path.find('\0') != std::string::npos || !tmg::fs::isFile(path)) {
        tmg::outline() << number << " OK \"Error: File Not Found " << escapeString(path) << '"';
        return;
    }
    if (!tmg::ifstream(path).is_open()) {
        tmg::outline() << number << " OK \"Error: unable to open file " << escapeString(path) << '"';
        return;
    }

    ScanResult result = scanMessage(number, path);
    std::string text;
    joinLines(result.lines, text);

    switch (result.action) {
        case Postpone:
            tmg::logline(number) << "Postponing message";
            tmg::outline() << number << " REJECTED \"" << text << '"';
            break;
        case Reject:
            tmg::logline(number) << "Rejecting message";
            tmg::outline() << number << " ERROR \"" << text << '"';
            break;
        case Discard:
            tmg::logline(number) << "Discarding message";
            tmg::outline() << number << " DISCARD";
            break;
        case AddHeader:
            if (!text.empty()) {
                tmg::logline(number) << "Adding Header(s) to message";
                tmg::outline() << number << " ADDHEADER \"" << text << '"';
                break;
            }
            [[fallthrough]];
        default:
            // Nothing to add, or an action this filter does not know: the message passes.
            tmg::logline(number) << "Accepting message";
            tmg::outline() << number << " OK";
            break;
    }
}

}  // namespace cgp
