#include "formats/wssp_node.h"

#include <set>

#include "foundation/mutex.h"

namespace cgp {

namespace {

// Never destroyed: nodes may be freed by other objects' destructors at exit.
struct LiveNodes {
    tmg::MutexInterface mutex;
    std::set<const WSSPNode*> nodes;
    WSSPNode* noted = nullptr;
};

LiveNodes& live() {
    static LiveNodes* registry = new LiveNodes;
    return *registry;
}

}  // namespace

WSSPNode::WSSPNode(WSSPNodeKind kind) : kind(kind) {
    LiveNodes& registry = live();
    tmg::MutexLock lock(&registry.mutex);
    registry.nodes.insert(this);
}

WSSPNode::~WSSPNode() {
    LiveNodes& registry = live();
    {
        tmg::MutexLock lock(&registry.mutex);
        registry.nodes.erase(this);
        if (registry.noted == this) registry.noted = nullptr;
    }
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
    for (WSSPNode*& child : children) {
        while (child->kind == WSSPNodeKind::Sequence && child->children.size() == 1) {
            WSSPNode* grandchild = child->children.front();
            child->children.clear();
            delete child;
            child = grandchild;
            child->parent = this;
        }
        child->simplify();
    }
}

std::size_t wsspLiveNodeCount() {
    LiveNodes& registry = live();
    tmg::MutexLock lock(&registry.mutex);
    return registry.nodes.size();
}

bool wsspIsLiveNode(const WSSPNode* node) {
    LiveNodes& registry = live();
    tmg::MutexLock lock(&registry.mutex);
    return registry.nodes.count(node) != 0;
}

void wsspForgetLiveNodes() {
    LiveNodes& registry = live();
    tmg::MutexLock lock(&registry.mutex);
    registry.nodes.clear();
}

void wsspDeleteLiveNodes() {
    LiveNodes& registry = live();
    tmg::MutexLock lock(&registry.mutex);
    while (!registry.nodes.empty()) {
        // The lock is recursive: the destructors below take it again.
        delete wsspRootOf(const_cast<WSSPNode*>(*registry.nodes.begin()));
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
