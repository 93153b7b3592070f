#pragma once

#include <atomic>
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "formats/dataset.h"
#include "formats/wssp_node.h"

namespace cgp {

// Maps the name of an included page to that page's tree. The handler owns the pages it
// returns; they must stay alive and unchanged while any render uses them.
class WSSPIncludeHandler {
public:
    virtual ~WSSPIncludeHandler() = default;
    // The root of the named page, or null when there is no such page. May be called from
    // several rendering threads at once.
    virtual const WSSPNode* includedPage(const std::string& name) = 0;
};

// What one render reads and binds: the data the page is rendered against and the
// variables of the render ("INCLUDEARG" and the loop bindings "<name>[]" and
// "<name>[index]"). The data is only read; it must not change during the render.
struct WSSPContext {
    DataSet data;
    DataSet variables;
    // Included pages being rendered now; an include met at the limit is refused.
    int includeDepth = 0;
    // Included pages rendered with this context so far; past the budget an include is
    // refused, so that a page including itself twice cannot render 2^32 copies.
    long includesRendered = 0;
};

// The template page engine. There is no page object: a page is the root node of its
// tree, owned by whoever loaded it (delete the root to release the page). Nothing here
// throws for bad pages or data: missing values render as nothing and faults of the page
// become bracketed texts in the output. A loaded tree is only read, so one page may be
// rendered by any number of threads at once, each with its own context.
class WSSPPage {
public:
    WSSPPage() = delete;

    // Included pages rendered inside one another before an include is refused with
    // "[ERROR, INCLUDED FILE '<name>' NESTED TOO DEEPLY]".
    static constexpr int kMaxIncludeDepth = 32;
    // Included pages rendered in one context before an include is refused with
    // "[ERROR, INCLUDED FILE '<name>' INCLUDED TOO OFTEN]".
    static constexpr long kMaxIncludesPerRender = 10000;

    // Loads the template file at fileName. Returns the new page's root, which the caller
    // owns; an empty Sequence for an empty file; null when the path is not a file or the
    // file does not parse (the parser prints its error line on standard output, and no
    // node of the failed parse survives). Safe to call from several threads; loads run
    // one at a time.
    static WSSPNode* load(const std::string& fileName);

    // Writes the page (null writes nothing) against the data, with fresh variables.
    static void render(const WSSPNode* root, std::ostream& out, const DataSet& data);
    // Writes one node and everything below it in the given context. A context whose
    // variables are not a dictionary gets a new empty one. Loop and include bindings are
    // made and removed in the variables as the walk goes. Any depth of tree is walked
    // without deep recursion.
    static void renderNode(const WSSPNode* node, std::ostream& out, WSSPContext& context);
    // Writes one Menu node as HTML option elements (or "NOT IMPLEMENTED" for the menu
    // kinds that have no options).
    static void renderMenu(const WSSPNode* node, std::ostream& out, WSSPContext& context);

    // The value of an expression node (null gives an empty value). A value stored in the
    // data or the variables comes back as a handle sharing the stored node (flagged
    // inherited when member access found it through a link); every other result is a
    // new node of the caller's. Never null. Chains of "&", "|" and "." of any length are
    // evaluated without deep recursion.
    static DataSet evaluate(const WSSPNode* node, const WSSPContext& context);

    // The text read as a decimal number: leading white space and a sign allowed, digits up
    // to the first other byte; 0 when no digit reads, the nearest limit when it does not
    // fit 64 bits.
    static std::int64_t toNumber(const std::string& text);
    // Decimal text of the number.
    static std::string toText(std::int64_t number);

    // Fills the weekday, month and day-half name tables; filled once per process, safely
    // from any number of threads. Every function here that needs them calls it.
    static void initDateNames();
    // The process-wide tables: "Jan".."Dec", "Sun".."Sat", "AM" and "PM". Live until exit.
    static const std::vector<DataSet>& monthNames();
    static const std::vector<DataSet>& weekdayNames();
    static const std::vector<DataSet>& dayHalves();
    // The picture with its caret codes replaced by the fields of the time (seconds since
    // the epoch), in UTC or, when local, at the local zone's offset in force at that
    // time. Codes, replaced in this order: ^D ^d day, ^M month name, ^N ^n month number,
    // ^Y two-digit year, ^y full year (four digits at least), ^s ^m seconds and minutes,
    // ^H hour 0-23, ^h hour 1-12, ^t day half, ^W weekday name; two-digit codes are
    // zero-padded. Any other caret stays. A name missing from a given table is written as
    // nothing. The empty string when the time is out of the calendar's range.
    static std::string formatDate(std::int64_t time, std::string picture, bool local,
                                  const std::vector<DataSet>& monthNameTable = monthNames(),
                                  const std::vector<DataSet>& weekdayNameTable = weekdayNames(),
                                  const std::vector<DataSet>& dayHalfTable = dayHalves());

    // Replaces the include handler (null: "not set"). Renders that already read the old
    // handler may still call it, so keep it alive until they end; the engine never frees
    // a handler. Safe against renders reading it on other threads.
    static void setIncludeHandler(WSSPIncludeHandler* handler);
    // The handler now in place, or null.
    static WSSPIncludeHandler* includeHandler();

    // When on, each load first writes the log line "WSSPPage: Loading from file <path>".
    // Off at start.
    static std::atomic<bool> loaderTrace;
};

}  // namespace cgp
