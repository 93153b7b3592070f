// Server-wide and cluster-wide default settings, directory integration, address lists, module
// settings and the server log.

#include "cli/cli.h"
#include "cli/command_line.h"
#include "filter/quoting.h"

namespace cgp {

using cli_internal::Command;

// Server-wide and cluster-wide defaults and directory integration.

void CLI::setClusterAccountDefaults(const DataSet& settings) {
    Command(*this, "SetClusterAccountDefaults").dataSet(settings, DataSetKind::Dictionary).resultNone();
}

DataSet CLI::getClusterAccountDefaults() {
    return Command(*this, "GetClusterAccountDefaults").resultDataSet();
}

DataSet CLI::getAllAccountsDefaults() {
    return Command(*this, "GetAllAccountsDefaults").resultDataSet();
}

void CLI::setClusterDomainDefaults(const DataSet& settings) {
    Command(*this, "SetClusterDomainDefaults").dataSet(settings, DataSetKind::Dictionary).resultNone();
}

void CLI::setDomainDefaults(const DataSet& settings) {
    Command(*this, "SetDomainDefaults").dataSet(settings, DataSetKind::Dictionary).resultNone();
}

void CLI::updateDomainDefaults(const DataSet& settings) {
    Command(*this, "UpdateDomainDefaults").dataSet(settings, DataSetKind::Dictionary).resultNone();
}

void CLI::setServerWebUserDefaults(const DataSet& settings) {
    Command(*this, "SetServerWebUserDefaults").dataSet(settings, DataSetKind::Dictionary).resultNone();
}

DataSet CLI::getClusterWebUserDefaults() {
    return Command(*this, "GetClusterWebUserDefaults").resultDataSet();
}

void CLI::setDirectoryIntegration(const DataSet& settings) {
    Command(*this, "SetDirectoryIntegration").dataSet(settings, DataSetKind::Dictionary).resultNone();
}

DataSet CLI::getClusterDirectoryIntegration() {
    return Command(*this, "GetClusterDirectoryIntegration").resultDataSet();
}

// Address lists, modules and the log.

void CLI::setWhiteHoleIPs(const std::string& addresses) {
    Command(*this, "SetWhiteHoleIPs").inQuotes(addresses).resultNone();
}

void CLI::setClusterWhiteHoleIPs(const std::string& addresses) {
    Command(*this, "SetClusterWhiteHoleIPs").inQuotes(addresses).resultNone();
}

void CLI::setClusterClientIPs(const std::string& addresses) {
    Command(*this, "SetClusterClientIPs").inQuotes(addresses).resultNone();
}

void CLI::setModule(const std::string& module, const DataSet& settings) {
    Command(*this, "SetModule").word(module).dataSet(settings, DataSetKind::Dictionary).resultNone();
}

void CLI::writeLog(std::int32_t level, const std::string& text) {
    requireString(text);
    // Escaped once here and once more by the quoted form; the escaped text itself is not
    // checked (a text of carriage returns alone escapes to nothing and is still sent).
    Command(*this, "WriteLog").number(level).when(true).quoted(escapeString(text)).end().resultNone();
}

}  // namespace cgp
