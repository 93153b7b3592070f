#pragma once

#include <string>

#include "foundation/output_line.h"

namespace tmg {

// One log line on standard output, written when the object is destroyed:
//   "* " ["[" id "] "] [tag ": "] message
// Every line feed inside the message starts a new line with the same prefix; trailing line
// feeds are dropped. With a non-empty tag, identical messages given in a row for that tag
// are written once; when a different message of the tag arrives after a run of two or more,
// "* <tag>: (Last message repeated <n> times)" is written first. The request number is not
// part of that comparison. Lines without a tag are never filtered.
class logline : public ostream_base {
public:
    logline();
    explicit logline(unsigned int id);
    explicit logline(const std::string& tag);
    logline(unsigned int id, const std::string& tag);
    ~logline() override;

private:
    std::string tag;
    unsigned int id;
};

}  // namespace tmg
