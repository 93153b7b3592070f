#include "foundation/output_line.h"

#include <iostream>

#include "foundation/mutex.h"

namespace tmg {

namespace {

// Never destroyed: a line may still be written by another unit's destructor at exit.
MutexInterface& outputMutex() {
    static MutexInterface* mutex = new MutexInterface(LockRank::Output);
    return *mutex;
}

// Made during static initialisation, before any second thread can exist.
[[maybe_unused]] MutexInterface& initOutputMutex = outputMutex();

}  // namespace

ostream_base::ostream_base() : std::ostream(nullptr), buffer(std::ios_base::out) { rdbuf(&buffer); }

ostream_base::~ostream_base() = default;

void writeOutputLine(const std::string& lineWithFeed) {
    MutexLock lock(&outputMutex());
    std::cout.write(lineWithFeed.data(), static_cast<std::streamsize>(lineWithFeed.size()));
    std::cout.flush();
}

outline::~outline() {
    try {
        std::string line = text();
        while (!line.empty() && line.back() == '\n') line.pop_back();
        line.push_back('\n');
        writeOutputLine(line);
    } catch (...) {
        // A destructor must not throw; a line that cannot be built is lost.
    }
}

}  // namespace tmg
