#include "directory/email.h"
#include "foundation/mutex.h"

namespace cgp {

namespace {

// Its own mutex: the address split reads the value under the cache and parser mutexes,
// and the Router mutex, taken outside those, would invert the lock order.
struct DefaultDomain {
    tmg::MutexInterface mutex{tmg::LockRank::DefaultDomain};
    std::string value;
};

// Never destroyed: addresses may still be split by another unit's destructor at exit.
DefaultDomain& state() {
    static DefaultDomain* made = new DefaultDomain;
    return *made;
}

}  // namespace

std::string defaultDomain() {
    DefaultDomain& shared = state();
    tmg::MutexLock lock(&shared.mutex);
    return shared.value;
}

void setDefaultDomain(const std::string& domain) {
    DefaultDomain& shared = state();
    tmg::MutexLock lock(&shared.mutex);
    shared.value = domain;
}

}  // namespace cgp
