#pragma once
// Internal to the page engine: how values travel during one evaluation.

#include <string>
#include <string_view>

#include "formats/dataset.h"

namespace cgp::wssp_internal {

// A value met while evaluating. Values from the data or the variables are not copied:
// the Value points at the stored handle, which stays valid while the data and the
// variables do not change (nothing changes them during one evaluation). Texts of the
// page tree and of constant results are pointed at as well; only computed texts are held.
class Value {
public:
    Value() = default;

    // The stored handle itself; a null handle is an Empty value.
    static Value stored(const DataSet* handle) {
        Value v;
        v.storedHandle = handle;
        const data_set* node = handle->get();
        if (node != nullptr) {
            v.valueKind = node->kind;
            v.textRef = &node->stringValue;
            v.containerNode = node;
        }
        v.inheritedFlag = handle->isInherited();
        return v;
    }
    // A new value of the kind whose text is held elsewhere (a tree node's text, a constant).
    static Value ofText(DataSetKind kind, const std::string& text) {
        Value v;
        v.valueKind = kind;
        v.textRef = &text;
        return v;
    }
    // A new value of the kind holding its own text.
    static Value ofOwnText(DataSetKind kind, std::string text) {
        Value v;
        v.valueKind = kind;
        v.ownText = std::move(text);
        v.hasOwnText = true;
        return v;
    }
    // A new empty container or Empty value of the kind.
    static Value ofKind(DataSetKind kind) {
        Value v;
        v.valueKind = kind;
        return v;
    }

    DataSetKind kind() const { return valueKind; }
    const std::string& text() const { return hasOwnText ? ownText : textRef != nullptr ? *textRef : emptyText(); }
    bool toBool() const {
        const std::string& t = text();
        return !t.empty() && t[0] != 'N' && t[0] != 'n' && t[0] != '-' && t[0] != '0';
    }
    // The node whose array and dictionary this value has; null for none (empty ones).
    const data_set* containers() const { return containerNode; }
    // The stored handle when this value is one, else null.
    const DataSet* storedHandleOf() const { return storedHandle; }
    bool inherited() const { return inheritedFlag; }
    void setInherited(bool value) { inheritedFlag = value; }

    // A derived value: kind and containers of source, a text of its own (filled by the
    // caller through ownTextRef), not the stored handle.
    static Value derivedFrom(const Value& source, DataSetKind kind) {
        Value v;
        v.valueKind = kind;
        v.containerNode = source.containerNode;
        v.hasOwnText = true;
        return v;
    }
    std::string& ownTextRef() { return ownText; }

    // The value as a handle for callers outside the engine: the stored handle shared,
    // anything else a new node (containers copied one level).
    DataSet toDataSet() const;

    static const std::string& emptyText() {
        static const std::string empty;
        return empty;
    }

private:
    DataSetKind valueKind = DataSetKind::Empty;
    const DataSet* storedHandle = nullptr;
    const data_set* containerNode = nullptr;
    const std::string* textRef = nullptr;
    std::string ownText;
    bool hasOwnText = false;
    bool inheritedFlag = false;
};

}  // namespace cgp::wssp_internal
