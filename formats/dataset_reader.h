#pragma once

#include <atomic>
#include <string>

#include "formats/dataset.h"

namespace cgp {

// Reading dataset text into a value tree. None of these throws, and none prints unless
// said: a text or file that does not parse gives an Empty DataSet.
//
// A single value at the top level is returned as itself ("abc" gives the String abc,
// "(abc)" an Array holding it, "{}" an empty Dictionary); several values at the top level
// ("a, b") give an Array of them. An empty text, or blanks only, gives an Empty DataSet.
// The returned node's link is set to the link argument.
//
// Calls serialise on the dataset value-pool mutex and, inside it, the parser mutex.

// Parses the text; nothing is printed.
DataSet parseDataSet(const std::string& text, const DataSet& link);
// The same with a new Empty DataSet as the link.
DataSet parseDataSetText(const std::string& text);

// Reads the file at path. A path that is not an existing file (a folder, a missing file)
// or a file that cannot be read gives an Empty DataSet without parsing; a syntax error
// prints the parser's error line on standard output.
DataSet loadDataSet(const std::string& path, const DataSet& link);
// The same with a new Empty DataSet as the link.
DataSet loadDataSetFile(const std::string& path);

// The reader's diagnostics switch, off at start: when on, loads and failed parses write
// log lines with the tag "Dataset".
extern std::atomic<bool> dataSetReaderTrace;

}  // namespace cgp
