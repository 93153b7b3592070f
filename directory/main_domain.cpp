#include "directory/domains.h"
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

}  // namespace

const std::string& mainDomainName() {
    // Made once, under the language's guard for local statics: callers on other threads
    // wait for the first read instead of racing it, and a failed read is not tried again.
    static const std::string mainDomain = readMainDomain();
    return mainDomain;
}

}  // namespace cgp
