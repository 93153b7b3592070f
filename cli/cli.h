#pragma once

#include <cstdint>
#include <string>

#include "cli/cli_exception.h"
#include "formats/dataset.h"
#include "foundation/socket.h"

namespace cgp {

// One connection of the mail server's CLI administration protocol over TCP: connected and
// logged in when the constructor returns, "Quit" said and closed when destroyed. Every
// administration command is a method that sends one line and reads one reply.
//
// Transport: the tmg::Socket base, with no time-outs set, so the connect, every send and
// every receive block without limit (a server that never answers blocks the client).
// A client is used by one thread at a time; it has no lock. Not copyable: a copy would
// close the descriptor twice.
//
// Errors: every failure is a tmg::Exception subclass, listed at each operation. The
// client stays usable after cgp::CLIException (an error reply) and after a refused
// argument; after tmg::ConnectionResetException it is closed, and every further command or
// read throws tmg::ConnectionResetException at once without touching any descriptor.
class CLI : public tmg::Socket {
public:
    enum LoginMethod {
        LoginUser = 0,     // "user " + user, then "pass " + password
        LoginApop = 1,     // tmg::Pop3Client::apopCommand over the greeting
        LoginWebUser = 2,  // "AUTH WEBUSER " + user + " " + password
    };

    // Class-wide connection values; a host program may change them before it builds
    // clients, never while clients are being built. The host is a dotted IPv4 address.
    static std::string defaultHost;              // "127.0.0.1"
    static std::uint16_t defaultPort;            // 106
    static std::string defaultUser;              // empty
    static std::string defaultPassword;          // empty
    static LoginMethod defaultLoginMethod;       // LoginApop
    // Not read by the client: callers test it before they build one at all.
    static bool enabled;                         // true

    // Connects and logs in with the class-wide values, or with the given ones.
    // Throws:
    // - tmg::InvalidLoginException "Invalid username or password" for a method outside 0
    //   to 2, before connecting;
    // - tmg::SocketException "Invalid IP Address" for a host that is no dotted address;
    // - tmg::UnableToConnectException when no socket can be made or the connect fails;
    // - tmg::InvalidServerPromptException for APOP and a greeting without a time stamp;
    // - tmg::InvalidLoginException "Invalid username or password" when the server refuses
    //   the login, followed by " (" the server's text ")" for a refused final reply with a
    //   text; "Quit" has then been sent;
    // - tmg::ProtocolException "invalid or missing argument" for a user or password
    //   holding CR, LF or NUL, nothing of that line sent;
    // - the reply reader's exceptions (readResponse) and tmg::ConnectionResetException.
    // Whatever it throws, the descriptor is released before the exception leaves.
    CLI();
    CLI(const std::string& host, std::uint16_t port, const std::string& user, const std::string& password,
        LoginMethod method);
    // quit(), then the strings and the socket part are released. Waits for the reply to
    // "Quit" as long as the server takes.
    ~CLI();
    CLI(const CLI&) = delete;
    CLI& operator=(const CLI&) = delete;

    // The constructors' two steps. connect: a new TCP socket connected to host and port,
    // or the exceptions above with the socket closed. login: reads the greeting and logs
    // in; only the constructors call it.
    void connect(const std::string& host, std::uint16_t port);
    void login(const std::string& user, const std::string& password, LoginMethod method);

    // When the socket is open: sends "Quit" and reads the reply, dropping any exception of
    // that exchange. Then closes the socket. Never throws; a second call sends nothing.
    void quit() noexcept;

    // True when a client with the class-wide host and port and these credentials logs in
    // (it quits at once). Otherwise false, with message the exception's text and
    // accountEnabled false; an error 536 whose text holds "access to this account is
    // disabled" (case-folded) is a right password on a disabled account: true, with
    // accountEnabled false and message empty. Exceptions that are no tmg::Exception pass.
    static bool verifyLogin(const std::string& user, const std::string& password, LoginMethod method,
                            std::string& message, bool& accountEnabled);
    static bool verifyLogin(const std::string& user, const std::string& password, LoginMethod method,
                            std::string& message);

    // Sends the line followed by CR LF. Throws tmg::ProtocolException "invalid or missing
    // argument" (code 0), sending nothing, when the line holds CR, LF or NUL (the rest
    // would run as a command of its own); tmg::ConnectionResetException when the client is
    // closed (nothing sent) or the send fails (the client is closed then).
    void sendLine(const std::string& line);
    // The next line from the server through its first line feed, line end kept as
    // received. Bytes after it stay in the receive buffer for the next read. Throws
    // tmg::ConnectionResetException when the client is closed or the connection ends first.
    std::string readLine();
    // Reads one reply line and sets the reply fields:
    // - 200 or 201: replyData = the text after the first blank, line end included (empty
    //   without a blank), replyMessage = "OK"; never throws;
    // - any other code: replyMessage = that text trimmed (empty without a blank),
    //   replyData unchanged; with throwOnError, throws cgp::CLIException(replyMessage,
    //   replyCode).
    // A line beginning with a blank throws tmg::InvalidServerResponseException (the line
    // trimmed), fields unchanged. A line without a code of 1 to 65535 throws
    // tmg::ProtocolException (the line as received), replyCode 0.
    void readResponse(bool throwOnError);
    // sendLine(line), then readResponse(true).
    void execute(const std::string& line);
    // The same, for a whole line built by the caller; sent as it is.
    void sendCommand(const std::string& line);
    // The data of the last reply: replyData after a 201, else the next line read (whole,
    // not split).
    std::string readResponseData();
    // parseData(readResponseData()).
    DataSet getResponseData();
    // Dataset text, line end and all, parsed; text that is no dataset gives what the
    // dataset reader gives for it (an Empty DataSet), never an exception.
    static DataSet parseData(const std::string& text);
    // The value in the dataset writer's one-line form.
    static std::string toText(const DataSet& value);
    // The text as a String written in the one-line form: bare when non-empty and only
    // letters, digits, "_" and "."; else escaped between double quotes.
    static std::string quote(const std::string& text);
    // True when the text is empty or holds a byte other than ASCII letters, digits and
    // "_@.-".
    static bool needsQuoting(const std::string& text);
    // Throw tmg::ProtocolException "invalid or missing argument" (code 0): for an empty
    // text; for a value that is not of the expected kind (String, Array or Dictionary) or
    // is empty (an empty text, no elements, no keys), and for any other expected kind.
    static void requireString(const std::string& text);
    static void requireDataSet(const DataSet& value, DataSetKind expected);
    // Inside a catch handler: the user-facing text of the exception being handled, by the
    // first match of InvalidLoginException ("Invalid username or password"),
    // ProtocolException (its message), UnableToConnectException ("Unable to connect to
    // server"), ConnectionResetException ("Connection with the server has reset") and any
    // other SocketException ("Unhandled error"). Any other exception leaves the function;
    // with no exception being handled the text is empty.
    static std::string describeCurrentException();

    // ---- Command methods. Each sends one line and reads one reply (the two composites,
    // addAccountSubscription and mergeMailboxACL, two of each):
    // - the line is the command word, case as it stands, and its elements, each after one
    //   blank: texts as a word, quoted (dataset-writer string) or "in quotes" (between
    //   double quotes, nothing escaped), datasets in the writer's one-line form, numbers in
    //   decimal. An optional element (an empty domain or authAccount, a false flag, a
    //   settings Dictionary without keys) is left out and never checked;
    // - every other argument is required: an empty text, or a dataset that is not of the
    //   method's kind (String, Array or Dictionary) or is empty, throws tmg::ProtocolException
    //   "invalid or missing argument" (code 0) with nothing sent, and so does a line that
    //   would hold CR, LF or NUL (sendLine);
    // - an error reply throws cgp::CLIException with the server's text and code; a malformed
    //   reply or a lost connection throws what readResponse and readLine throw;
    // - a DataSet result is the reply's data parsed; a std::string result is the parsed
    //   node's text (a String's text, a Data node's bytes, empty for any other kind).
    // The client stays usable after a refused argument and after cgp::CLIException.

    // Queue, server control, modules and SNMP.
    void rejectQueueMessage(const std::string& message, const std::string& text);
    void releaseSMTPQueue(const std::string& queue);
    void shutdown();
    void refreshOSData();
    void updateModule(const std::string& module, const DataSet& settings);
    DataSet getModule(const std::string& module);
    std::string getSNMPElement(const std::string& element);

    // Cluster state.
    std::string getTempClientIPs();
    std::string getCurrentController();
    DataSet getClusterDomainDefaults();
    // The probe: sends "GetClusterDomainDefaults" and returns whether the reply is a success
    // (200 or 201); an error reply gives false, no exception. Reads no data: after a 201 it
    // stays in replyData, after a 200 the data line stays unread. A malformed reply or a lost
    // connection throws.
    bool tryGetClusterDomainDefaults();

    // Intercept, Router and rules.
    void setClusterIntercept(const DataSet& settings);
    DataSet getClusterIntercept();
    void setServerIntercept(const DataSet& settings);
    DataSet getServerIntercept();
    void setClusterRouterTable(const std::string& table);
    std::string getClusterRouterTable();
    void setRouterSettings(const DataSet& settings);
    DataSet getRouterSettings();
    void setRouterTable(const std::string& table);
    std::string getRouterTable();
    void setClusterRules(const DataSet& rules);
    DataSet getClusterRules();
    void setServerRules(const DataSet& rules);
    DataSet getServerRules();

    // Protection, banned settings and address lists.
    void setClusterProtection(const DataSet& settings);
    DataSet getClusterProtection();
    void setBanned(const DataSet& settings);
    void setProtection(const DataSet& settings);
    DataSet getBanned();
    DataSet getProtection();
    DataSet getClusterBanned();
    void setClusterLANIPs(const std::string& addresses);
    void setClusterBlacklistedIPs(const std::string& addresses);
    std::string getClusterWhiteHoleIPs();
    std::string getClusterClientIPs();
    std::string getClusterLANIPs();
    std::string getClusterBlacklistedIPs();
    void setClientIPs(const std::string& addresses);
    void setLANIPs(const std::string& addresses);
    void setBlacklistedIPs(const std::string& addresses);
    std::string getWhiteHoleIPs();
    std::string getClientIPs();
    std::string getBlacklistedIPs();
    std::string getLANIPs();

    // Alerts.
    void removeClusterAlert(const std::string& alert);
    void postClusterAlert(const std::string& text);
    void setClusterAlerts(const DataSet& alerts);
    DataSet getClusterAlerts();
    void removeServerAlert(const std::string& alert);
    void postServerAlert(const std::string& text);
    void setServerAlerts(const DataSet& alerts);
    DataSet getServerAlerts();

    // Cluster and server skins.
    void storeClusterSkinFile(const std::string& skin, const std::string& file, const std::string& data);
    DataSet listClusterSkinFiles(const std::string& skin);
    void deleteClusterSkin(const std::string& skin);
    void createClusterSkin(const std::string& skin);
    DataSet listClusterSkins();
    DataSet listServerSkins();

    // Server-wide and cluster-wide defaults and directory integration.
    void updateClusterAccountDefaults(const DataSet& settings);
    void updateClusterDomainDefaults(const DataSet& settings);
    DataSet getDirectoryIntegration();
    DataSet getServerWebUserDefaults();
    DataSet getDomainDefaults();
    void setAllAccountsDefaults(const DataSet& settings);
    void updateAllAccountsDefaults(const DataSet& settings);
    void setClusterDirectoryIntegration(const DataSet& settings);
    void setClusterWebUserDefaults(const DataSet& settings);
    void reloadDirectoryDomains();

    // ---- Accounts, domains, lists and web users.

    // Accounts.
    void resetAccountStat(const std::string& account);
    DataSet getAccountStat(const std::string& account);
    void deleteAccount(const std::string& account);
    DataSet getAccountSubscription(const std::string& account);
    DataSet getAccountSettings(const std::string& account);
    DataSet getEffectiveWebUser(const std::string& account);
    DataSet getAccountRPOP(const std::string& account);
    DataSet getAccountAliases(const std::string& account);
    DataSet getAccountRules(const std::string& account);
    DataSet getAccountRights(const std::string& account);
    DataSet getWebUser(const std::string& account);
    DataSet getAccountEffectiveSettings(const std::string& account);
    DataSet getAccountAlerts(const std::string& account);
    DataSet getAccountLists(const std::string& account);
    DataSet getWebFilesInfo(const std::string& account);
    void processBounce(const std::string& account, const std::string& address, bool fatal);
    DataSet route(const std::string& address, bool mail);

    // Domains.
    void resetDomainStat(const std::string& domain);
    DataSet getDomainStat(const std::string& domain);
    DataSet listDomains();
    std::string mainDomainName();
    std::string getDomainLocation(const std::string& domain);
    DataSet getDomainSettings(const std::string& domain);
    void setDomainSettings(const std::string& domain, const DataSet& settings);
    void updateDomainSettings(const std::string& domain, const DataSet& settings);
    DataSet getDomainAlerts(const std::string& domain);
    DataSet getDomainAliases(const std::string& domain);
    void createDirectoryDomain(const std::string& domain, const DataSet& settings);
    void createSharedDomain(const std::string& domain, const DataSet& settings);
    void deleteDomain(const std::string& domain, bool force);
    void deleteDirectoryRecords(const std::string& domain);
    DataSet listAdminDomains(const std::string& domain);

    // Domain-level account settings and templates.
    DataSet listAccounts(const std::string& domain);
    void setAccountDefaults(const std::string& domain, const DataSet& settings);
    void updateAccountDefaults(const std::string& domain, const DataSet& settings);
    DataSet getAccountTemplate(const std::string& domain);
    void updateAccountTemplate(const std::string& domain, const DataSet& settings);

    // Groups, forwarders and mailing lists.
    DataSet listGroups(const std::string& domain);
    DataSet getGroup(const std::string& group);
    DataSet listForwarders(const std::string& domain);
    DataSet getList(const std::string& list);
    void deleteList(const std::string& list);
    DataSet getDomainLists(const std::string& domain);
    DataSet listLists(const std::string& domain);

    // Web users, web interface and sessions.
    void clearWebUserCache(const std::string& domain);
    void putWebUserInterface(const std::string& domain, const std::string& file, const std::string& data);
    DataSet listWebUserInterface(const std::string& domain, const std::string& file);
    void killWebUserSession(const std::string& sessionId);
    DataSet getWebUserSession(const std::string& sessionId);
    std::string createWebUserSession(const std::string& account, const std::string& address, const std::string& skin);
    DataSet listDomainSkins(const std::string& domain);

    // ---- Creating and configuring accounts.
    void createAccount(const std::string& account, const DataSet& settings, const std::string& type, bool external);
    void renameAccount(const std::string& account, const std::string& newName);
    std::string getAccountLocation(const std::string& account);
    void setAccountSettings(const std::string& account, const DataSet& settings);
    void updateAccountSettings(const std::string& account, const DataSet& settings);
    void setAccountPassword(const std::string& account, const std::string& password);
    // True when the server accepts the password; false on its refusal codes 515 and 513.
    // Every other error passes on unchanged, a lost connection or a garbled reply included.
    bool verifyAccountPassword(const std::string& account, const std::string& password);
    void setAccountAliases(const std::string& account, const DataSet& aliases);
    // An empty Array of rules is sent; only the kind is checked.
    void setAccountRules(const std::string& account, const DataSet& rules);
    void setAccountRights(const std::string& account, const DataSet& rights);
    void setAccountRPOP(const std::string& account, const DataSet& records);
    void setAccountAlerts(const std::string& account, const DataSet& alerts);
    void postAccountAlert(const std::string& account, const std::string& text);
    void removeAccountAlert(const std::string& account, const std::string& alert);
    void setAccountSubscription(const std::string& account, const DataSet& subscription);
    // Reads the subscription, then writes it back with the mailboxes added: a String is
    // appended when no element has its text (nothing more is sent when one has); any other
    // value rewrites the whole list sorted in byte order, each text once, with the texts of
    // an Array's elements added. A reply that is not an Array is sent back unchanged, so the
    // second command refuses it; an empty result is refused the same way, after the read.
    void addAccountSubscription(const std::string& account, const DataSet& mailboxes);
    void setWebUser(const std::string& account, const DataSet& settings);
    DataSet getAccountInfo(const std::string& account, const std::string& key);
    void removeAccountSubset(const std::string& account, const std::string& subset);

    // ---- Mailboxes. Mailbox names and filters are sent "in quotes"; the optional AUTH
    // element acts on behalf of authAccount.
    void createMailbox(const std::string& account, const std::string& mailbox, const std::string& authAccount);
    void deleteMailbox(const std::string& account, const std::string& mailbox, const std::string& authAccount);
    void deleteMailboxes(const std::string& account, const std::string& mailboxes, const std::string& authAccount);
    void renameMailbox(const std::string& account, const std::string& mailbox, const std::string& newName,
                       const std::string& authAccount);
    void renameMailboxes(const std::string& account, const std::string& mailboxes, const std::string& newName,
                         const std::string& authAccount);
    DataSet listMailboxes(const std::string& account, const std::string& filter, const std::string& authAccount);
    DataSet getMailboxInfo(const std::string& account, const std::string& mailbox, const std::string& authAccount);
    void updateMailboxInfo(const std::string& account, const std::string& mailbox, const DataSet& info);
    void setMailboxClass(const std::string& account, const std::string& mailbox, const std::string& mailboxClass,
                         const std::string& authAccount);
    DataSet getMailboxACL(const std::string& account, const std::string& mailbox, const std::string& authAccount);
    void setMailboxACL(const std::string& account, const std::string& mailbox, const DataSet& acl,
                       const std::string& authAccount);
    // Reads the access-control list and writes it back with every identity's rights emptied
    // but those acl gives (identities compared byte for byte; new ones added). An acl that is
    // not a Dictionary is refused before anything is sent; an empty one empties every right.
    // A reply that is not a Dictionary, or an empty merged list, is refused by the second
    // command's check, after the read.
    void mergeMailboxACL(const std::string& account, const std::string& mailbox, const DataSet& acl,
                         const std::string& authAccount);
    std::string getMailboxRights(const std::string& account, const std::string& mailbox,
                                 const std::string& authAccount);
    DataSet getMailboxAliases(const std::string& account);
    void setMailboxAliases(const std::string& account, const DataSet& aliases);

    // ---- Creating and configuring domains, groups, forwarders and mailing lists.

    // Domains.
    void createDomain(const std::string& domain, const DataSet& settings);
    void renameDomain(const std::string& domain, const std::string& newName);
    DataSet getDomainEffectiveSettings(const std::string& domain);
    void setDomainAliases(const std::string& domain, const DataSet& aliases);
    DataSet getDomainRules(const std::string& domain);
    void setDomainRules(const std::string& domain, const DataSet& rules);
    void setDomainAlerts(const std::string& domain, const DataSet& alerts);
    void postDomainAlert(const std::string& domain, const std::string& text);
    void removeDomainAlert(const std::string& domain, const std::string& alert);
    void insertDirectoryRecords(const std::string& domain);

    // Account defaults and web-user defaults of a domain.
    DataSet getAccountDefaults(const std::string& domain);
    void setAccountTemplate(const std::string& domain, const DataSet& settings);
    DataSet getWebUserDefaults(const std::string& domain);
    void setWebUserDefaults(const std::string& domain, const DataSet& settings);

    // Groups and forwarders.
    void createGroup(const std::string& group, const DataSet& settings);
    void setGroup(const std::string& group, const DataSet& settings);
    void renameGroup(const std::string& group, const std::string& newName);
    void deleteGroup(const std::string& group);
    void createForwarder(const std::string& forwarder, const std::string& address);
    std::string getForwarder(const std::string& forwarder);
    void deleteForwarder(const std::string& forwarder);

    // Mailing lists.
    void createList(const std::string& list, const std::string& owner);
    void renameList(const std::string& list, const std::string& newName);
    void updateList(const std::string& list, const DataSet& settings);
    void list(const std::string& list, const std::string& operation, const std::string& subscriber, bool silently,
              bool confirm);
    // "FILTER" and the filter stand when the filter is not empty or limit is above 0 (an
    // empty filter is then sent as ""); the limit only when above 0.
    DataSet listSubscribers(const std::string& list, const std::string& filter, std::int32_t limit);
    DataSet getSubscriberInfo(const std::string& list, const std::string& subscriber);
    void setPostingMode(const std::string& list, const std::string& subscriber, const std::string& mode);

    // ---- Server-wide and cluster-wide settings, address lists, modules and the log.

    // Server-wide and cluster-wide defaults and directory integration.
    void setClusterAccountDefaults(const DataSet& settings);
    DataSet getClusterAccountDefaults();
    DataSet getAllAccountsDefaults();
    void setClusterDomainDefaults(const DataSet& settings);
    void setDomainDefaults(const DataSet& settings);
    void updateDomainDefaults(const DataSet& settings);
    void setServerWebUserDefaults(const DataSet& settings);
    DataSet getClusterWebUserDefaults();
    void setDirectoryIntegration(const DataSet& settings);
    DataSet getClusterDirectoryIntegration();

    // Address lists, modules and the log.
    void setWhiteHoleIPs(const std::string& addresses);
    void setClusterWhiteHoleIPs(const std::string& addresses);
    void setClusterClientIPs(const std::string& addresses);
    void setModule(const std::string& module, const DataSet& settings);
    // The text is escaped with escapeString and the result sent in the quoted form, which
    // escapes it again.
    void writeLog(std::int32_t level, const std::string& text);

    // ---- Skins and web files. Skin names, file names, paths and skin-file data are sent
    // "in quotes"; web-file and web-interface data as a word, already in the form the
    // server expects. With a domain, a domain-skin command names it before "SKIN".

    // Server skins.
    void createServerSkin(const std::string& skin);
    void renameServerSkin(const std::string& skin, const std::string& newName);
    void deleteServerSkin(const std::string& skin);
    DataSet listServerSkinFiles(const std::string& skin);
    DataSet readServerSkinFile(const std::string& skin, const std::string& file);
    void storeServerSkinFile(const std::string& skin, const std::string& file, const std::string& data);
    void deleteServerSkinFile(const std::string& skin, const std::string& file);

    // Cluster skins.
    void renameClusterSkin(const std::string& skin, const std::string& newName);
    DataSet readClusterSkinFile(const std::string& skin, const std::string& file);
    void deleteClusterSkinFile(const std::string& skin, const std::string& file);

    // Skins of a domain.
    void createDomainSkin(const std::string& domain, const std::string& skin);
    void renameDomainSkin(const std::string& domain, const std::string& skin, const std::string& newName);
    void deleteDomainSkin(const std::string& domain, const std::string& skin);
    DataSet listDomainSkinFiles(const std::string& domain, const std::string& skin);
    DataSet readDomainSkinFile(const std::string& domain, const std::string& skin, const std::string& file);
    void storeDomainSkinFile(const std::string& domain, const std::string& skin, const std::string& file,
                             const std::string& data);
    void deleteDomainSkinFile(const std::string& domain, const std::string& skin, const std::string& file);

    // Web-interface files of a domain.
    std::string getWebUserInterface(const std::string& domain, const std::string& file);
    void deleteWebUserInterface(const std::string& domain, const std::string& file);

    // Web files of an account.
    DataSet listWebFiles(const std::string& account, const std::string& path);
    DataSet getWebFile(const std::string& account, const std::string& file);
    DataSet getWebFilePart(const std::string& account, const std::string& file, std::uint64_t offset,
                           std::uint64_t size);
    void putWebFile(const std::string& account, const std::string& file, const std::string& data);
    void putWebFileAt(const std::string& account, const std::string& file, const std::string& data,
                      std::uint64_t offset);
    void renameWebFile(const std::string& account, const std::string& file, const std::string& newName);
    void deleteWebFile(const std::string& account, const std::string& file);

    // The last reply read: its code (0 before the first), its message ("OK" after 200 and
    // 201) and the data of the last 200 or 201 reply.
    std::uint16_t replyCode = 0;
    std::string replyMessage;
    std::string replyData;

private:
    // Keeps the reply fields of a refused login across the "Quit" exchange and throws the
    // refusal.
    [[noreturn]] void refuseLogin(bool withServerText);
};

}  // namespace cgp
