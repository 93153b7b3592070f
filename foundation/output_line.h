#pragma once

#include <ostream>
#include <sstream>

namespace tmg {

// An output stream that collects its text in its own string buffer.
class ostream_base : public std::ostream {
public:
    ostream_base();
    virtual ~ostream_base();

    // The text collected so far.
    std::string text() const { return buffer.str(); }

private:
    std::stringbuf buffer;
};

// One line on standard output. Text is collected with the usual insertion operators and
// written when the object is destroyed: trailing line feeds are removed, exactly one is
// added, and the whole line is written and flushed under the process-wide output mutex,
// so lines of different threads never interleave. An empty line writes a lone line feed.
class outline : public ostream_base {
public:
    outline() = default;
    ~outline() override;
};

// Writes one whole line (text plus a line feed, nothing stripped) to standard output
// under the output mutex and flushes it. The common end of outline and logline. A thread
// cancelled meanwhile stops at its next cancellation point after the line is written.
void writeOutputLine(const std::string& lineWithFeed);

}  // namespace tmg
