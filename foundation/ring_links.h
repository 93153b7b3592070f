#pragma once

#include <type_traits>

#include "foundation/ptr_interface.h"

namespace tmg {

// Frees an object that a ring handle owned and that has no deleter. Character buffers are
// made with new[], so they are freed in array form.
template <class T>
inline void deleteRingObject(T* object) {
    if constexpr (std::is_same_v<T, char>)
        delete[] object;
    else
        delete object;
}

// The layout and the link operations that ptr and thread_safe_ptr share: the owned object,
// how to free it, and the two neighbours in the ring of handles that own it. Handle is the
// derived handle type. Nothing here locks; thread_safe_ptr calls these under its mutex.
//
// Invariants: every handle of a ring holds the same object and deleter; a handle alone in
// its ring points to itself with both links; a handle with null links is in no ring.
template <class T, class Handle>
class ring_links : public ptr_interface<T> {
public:
    using Deleter = void (*)(T*);

protected:
    // In no ring yet: the handle links itself once it is constructed.
    ring_links(T* owned, Deleter d) noexcept : object(owned), deleter(d), prev(nullptr), next(nullptr) {}

    // Makes this handle a ring of one.
    void ringOfOne() noexcept { prev = next = self(); }

    // True when no other handle shares the object.
    bool aloneInRing() const noexcept { return next == nullptr || next == self(); }

    // Frees the object through the deleter, or with delete when there is none.
    static void destroy(T* owned, Deleter d) {
        if (d)
            d(owned);
        else
            deleteRingObject(owned);
    }

    // Leaves the ring and clears every field; the neighbours close the gap. Returns the
    // object when this handle was its last owner (the caller frees it), else null.
    T* leaveLinks() noexcept {
        T* last = nullptr;
        if (object != nullptr) {
            if (aloneInRing()) {
                last = object;
            } else {
                links(*prev).next = next;
                links(*next).prev = prev;
            }
        }
        object = nullptr;
        deleter = nullptr;
        prev = next = nullptr;
        return last;
    }

    // Takes the source's object and joins its ring right after it; an empty source gives
    // a handle in no ring. This handle must hold nothing.
    void joinAfter(const Handle& source) noexcept {
        const ring_links& other = links(source);
        object = other.object;
        deleter = other.deleter;
        if (object == nullptr) {
            prev = next = nullptr;
            return;
        }
        if (other.next == nullptr) other.prev = other.next = &source;
        prev = &source;
        next = other.next;
        links(*next).prev = self();
        other.next = self();
    }

    // Moves the source's place in its ring to this handle and leaves the source empty, in
    // no ring. This handle must hold nothing.
    void takePlaceOf(Handle& source) noexcept {
        ring_links& other = links(source);
        object = other.object;
        deleter = other.deleter;
        if (other.next == nullptr) {
            prev = next = nullptr;
        } else if (other.next == &source) {
            prev = next = self();
        } else {
            prev = other.prev;
            next = other.next;
            links(*prev).next = self();
            links(*next).prev = self();
        }
        other.object = nullptr;
        other.deleter = nullptr;
        other.prev = other.next = nullptr;
    }

    // Leaves the old ring and links anew through join, both while a Guard is held (a guard
    // type that locks, or one that does nothing); the old object, if this handle was its
    // last owner, is freed only after the guard is gone. Freeing last lets the old object
    // own what join links to (`p = p->child`).
    template <class Guard, class Join>
    void relink(Join join) noexcept {
        Deleter oldDeleter = deleter;
        T* last;
        {
            [[maybe_unused]] Guard guard;
            last = leaveLinks();
            join();
        }
        if (last != nullptr) destroy(last, oldDeleter);
    }

    // The guard of handles that take no lock.
    struct NoGuard {};

    T* object;
    Deleter deleter;
    mutable const Handle* prev;
    mutable const Handle* next;

private:
    const Handle* self() const noexcept { return static_cast<const Handle*>(this); }
    static const ring_links& links(const Handle& h) noexcept { return h; }
    static ring_links& links(Handle& h) noexcept { return h; }
};

}  // namespace tmg
