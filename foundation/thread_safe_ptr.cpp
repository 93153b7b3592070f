#include "foundation/thread_safe_ptr.h"

namespace tmg {

MutexInterface& threadSafePtrMutex() {
    // Never destroyed: handles held by static objects of other units are released at exit.
    static MutexInterface* mutex = new MutexInterface(LockRank::PointerRings);
    return *mutex;
}

}  // namespace tmg
