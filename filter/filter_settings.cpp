#include "filter/filter_settings.h"

#include <atomic>
#include <cstdio>

#include "foundation/file_stream.h"
#include "foundation/fs_predicates.h"

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
    // A failed stat reads -1: one failed attempt is reported, then nothing until the file
    // is back with a new time.
    std::time_t modified = tmg::fs::modificationTime(fileName);
    if (everRead && modified == lastModified) return false;
    everRead = true;
    lastModified = modified;

    // A folder opens on Linux but reads as nothing; it is no rules file.
    tmg::ifstream in(fileName);
    if (!in.is_open() || tmg::fs::isDirectory(fileName)) {
        std::fputs("Settings Parser: Unable to open file\n", stderr);
        return false;
    }
    read(in);
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
}
