#pragma once

#include <cstdint>
#include <string>

#include "filter/ext_filter.h"
#include "filter/message_scan.h"

// The filter program: the message filter whose scan tests each message against the rules
// of "vorpelin.regex" in the program's own folder and answers with one added header line
// per matching rule. Requests are handled one at a time on the calling thread; the
// prefilter of the rules in force is built beside it (see PrefilterBuilder).
class Vorpelin : public cgp::ExtFilter {
public:
    Vorpelin();
    ~Vorpelin() override;

    // The whole life of the filter. argv[0] locates the program's folder and with it the
    // rules file; argv[1] exactly "-nosig" drops the scanner line from every answer. Writes
    // the banner, loads the rules and runs the command loop on standard input until it
    // ends. When the rules file cannot be read, says so and returns without reading any
    // request. Returns the exit status, 0. Whatever a request throws is not caught here.
    int run(int argc, char** argv);

    // Opens the message as the request handler does and scans it as scanOpenedMessage. A
    // file that does not open gives "* Unexpected error, contact Tolmagrid" and
    // acceptResult.
    cgp::ScanResult scanMessage(std::uint32_t number, const std::string& path) override;

    // Re-reads the rules file when it has changed (saying "* Settings changed,
    // reloading."), skips the envelope and scans the message read from message. A read
    // that fails ends the scan: the answer holds the names found before it, and the log
    // line "Message file could not be read: <system's text>: ..." tells of it.
    cgp::ScanResult scanOpenedMessage(std::uint32_t number, const std::string& path,
                                      tmg::RegularFileStream& message) override;

private:
    // Starts building the prefilter of the rules in force when they are new.
    void followRules(const FilterSettings& settings);

    std::string programDir;
    bool noScannerHeader = false;
    cgp::PrefilterBuilder prefilters;
    std::uint64_t prefilterGeneration = 0;
    cgp::MessageScanner scanner;
};
