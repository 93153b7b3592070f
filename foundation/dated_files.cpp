#include "foundation/dated_files.h"

#include <cctype>
#include <cstdint>
#include <ctime>
#include <limits>

#include "foundation/date_time.h"
#include "foundation/dated_files_internal.h"
#include "foundation/fs_directory.h"
#include "foundation/fs_file.h"
#include "foundation/fs_predicates.h"

namespace tmg::fs {

namespace {

// The decimal number at the start of text, after white space and an optional "+"; 0 when
// there is none, the largest value when it does not fit.
std::uint64_t leadingNumber(const std::string& text, std::size_t from) {
    std::size_t i = from;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
    if (i < text.size() && text[i] == '+') ++i;
    std::uint64_t value = 0;
    const std::uint64_t max = std::numeric_limits<std::uint64_t>::max();
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        unsigned digit = static_cast<unsigned>(text[i] - '0');
        if (value > (max - digit) / 10) return max;
        value = value * 10 + digit;
    }
    return value;
}

constexpr std::uint64_t kSmallestDate = 20000000;

}  // namespace

namespace internal {

std::string rotateFileAt(const std::string& path, const std::string& tag, const DateTime& nowUtc) {
    std::string suffix = tag + nowUtc.format(".YYYYMMDD-hhmmss");
    while (isFile(path + suffix)) suffix += ".1";
    return renameFile(path, path + suffix) ? suffix : std::string();
}

bool deleteOlderThanAt(const std::string& base, const std::string& tag, int days, std::time_t now) {
    std::set<std::string> files;
    listDatedFiles(base, tag, files);
    const std::int64_t back = static_cast<std::int64_t>(days) * 86400;
    const std::uint64_t cutoff =
        leadingNumber(DateTime(static_cast<std::time_t>(static_cast<std::int64_t>(now) - back)).format("YYYYMMDD"), 0);
    // Every listed path is base's folder text, a "/", the name; the name begins with
    // base's last part, the tag and the one skipped character.
    const std::size_t dateAt = base.size() + 1 + tag.size();
    bool deleted = false;
    for (const std::string& file : files) {
        if (file.size() <= dateAt || leadingNumber(file, dateAt) >= cutoff) continue;
        removeFile(file);
        deleted = true;
    }
    return deleted;
}

}  // namespace internal

std::string rotateFile(const std::string& path, const std::string& tag) {
    return internal::rotateFileAt(path, tag, DateTime::now(false));
}

bool listDatedFiles(const std::string& base, const std::string& tag, std::set<std::string>& files) {
    files.clear();
    const std::size_t slash = base.rfind('/');
    std::string folder;     // opened
    std::string namesFrom;  // put before each name
    std::string prefix = base + tag;
    if (slash == std::string::npos) {
        folder = ".";
    } else {
        namesFrom = base.substr(0, slash + 1);
        folder = slash == 0 ? "/" : base.substr(0, slash);
        prefix = base.substr(slash + 1) + tag;
    }
    Directory dir = nullptr;
    open(dir, folder);
    while (next(dir)) {
        const std::string name = entryName(dir);
        if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0) continue;
        if (leadingNumber(name, prefix.size() + 1) > kSmallestDate) files.insert(namesFrom + name);
    }
    close(dir);
    return !files.empty();
}

bool deleteOlderThan(const std::string& base, const std::string& tag, int days) {
    return internal::deleteOlderThanAt(base, tag, days, std::time(nullptr));
}

}  // namespace tmg::fs
