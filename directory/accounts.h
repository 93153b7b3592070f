#pragma once

#include <cstdint>
#include <set>
#include <string>

#include "directory/email.h"

// Questions answered from the directory caches that loadDomainList (domains.h) fills.
// Addresses are (user, domain) pairs, lower-case as splitAddress makes them; nothing here
// folds case again. Every function that reads a cache takes accountCacheMutex() for its
// whole run (it is recursive, so they may call each other). Trace lines are written while
// directoryVerbose is on; the two lines said "always" below are written whatever it is.
// Nothing here throws for a missing file or folder.
namespace cgp {

// Replaces a domain alias by its domain; the empty text by the main domain; any other
// name stays. Returns the argument.
std::string& realDomainName(std::string& domain);

// Replaces the user by the account that it is an alias of in its domain; true when so.
bool resolveAlias(AddressPair& address);

// Replaces the address by the target of the forwarder that it names, and that by its own
// target, up to eleven replacements in all (depth counts from 0; pass 0). A target with an
// empty domain stays in the forwarder's domain. At the eleventh replacement the line
// "Forwarder loop found, skipping: " + address is written always and following stops.
// True when the address was a forwarder.
bool resolveForwarder(AddressPair& address, std::uint32_t depth);

// The account the address reaches: the detail after the first "+" is cut, then what comes
// before the first "#", then the domain is made real, forwarders followed, and one alias
// applied. Returns the argument.
AddressPair& resolveAccount(AddressPair& address);

// resolveAccount of the split address, as user "@" domain.
std::string canonicalAddress(const std::string& address);

// Replaces an IP address text (the exact text, brackets included) by the domain that
// lists it, or by the fallback domain, writing always "No explicitely defined entry found,
// fallback to " + that domain. Returns the argument.
std::string& domainForIp(std::string& ip);

// True when the domain has a list named by the whole user, or by any part of the user
// before a "-" ("my-list", "my-list-subscribe").
bool isList(const AddressPair& address);
bool isGroup(const AddressPair& address);
bool isForwarder(const AddressPair& address);

// Finds the folder of an account: folder "/" account with the ending ".mbox", ".mdir" or
// ".macnt" (tried in that order; only folders count), else in the "*.sub" folders below,
// at most 16 levels down. True with the path in out. False with out untouched when folder
// is not a folder (checked first); else false with out emptied. An account name that is
// empty, begins with ".", or holds "/" or a NUL byte is never found: false, out emptied.
// Reads only the file system; takes no lock.
bool findAccountPath(const std::string& folder, const std::string& account, std::string& out);

// The path of a mailbox of an account, or "" when there is none. The inbox ("" or
// "INBOX") of a ".mbox" or ".mdir" account is the account itself; other mailboxes live in
// ".macnt" accounts, each part of a "/"-separated name but the last as part ".folder", the
// last as part ".mdir" (a folder) or part ".mbox" (a file), every part in modified UTF-7.
// The empty mailbox names the account folder. A user that findAccountPath would refuse
// has no mailboxes.
std::string findMailboxPath(const AddressPair& address, const std::string& mailbox);

// The number of accounts in the folder and its ".sub" folders (at most 16 levels down).
// Each folder's count is kept for a day from now (seconds since the epoch), so a second
// call within the day answers the first count. A folder that does not open counts 0.
std::int64_t scanAccountDirectory(const std::string& folder, std::int64_t now);

// The accounts given plus the accounts of each domain named, and with each flag the
// domain's groups, forwarders and lists.
std::int64_t countAccountsToFilter(const std::set<std::string>& accounts, const std::set<std::string>& domains,
                                   bool withGroups, bool withForwarders, bool withLists);
// The same over every known domain, with no accounts given.
std::int64_t countAllAccounts(bool withGroups, bool withForwarders, bool withLists);

}  // namespace cgp
