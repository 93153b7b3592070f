// Commands on the server and the cluster as a whole: queue and server control, modules, cluster
// state, intercept, the Router, rules, protection and address lists, alerts, cluster and server skins,
// server-wide and cluster-wide defaults.

#include "cli/cli.h"
#include "cli/command_line.h"

namespace cgp {

using cli_internal::Command;
using cli_internal::CommandLine;

// Queue, server control, modules and SNMP.

void CLI::rejectQueueMessage(const std::string& message, const std::string& text) {
    Command(*this, "RejectQueueMessage").word(message).when(!text.empty()).quoted(text).end().resultNone();
}

void CLI::releaseSMTPQueue(const std::string& queue) {
    Command(*this, "ReleaseSMTPQueue").word(queue).resultNone();
}

void CLI::shutdown() {
    Command(*this, "Shutdown").resultNone();
}

void CLI::refreshOSData() {
    Command(*this, "RefreshOSData").resultNone();
}

void CLI::updateModule(const std::string& module, const DataSet& settings) {
    Command(*this, "UpdateModule").word(module).dataSet(settings, DataSetKind::Dictionary).resultNone();
}

DataSet CLI::getModule(const std::string& module) {
    return Command(*this, "GetModule").word(module).resultDataSet();
}

std::string CLI::getSNMPElement(const std::string& element) {
    return Command(*this, "GetSNMPElement").word(element).resultString();
}

// Cluster state.

std::string CLI::getTempClientIPs() {
    return Command(*this, "GetTempClientIPs").resultString();
}

std::string CLI::getCurrentController() {
    return Command(*this, "GetCurrentController").resultString();
}

DataSet CLI::getClusterDomainDefaults() {
    return Command(*this, "GetClusterDomainDefaults").resultDataSet();
}

bool CLI::tryGetClusterDomainDefaults() {
    sendLine(CommandLine("GetClusterDomainDefaults").text());
    // An error reply is the answer "not a cluster", no failure; a success's data stays unread.
    readResponse(false);
    return replyCode == 200 || replyCode == 201;
}

// Intercept, Router and rules.

void CLI::setClusterIntercept(const DataSet& settings) {
    Command(*this, "SetClusterIntercept").dataSet(settings, DataSetKind::Dictionary).resultNone();
}

DataSet CLI::getClusterIntercept() {
    return Command(*this, "GetClusterIntercept").resultDataSet();
}

void CLI::setServerIntercept(const DataSet& settings) {
    Command(*this, "SetServerIntercept").dataSet(settings, DataSetKind::Dictionary).resultNone();
}

DataSet CLI::getServerIntercept() {
    return Command(*this, "GetServerIntercept").resultDataSet();
}

void CLI::setClusterRouterTable(const std::string& table) {
    Command(*this, "SetClusterRouterTable").quoted(table).resultNone();
}

std::string CLI::getClusterRouterTable() {
    return Command(*this, "GetClusterRouterTable").resultString();
}

void CLI::setRouterSettings(const DataSet& settings) {
    Command(*this, "SetRouterSettings").dataSet(settings, DataSetKind::Dictionary).resultNone();
}

DataSet CLI::getRouterSettings() {
    return Command(*this, "GetRouterSettings").resultDataSet();
}

void CLI::setRouterTable(const std::string& table) {
    Command(*this, "SetRouterTable").quoted(table).resultNone();
}

std::string CLI::getRouterTable() {
    return Command(*this, "GetRouterTable").resultString();
}

void CLI::setClusterRules(const DataSet& rules) {
    Command(*this, "SetClusterRules").dataSet(rules, DataSetKind::Array).resultNone();
}

DataSet CLI::getClusterRules() {
    return Command(*this, "GetClusterRules").resultDataSet();
}

void CLI::setServerRules(const DataSet& rules) {
    Command(*this, "SetServerRules").dataSet(rules, DataSetKind::Array).resultNone();
}

DataSet CLI::getServerRules() {
    return Command(*this, "GetServerRules").resultDataSet();
}

// Protection, banned settings and address lists.

void CLI::setClusterProtection(const DataSet& settings) {
    Command(*this, "SetClusterProtection").dataSet(settings, DataSetKind::Dictionary).resultNone();
}

DataSet CLI::getClusterProtection() {
    return Command(*this, "GetClusterProtection").resultDataSet();
}

void CLI::setBanned(const DataSet& settings) {
    Command(*this, "SetBanned").dataSet(settings, DataSetKind::Dictionary).resultNone();
}

void CLI::setProtection(const DataSet& settings) {
    Command(*this, "SetProtection").dataSet(settings, DataSetKind::Dictionary).resultNone();
}

DataSet CLI::getBanned() {
    return Command(*this, "GetBanned").resultDataSet();
}

DataSet CLI::getProtection() {
    return Command(*this, "GetProtection").resultDataSet();
}

DataSet CLI::getClusterBanned() {
    return Command(*this, "GetClusterBanned").resultDataSet();
}

void CLI::setClusterLANIPs(const std::string& addresses) {
    Command(*this, "SetClusterLANIPs").inQuotes(addresses).resultNone();
}

void CLI::setClusterBlacklistedIPs(const std::string& addresses) {
    Command(*this, "SetClusterBlacklistedIPs").inQuotes(addresses).resultNone();
}

std::string CLI::getClusterWhiteHoleIPs() {
    return Command(*this, "GetClusterWhiteHoleIPs").resultString();
}

std::string CLI::getClusterClientIPs() {
    return Command(*this, "GetClusterClientIPs").resultString();
}

std::string CLI::getClusterLANIPs() {
    return Command(*this, "GetClusterLANIPs").resultString();
}

std::string CLI::getClusterBlacklistedIPs() {
    return Command(*this, "GetClusterBlacklistedIPs").resultString();
}

void CLI::setClientIPs(const std::string& addresses) {
    Command(*this, "SetClientIPs").inQuotes(addresses).resultNone();
}

void CLI::setLANIPs(const std::string& addresses) {
    Command(*this, "SetLANIPs").inQuotes(addresses).resultNone();
}

void CLI::setBlacklistedIPs(const std::string& addresses) {
    Command(*this, "SetBlacklistedIPs").inQuotes(addresses).resultNone();
}

std::string CLI::getWhiteHoleIPs() {
    return Command(*this, "GetWhiteHoleIPs").resultString();
}

std::string CLI::getClientIPs() {
    return Command(*this, "GetClientIPs").resultString();
}

std::string CLI::getBlacklistedIPs() {
    return Command(*this, "GetBlacklistedIPs").resultString();
}

std::string CLI::getLANIPs() {
    return Command(*this, "GetLANIPs").resultString();
}

// Alerts.

void CLI::removeClusterAlert(const std::string& alert) {
    Command(*this, "RemoveClusterAlert").word(alert).resultNone();
}

void CLI::postClusterAlert(const std::string& text) {
    Command(*this, "PostClusterAlert").quoted(text).resultNone();
}

void CLI::setClusterAlerts(const DataSet& alerts) {
    Command(*this, "SetClusterAlerts").dataSet(alerts, DataSetKind::Dictionary).resultNone();
}

DataSet CLI::getClusterAlerts() {
    return Command(*this, "GetClusterAlerts").resultDataSet();
}

void CLI::removeServerAlert(const std::string& alert) {
    Command(*this, "RemoveServerAlert").word(alert).resultNone();
}

void CLI::postServerAlert(const std::string& text) {
    Command(*this, "PostServerAlert").quoted(text).resultNone();
}

void CLI::setServerAlerts(const DataSet& alerts) {
    Command(*this, "SetServerAlerts").dataSet(alerts, DataSetKind::Dictionary).resultNone();
}

DataSet CLI::getServerAlerts() {
    return Command(*this, "GetServerAlerts").resultDataSet();
}

// Cluster and server skins.

void CLI::storeClusterSkinFile(const std::string& skin, const std::string& file, const std::string& data) {
    Command(*this, "StoreClusterSkinFile").inQuotes(skin).keyword("FILE").inQuotes(file).keyword("DATA")
        .inQuotes(data).resultNone();
}

DataSet CLI::listClusterSkinFiles(const std::string& skin) {
    return Command(*this, "ListClusterSkinFiles").inQuotes(skin).resultDataSet();
}

void CLI::deleteClusterSkin(const std::string& skin) {
    Command(*this, "DeleteClusterSkin").inQuotes(skin).resultNone();
}

void CLI::createClusterSkin(const std::string& skin) {
    Command(*this, "CreateClusterSkin").inQuotes(skin).resultNone();
}

DataSet CLI::listClusterSkins() {
    return Command(*this, "ListClusterSkins").resultDataSet();
}

DataSet CLI::listServerSkins() {
    return Command(*this, "ListServerSkins").resultDataSet();
}

// Server-wide and cluster-wide defaults and directory integration.

void CLI::updateClusterAccountDefaults(const DataSet& settings) {
    Command(*this, "UpdateClusterAccountDefaults").dataSet(settings, DataSetKind::Dictionary).resultNone();
}

void CLI::updateClusterDomainDefaults(const DataSet& settings) {
    Command(*this, "UpdateClusterDomainDefaults").dataSet(settings, DataSetKind::Dictionary).resultNone();
}

DataSet CLI::getDirectoryIntegration() {
    return Command(*this, "GetDirectoryIntegration").resultDataSet();
}

DataSet CLI::getServerWebUserDefaults() {
    return Command(*this, "GetServerWebUserDefaults").resultDataSet();
}

DataSet CLI::getDomainDefaults() {
    return Command(*this, "GetDomainDefaults").resultDataSet();
}

void CLI::setAllAccountsDefaults(const DataSet& settings) {
    Command(*this, "SetAllAccountsDefaults").dataSet(settings, DataSetKind::Dictionary).resultNone();
}

void CLI::updateAllAccountsDefaults(const DataSet& settings) {
    Command(*this, "UpdateAllAccountsDefaults").dataSet(settings, DataSetKind::Dictionary).resultNone();
}

void CLI::setClusterDirectoryIntegration(const DataSet& settings) {
    Command(*this, "SetClusterDirectoryIntegration").dataSet(settings, DataSetKind::Dictionary).resultNone();
}

void CLI::setClusterWebUserDefaults(const DataSet& settings) {
    Command(*this, "SetClusterWebUserDefaults").dataSet(settings, DataSetKind::Dictionary).resultNone();
}

void CLI::reloadDirectoryDomains() {
    Command(*this, "ReloadDirectoryDomains").resultNone();
}

}  // namespace cgp
