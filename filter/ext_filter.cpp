#include "filter/ext_filter.h"

#include "filter/quoting.h"
#include "foundation/log_line.h"
#include "foundation/output_line.h"

namespace cgp {

const ScanResult ExtFilter::acceptResult{Accept, {}};

ExtFilter::ExtFilter(bool threaded) : Helper(threaded, "REJECTED") {}

ExtFilter::~ExtFilter() = default;

bool ExtFilter::isSupportedCommand(const std::string& command) const { return command == "file"; }

void ExtFilter::processRequest(std::uint32_t number, const std::string&, const std::string& path) {
    tmg::RegularFileStream message(path);
    switch (message.outcome()) {
        case tmg::OpenOutcome::NotFound:
            tmg::outline() << number << " OK \"Error: File Not Found " << escapeString(path) << '"';
            return;
        case tmg::OpenOutcome::Unreadable:
            tmg::outline() << number << " OK \"Error: unable to open file " << escapeString(path) << '"';
            return;
        case tmg::OpenOutcome::Opened:
            break;
    }

    ScanResult result = scanOpenedMessage(number, path, message);
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

ScanResult ExtFilter::scanOpenedMessage(std::uint32_t number, const std::string& path, tmg::RegularFileStream&) {
    return scanMessage(number, path);
}

}  // namespace cgp
