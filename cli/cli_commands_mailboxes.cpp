// Commands on the mailboxes of one account, their access-control lists and aliases.

#include "cli/cli.h"
#include "cli/command_line.h"

namespace cgp {

using cli_internal::Command;
using cli_internal::requireDataSetKind;

void CLI::createMailbox(const std::string& account, const std::string& mailbox, const std::string& authAccount) {
    Command(*this, "CreateMailbox").word(account).keyword("MAILBOX").inQuotes(mailbox)
        .when(!authAccount.empty()).keyword("AUTH").word(authAccount).end().resultNone();
}

void CLI::deleteMailbox(const std::string& account, const std::string& mailbox, const std::string& authAccount) {
    Command(*this, "DeleteMailbox").word(account).keyword("MAILBOX").inQuotes(mailbox)
        .when(!authAccount.empty()).keyword("AUTH").word(authAccount).end().resultNone();
}

void CLI::deleteMailboxes(const std::string& account, const std::string& mailboxes, const std::string& authAccount) {
    Command(*this, "DeleteMailbox").word(account).keyword("MAILBOXES").inQuotes(mailboxes)
        .when(!authAccount.empty()).keyword("AUTH").word(authAccount).end().resultNone();
}

void CLI::renameMailbox(const std::string& account, const std::string& mailbox, const std::string& newName,
                        const std::string& authAccount) {
    Command(*this, "RenameMailbox").word(account).keyword("MAILBOX").inQuotes(mailbox).keyword("INTO")
        .inQuotes(newName).when(!authAccount.empty()).keyword("AUTH").word(authAccount).end().resultNone();
}

void CLI::renameMailboxes(const std::string& account, const std::string& mailboxes, const std::string& newName,
                          const std::string& authAccount) {
    Command(*this, "RenameMailbox").word(account).keyword("MAILBOXES").inQuotes(mailboxes).keyword("INTO")
        .inQuotes(newName).when(!authAccount.empty()).keyword("AUTH").word(authAccount).end().resultNone();
}

DataSet CLI::listMailboxes(const std::string& account, const std::string& filter, const std::string& authAccount) {
    return Command(*this, "ListMailboxes").word(account)
        .when(!filter.empty()).keyword("FILTER").inQuotes(filter).end()
        .when(!authAccount.empty()).keyword("AUTH").word(authAccount).end().resultDataSet();
}

DataSet CLI::getMailboxInfo(const std::string& account, const std::string& mailbox, const std::string& authAccount) {
    return Command(*this, "GetMailboxInfo").word(account).keyword("MAILBOX").inQuotes(mailbox)
        .when(!authAccount.empty()).keyword("AUTH").word(authAccount).end().resultDataSet();
}

void CLI::updateMailboxInfo(const std::string& account, const std::string& mailbox, const DataSet& info) {
    Command(*this, "UpdateMailboxInfo").word(account).keyword("MAILBOX").inQuotes(mailbox)
        .dataSet(info, DataSetKind::Dictionary).resultNone();
}

void CLI::setMailboxClass(const std::string& account, const std::string& mailbox, const std::string& mailboxClass,
                          const std::string& authAccount) {
    Command(*this, "SetMailboxClass").word(account).keyword("MAILBOX").inQuotes(mailbox)
        .when(!authAccount.empty()).keyword("AUTH").word(authAccount).end().keyword("CLASS").quoted(mailboxClass)
        .resultNone();
}

DataSet CLI::getMailboxACL(const std::string& account, const std::string& mailbox, const std::string& authAccount) {
    return Command(*this, "GetMailboxACL").word(account).keyword("MAILBOX").inQuotes(mailbox)
        .when(!authAccount.empty()).keyword("AUTH").word(authAccount).end().resultDataSet();
}

void CLI::setMailboxACL(const std::string& account, const std::string& mailbox, const DataSet& acl,
                        const std::string& authAccount) {
    Command(*this, "SetMailboxACL").word(account).keyword("MAILBOX").inQuotes(mailbox)
        .when(!authAccount.empty()).keyword("AUTH").word(authAccount).end().dataSet(acl, DataSetKind::Dictionary)
        .resultNone();
}

void CLI::mergeMailboxACL(const std::string& account, const std::string& mailbox, const DataSet& acl,
                          const std::string& authAccount) {
    // An acl of another kind names no identity, and the merge would strip every right.
    requireDataSetKind(acl, DataSetKind::Dictionary);
    DataSet current = getMailboxACL(account, mailbox, authAccount);
    // A reply that is no Dictionary goes back as it came, for the check of the second command.
    if (current.kind() == DataSetKind::Dictionary) {
        for (auto& entry : current->dictionary) entry.value = DataSet(std::string());
        for (const auto& entry : acl->dictionary) current->dictionary.set(entry.key, entry.value);
    }
    setMailboxACL(account, mailbox, current, authAccount);
}

std::string CLI::getMailboxRights(const std::string& account, const std::string& mailbox,
                                  const std::string& authAccount) {
    return Command(*this, "GetMailboxRights").word(account).keyword("MAILBOX").inQuotes(mailbox).keyword("AUTH")
        .word(authAccount).resultString();
}

DataSet CLI::getMailboxAliases(const std::string& account) {
    return Command(*this, "GetMailboxAliases").word(account).resultDataSet();
}

void CLI::setMailboxAliases(const std::string& account, const DataSet& aliases) {
    Command(*this, "setMailboxAliases").word(account).dataSet(aliases, DataSetKind::Dictionary).resultNone();
}

}  // namespace cgp
