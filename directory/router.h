#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "directory/email.h"
#include "formats/router_row_sink.h"
#include "foundation/mutex.h"

// The emulation of the mail server's Router: the table rows read from
// "Settings/Router.data" (with the global aliases of "Settings/Router.settings" before
// them), and the routing of an address pair through them. Paths are relative to the
// current folder, the server's base directory. Nothing here throws; a missing or broken
// file yields false or an unchanged table.
//
// Locking: the Router mutex guards the row lists and the default domain while the table
// loads. It is the outermost lock of the system: loading takes the dataset value-pool
// and parser mutexes inside it, routing the directory cache mutex (for IP literals).
// Every entry point below that reads or changes the table takes it itself, except the
// row builders, which the table sink calls with it held.

namespace cgp {

// One side of a Router row. prefix is the side's text lower-cased, or, when the text held
// an unescaped "*", the part before that star; suffix is the part after it.
struct RouterPattern {
    std::string prefix;
    std::string suffix;
    bool wildcard = false;
    // True when the side was written in angle brackets: an address, not a domain.
    bool addressForm = false;
};

// One row of the table: the pattern matched and its replacement. Owns both; neither may
// be null in a row that is added to the table or routed through.
class RouterEntry {
public:
    RouterEntry(std::unique_ptr<RouterPattern> leftSide, std::unique_ptr<RouterPattern> rightSide);

    // Appends the row to the address-row list when its left side is in address form,
    // else to the domain-row list; the list owns it from then on. Caller holds the
    // Router mutex. A null row is ignored.
    static void addToTable(std::unique_ptr<RouterEntry> row);

    std::unique_ptr<RouterPattern> left;
    std::unique_ptr<RouterPattern> right;
};

using RouterRows = std::vector<std::unique_ptr<RouterEntry>>;

// The Router mutex: recursive, made on first use, destroyed at exit.
tmg::MutexInterface& routerMutex();

// The two row lists in the order the rows were added. Read them only while holding the
// Router mutex; the references stay valid until exit.
const RouterRows& routerAddressRows();
const RouterRows& routerDomainRows();

// Builds a pattern from a word: lower-cased; with angle not 0 it is an address, and one
// without "@" gets "@" and the default domain (as it is) appended. The first "*" that is
// at the start or not preceded by a backslash splits prefix and suffix; an escaped star
// stays in the text with its backslash, and later stars stay in the suffix.
std::unique_ptr<RouterPattern> makeRouterPattern(const std::string& word, int angle);

// A row of left (not null) and right. A null right side becomes the pattern of mainDomainName()
// (not an address). With a null right side this may read "Settings/Main.settings", so
// it must not be called while the parser mutex is held; the table sink does not.
std::unique_ptr<RouterEntry> makeRouterEntry(std::unique_ptr<RouterPattern> left,
                                             std::unique_ptr<RouterPattern> right);

// Adds a non-null row to its list (RouterEntry::addToTable). Always 0.
int addRouterEntryAction(std::unique_ptr<RouterEntry> row);

// The pattern of text without its first and last byte and with "@pipe" appended, not an
// address. A text shorter than 2 bytes keeps all its bytes and gets "@pipe" appended.
std::unique_ptr<RouterPattern> makePipePattern(const std::string& text);

// Frees every row of both lists. Takes the Router mutex.
void clearRouter();

// Receives the rows of a Router-language parse and adds them to the table. Holds the
// Router mutex for its whole life, so the parse it is handed to runs inside that lock,
// and reads the main domain's name when made, before any parse takes the parser mutex.
// Make it before the parse, never while holding the parser mutex (the lock order).
class RouterTableSink : public RouterRowSink {
public:
    RouterTableSink();
    ~RouterTableSink() override;

    void addRouterRow(const std::string& left, bool addressForm, const std::string* right) override;

private:
    tmg::MutexLock lock;
    std::string mainDomain;
};

// Loads the table when "Settings/Router.data" or "Settings/Router.settings" changed since
// the last complete load (or there was none). Returns true when it loaded.
// - Router.data is not a file: false, the table and the default domain stay.
// - Both unchanged: false, nothing is read.
// - Otherwise the table is cleared. When Router.settings does not read as a value, false:
//   the table stays empty and the next call tries again.
// - Else the default domain becomes mainDomainName(), or the lower-cased
//   "DomainQualifier" when "ExtendNonQualifiedDomains" is "yes" (any case); each
//   "GlobalAliases" entry becomes an address row matching its user in every domain; then
//   Router.data's rows follow in file order. Rows before a syntax error stay (the parser
//   prints the error line). True.
bool loadRouter();

// The pair routed through the table: an IP literal domain ("[" first) is replaced by
// domainForIp, routerLoop runs, and a final ".here" (lower case only) is cut from the
// domain. Does not load the table.
AddressPair routeAddress(const AddressPair& address);

// Routes the pair in place, step after step, until no row matches or a step ends it; at
// most 20 steps, after which the loop line is logged and the pair keeps its last value.
void routerLoop(AddressPair& address);

// Matches text against a wildcard row: text begins with left's prefix (any case) and its
// first occurrence of left's suffix after that prefix ends the text (an empty suffix
// matches anything). On a match text is rewritten to right's prefix, followed, when right
// has a wildcard, by the matched middle part and right's suffix; true. Otherwise false,
// text unchanged.
bool matchRouterPattern(std::string& text, const RouterPattern& left, const RouterPattern& right);

// True when an address row without wildcards on either side has the pair, byte for byte,
// as its target. Takes the Router mutex.
bool isAddressRowTarget(const AddressPair& address);

// When on, routing writes trace log lines. Off at start.
extern std::atomic<bool> routerTrace;

}  // namespace cgp
