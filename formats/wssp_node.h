#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "foundation/noncopyable.h"

namespace cgp {

// What a template node stands for; the comments give its children, number and text.
enum class WSSPNodeKind : std::int32_t {
    Empty = 0,        // none; 0; empty
    Text = 1,         // none; 0; the page text or string literal
    Integer = 2,      // none; the value; empty
    Variable = 3,     // none; 0; the name, lower-cased
    Output = 4,       // [encoding, expression]; 0; empty
    Call = 5,         // the operands; the function, operator or encoding token code
    LoopElement = 6,  // none; 0; the loop's name, lower-cased
    Menu = 7,         // up to four operands; the menu word's token code
    Conditional = 8,  // condition, body, ..., and the else body last; 0; empty
    Loop = 9,         // [list, body, body for an empty list]; 0; the loop's name
    Sequence = 10,    // the items in page order; 0; empty
    Include = 11,     // the arguments; 0; the included page's name
};

// One node of a template page's tree. A node owns its children and deletes them with
// itself; parent is a plain back link (null for the root). Every node is in the
// process-wide live-node set from construction to destruction.
class WSSPNode : private tmg::noncopyable {
public:
    explicit WSSPNode(WSSPNodeKind kind);
    // Deletes the whole subtree (without deep recursion, so long chains are safe) and
    // takes each node out of the live set; clears the noted node when it is one of them.
    ~WSSPNode();

    // Takes ownership of child (not null), sets its parent to this node and returns it.
    WSSPNode* append(WSSPNode* child);
    WSSPNodeKind getKind() const { return kind; }
    // Replaces, throughout the subtree, every Sequence child that has exactly one child
    // by that child (the emptied Sequence is deleted).
    void simplify();

    WSSPNodeKind kind;
    std::vector<WSSPNode*> children;
    std::int32_t number = 0;
    std::string text;
    WSSPNode* parent = nullptr;

private:
    friend struct LiveNodes;
    // Links of the live-node set, kept in the nodes themselves so that a page of many
    // thousand nodes is built without a lookup structure to grow.
    WSSPNode* livePrevious = nullptr;
    WSSPNode* liveNext = nullptr;
    bool inLiveSet = false;
};

// The live-node set: every node constructed and not yet destroyed since the set was last
// forgotten. It has its own lock; the functions may be called from any thread.
std::size_t wsspLiveNodeCount();
// True when node is in the set (a walk of the set: for tests and diagnostics).
bool wsspIsLiveNode(const WSSPNode* node);
// Empties the set without deleting the nodes (a loaded page's root owns them).
void wsspForgetLiveNodes();
// Deletes every tree that holds a live node (climbing to each one's top) until the set
// is empty: the clean-up after a failed page load.
void wsspDeleteLiveNodes();

// The first node noted during the current page parse: the parser's way of handing the
// page to its loader, which climbs its parent links to the root. cgparserNoteNode keeps
// the node when none is noted yet and returns it; every builder passes its result
// through it. Readers on several threads must hold the parser mutex across the parse and
// the read.
WSSPNode* cgparserNoteNode(WSSPNode* node);
WSSPNode* cgparserNotedNode();
void cgparserClearNotedNode();

// The topmost ancestor of node (node itself when it has no parent); null for null.
WSSPNode* wsspRootOf(WSSPNode* node);

}  // namespace cgp
