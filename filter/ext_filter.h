#pragma once

#include <cstdint>
#include <istream>
#include <string>

#include "filter/helper.h"
#include "filter/scan_result.h"
#include "foundation/regular_file_stream.h"

namespace cgp {

// The protocol engine turned into a message filter. It supports the one command "file",
// whose parameters are the path of a message file in the server's queue; it checks the
// file, has the subclass scan it, and writes one log line and one answer:
//   path missing, holding a     <n> OK "Error: File Not Found <path>"          (no log line)
//   NUL, or naming anything but
//   a regular file (a folder, a FIFO, a device)
//   path does not open          <n> OK "Error: unable to open file <path>"     (no log line)
//   Accept                      * [n] Accepting message              <n> OK
//   Postpone                    * [n] Postponing message             <n> REJECTED "<text>"
//   Reject                      * [n] Rejecting message              <n> ERROR "<text>"
//   Discard                     * [n] Discarding message             <n> DISCARD
//   AddHeader                   * [n] Adding Header(s) to message    <n> ADDHEADER "<text>"
// The path is quoted with escapeString; <text> is the result's lines joined by joinLines.
// AddHeader with nothing to add is answered as Accept, and so is an action code outside
// FilterAction. The log line of request 0 carries no number.
class ExtFilter : public Helper {
public:
    // Builds the engine in the given mode with the refusal word "REJECTED".
    explicit ExtFilter(bool threaded);
    ~ExtFilter() override;

    // True exactly for "file".
    bool isSupportedCommand(const std::string& command) const override;

    // Handles one "file" request; parameters, whole, are the path. The file is opened once,
    // without blocking, checked on that descriptor and handed open to scanOpenedMessage, so
    // nothing put at the path after the check is read. Errors that the scan throws are not
    // caught.
    void processRequest(std::uint32_t number, const std::string& command, const std::string& parameters) override;

    // Scans the message file at path, which has been found to exist, not to be a folder and
    // to open for reading; opens the file itself. number is the request number, for logs.
    virtual ScanResult scanMessage(std::uint32_t number, const std::string& path) = 0;

    // Scans the message read from message: the regular file at path that processRequest
    // opened and checked, standing at its start. This one calls scanMessage(number, path);
    // a subclass that reads message instead never meets a file swapped in after the check.
    virtual ScanResult scanOpenedMessage(std::uint32_t number, const std::string& path,
                                         tmg::RegularFileStream& message);

    // Whether the file read by stream starts with the server's envelope: its first line is
    // longer than two characters, the first a letter and the second white space. Leaves the
    // stream at the start of the file with its state cleared. A stream that is not open, or
    // cannot seek, gives false and is left failed. Reads only the first three bytes.
    static bool hasEnvelope(std::istream& stream);

    // When hasEnvelope is true, reads past every line up to and including the first empty
    // one (or to the end of the file) and returns true: the stream then stands at the first
    // header line. Otherwise reads nothing and returns false. Lines end at a line feed; a
    // line holding only a carriage return is not empty.
    static bool skipEnvelope(std::istream& stream);

    // {Accept, no lines}: what a subclass returns when a message cannot be scanned.
    static const ScanResult acceptResult;
};

}  // namespace cgp
