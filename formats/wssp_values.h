#pragma once

#include <string>

#include "formats/dataset.h"

namespace cgp {

// Value operations the template renderer uses on dataset values.

// When value is an Array: the 0-based position of the first element whose text equals
// text byte for byte, or, when text is not empty and holds only "0123456789-.", whose
// number (atof) is within 0.0001 of text's. 0 when nothing matches or value is no Array.
unsigned findArrayIndex(const std::string& text, const DataSet& value);

// When dictionary is a Dictionary holding text as a key: replaces text by that entry's
// text and returns true. Otherwise text is unchanged and the result false.
bool translateString(std::string& text, const DataSet& dictionary);

// A copy of text passed through translateString.
std::string translatedString(const std::string& text, const DataSet& dictionary);

}  // namespace cgp
