#pragma once

namespace tmg {

// Empty base that forbids copying and assignment of the class deriving from it.
class noncopyable {
protected:
    noncopyable() = default;
    ~noncopyable() = default;

public:
    noncopyable(const noncopyable&) = delete;
    noncopyable& operator=(const noncopyable&) = delete;
};

}  // namespace tmg
