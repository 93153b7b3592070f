#include "foundation/log_line.h"

#include <unordered_map>

#include "foundation/mutex.h"

namespace tmg {

namespace {

struct RepeatEntry {
    std::string lastMessage;
    unsigned int count = 0;
};

// The repeat table and its mutex are never destroyed, so log lines written by other
// units' destructors at exit stay safe.
struct RepeatFilter {
    std::unordered_map<std::string, RepeatEntry> table{100};
    MutexInterface mutex{LockRank::LogRepeat};
};

RepeatFilter& repeatFilter() {
    static RepeatFilter* filter = new RepeatFilter;
    return *filter;
}

[[maybe_unused]] RepeatFilter& initRepeatFilter = repeatFilter();

// Returns false when the message repeats the tag's last one and must not be written.
bool passRepeatFilter(const std::string& tag, const std::string& message) {
    RepeatFilter& filter = repeatFilter();
    MutexLock lock(&filter.mutex);
    RepeatEntry& entry = filter.table[tag];
    if (entry.count > 0 && entry.lastMessage == message) {
        ++entry.count;
        return false;
    }
    if (entry.count >= 2) {
        outline() << "* " << tag << ": (Last message repeated " << entry.count << " times)";
    }
    entry.lastMessage = message;
    entry.count = 1;
    return true;
}

}  // namespace

logline::logline() : id(0) {}
logline::logline(unsigned int id) : id(id) {}
logline::logline(const std::string& tag) : tag(tag), id(0) {}
logline::logline(unsigned int id, const std::string& tag) : tag(tag), id(id) {}

logline::~logline() {
    try {
        std::string message = text();
        if (!tag.empty() && !passRepeatFilter(tag, message)) return;

        std::string prefix = "* ";
        if (id != 0) prefix += "[" + std::to_string(id) + "] ";
        if (!tag.empty()) prefix += tag + ": ";

        while (!message.empty() && message.back() == '\n') message.pop_back();
        std::string line = prefix;
        line.reserve(prefix.size() + message.size() + 1);
        for (char c : message) {
            line.push_back(c);
            if (c == '\n') line += prefix;
        }
        line.push_back('\n');
        writeOutputLine(line);
    } catch (...) {
        // A destructor must not throw; a line that cannot be built is lost.
    }
}

}  // namespace tmg
