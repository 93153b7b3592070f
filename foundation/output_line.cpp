#include "foundation/output_line.h"

#include <pthread.h>

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
    // The write is a cancellation point, and we are called from destructors: a thread
    // cancelled there would unwind through one and end the process. The cancellation
    // waits for the next point after the line is out, whole.
    int cancelState = 0;
    pthread_setcancelstate(PTHREAD_CANCEL_DISABLE, &cancelState);
    {
        MutexLock lock(&outputMutex());
        std::cout.write(lineWithFeed.data(), static_cast<std::streamsize>(lineWithFeed.size()));
        std::cout.flush();
    }
    pthread_setcancelstate(cancelState, nullptr);
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
