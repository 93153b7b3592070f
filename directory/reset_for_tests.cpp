#include "directory/internal/reset_for_tests.h"

#include "directory/cli_probes.h"
#include "directory/domains.h"
#include "directory/email.h"
#include "directory/router.h"

namespace cgp::directory_internal {

void resetDirectoryForTests() {
    {
        // The Router mutex outside the cache mutex, as the lock order has them; every
        // part below takes its own mutex again.
        tmg::MutexLock router(&routerMutex());
        tmg::MutexLock cache(&accountCacheMutex());
        clearRouter();
        forgetRouterLoadForTests();
        forgetDirectoryCacheForTests();
        forgetMainDomainForTests();
        setDefaultDomain(std::string());  // the innermost lock; nothing is taken under it
    }
    directoryVerbose = false;
    routerTrace = false;
    probe_testing::forgetState();
    probe_testing::setClock(nullptr);
}

}  // namespace cgp::directory_internal
