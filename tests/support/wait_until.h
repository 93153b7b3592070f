#pragma once

// Waiting by the clock for what another thread does. A wait that counts tries instead
// gives up early on a busy machine, where each try (a sleep of a millisecond) may take many.

#include <chrono>
#include <thread>

namespace testsupport {

// How long a test waits for what should happen at once: a machine three times slower and
// busy with other work still makes it in time; only a failing test waits this long.
constexpr std::chrono::milliseconds kWaitLimit{20000};

// Asks done() about every millisecond until it says true or limit has passed; returns its
// last answer.
template <typename Done>
bool waitUntil(Done done, std::chrono::milliseconds limit = kWaitLimit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return done();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

}  // namespace testsupport
