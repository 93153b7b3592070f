// Commands on one account, domain, group, forwarder or mailing list, and on web users and their
// sessions: mostly the reads whose writes are in the files of each object.

#include "cli/cli.h"
#include "cli/command_line.h"

namespace cgp {

using cli_internal::Command;
using cli_internal::hasKeys;

// Accounts.

void CLI::resetAccountStat(const std::string& account) {
    Command(*this, "ResetAccountStat").word(account).resultNone();
}

DataSet CLI::getAccountStat(const std::string& account) {
    return Command(*this, "GetAccountStat").word(account).resultDataSet();
}

void CLI::deleteAccount(const std::string& account) {
    Command(*this, "DeleteAccount").word(account).resultNone();
}

DataSet CLI::getAccountSubscription(const std::string& account) {
    return Command(*this, "GetAccountSubscription").word(account).resultDataSet();
}

DataSet CLI::getAccountSettings(const std::string& account) {
    return Command(*this, "GetAccountSettings").word(account).resultDataSet();
}

DataSet CLI::getEffectiveWebUser(const std::string& account) {
    return Command(*this, "GetEffectiveWebUser").word(account).resultDataSet();
}

DataSet CLI::getAccountRPOP(const std::string& account) {
    return Command(*this, "GetAccountRPOP").word(account).resultDataSet();
}

DataSet CLI::getAccountAliases(const std::string& account) {
    return Command(*this, "GetAccountAliases").word(account).resultDataSet();
}

DataSet CLI::getAccountRules(const std::string& account) {
    return Command(*this, "GetAccountRules").word(account).resultDataSet();
}

DataSet CLI::getAccountRights(const std::string& account) {
    return Command(*this, "GetAccountRights").word(account).resultDataSet();
}

DataSet CLI::getWebUser(const std::string& account) {
    return Command(*this, "GetWebUser").word(account).resultDataSet();
}

DataSet CLI::getAccountEffectiveSettings(const std::string& account) {
    return Command(*this, "getAccountEffectiveSettings").word(account).resultDataSet();
}

DataSet CLI::getAccountAlerts(const std::string& account) {
    return Command(*this, "GetAccountAlerts").word(account).resultDataSet();
}

DataSet CLI::getAccountLists(const std::string& account) {
    return Command(*this, "GetAccountLists").word(account).resultDataSet();
}

DataSet CLI::getWebFilesInfo(const std::string& account) {
    return Command(*this, "GetWebFilesInfo").word(account).resultDataSet();
}

void CLI::processBounce(const std::string& account, const std::string& address, bool fatal) {
    Command(*this, "ProcessBounce").word(account).when(fatal).keyword("FATAL").end().keyword("FOR").word(address)
        .resultNone();
}

DataSet CLI::route(const std::string& address, bool mail) {
    return Command(*this, "Route").word(address).when(mail).keyword("mail").end().resultDataSet();
}

// Domains.

void CLI::resetDomainStat(const std::string& domain) {
    Command(*this, "ResetDomainStat").word(domain).resultNone();
}

DataSet CLI::getDomainStat(const std::string& domain) {
    return Command(*this, "GetDomainStat").word(domain).resultDataSet();
}

DataSet CLI::listDomains() {
    return Command(*this, "ListDomains").resultDataSet();
}

std::string CLI::mainDomainName() {
    return Command(*this, "MainDomainName").resultString();
}

std::string CLI::getDomainLocation(const std::string& domain) {
    return Command(*this, "GetDomainLocation").word(domain).resultString();
}

DataSet CLI::getDomainSettings(const std::string& domain) {
    return Command(*this, "getDomainSettings").when(!domain.empty()).word(domain).end().resultDataSet();
}

void CLI::setDomainSettings(const std::string& domain, const DataSet& settings) {
    Command(*this, "SetDomainSettings").when(!domain.empty()).word(domain).end()
        .dataSet(settings, DataSetKind::Dictionary).resultNone();
}

void CLI::updateDomainSettings(const std::string& domain, const DataSet& settings) {
    Command(*this, "UpdateDomainSettings").when(!domain.empty()).word(domain).end()
        .dataSet(settings, DataSetKind::Dictionary).resultNone();
}

DataSet CLI::getDomainAlerts(const std::string& domain) {
    return Command(*this, "GetDomainAlerts").when(!domain.empty()).word(domain).end().resultDataSet();
}

DataSet CLI::getDomainAliases(const std::string& domain) {
    return Command(*this, "GetDomainAliases").when(!domain.empty()).word(domain).end().resultDataSet();
}

void CLI::createDirectoryDomain(const std::string& domain, const DataSet& settings) {
    Command(*this, "CreateDirectoryDomain").word(domain).when(hasKeys(settings)).dataSet(settings).end()
        .resultNone();
}

void CLI::createSharedDomain(const std::string& domain, const DataSet& settings) {
    Command(*this, "CreateSharedDomain").word(domain).when(hasKeys(settings)).dataSet(settings).end().resultNone();
}

void CLI::deleteDomain(const std::string& domain, bool force) {
    Command(*this, "DeleteDomain").word(domain).when(force).keyword("force").end().resultNone();
}

void CLI::deleteDirectoryRecords(const std::string& domain) {
    Command(*this, "deleteDirectoryRecords").when(!domain.empty()).word(domain).end().resultNone();
}

DataSet CLI::listAdminDomains(const std::string& domain) {
    return Command(*this, "ListAdminDomains").when(!domain.empty()).word(domain).end().resultDataSet();
}

// Domain-level account settings and templates.

DataSet CLI::listAccounts(const std::string& domain) {
    return Command(*this, "ListAccounts").when(!domain.empty()).word(domain).end().resultDataSet();
}

void CLI::setAccountDefaults(const std::string& domain, const DataSet& settings) {
    Command(*this, "SetAccountDefaults").when(!domain.empty()).word(domain).end()
        .dataSet(settings, DataSetKind::Dictionary).resultNone();
}

void CLI::updateAccountDefaults(const std::string& domain, const DataSet& settings) {
    Command(*this, "UpdateAccountDefaults").when(!domain.empty()).word(domain).end()
        .dataSet(settings, DataSetKind::Dictionary).resultNone();
}

DataSet CLI::getAccountTemplate(const std::string& domain) {
    return Command(*this, "GetAccountTemplate").when(!domain.empty()).word(domain).end().resultDataSet();
}

void CLI::updateAccountTemplate(const std::string& domain, const DataSet& settings) {
    Command(*this, "UpdateAccountTemplate").when(!domain.empty()).word(domain).end()
        .dataSet(settings, DataSetKind::Dictionary).resultNone();
}

// Groups, forwarders and mailing lists.

DataSet CLI::listGroups(const std::string& domain) {
    return Command(*this, "ListGroups").when(!domain.empty()).word(domain).end().resultDataSet();
}

DataSet CLI::getGroup(const std::string& group) {
    return Command(*this, "GetGroup").word(group).resultDataSet();
}

DataSet CLI::listForwarders(const std::string& domain) {
    return Command(*this, "ListForwarders").when(!domain.empty()).word(domain).end().resultDataSet();
}

DataSet CLI::getList(const std::string& list) {
    return Command(*this, "GetList").word(list).resultDataSet();
}

void CLI::deleteList(const std::string& list) {
    Command(*this, "deleteList").word(list).resultNone();
}

DataSet CLI::getDomainLists(const std::string& domain) {
    return Command(*this, "GetDomainLists").when(!domain.empty()).word(domain).end().resultDataSet();
}

DataSet CLI::listLists(const std::string& domain) {
    return Command(*this, "ListLists").when(!domain.empty()).word(domain).end().resultDataSet();
}

// Web users, web interface and sessions.

void CLI::clearWebUserCache(const std::string& domain) {
    Command(*this, "ClearWebUserCache").word(domain).resultNone();
}

void CLI::putWebUserInterface(const std::string& domain, const std::string& file, const std::string& data) {
    Command(*this, "PutWebUserInterface").word(domain).keyword("FILE").inQuotes(file).keyword("DATA").word(data)
        .resultNone();
}

DataSet CLI::listWebUserInterface(const std::string& domain, const std::string& file) {
    return Command(*this, "ListWebUserInterface").word(domain)
        .when(!file.empty()).keyword("FILE").inQuotes(file).end().resultDataSet();
}

void CLI::killWebUserSession(const std::string& sessionId) {
    Command(*this, "KillWebUserSession").word(sessionId).resultNone();
}

DataSet CLI::getWebUserSession(const std::string& sessionId) {
    return Command(*this, "GetWebUserSession").word(sessionId).resultDataSet();
}

std::string CLI::createWebUserSession(const std::string& account, const std::string& address,
                                      const std::string& skin) {
    return Command(*this, "CreateWebUserSession").word(account).keyword("ADDRESS").word(address)
        .when(!skin.empty()).keyword("SKIN").inQuotes(skin).end().resultString();
}

DataSet CLI::listDomainSkins(const std::string& domain) {
    return Command(*this, "ListDomainSkins").when(!domain.empty()).word(domain).end().resultDataSet();
}

}  // namespace cgp
