#include "formats/wssp_node.h"

#include "foundation/mutex.h"

namespace cgp {

// The live-node set as a list threaded through the nodes. Never destroyed: nodes may be
// freed by other objects' destructors at exit.
struct LiveNodes {
    tmg::MutexInterface mutex{tmg::LockRank::PageNodes};
    WSSPNode* first = nullptr;
    std::size_t count = 0;
    WSSPNode* noted = nullptr;

    void insert(WSSPNode* node) {
        node->liveNext = first;
        node->livePrevious = nullptr;
        if (first) first->livePrevious = node;
        first = node;
        node->inLiveSet = true;
        ++count;
    }
    void erase(WSSPNode* node) {
        if (!node->inLiveSet) return;
        if (node->livePrevious) node->livePrevious->liveNext = node->liveNext;
        else first = node->liveNext;
        if (node->liveNext) node->liveNext->livePrevious = node->livePrevious;
        node->inLiveSet = false;
        --count;
    }
    void forget() {
        for (WSSPNode* node = first; node;) {
            WSSPNode* next = node->liveNext;
            node->inLiveSet = false;
            node->livePrevious = node->liveNext = nullptr;
            node = next;
        }
        first = nullptr;
        count = 0;
    }
    static WSSPNode* next(const WSSPNode* node) { return node->liveNext; }
};

namespace {

LiveNodes& live() {
    static LiveNodes* registry = new LiveNodes;
    return *registry;
}

}  // namespace

WSSPNode::WSSPNode(WSSPNodeKind kind) : kind(kind) {
    LiveNodes& registry = live();
    tmg::MutexLock lock(&registry.mutex);
    registry.insert(this);
}

WSSPNode::~WSSPNode() {
    LiveNodes& registry = live();
    {
        tmg::MutexLock lock(&registry.mutex);
        registry.erase(this);
        if (registry.noted == this) registry.noted = nullptr;
    }
    if (children.empty()) return;
    // Detach each descendant's children before deleting it, so no destructor recurses.
    std::vector<WSSPNode*> pending;
    pending.swap(children);
    while (!pending.empty()) {
        WSSPNode* node = pending.back();
        pending.pop_back();
        pending.insert(pending.end(), node->children.begin(), node->children.end());
        node->children.clear();
        delete node;
    }
}

WSSPNode* WSSPNode::append(WSSPNode* child) {
    children.push_back(child);
    child->parent = this;
    return child;
}

void WSSPNode::simplify() {
    // A work list, not recursion: a long "|" or "." chain makes a tree as deep as it is long.
    std::vector<WSSPNode*> pending{this};
    while (!pending.empty()) {
        WSSPNode* node = pending.back();
        pending.pop_back();
        for (WSSPNode*& child : node->children) {
            while (child->kind == WSSPNodeKind::Sequence && child->children.size() == 1) {
                WSSPNode* grandchild = child->children.front();
                child->children.clear();
                delete child;
                child = grandchild;
                child->parent = node;
            }
            pending.push_back(child);
        }
    }
}

std::size_t wsspLiveNodeCount() {
    LiveNodes& registry = live();
    tmg::MutexLock lock(&registry.mutex);
    return registry.count;
}

bool wsspIsLiveNode(const WSSPNode* node) {
    LiveNodes& registry = live();
    tmg::MutexLock lock(&registry.mutex);
    for (const WSSPNode* each = registry.first; each; each = LiveNodes::next(each)) {
        if (each == node) return true;
    }
    return false;
}

void wsspForgetLiveNodes() {
    LiveNodes& registry = live();
    tmg::MutexLock lock(&registry.mutex);
    registry.forget();
}

void wsspDeleteLiveNodes() {
    LiveNodes& registry = live();
    tmg::MutexLock lock(&registry.mutex);
    while (registry.first) {
        // The lock is recursive: the destructors below take it again.
        delete wsspRootOf(registry.first);
    }
}

WSSPNode* cgparserNoteNode(WSSPNode* node) {
    LiveNodes& registry = live();
    tmg::MutexLock lock(&registry.mutex);
    if (!registry.noted) registry.noted = node;
    return node;
}

WSSPNode* cgparserNotedNode() {
    LiveNodes& registry = live();
    tmg::MutexLock lock(&registry.mutex);
    return registry.noted;
}

void cgparserClearNotedNode() {
    LiveNodes& registry = live();
    tmg::MutexLock lock(&registry.mutex);
    registry.noted = nullptr;
}

WSSPNode* wsspRootOf(WSSPNode* node) {
    while (node && node->parent) node = node->parent;
    return node;
}

}  // namespace cgp
