#pragma once

// Sets a variable (a class-wide default, say) for one test and puts the old value back when
// the test ends.

namespace testsupport {

template <class T>
class ScopedValue {
public:
    ScopedValue(T& target, T replacement) : value(target), saved(target) { value = replacement; }
    ~ScopedValue() { value = saved; }
    ScopedValue(const ScopedValue&) = delete;
    ScopedValue& operator=(const ScopedValue&) = delete;

private:
    T& value;
    T saved;
};

}  // namespace testsupport
