#include "directory/domains.h"
#include "directory/internal/reset_for_tests.h"
#include "formats/dataset_reader.h"
#include "foundation/case_fold.h"

namespace cgp {

std::atomic<bool> directoryVerbose{false};

namespace {

std::string readMainDomain() {
    DataSet settings = loadDataSetFile("Settings/Main.settings");
    if (settings.kind() != DataSetKind::Dictionary) return std::string();
    const DataSet* name = settings->dictionary.find("DomainName");
    if (name == nullptr || name->isNull()) return std::string();
    return tmg::foldCase((*name)->stringValue);
}

// The one string every caller gets a reference to. loaded is set, after the read, under
// the cache mutex; once it is seen set the string no longer changes (but for the tests'
// reset). Never destroyed: the reference stays valid for destructors running at exit.
struct MainDomain {
    std::atomic<bool> loaded{false};
    std::string name;
};

MainDomain& state() {
    static MainDomain* made = new MainDomain;
    return *made;
}

}  // namespace

const std::string& mainDomainName() {
    MainDomain& shared = state();
    if (shared.loaded.load(std::memory_order_acquire)) return shared.name;
    // The first read is made under the cache mutex: callers on other threads wait for it
    // instead of racing it. The read takes the dataset pool and parser mutexes, which
    // rank inside the cache mutex. A missing file or key is not tried again.
    tmg::MutexLock lock(&accountCacheMutex());
    if (!shared.loaded.load(std::memory_order_relaxed)) {
        shared.name = readMainDomain();
        shared.loaded.store(true, std::memory_order_release);
    }
    return shared.name;
}

namespace directory_internal {

void forgetMainDomainForTests() {
    MainDomain& shared = state();
    tmg::MutexLock lock(&accountCacheMutex());
    shared.loaded.store(false, std::memory_order_relaxed);
    shared.name.clear();
}

}  // namespace directory_internal

}  // namespace cgp
