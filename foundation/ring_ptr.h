#pragma once

#include <type_traits>

#include "foundation/ptr_interface.h"

namespace tmg {

// Frees an object that a ring handle owned and that has no deleter. Character buffers are
// made with new[], so ptr<char> frees them in array form.
template <class T>
inline void deleteRingObject(T* object) {
    if constexpr (std::is_same_v<T, char>)
        delete[] object;
    else
        delete object;
}

// Shared owner of one heap object. Instead of counting, the handles that own an object are
// linked into a circular list; the handle that leaves the ring last frees the object, once,
// through the deleter when one is set, else with delete (delete[] for ptr<char>).
//
// No locking: handles of one ring must not be copied, assigned or destroyed on two threads
// at the same time (thread_safe_ptr serves that case). A handle's address is part of its
// ring, so moving a handle relinks its neighbours; the moved-from handle is left empty.
template <class T>
class ptr : public ptr_interface<T> {
public:
    using Deleter = void (*)(T*);

    // An empty handle, a ring of one.
    ptr() noexcept : object(nullptr), deleter(nullptr), prev(this), next(this) {}
    // Takes sole ownership of the object (may be null). With a deleter, the object is freed
    // by calling it; it is never passed to delete then.
    explicit ptr(T* owned, Deleter d = nullptr) noexcept
        : object(owned), deleter(d), prev(this), next(this) {}
    // Shares the source's object; copying an empty handle gives an empty handle.
    ptr(const ptr& other) noexcept : ptr_interface<T>() { joinAfter(other); }
    ptr(ptr&& other) noexcept : ptr_interface<T>() { takePlaceOf(other); }
    ~ptr() override { release(); }

    // Shares the source's object and then lets go of the old one, so the old object may own
    // the source: after `p = p->child` the child is already held when the parent goes.
    ptr& operator=(const ptr& other) noexcept {
        if (this == &other) return *this;
        T* old = object;
        Deleter oldDeleter = deleter;
        bool last = old != nullptr && isUnique();
        unlink();
        joinAfter(other);
        if (last) destroy(old, oldDeleter);
        return *this;
    }
    ptr& operator=(ptr&& other) noexcept {
        if (this == &other) return *this;
        T* old = object;
        Deleter oldDeleter = deleter;
        bool last = old != nullptr && isUnique();
        unlink();
        takePlaceOf(other);
        if (last) destroy(old, oldDeleter);
        return *this;
    }

    void hook() override {}
    bool isUnique() const override { return prev == nullptr || prev == this; }
    bool isNull() const override { return object == nullptr; }

    // The object, or null. Owned by the ring: valid while any of its handles holds it.
    T* get() const noexcept { return object; }
    T* operator->() const noexcept { return object; }
    T& operator*() const noexcept { return *object; }

private:
    static void destroy(T* owned, Deleter d) {
        if (d)
            d(owned);
        else
            deleteRingObject(owned);
    }

    // Leaves the ring without freeing anything; the neighbours close the gap.
    void unlink() noexcept {
        if (prev != nullptr && prev != this) {
            prev->next = next;
            next->prev = prev;
        }
        object = nullptr;
        deleter = nullptr;
        prev = next = nullptr;
    }

    void joinAfter(const ptr& other) noexcept {
        object = other.object;
        deleter = other.deleter;
        if (object == nullptr) {
            prev = next = nullptr;
            return;
        }
        if (other.next == nullptr) other.prev = other.next = &other;
        prev = &other;
        next = other.next;
        next->prev = this;
        other.next = this;
    }

    void takePlaceOf(ptr& other) noexcept {
        object = other.object;
        deleter = other.deleter;
        if (other.prev == nullptr) {
            prev = next = nullptr;
        } else if (other.prev == &other) {
            prev = next = this;
        } else {
            prev = other.prev;
            next = other.next;
            prev->next = this;
            next->prev = this;
        }
        other.object = nullptr;
        other.deleter = nullptr;
        other.prev = other.next = nullptr;
    }

    void release() noexcept {
        if (object != nullptr) {
            if (isUnique())
                destroy(object, deleter);
            else
                unlink();
        }
        object = nullptr;
        prev = next = nullptr;
    }

    T* object;
    Deleter deleter;
    mutable const ptr* prev;
    mutable const ptr* next;
};

}  // namespace tmg
