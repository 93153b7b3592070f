#pragma once

namespace tmg {

// The operations every ring-shared handle offers, whatever its locking. A handle owns its
// object together with every other handle of its ring; see ptr and thread_safe_ptr.
template <class T>
class ptr_interface {
public:
    // A customisation point that nothing calls; handles implement it empty.
    virtual void hook() = 0;
    virtual ~ptr_interface() = default;
    // True when no other handle shares the object (also for a handle that holds none).
    virtual bool isUnique() const = 0;
    // True when the handle holds no object.
    virtual bool isNull() const = 0;
};

}  // namespace tmg
