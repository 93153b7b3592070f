#pragma once

#include "foundation/mutex.h"
#include "foundation/ptr_interface.h"

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
class thread_safe_ptr : public ptr_interface<T> {
public:
    using Deleter = void (*)(T*);

    // A handle that holds nothing and belongs to no ring.
    thread_safe_ptr() noexcept : object(nullptr), deleter(nullptr), prev(nullptr), next(nullptr), inherited(false) {}
    // Takes sole ownership of the object: a ring of one (a null object gives a handle in no
    // ring, as the default one). With a deleter, the object is freed by calling it, never
    // with delete.
    explicit thread_safe_ptr(T* owned, Deleter d = nullptr) noexcept
        : object(owned), deleter(d), prev(this), next(this), inherited(false) {
        if (owned == nullptr) prev = next = nullptr;
    }
    thread_safe_ptr(const thread_safe_ptr& other) noexcept : ptr_interface<T>(), inherited(other.inherited) {
        MutexLock lock(&sharedMutex());
        joinAfter(other);
    }
    thread_safe_ptr(thread_safe_ptr&& other) noexcept : ptr_interface<T>(), inherited(other.inherited) {
        MutexLock lock(&sharedMutex());
        takePlaceOf(other);
    }
    ~thread_safe_ptr() override { release(); }

    // Shares the source's object and only then lets go of the old one, so the old object
    // may own the source (`p = p->child`). Assigning a handle to itself changes nothing.
    thread_safe_ptr& operator=(const thread_safe_ptr& other) noexcept {
        if (this == &other) return *this;
        inherited = other.inherited;
        T* last;
        Deleter oldDeleter = deleter;
        {
            MutexLock lock(&sharedMutex());
            last = unlink();
            joinAfter(other);
        }
        if (last != nullptr) destroy(last, oldDeleter);
        return *this;
    }
    thread_safe_ptr& operator=(thread_safe_ptr&& other) noexcept {
        if (this == &other) return *this;
        inherited = other.inherited;
        T* last;
        Deleter oldDeleter = deleter;
        {
            MutexLock lock(&sharedMutex());
            last = unlink();
            takePlaceOf(other);
        }
        if (last != nullptr) destroy(last, oldDeleter);
        return *this;
    }

    void hook() override {}
    bool isUnique() const override {
        MutexLock lock(&sharedMutex());
        return next == nullptr || next == this;
    }
    bool isNull() const override {
        MutexLock lock(&sharedMutex());
        return object == nullptr;
    }

    // The object, or null. Owned by the ring: valid while any handle of the ring holds it.
    T* get() const noexcept { return object; }
    T* operator->() const noexcept { return object; }
    T& operator*() const noexcept { return *object; }

    bool isInherited() const noexcept { return inherited; }
    void setInherited(bool value) noexcept { inherited = value; }

    // Lets go of the object. When this handle was its last owner and there is no deleter,
    // the object is handed to the caller, who must delete it; otherwise returns null (the
    // object stays with the other handles, or went through its deleter). Lets an owner of
    // handles free a deep structure with a worklist instead of recursion.
    T* leaveRing() noexcept {
        Deleter d = deleter;
        T* last;
        {
            MutexLock lock(&sharedMutex());
            last = unlink();
        }
        if (last != nullptr && d != nullptr) {
            d(last);
            return nullptr;
        }
        return last;
    }

    static MutexInterface& sharedMutex() { return threadSafePtrMutex(); }

private:
    static void destroy(T* owned, Deleter d) {
        if (d)
            d(owned);
        else
            delete owned;
    }

    // Leaves the ring (caller holds the mutex); returns the object when this handle was its
    // last owner, so the caller frees it once the mutex is given back.
    T* unlink() noexcept {
        T* last = nullptr;
        if (object != nullptr) {
            if (next == nullptr || next == this) {
                last = object;
            } else {
                prev->next = next;
                next->prev = prev;
            }
        }
        object = nullptr;
        deleter = nullptr;
        prev = next = nullptr;
        return last;
    }

    // Caller holds the mutex.
    void joinAfter(const thread_safe_ptr& other) noexcept {
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

    // Caller holds the mutex.
    void takePlaceOf(thread_safe_ptr& other) noexcept {
        object = other.object;
        deleter = other.deleter;
        if (other.next == nullptr) {
            prev = next = nullptr;
        } else if (other.next == &other) {
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
        other.inherited = false;
    }

    void release() noexcept {
        if (object == nullptr) return;  // a handle without an object is in no ring
        Deleter d = deleter;
        T* last;
        {
            MutexLock lock(&sharedMutex());
            last = unlink();
        }
        if (last != nullptr) destroy(last, d);
    }

    T* object;
    Deleter deleter;
    mutable const thread_safe_ptr* prev;
    mutable const thread_safe_ptr* next;
    bool inherited;
};

}  // namespace tmg
