#include "wssp/internal/evaluator.h"

#include <cstdlib>

#include "formats/parser_tokens.h"
#include "formats/wssp_values.h"
#include "foundation/case_fold.h"
#include "foundation/date_time.h"
#include "wssp/text_escapes.h"

namespace cgp {

namespace wssp_internal {

namespace {

const std::string kYes = "YES";
const std::string kNo = "NO";
const std::string kChecked = "checked=\"checked\"";

Value yesNo(bool yes) { return Value::ofText(DataSetKind::String, yes ? kYes : kNo); }
Value emptyString() { return Value::ofText(DataSetKind::String, Value::emptyText()); }

const WSSPNode* childAt(const WSSPNode* node, std::size_t index) {
    return index < node->children.size() ? node->children[index] : nullptr;
}

const std::string& textOf(const WSSPNode* node) { return node != nullptr ? node->text : Value::emptyText(); }

// Which operands a node's result reads: bit 0 the first child's value, bit 1 the second's.
// Values are computed without side effects, so leaving out the unread ones changes nothing.
int operandsRead(const WSSPNode* node) {
    switch (node->kind) {
        case WSSPNodeKind::Output:
            return 2;
        case WSSPNodeKind::Call:
            switch (node->number) {
                case FnExists:
                case FnDoesNotExist:
                case FnNot:
                case FnIsIndex:
                case FnChecked:
                case FnIsString:
                case FnIsArray:
                case FnIsDictionary:
                case FnIsData:
                case FnString:
                case FnDictionary:
                case FnArray:
                case OpMember:
                    return 1;
                case FnEquals:
                case FnEqualsNoCase:
                case FnTranslate:
                case FnContains:
                case KwAnd:
                case OpOr:
                    return 3;
                default:
                    return 0;
            }
        default:
            return 0;
    }
}

bool isDateEncoding(int code) {
    switch (code) {
        case EncDateTimeShort:
        case EncDateTime:
        case EncLocalDateTimeShort:
        case EncLocalDateTime:
        case EncLocalDate:
        case EncDateWeek:
        case EncDate:
            return true;
        default:
            return false;
    }
}

}  // namespace

const DataSet* findIn(const data_set* dictionary, std::string_view key) {
    if (dictionary == nullptr || dictionary->kind != DataSetKind::Dictionary) return nullptr;
    return dictionary->dictionary.find(key);
}

const DataSet* findIn(const DataSet& dictionary, std::string_view key) { return findIn(dictionary.get(), key); }

DataSet Value::toDataSet() const {
    if (storedHandle != nullptr && storedHandle->get() != nullptr) {
        DataSet shared(*storedHandle);
        shared.setInherited(inheritedFlag);
        return shared;
    }
    DataSet made(valueKind);
    made->stringValue = text();
    if (containerNode != nullptr && (!containerNode->array.empty() || !containerNode->dictionary.empty())) {
        tmg::MutexLock lock(&DataSet::sharedMutex());
        made->array = containerNode->array;
        made->dictionary = containerNode->dictionary;
    }
    made.setInherited(inheritedFlag);
    return made;
}

const DataSet* Evaluator::binding(const std::string& name, const char* suffix) {
    key.assign(name).append(suffix);
    return findIn(ctx.variables, key);
}

Value Evaluator::evaluate(const WSSPNode* root) {
    if (root == nullptr) return Value();
    if (operandsRead(root) == 0) {
        Frame leaf{root, 2, Value(), Value()};
        return compute(leaf);
    }
    std::size_t base = frames.size();
    frames.push_back(Frame{root, 0, Value(), Value()});
    for (;;) {
        Frame& frame = frames.back();
        const WSSPNode* next = nullptr;
        int read = operandsRead(frame.node);
        if (frame.stage == 0) {
            frame.stage = 1;
            if (read & 1) next = childAt(frame.node, 0);
        }
        if (next == nullptr && frame.stage == 1) {
            frame.stage = 2;
            if (read & 2) next = childAt(frame.node, 1);
        }
        if (next != nullptr) {
            frames.push_back(Frame{next, 0, Value(), Value()});
            continue;
        }
        Value result = compute(frame);
        frames.pop_back();
        if (frames.size() == base) return result;
        Frame& parent = frames.back();
        (parent.stage == 1 ? parent.a : parent.b) = std::move(result);
    }
}

Value Evaluator::compute(Frame& frame) {
    const WSSPNode* node = frame.node;
    switch (node->kind) {
        case WSSPNodeKind::Text:
            return Value::ofText(DataSetKind::String, node->text);
        case WSSPNodeKind::Variable:
            if (const DataSet* found = findIn(ctx.data, node->text)) return Value::stored(found);
            return Value();
        case WSSPNodeKind::Output:
            return output(node, frame.b);
        case WSSPNodeKind::Call:
            return call(node, frame.a, frame.b);
        case WSSPNodeKind::LoopElement:
            if (const DataSet* bound = binding(node->text, "[]")) return Value::stored(bound);
            return Value();
        default:
            return Value();
    }
}

Value Evaluator::output(const WSSPNode* node, const Value& b) {
    const WSSPNode* encoding = childAt(node, 0);
    DataSetKind kind = b.kind();
    if (encoding != nullptr && encoding->kind == WSSPNodeKind::Call &&
        (encoding->number == EncIndex || encoding->number == EncIndex1) && kind == DataSetKind::Empty) {
        kind = DataSetKind::String;
    }
    Value result = Value::derivedFrom(b, kind);
    appendEncoded(node, b, result.ownTextRef());
    return result;
}

std::string Evaluator::datePicture(const WSSPNode* encoding, const char* fallback) {
    const WSSPNode* argument = childAt(encoding, 0);
    if (argument == nullptr) return fallback;
    if (argument->kind == WSSPNodeKind::Text) return argument->text;
    std::string picture = argument->text;
    const DataSet* pictures = findIn(ctx.variables, "DatePictures");
    if (pictures != nullptr && translateString(picture, *pictures)) return picture;
    return fallback;
}

void Evaluator::appendEncoded(const WSSPNode* output, const Value& b, std::string& out) {
    const WSSPNode* encoding = childAt(output, 0);
    const std::string& text = b.text();
    if (encoding == nullptr || encoding->kind != WSSPNodeKind::Call) {
        out += text;
        return;
    }
    int code = encoding->number;
    switch (code) {
        case EncHtml:
        case EncHtmlUtf8:
        case EncHtmlTruncated:
        case EncHtmlSubst:
        case EncHtmlSubstMailbox:
        case EncHtmlSubstRoundSize:
            appendHtmlEscaped(out, text);
            return;
        case EncUrl:
            appendUrlEscaped(out, text);
            return;
        case EncJavaScript:
            appendJavaScriptEscaped(out, text);
            return;
        case EncIndex:
        case EncIndex1: {
            const DataSet* bound = binding(textOf(childAt(output, 1)), "[index]");
            if (bound == nullptr) {
                out += text;
            } else {
                const std::string& position = bound->get() != nullptr ? (*bound)->stringValue : Value::emptyText();
                if (code == EncIndex)
                    out += position;
                else
                    out += WSSPPage::toText(WSSPPage::toNumber(position) + 1);
            }
            return;
        }
        default:
            break;
    }
    if (!isDateEncoding(code)) {
        out += text;
        return;
    }
    std::int64_t time = WSSPPage::toNumber(text);
    bool local = code == EncLocalDateTimeShort || code == EncLocalDateTime || code == EncLocalDate;
    std::string picture;
    switch (code) {
        case EncDateTimeShort:
        case EncLocalDateTimeShort: {
            std::int64_t now = tmg::DateTime::now(false).toTimeT();
            // The distance in 64 bits: times past 2038 and far apart must not wrap.
            std::uint64_t distance = time >= now ? static_cast<std::uint64_t>(time) - static_cast<std::uint64_t>(now)
                                                 : static_cast<std::uint64_t>(now) - static_cast<std::uint64_t>(time);
            picture = distance < 72000 ? "^H:^m:^s" : "^Y/^N/^D";
            break;
        }
        case EncDateTime:
        case EncLocalDateTime:
            picture = datePicture(encoding, "^h:^m:^s ^W ^D-^M-^Y");
            break;
        case EncDateWeek:
            picture = "^W, ^Y/^N/^D";
            break;
        default:
            picture = "^Y/^N/^D";
            break;
    }
    out += WSSPPage::formatDate(time, std::move(picture), local);
}

template <class Test>
Value Evaluator::positionTest(const WSSPNode* nameNode, Test test) {
    const DataSet* bound = binding(textOf(nameNode), "[index]");
    if (bound == nullptr) return emptyString();
    return yesNo(test(WSSPPage::toNumber(bound->get() != nullptr ? (*bound)->stringValue : Value::emptyText())));
}

Value Evaluator::memberAccess(const WSSPNode* node, const Value& a) {
    const WSSPNode* keyNode = childAt(node, 1);
    if (a.kind() != DataSetKind::Dictionary || keyNode == nullptr ||
        (keyNode->kind != WSSPNodeKind::Text && keyNode->kind != WSSPNodeKind::Variable)) {
        return Value();
    }
    if (const DataSet* found = findIn(a.containers(), keyNode->text)) return Value::stored(found);
    // Only a stored node has a link of its own; a computed dictionary links to nothing.
    if (const DataSet* handle = a.storedHandleOf()) {
        if (const DataSet* found = findIn((*handle)->linkSet.get(), keyNode->text)) {
            Value inherited = Value::stored(found);
            inherited.setInherited(true);
            return inherited;
        }
    }
    return Value();
}

Value Evaluator::call(const WSSPNode* node, const Value& a, const Value& b) {
    switch (node->number) {
        case FnIncludeArg: {
            const WSSPNode* position = childAt(node, 0);
            if (position == nullptr) return Value();
            const DataSet* arguments = findIn(ctx.variables, "INCLUDEARG");
            const data_set* list = arguments != nullptr ? arguments->get() : nullptr;
            if (list == nullptr || list->kind != DataSetKind::Array || position->number < 0 ||
                static_cast<std::size_t>(position->number) >= list->array.size()) {
                return emptyString();
            }
            return Value::stored(&list->array[static_cast<std::size_t>(position->number)]);
        }
        case FnExists:
            return Value::ofText(DataSetKind::Empty, a.kind() != DataSetKind::Empty ? kYes : kNo);
        case FnDoesNotExist:
            return Value::ofText(DataSetKind::Empty, a.kind() == DataSetKind::Empty ? kYes : kNo);
        case FnNot:
            return yesNo(!a.toBool());
        case FnEquals:
            return yesNo(a.text() == b.text());
        case FnEqualsNoCase:
            return yesNo(tmg::equalsNoCase(a.text(), b.text()));
        case FnIsIndex: {
            std::int64_t wanted = WSSPPage::toNumber(a.text());
            return positionTest(childAt(node, 1), [wanted](std::int64_t at) { return at == wanted; });
        }
        case FnIsFirst:
            return positionTest(childAt(node, 0), [](std::int64_t at) { return at == 0; });
        case FnIsEven:
            return positionTest(childAt(node, 0), [](std::int64_t at) { return at % 2 == 0; });
        case FnChecked:
            return a.toBool() ? Value::ofText(DataSetKind::String, kChecked) : emptyString();
        case FnIsString:
            return yesNo(a.kind() == DataSetKind::String);
        case FnIsArray:
            return yesNo(a.kind() == DataSetKind::Array);
        case FnIsDictionary:
            return yesNo(a.kind() == DataSetKind::Dictionary);
        case FnIsData:
            return yesNo(a.kind() == DataSetKind::Data);
        case FnEmptyString:
            return emptyString();
        case FnEmptyArray:
            return Value::ofKind(DataSetKind::Array);
        case FnEmptyDictionary:
            return Value::ofKind(DataSetKind::Dictionary);
        case FnString:
        case FnDictionary:
        case FnArray: {
            DataSetKind wanted = node->number == FnString       ? DataSetKind::String
                                 : node->number == FnDictionary ? DataSetKind::Dictionary
                                                                : DataSetKind::Array;
            const DataSet* found = findIn(ctx.data, a.text());
            if (found != nullptr && found->kind() == wanted) return Value::stored(found);
            return Value();
        }
        case FnTranslate: {
            if (a.kind() != DataSetKind::String) return Value();
            const DataSet* entry = findIn(b.containers(), a.text());
            if (b.kind() == DataSetKind::Dictionary && entry != nullptr) {
                return Value::ofText(DataSetKind::String,
                                     entry->get() != nullptr ? (*entry)->stringValue : Value::emptyText());
            }
            return Value::ofOwnText(DataSetKind::String, a.text());
        }
        case FnContains: {
            if (a.kind() != DataSetKind::String) return yesNo(false);
            const std::string& wanted = a.text();
            switch (b.kind()) {
                case DataSetKind::String:
                    return yesNo(b.text().find(wanted) != std::string::npos);
                case DataSetKind::Array:
                    if (const data_set* list = b.containers()) {
                        for (const DataSet& element : list->array)
                            if (element.get() != nullptr && element->stringValue == wanted) return yesNo(true);
                    }
                    return yesNo(false);
                case DataSetKind::Dictionary:
                    return yesNo(findIn(b.containers(), wanted) != nullptr);
                default:
                    return yesNo(false);
            }
        }
        case OpMember:
            return memberAccess(node, a);
        case KwAnd:
            return yesNo(a.toBool() && b.toBool());
        case OpOr:
            return yesNo(a.toBool() || b.toBool());
        default:
            // NULL( and the functions without a result of their own.
            return Value();
    }
}

}  // namespace wssp_internal

DataSet WSSPPage::evaluate(const WSSPNode* node, const WSSPContext& context) {
    wssp_internal::Evaluator evaluator(context);
    return evaluator.evaluate(node).toDataSet();
}

std::int64_t WSSPPage::toNumber(const std::string& text) {
    // Blanks, a sign, digits up to the first other byte; out of range gives the limit.
    return std::strtoll(text.c_str(), nullptr, 10);
}

std::string WSSPPage::toText(std::int64_t number) { return std::to_string(number); }

}  // namespace cgp
