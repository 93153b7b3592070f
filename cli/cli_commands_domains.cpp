// Commands that create, rename and configure domains, groups, forwarders and mailing lists.

#include "cli/cli.h"
#include "cli/command_line.h"

namespace cgp {

using cli_internal::Command;
using cli_internal::hasKeys;

// Domains.

void CLI::createDomain(const std::string& domain, const DataSet& settings) {
    Command(*this, "CreateDomain").word(domain).when(hasKeys(settings)).dataSet(settings).end().resultNone();
}

void CLI::renameDomain(const std::string& domain, const std::string& newName) {
    Command(*this, "RenameDomain").word(domain).keyword("into").word(newName).resultNone();
}

DataSet CLI::getDomainEffectiveSettings(const std::string& domain) {
    return Command(*this, "getDomainEffectiveSettings").when(!domain.empty()).word(domain).end().resultDataSet();
}

void CLI::setDomainAliases(const std::string& domain, const DataSet& aliases) {
    Command(*this, "SetDomainAliases").when(!domain.empty()).word(domain).end().dataSet(aliases, DataSetKind::Array)
        .resultNone();
}

DataSet CLI::getDomainRules(const std::string& domain) {
    return Command(*this, "GetDomainRules").word(domain).resultDataSet();
}

void CLI::setDomainRules(const std::string& domain, const DataSet& rules) {
    Command(*this, "SetDomainRules").word(domain).dataSet(rules, DataSetKind::Array).resultNone();
}

void CLI::setDomainAlerts(const std::string& domain, const DataSet& alerts) {
    Command(*this, "SetDomainAlerts").when(!domain.empty()).word(domain).end()
        .dataSet(alerts, DataSetKind::Dictionary).resultNone();
}

void CLI::postDomainAlert(const std::string& domain, const std::string& text) {
    Command(*this, "PostDomainAlert").word(domain).keyword("ALERT").quoted(text).resultNone();
}

void CLI::removeDomainAlert(const std::string& domain, const std::string& alert) {
    Command(*this, "RemoveDomainAlert").word(domain).keyword("ALERT").word(alert).resultNone();
}

void CLI::insertDirectoryRecords(const std::string& domain) {
    Command(*this, "insertDirectoryRecords").when(!domain.empty()).word(domain).end().resultNone();
}

// Account defaults and web-user defaults of a domain.

DataSet CLI::getAccountDefaults(const std::string& domain) {
    return Command(*this, "GetAccountDefaults").when(!domain.empty()).word(domain).end().resultDataSet();
}

void CLI::setAccountTemplate(const std::string& domain, const DataSet& settings) {
    Command(*this, "SetAccountTemplate").when(!domain.empty()).word(domain).end()
        .dataSet(settings, DataSetKind::Dictionary).resultNone();
}

DataSet CLI::getWebUserDefaults(const std::string& domain) {
    return Command(*this, "GetWebUserDefaults").when(!domain.empty()).word(domain).end().resultDataSet();
}

void CLI::setWebUserDefaults(const std::string& domain, const DataSet& settings) {
    Command(*this, "SetWebUserDefaults").when(!domain.empty()).word(domain).end()
        .dataSet(settings, DataSetKind::Dictionary).resultNone();
}

// Groups and forwarders.

void CLI::createGroup(const std::string& group, const DataSet& settings) {
    Command(*this, "CreateGroup").word(group).dataSet(settings, DataSetKind::Dictionary).resultNone();
}

void CLI::setGroup(const std::string& group, const DataSet& settings) {
    Command(*this, "SetGroup").word(group).dataSet(settings, DataSetKind::Dictionary).resultNone();
}

void CLI::renameGroup(const std::string& group, const std::string& newName) {
    Command(*this, "RenameGroup").word(group).keyword("into").word(newName).resultNone();
}

void CLI::deleteGroup(const std::string& group) {
    Command(*this, "DeleteGroup").word(group).resultNone();
}

void CLI::createForwarder(const std::string& forwarder, const std::string& address) {
    Command(*this, "CreateForwarder").word(forwarder).keyword("to").word(address).resultNone();
}

std::string CLI::getForwarder(const std::string& forwarder) {
    return Command(*this, "GetForwarder").word(forwarder).resultString();
}

void CLI::deleteForwarder(const std::string& forwarder) {
    Command(*this, "DeleteForwarder").word(forwarder).resultNone();
}

// Mailing lists.

void CLI::createList(const std::string& list, const std::string& owner) {
    Command(*this, "CreateList").word(list).keyword("for").word(owner).resultNone();
}

void CLI::renameList(const std::string& list, const std::string& newName) {
    Command(*this, "RenameList").word(list).keyword("into").word(newName).resultNone();
}

void CLI::updateList(const std::string& list, const DataSet& settings) {
    Command(*this, "UpdateList").word(list).dataSet(settings, DataSetKind::Dictionary).resultNone();
}

void CLI::list(const std::string& list, const std::string& operation, const std::string& subscriber, bool silently,
               bool confirm) {
    Command(*this, "List").word(list).word(operation).when(silently).keyword("silently").end()
        .when(confirm).keyword("confirm").end().word(subscriber).resultNone();
}

DataSet CLI::listSubscribers(const std::string& list, const std::string& filter, std::int32_t limit) {
    return Command(*this, "ListSubscribers").word(list)
        .when(!filter.empty() || limit > 0).keyword("FILTER").inQuotes(filter).end()
        .when(limit > 0).number(limit).end().resultDataSet();
}

DataSet CLI::getSubscriberInfo(const std::string& list, const std::string& subscriber) {
    return Command(*this, "GetSubscriberInfo").word(list).keyword("NAME").word(subscriber).resultDataSet();
}

void CLI::setPostingMode(const std::string& list, const std::string& subscriber, const std::string& mode) {
    Command(*this, "SetPostingMode").word(list).keyword("FOR").word(subscriber).word(mode).resultNone();
}

}  // namespace cgp
