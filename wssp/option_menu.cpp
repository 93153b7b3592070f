#include "wssp/internal/option_menu.h"

#include <vector>

#include "formats/parser_tokens.h"
#include "formats/wssp_values.h"
#include "wssp/text_escapes.h"

namespace cgp {

namespace wssp_internal {

namespace {

struct Option {
    std::string value;
    std::string label;
};

const WSSPNode* childAt(const WSSPNode* node, std::size_t index) {
    return index < node->children.size() ? node->children[index] : nullptr;
}

// The value as a handle for the shared value operations, without copying a stored one.
const DataSet& handleFor(const Value& value, DataSet& scratch) {
    if (const DataSet* stored = value.storedHandleOf()) return *stored;
    scratch = value.toDataSet();
    return scratch;
}

}  // namespace

void appendMenu(const WSSPNode* menu, Evaluator& evaluator, std::string& out) {
    int code = menu->number;
    if (code != MenuNumeric && code != MenuEnum && code != MenuBool && code != MenuString) {
        out += "NOT IMPLEMENTED";
        return;
    }
    Value current = evaluator.evaluate(childAt(menu, 0));
    Value list = evaluator.evaluate(childAt(menu, 1));
    Value fallback = evaluator.evaluate(childAt(menu, 2));
    Value display = evaluator.evaluate(childAt(menu, 3));

    static const DataSet noDictionary;
    DataSet displayScratch;
    const DataSet& dictionary = display.kind() == DataSetKind::Dictionary ? handleFor(display, displayScratch)
                                                                          : noDictionary;
    std::vector<Option> options;
    bool hasDefault = fallback.kind() != DataSetKind::Empty;
    if (hasDefault) {
        const std::string& shown = code == MenuBool ? std::string(fallback.toBool() ? "YES" : "NO") : fallback.text();
        options.push_back(Option{"-1", translatedString(shown, dictionary) + " *"});
    }
    const std::size_t first = options.size();

    std::int64_t position = 0;
    switch (code) {
        case MenuNumeric: {
            std::int64_t wanted = WSSPPage::toNumber(current.text());
            std::int64_t matched = -1;
            if (const WSSPNode* literals = childAt(menu, 1)) {
                for (const WSSPNode* literal : literals->children) {
                    if (literal->kind != WSSPNodeKind::Integer) continue;
                    if (literal->number == wanted) matched = static_cast<std::int64_t>(options.size() - first);
                    std::string number = WSSPPage::toText(literal->number);
                    options.push_back(Option{number, translatedString(number, dictionary)});
                }
            }
            DataSet listScratch;
            position = matched >= 0 ? matched : findArrayIndex(current.text(), handleFor(list, listScratch));
            break;
        }
        case MenuEnum:
        case MenuString: {
            const data_set* elements = list.kind() == DataSetKind::Array ? list.containers() : nullptr;
            if (elements != nullptr) {
                for (std::size_t i = 0; i < elements->array.size(); ++i) {
                    const DataSet& element = elements->array[i];
                    const std::string& text = element.get() != nullptr ? element->stringValue : Value::emptyText();
                    options.push_back(Option{code == MenuEnum ? WSSPPage::toText(static_cast<std::int64_t>(i)) : text,
                                             translatedString(text, dictionary)});
                }
            }
            DataSet listScratch;
            position = findArrayIndex(current.text(), handleFor(list, listScratch));
            break;
        }
        default:  // MenuBool
            options.push_back(Option{"0", translatedString("NO", dictionary)});
            options.push_back(Option{"1", translatedString("YES", dictionary)});
            position = current.toBool() ? 1 : 0;
            break;
    }

    std::size_t selected;
    if (hasDefault && (current.inherited() || WSSPPage::toNumber(current.text()) == -1))
        selected = 0;
    else
        selected = first + static_cast<std::size_t>(position);

    for (std::size_t i = 0; i < options.size(); ++i) {
        out += "<option value=\"";
        // Values land in an attribute and labels in element text: neither may open markup.
        appendHtmlEscaped(out, options[i].value);
        out += '"';
        if (i == selected) out += " selected=\"selected\"";
        out += '>';
        appendHtmlTagsEscaped(out, options[i].label);
        out += "</option>";
    }
}

}  // namespace wssp_internal

}  // namespace cgp
