#pragma once

#include <iostream>
#include <sstream>
#include <string>

// Redirects std::cout into a string for the life of the object.
class CaptureStdout {
public:
    CaptureStdout() : saved(std::cout.rdbuf(captured.rdbuf())) {}
    ~CaptureStdout() { std::cout.rdbuf(saved); }
    std::string text() const { return captured.str(); }

private:
    std::ostringstream captured;
    std::streambuf* saved;
};
