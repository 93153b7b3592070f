#pragma once

#include <ostream>
#include <string>

#include "formats/dataset.h"
#include "foundation/ostream_func.h"

namespace cgp {

// A line break with the indentation of a level: a line feed and two spaces per level; in
// the one-line form, nothing.
class ChangeLine : public tmg::ostream_func {
public:
    ChangeLine(int depth, bool oneLineForm) : level(depth), oneLine(oneLineForm) {}
    void operator()(std::ostream& out) const override;

    int level;
    bool oneLine;
};

// One value printed as dataset text at an indent level. Strings are single words, quoted
// when they need it (quoteDataSetWord); Data is "[" Base64 "]"; arrays are "(" elements
// ")" with "," between them; dictionaries are "{" entries "}", each key " = " value ";", in
// byte-wise key order. Entries with an empty key are left out, and so are entries whose
// value is Empty (the reader accepts no empty value); an Empty array element is written as
// the word #NULL#. An Empty value at the top prints nothing, and a node's link is never
// written. In the multi-line form each bracket and each element starts on a new line
// indented by its level, so the text begins with a line feed. Printing never fails and
// does not recurse, whatever the depth.
class Level : public tmg::ostream_func {
public:
    Level(int depth, const DataSet& written, bool oneLineForm) : level(depth), value(written), oneLine(oneLineForm) {}
    void operator()(std::ostream& out) const override;

    int level;
    DataSet value;
    bool oneLine;
};

// The text as one dataset word: escaped with escapeString, and put between double quotes
// when the escaped text is empty or holds any byte other than ASCII letters, digits, "_"
// and ".".
std::string quoteDataSetWord(const std::string& text);

// Writes the value in the multi-line form to the file at the path, created or emptied.
// True when the whole text was written and the file closed without error; false when it
// cannot be opened (nothing is written then) or a write or the close fails, which may leave
// the file incomplete. The file is written in place.
bool writeDataSetFile(const DataSet& value, const std::string& path);

}  // namespace cgp
