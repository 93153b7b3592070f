#include "formats/wssp_values.h"

#include <cmath>
#include <cstdlib>

namespace cgp {

unsigned findArrayIndex(const std::string& text, const DataSet& value) {
    if (value.kind() != DataSetKind::Array) return 0;
    bool numeric = !text.empty() && text.find_first_not_of("0123456789-.") == std::string::npos;
    double number = numeric ? std::atof(text.c_str()) : 0;
    const DataSetArray& elements = value->array;
    for (std::size_t i = 0; i < elements.size(); ++i) {
        const std::string element = elements[i].isNull() ? std::string() : elements[i]->stringValue;
        if (element == text || (numeric && std::fabs(std::atof(element.c_str()) - number) < 0.0001)) {
            return static_cast<unsigned>(i);
        }
    }
    return 0;
}

bool translateString(std::string& text, const DataSet& dictionary) {
    if (dictionary.kind() != DataSetKind::Dictionary) return false;
    const DataSet* entry = dictionary->dictionary.find(text);
    if (!entry) return false;
    text = entry->isNull() ? std::string() : (*entry)->stringValue;
    return true;
}

std::string translatedString(const std::string& text, const DataSet& dictionary) {
    std::string result = text;
    translateString(result, dictionary);
    return result;
}

}  // namespace cgp
