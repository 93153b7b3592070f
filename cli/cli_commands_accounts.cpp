// Commands that create, rename and configure one account.

#include "cli/cli.h"
#include "cli/command_line.h"

#include <set>
#include <string>

namespace cgp {

using cli_internal::Command;
using cli_internal::hasKeys;

namespace {

// The text of a list element: a String's text, a Data node's bytes, empty for anything else.
const std::string& textOf(const DataSet& value) {
    static const std::string none;
    return value.get() == nullptr ? none : value->stringValue;
}

}  // namespace

void CLI::createAccount(const std::string& account, const DataSet& settings, const std::string& type, bool external) {
    Command(*this, "CreateAccount").word(account).when(!type.empty()).word(type).end()
        .when(external).keyword("external").end().when(hasKeys(settings)).dataSet(settings).end().resultNone();
}

void CLI::renameAccount(const std::string& account, const std::string& newName) {
    Command(*this, "RenameAccount").word(account).keyword("into").word(newName).resultNone();
}

std::string CLI::getAccountLocation(const std::string& account) {
    return Command(*this, "GetAccountLocation").word(account).resultString();
}

void CLI::setAccountSettings(const std::string& account, const DataSet& settings) {
    Command(*this, "SetAccountSettings").word(account).dataSet(settings, DataSetKind::Dictionary).resultNone();
}

void CLI::updateAccountSettings(const std::string& account, const DataSet& settings) {
    Command(*this, "UpdateAccountSettings").word(account).dataSet(settings, DataSetKind::Dictionary).resultNone();
}

void CLI::setAccountPassword(const std::string& account, const std::string& password) {
    Command(*this, "SetAccountPassword").word(account).keyword("TO").quoted(password).resultNone();
}

bool CLI::verifyAccountPassword(const std::string& account, const std::string& password) {
    try {
        Command(*this, "VerifyAccountPassword").word(account).keyword("PASSWORD").quoted(password).resultNone();
        return true;
    } catch (const CLIException& refusal) {
        // Only the server's own refusal says "wrong password"; a lost connection or a garbled
        // reply says nothing about the password and leaves replyCode from an older reply.
        if (refusal.getCode() == 515 || refusal.getCode() == 513) return false;
        throw;
    }
}

void CLI::setAccountAliases(const std::string& account, const DataSet& aliases) {
    Command(*this, "SetAccountAliases").word(account).dataSet(aliases, DataSetKind::Array).resultNone();
}

void CLI::setAccountRules(const std::string& account, const DataSet& rules) {
    Command(*this, "SetAccountRules").word(account).dataSetOfKind(rules, DataSetKind::Array).resultNone();
}

void CLI::setAccountRights(const std::string& account, const DataSet& rights) {
    Command(*this, "SetAccountRights").word(account).dataSet(rights, DataSetKind::Array).resultNone();
}

void CLI::setAccountRPOP(const std::string& account, const DataSet& records) {
    Command(*this, "SetAccountRPOP").word(account).dataSet(records, DataSetKind::Array).resultNone();
}

void CLI::setAccountAlerts(const std::string& account, const DataSet& alerts) {
    Command(*this, "SetAccountAlerts").word(account).dataSet(alerts, DataSetKind::Dictionary).resultNone();
}

void CLI::postAccountAlert(const std::string& account, const std::string& text) {
    Command(*this, "PostAccountAlert").word(account).keyword("ALERT").quoted(text).resultNone();
}

void CLI::removeAccountAlert(const std::string& account, const std::string& alert) {
    Command(*this, "RemoveAccountAlert").word(account).keyword("ALERT").word(alert).resultNone();
}

void CLI::setAccountSubscription(const std::string& account, const DataSet& subscription) {
    Command(*this, "SetAccountSubscription").word(account).dataSet(subscription, DataSetKind::Array).resultNone();
}

void CLI::addAccountSubscription(const std::string& account, const DataSet& mailboxes) {
    DataSet current = getAccountSubscription(account);
    // A reply that is no list goes back as it came, so that the check of the second command
    // refuses it: a subscription the client could not read is never overwritten.
    if (current.kind() == DataSetKind::Array) {
        if (mailboxes.kind() == DataSetKind::String) {
            for (const DataSet& name : current->array)
                if (textOf(name) == mailboxes->stringValue) return;
            current->array.push_back(mailboxes);
        } else {
            std::set<std::string> names;
            for (const DataSet& name : current->array) names.insert(textOf(name));
            if (mailboxes.kind() == DataSetKind::Array)
                for (const DataSet& name : mailboxes->array) names.insert(textOf(name));
            current->array.clear();
            for (const std::string& name : names) current->array.push_back(DataSet(name));
        }
    }
    setAccountSubscription(account, current);
}

void CLI::setWebUser(const std::string& account, const DataSet& settings) {
    Command(*this, "SetWebUser").word(account).dataSet(settings, DataSetKind::Dictionary).resultNone();
}

DataSet CLI::getAccountInfo(const std::string& account, const std::string& key) {
    return Command(*this, "GetAccountInfo").word(account).keyword("Key").word(key).resultDataSet();
}

void CLI::removeAccountSubset(const std::string& account, const std::string& subset) {
    Command(*this, "RemoveAccountSubset").word(account).keyword("SUBSET").quoted(subset).resultNone();
}

}  // namespace cgp
