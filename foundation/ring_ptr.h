#pragma once

#include "foundation/ring_links.h"

namespace tmg {

// Shared owner of one heap object. Instead of counting, the handles that own an object are
// linked into a circular list; the handle that leaves the ring last frees the object, once,
// through the deleter when one is set, else with delete (delete[] for ptr<char>).
//
// No locking: handles of one ring must not be copied, assigned or destroyed on two threads
// at the same time (thread_safe_ptr serves that case). A handle's address is part of its
// ring, so moving a handle relinks its neighbours; the moved-from handle is left empty.
template <class T>
class ptr : public ring_links<T, ptr<T>> {
    using Links = ring_links<T, ptr<T>>;

public:
    using Deleter = typename Links::Deleter;

    // An empty handle, a ring of one.
    ptr() noexcept : Links(nullptr, nullptr) { this->ringOfOne(); }
    // Takes sole ownership of the object (may be null). With a deleter, the object is freed
    // by calling it; it is never passed to delete then.
    explicit ptr(T* owned, Deleter d = nullptr) noexcept : Links(owned, d) { this->ringOfOne(); }
    // Shares the source's object; copying an empty handle gives an empty handle.
    ptr(const ptr& other) noexcept : Links(nullptr, nullptr) { this->joinAfter(other); }
    ptr(ptr&& other) noexcept : Links(nullptr, nullptr) { this->takePlaceOf(other); }
    ~ptr() override { release(); }

    // Shares the source's object and then lets go of the old one, so the old object may own
    // the source: after `p = p->child` the child is already held when the parent goes.
    ptr& operator=(const ptr& other) noexcept {
        if (this != &other) this->template relink<typename Links::NoGuard>([&] { this->joinAfter(other); });
        return *this;
    }
    ptr& operator=(ptr&& other) noexcept {
        if (this != &other) this->template relink<typename Links::NoGuard>([&] { this->takePlaceOf(other); });
        return *this;
    }

    void hook() override {}
    bool isUnique() const override { return this->prev == nullptr || this->prev == this; }
    bool isNull() const override { return this->object == nullptr; }

    // The object, or null. Owned by the ring: valid while any of its handles holds it.
    T* get() const noexcept { return this->object; }
    T* operator->() const noexcept { return this->object; }
    T& operator*() const noexcept { return *this->object; }

private:
    void release() noexcept {
        Deleter d = this->deleter;
        if (T* last = this->leaveLinks()) Links::destroy(last, d);
    }
};

}  // namespace tmg
