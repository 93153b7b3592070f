#pragma once

#include <cstdint>
#include <string>

#include "foundation/thread_safe_ptr.h"

namespace cgp {

// The kind of a dataset node; the numbers are part of the server's model.
enum class DataSetKind : std::int32_t {
    Empty = 0,
    String = 1,      // a text; numbers and booleans are texts too
    Array = 2,       // an ordered sequence of values
    Dictionary = 3,  // text keys, one value each
    Data = 4,        // raw bytes, written as Base64
};

class data_set;

// The shared handle to one dataset node (formats/dataset.h). Copies share the node; the last
// handle to go frees it, and a tree is freed with its root, iteratively, however deep.
//
// A default-made handle holds no node (a null handle). Every operation of this class and
// of data_set counts a null handle as an Empty value; member access through a null handle
// is the caller's error. Copying takes the process-wide ring mutex: pass handles by
// reference where a copy is not needed.
class DataSet : public tmg::thread_safe_ptr<data_set> {
public:
    // A null handle.
    DataSet() noexcept = default;
    // A new node of the kind, linked to the shared empty DataSet.
    explicit DataSet(DataSetKind kind);
    // A new node of the kind with the given link.
    DataSet(DataSetKind kind, const DataSet& link);
    // A new String node holding the text.
    explicit DataSet(const std::string& text);
    explicit DataSet(const char* text);
    // A new String node holding "YES" or "NO".
    explicit DataSet(bool value);
    // Takes sole ownership of a node made with new (may be null).
    explicit DataSet(data_set* node) noexcept;
    // Takes sole ownership of a node, to be freed by the deleter instead of delete.
    DataSet(data_set* node, Deleter deleter) noexcept;

    DataSet(const DataSet& other) noexcept = default;
    DataSet(DataSet&& other) noexcept = default;
    ~DataSet() override;
    DataSet& operator=(const DataSet& other) noexcept;
    DataSet& operator=(DataSet&& other) noexcept;

    void hook() override {}

    // The node, or null (the path lookup below has the same name).
    using tmg::thread_safe_ptr<data_set>::get;

    // The node's kind; Empty for a null handle.
    DataSetKind kind() const noexcept;

    // A one-level copy: a new node of the same kind, linked to the shared empty DataSet,
    // with copies of the text, of the array and of the dictionary. Elements and values are
    // shared with this node, not copied. A null handle gives a new Empty node.
    DataSet clone() const;

    // Looks a dotted path up without changing anything. Each component selects an array
    // position (read as a decimal number, 0 when none reads; negative or too large
    // positions miss) or a dictionary key. A miss gives a new Empty DataSet; the walk stops
    // early at an Empty value, which is the answer. Throws tmg::Exception("Invalid Dataset
    // Type", 0) when a component has to be looked up in a node that is neither an Array nor
    // a Dictionary (a null handle included).
    DataSet get(const std::string& path) const;

    // As get; with create set, a miss at the first component is filled instead: a missing
    // key is inserted, and the position just past the array's end is appended, with a new
    // node that is an Array when the next component begins with "0" or reads as a non-zero
    // number, else a Dictionary, or of the given kind when the component is the last.
    // Positions further past the end are refused (a new Empty DataSet, nothing added).
    // Deeper components are looked up without creating.
    DataSet find(const std::string& path, DataSetKind kind, bool create);

    // The value as dataset text: one line, or the indented multi-line form when pretty
    // (formats/dataset_writer.h).
    static std::string toString(const DataSet& value, bool pretty);

    // The one process-wide Empty DataSet that new nodes link to. Its own link is a null
    // handle. Made on first use, never destroyed, not even when every handle to it goes, so
    // the links to it need not share one ring (isUnique says nothing about it). It must
    // never be changed.
    static const DataSet& sharedEmpty();
};

}  // namespace cgp
