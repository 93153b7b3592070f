#include "filter/filter_settings.h"

#include <atomic>
#include <cstdio>

#include "foundation/regular_file_stream.h"

FilterSettings& FilterSettings::instance() {
    // Never destroyed, so code running at exit may still ask it.
    static FilterSettings* settings = new FilterSettings;
    return *settings;
}

FilterSettings::FilterSettings() { clear(); }

bool FilterSettings::load(const std::string& path) {
    fileName = path;
    everRead = false;
    return reload();
}

bool FilterSettings::reload() {
    // Opened once and checked on the descriptor that is read, so a FIFO put in its place
    // never blocks the filter, and what was checked is what is read.
    tmg::RegularFileStream in(fileName);
    // Seconds alone would miss a file rewritten twice within one second.
    const tmg::fs::FileIdentity seen = in.identity();
    if (everRead && seen == lastSeen) return false;
    everRead = true;
    lastSeen = seen;

    if (!in.is_open()) {
        std::fputs("Settings Parser: Unable to open file\n", stderr);
        return false;
    }
    // Read aside, so that a read that fails half-way keeps the rules in force.
    FilterSettings fresh;
    fresh.readAfter(in, *this);
    if (in.readError() != 0) {
        std::fputs("Settings Parser: Unable to open file\n", stderr);
        return false;
    }
    adopt(std::move(fresh));
    return true;
}

void FilterSettings::clear() {
    static std::atomic<std::uint64_t> generations{0};
    generationNumber = ++generations;
    headers.clear();
    body.clear();
    full.clear();
    bodyLineLimit = 0;
    ruleNames.clear();
    refusedPatterns.clear();
}
