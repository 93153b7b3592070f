#include "filter/vorpelin.h"

#include <cstdio>
#include <cstring>

#include "filter/filter_settings.h"
#include "foundation/fs_path.h"
#include "foundation/log_line.h"

namespace {

const char* const rulesFileName = "vorpelin.regex";
const char* const banner = "* Tolmagrid's Vorpelin filter v1.1.1 running...";
const char* const noSignatureSwitch = "-nosig";

// The server reads these straight after the lines of the line classes, so each is flushed
// at once to keep the order when standard output is a pipe.
void say(const char* text) {
    std::puts(text);
    std::fflush(stdout);
}

}  // namespace

Vorpelin::Vorpelin() : cgp::ExtFilter(false) {}

Vorpelin::~Vorpelin() = default;

int Vorpelin::run(int argc, char** argv) {
    say(banner);
    programDir = tmg::fs::directoryOf(argc > 0 && argv[0] ? argv[0] : "");
    noScannerHeader = argc >= 2 && argv[1] && std::strcmp(argv[1], noSignatureSwitch) == 0;

    if (!FilterSettings::instance().load(programDir + rulesFileName)) {
        say("* Unable to read settings, fatal error, quitting.");
        return 0;
    }
    followRules(FilterSettings::instance());
    cgp::Helper::run();
    return 0;
}

void Vorpelin::followRules(const FilterSettings& settings) {
    if (settings.generation() == prefilterGeneration) return;
    prefilterGeneration = settings.generation();
    prefilters.start(settings);
}

cgp::ScanResult Vorpelin::scanMessage(std::uint32_t number, const std::string& path) {
    tmg::RegularFileStream message(path);
    if (!message.is_open()) {
        say("* Unexpected error, contact Tolmagrid");
        return acceptResult;
    }
    return scanOpenedMessage(number, path, message);
}

cgp::ScanResult Vorpelin::scanOpenedMessage(std::uint32_t number, const std::string&, tmg::RegularFileStream& message) {
    FilterSettings& settings = FilterSettings::instance();
    if (settings.reload()) say("* Settings changed, reloading.");
    followRules(settings);
    skipEnvelope(message);
    std::shared_ptr<const cgp::RulesPrefilter> prefilter = prefilters.ready(settings.generation());
    cgp::ScanResult result = scanner.scan(message, settings, noScannerHeader, number, prefilter.get());
    if (message.readError() != 0)
        tmg::logline(number) << "Message file could not be read: " << std::strerror(message.readError())
                             << ": the rest of the message was not tested";
    return result;
}
