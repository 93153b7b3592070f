#pragma once

#include <chrono>

// Wall-clock seconds that one call of f takes.
template <class F>
double secondsFor(F&& f) {
    auto start = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}
