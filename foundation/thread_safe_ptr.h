#pragma once

#include "foundation/mutex.h"
#include "foundation/ring_links.h"

namespace tmg {

// The one recursive mutex under which every thread_safe_ptr of the process, whatever its
// type, links and unlinks. Made on first use and never destroyed, so handles released by
// code running at exit still find it.
MutexInterface& threadSafePtrMutex();

// A ring-shared owner like ptr, whose every ring change and ring test is made under
// threadSafePtrMutex(), so that any thread may copy, assign, test and release handles of
// one object at the same time as others do. The object itself is not guarded.
//
// Each handle also carries one flag of its own, `inherited`: false for a handle made from
// an object, copied by copy construction and assignment. It says nothing to the ring.
//
// Every copy takes the process-wide mutex: keep copies off hot paths (pass handles by
// reference, read through get()). A handle's address is part of its ring, so moving one
// relinks its neighbours; the moved-from handle is left empty.
template <class T>
class thread_safe_ptr : public ring_links<T, thread_safe_ptr<T>> {
    using Links = ring_links<T, thread_safe_ptr<T>>;

public:
    using Deleter = typename Links::Deleter;

    // A handle that holds nothing and belongs to no ring.
    thread_safe_ptr() noexcept : Links(nullptr, nullptr), inherited(false) {}
    // Takes sole ownership of the object: a ring of one (a null object gives a handle in no
    // ring, as the default one). With a deleter, the object is freed by calling it, never
    // with delete.
    explicit thread_safe_ptr(T* owned, Deleter d = nullptr) noexcept : Links(owned, d), inherited(false) {
        if (owned != nullptr) this->ringOfOne();
    }
    thread_safe_ptr(const thread_safe_ptr& other) noexcept : Links(nullptr, nullptr), inherited(other.inherited) {
        MutexLock lock(&sharedMutex());
        this->joinAfter(other);
    }
    thread_safe_ptr(thread_safe_ptr&& other) noexcept : Links(nullptr, nullptr), inherited(other.inherited) {
        MutexLock lock(&sharedMutex());
        this->takePlaceOf(other);
        other.inherited = false;
    }
    ~thread_safe_ptr() override { release(); }

    // Shares the source's object and only then lets go of the old one, so the old object
    // may own the source (`p = p->child`). Assigning a handle to itself changes nothing.
    thread_safe_ptr& operator=(const thread_safe_ptr& other) noexcept {
        if (this == &other) return *this;
        inherited = other.inherited;
        this->template relink<RingGuard>([&] { this->joinAfter(other); });
        return *this;
    }
    thread_safe_ptr& operator=(thread_safe_ptr&& other) noexcept {
        if (this == &other) return *this;
        inherited = other.inherited;
        this->template relink<RingGuard>([&] {
            this->takePlaceOf(other);
            other.inherited = false;
        });
        return *this;
    }

    void hook() override {}
    bool isUnique() const override {
        MutexLock lock(&sharedMutex());
        return this->aloneInRing();
    }
    bool isNull() const override {
        MutexLock lock(&sharedMutex());
        return this->object == nullptr;
    }

    // The object, or null. Owned by the ring: valid while any handle of the ring holds it.
    T* get() const noexcept { return this->object; }
    T* operator->() const noexcept { return this->object; }
    T& operator*() const noexcept { return *this->object; }

    bool isInherited() const noexcept { return inherited; }
    void setInherited(bool value) noexcept { inherited = value; }

    // Lets go of the object. When this handle was its last owner and there is no deleter,
    // the object is handed to the caller, who must delete it; otherwise returns null (the
    // object stays with the other handles, or went through its deleter). Lets an owner of
    // handles free a deep structure with a worklist instead of recursion.
    T* leaveRing() noexcept {
        Deleter d = this->deleter;
        T* last;
        {
            MutexLock lock(&sharedMutex());
            last = this->leaveLinks();
        }
        if (last != nullptr && d != nullptr) {
            d(last);
            return nullptr;
        }
        return last;
    }

    static MutexInterface& sharedMutex() { return threadSafePtrMutex(); }

private:
    // Holds the ring mutex for the life of the guard.
    struct RingGuard {
        MutexLock lock{&sharedMutex()};
    };

    void release() noexcept {
        if (this->object == nullptr) return;  // a handle without an object is in no ring
        Deleter d = this->deleter;
        T* last;
        {
            MutexLock lock(&sharedMutex());
            last = this->leaveLinks();
        }
        if (last != nullptr) Links::destroy(last, d);
    }

    bool inherited;
};

}  // namespace tmg
