#pragma once

#include <ostream>
#include <string>

namespace tmg {

// A small object that prints itself onto an output stream.
class ostream_func {
public:
    // Prints the object onto the stream.
    virtual void operator()(std::ostream& out) const = 0;
    virtual ~ostream_func();
    // Exactly what operator() prints.
    virtual std::string toString() const;
};

// Prints the object onto the stream: out << object is object(out).
std::ostream& operator<<(std::ostream& out, const ostream_func& object);

}  // namespace tmg
