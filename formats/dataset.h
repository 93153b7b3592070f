#pragma once

#include <string>
#include <vector>

#include "formats/dataset_handle.h"
#include "formats/string_hash_table.h"

namespace cgp {

using DataSetArray = std::vector<DataSet>;
// The dictionary of a node; its iteration order is the table's bucket order.
using DataSetDictionary = StringHashTable<DataSet>;

// One node of a dataset tree. All fields exist whatever the kind; a node of one kind leaves
// the others empty, and only the fields of its kind are compared, written and merged.
// Fields are public: readers and builders fill them directly. A node is not synchronised:
// two threads must not change one node, or change it while another reads it.
class data_set {
public:
    // A node of the kind linked to the shared empty DataSet.
    explicit data_set(DataSetKind kind = DataSetKind::Empty);
    data_set(DataSetKind kind, const DataSet& link);
    data_set(const data_set&) = delete;
    data_set& operator=(const data_set&) = delete;
    // Releases the children with a worklist, so no depth of tree exhausts the stack.
    ~data_set();

    DataSetKind kind;
    // Fallback values: the template evaluator looks a name missing from this node's
    // dictionary up once more in the link's dictionary.
    DataSet linkSet;
    // The text of a String, the bytes of a Data node; any byte, length counted.
    std::string stringValue;
    DataSetArray array;
    DataSetDictionary dictionary;

    DataSetKind getKind() const noexcept { return kind; }
    // Sets the kind only while it is Empty.
    void setKindIfEmpty(DataSetKind newKind) noexcept {
        if (kind == DataSetKind::Empty) kind = newKind;
    }
    bool isEmpty() const noexcept { return kind == DataSetKind::Empty; }

    // False when the text is empty or begins with "N", "n", "-" or "0"; true otherwise.
    // Reads the text whatever the kind.
    bool toBool() const noexcept;
    // The text read as a signed decimal integer the way an input stream reads one: leading
    // white space skipped, an optional sign, digits up to the first other byte; 0 when no
    // digit reads, the nearest limit when the number does not fit.
    int toInt() const noexcept;
    // The text converted by atof, narrowed to float; 0 when no number reads.
    float toFloat() const noexcept;
    // Text "YES" or "NO".
    void setBool(bool value);
    // Text: the number in fixed notation with 4 decimals, trailing "0"s and then one
    // trailing "." removed (2.5 -> "2.5", 3 -> "3", 0 -> "0").
    void setFloat(float value);

    // A copy of the link handle.
    DataSet link() const { return linkSet; }
    void setLink(const DataSet& link) { linkSet = link; }

    // Same kind and same content: texts and bytes byte for byte, arrays element by element,
    // dictionaries with the same keys holding equal values. A null handle equals an Empty
    // node. Not recursive: any depth of tree compares.
    bool equals(const data_set& other) const;
    bool equals(const DataSet& other) const;
    bool operator==(const data_set& other) const { return equals(other); }
    bool operator!=(const data_set& other) const { return !equals(other); }

    // Merges the source into this node. False, with nothing changed, when the source is of
    // another kind (a null handle is an Empty one). Texts and bytes are replaced by the
    // source's; an array becomes a deep copy of the source's elements; a dictionary merges
    // each source key into its value here (a value of another kind stays as it was) or
    // inserts a deep copy of it. Merging a node into itself, or into a clone sharing its
    // elements, loses nothing. A source that holds a node of this tree at another place
    // (this node below the source's top, say) does not make the merge read what it wrote:
    // such a node, once changed, is not read again, and a new node in its place stays as
    // made, empty. The merge always ends. Not recursive.
    bool merge(const DataSet& source);
};

// The kind of the node a handle holds; Empty for a null handle.
inline DataSetKind DataSet::kind() const noexcept {
    return get() == nullptr ? DataSetKind::Empty : get()->kind;
}

}  // namespace cgp
