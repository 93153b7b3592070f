#pragma once

#include <fstream>
#include <string>

#include "foundation/noncopyable.h"

namespace tmg {

// The library's input file stream: a std::ifstream opened for reading only. Whether it
// opened is asked with is_open(); the file is closed by the destructor.
class ifstream : public std::ifstream {
public:
    ifstream() = default;
    explicit ifstream(const std::string& path) : std::ifstream(path, std::ios::in) {}
    ~ifstream() override;
};

// The library's output file stream, not copyable. Opened with the default mode an existing
// file is truncated; pass std::ios::app to append. The file is closed by the destructor.
class ofstream : public std::ofstream, private noncopyable {
public:
    ofstream() = default;
    explicit ofstream(const std::string& path, std::ios::openmode mode = std::ios::out) : std::ofstream(path, mode) {}
    ~ofstream() override;
};

}  // namespace tmg
