// The template page grammar, by recursive descent. Nodes under construction are held by
// unique_ptr, so a parse that fails half-way deletes everything it built.
#include <memory>
#include <string>

#include "formats/internal/parser_grammars.h"
#include "formats/internal/wssp_builders.h"

namespace cgp {

namespace {

using NodePtr = std::unique_ptr<WSSPNode>;

// Emulated stack entries charged for each level of nesting: the table parser's opener,
// operands and states held for it, rounded up so that the deepest input allowed also
// fits the machine stack of a sanitizer build (about 2000 nested expressions, 1250
// nested directives).
constexpr int kNestedExpression = 5;
constexpr int kNestedPage = 8;

class PageParser {
public:
    explicit PageParser(ParseContext& context) : ctx(context) {}

    NodePtr page();

private:
    NodePtr item();
    NodePtr output();
    // entries: the emulated stack entries held while this (nested) expression is read.
    NodePtr expression(int entries = 0);
    // Not inlined: their locals would otherwise sit in every level's expression frame.
    [[gnu::noinline]] NodePtr primary();
    [[gnu::noinline]] NodePtr call();
    NodePtr conditional();
    NodePtr loop();
    NodePtr menu();
    NodePtr include();
    NodePtr nestedPage();
    NodePtr name();
    NodePtr number();
    // A plain Sequence used as an argument list (no text merging).
    static NodePtr list() { return NodePtr(cgparserNoteNode(new WSSPNode(WSSPNodeKind::Sequence))); }
    bool at(int code) const { return ctx.code() == code; }
    bool accept(int code) {
        if (!at(code)) return false;
        ctx.advance();
        return true;
    }

    ParseContext& ctx;
};

bool endsPage(int code) {
    return code == TokEnd || code == DirElif || code == DirElse || code == DirEndIf || code == DirEmptyFor ||
           code == DirEndFor;
}

NodePtr PageParser::page() {
    NodePtr sequence;
    while (!endsPage(ctx.code())) {
        NodePtr next = item();
        if (!next) return nullptr;
        sequence.reset(appendToSequence(sequence.release(), next.release()));
    }
    if (!sequence) sequence.reset(appendToSequence(nullptr, makeTextNode("")));
    return sequence;
}

NodePtr PageParser::nestedPage() {
    StackEntries entries(ctx, kNestedPage);
    if (!entries.held()) return nullptr;
    return page();
}

NodePtr PageParser::item() {
    int code = ctx.code();
    if (code == TokPageText) {
        NodePtr text(makeTextNode(std::string(ctx.token().text)));
        ctx.advance();
        return text;
    }
    if (code == TokOutputOpen || (code >= EncHtml && code <= EncIndex)) return output();
    if (code == DirIf) return conditional();
    if (code == DirForAll) return loop();
    if (code >= MenuNumeric && code <= MenuString) return menu();
    if (code == TokInclude) return include();
    ctx.syntaxError();
    return nullptr;
}

NodePtr PageParser::output() {
    int code = ctx.code();
    ctx.advance();
    NodePtr encoding;
    if (code == EncDateTimeArg || code == EncLocalDateTimeArg || code == EncHtmlTruncated) {
        NodePtr argument = expression(kNestedExpression);
        if (!argument || !ctx.expect(TokCloseParen) || !ctx.expect(TokColon)) return nullptr;
        int encodingCode = code == EncDateTimeArg ? EncDateTime : code == EncLocalDateTimeArg ? EncLocalDateTime : code;
        encoding.reset(makeFunctionNode(encodingCode, argument.release()));
    } else if (code == EncHtmlSubst || code == EncHtmlSubstMailbox || code == EncHtmlSubstRoundSize) {
        NodePtr arguments = list();
        do {
            NodePtr argument = expression(kNestedExpression);
            if (!argument) return nullptr;
            arguments->append(argument.release());
        } while (accept(TokComma));
        if (!ctx.expect(TokCloseParen) || !ctx.expect(TokColon)) return nullptr;
        encoding.reset(makeFunctionNode(code, arguments.release()));
    } else if (code != TokOutputOpen) {
        encoding.reset(makeFunctionNode(code, nullptr));
    }
    NodePtr printed = expression();
    if (!printed || !ctx.expect(TokOutputClose)) return nullptr;
    return NodePtr(makeOutputNode(printed.release(), encoding.release()));
}

// "|" over "&" over ".", all to the left.
NodePtr PageParser::expression(int entries) {
    StackEntries held(ctx, entries);
    if (!held.held()) return nullptr;
    NodePtr either;
    do {
        NodePtr both;
        do {
            NodePtr member = primary();
            if (!member) return nullptr;
            while (accept(TokDot)) {
                NodePtr key;
                if (at(TokName)) key.reset(makeVariableNode(std::string(ctx.token().text)));
                else if (at(TokString)) key.reset(makeTextNode(std::string(ctx.token().text)));
                else return ctx.syntaxError(), nullptr;
                ctx.advance();
                member.reset(makeOperatorNode(OpMember, member.release(), key.release()));
            }
            both.reset(both ? makeOperatorNode(KwAnd, both.release(), member.release()) : member.release());
        } while (accept(TokAnd));
        either.reset(either ? makeOperatorNode(OpOr, either.release(), both.release()) : both.release());
    } while (accept(TokOr));
    return either;
}

NodePtr PageParser::name() {
    if (!at(TokName)) return ctx.syntaxError(), nullptr;
    NodePtr variable(makeVariableNode(std::string(ctx.token().text)));
    ctx.advance();
    return variable;
}

NodePtr PageParser::number() {
    if (!at(TokNumber)) return ctx.syntaxError(), nullptr;
    NodePtr value(makeIntegerNode(std::string(ctx.token().text)));
    ctx.advance();
    return value;
}

NodePtr PageParser::primary() {
    switch (ctx.code()) {
        case TokName: {
            NodePtr variable = name();
            if (!accept(TokOpenBracket)) return variable;
            if (!ctx.expect(TokCloseBracket)) return nullptr;
            return NodePtr(makeLoopElementNode(variable.release()));
        }
        case TokString: {
            NodePtr text(makeTextNode(std::string(ctx.token().text)));
            ctx.advance();
            return text;
        }
        case TokOpenParen: {
            ctx.advance();
            NodePtr inner = expression(kNestedExpression);
            if (!inner || !ctx.expect(TokCloseParen)) return nullptr;
            return inner;
        }
        default:
            if (ctx.code() >= FnIncludeArg && ctx.code() <= FnKnownTimeZones) return call();
            ctx.syntaxError();
            return nullptr;
    }
}

NodePtr PageParser::call() {
    int code = ctx.code();
    ctx.advance();
    NodePtr first;
    NodePtr second;
    switch (code) {
        case FnSession:
        case FnSettings:
        case FnAccountSettings:
            first.reset(makeVariableNode(code == FnSession ? "session" : code == FnSettings ? "settings" : "accountsettings"));
            second = expression(kNestedExpression);
            if (!second) return nullptr;
            code = OpMember;
            break;
        case FnIsFirst:
        case FnIsEven:
            first = name();
            if (!first) return nullptr;
            break;
        case FnEquals:
        case FnEqualsNoCase:
        case FnContains:
            first = expression(kNestedExpression);
            if (!first || !ctx.expect(code == FnContains ? KwIn : KwAnd)) return nullptr;
            second = expression(kNestedExpression);
            if (!second) return nullptr;
            break;
        case FnIsIndex:
            first = name();
            if (!first || !ctx.expect(KwIn)) return nullptr;
            second = expression(kNestedExpression);
            if (!second) return nullptr;
            break;
        case FnTranslate: {
            if (at(TokName)) {
                first = name();
            } else if (ctx.code() >= FnIncludeArg && ctx.code() <= FnKnownTimeZones) {
                StackEntries entries(ctx, kNestedExpression);
                if (!entries.held()) return nullptr;
                first = call();
            } else {
                ctx.syntaxError();
            }
            if (!first || !ctx.expect(KwUsing)) return nullptr;
            second = expression(kNestedExpression);
            if (!second) return nullptr;
            break;
        }
        case FnNull:
        case FnEmptyString:
        case FnEmptyArray:
        case FnEmptyDictionary:
        case FnMonthNames:
        case FnKnownCharsets:
        case FnKnownTimeZones:
            break;
        case FnWeekdays:
            if (at(TokCloseParen)) break;
            first = expression(kNestedExpression);
            if (!first) return nullptr;
            break;
        case FnIncludeArg:
            first = number();
            if (!first) return nullptr;
            break;
        default:  // the functions of one operand
            first = expression(kNestedExpression);
            if (!first) return nullptr;
            break;
    }
    if (!ctx.expect(TokCloseParen)) return nullptr;
    if (second) return NodePtr(makeOperatorNode(code, first.release(), second.release()));
    return NodePtr(makeFunctionNode(code, first.release()));
}

NodePtr PageParser::conditional() {
    ctx.advance();
    NodePtr condition = expression();
    if (!condition || !ctx.expect(TokDirectiveEnd)) return nullptr;
    NodePtr body = nestedPage();
    if (!body) return nullptr;
    NodePtr pairs;
    while (accept(DirElif)) {
        NodePtr elifCondition = expression();
        if (!elifCondition || !ctx.expect(TokDirectiveEnd)) return nullptr;
        NodePtr elifBody = nestedPage();
        if (!elifBody) return nullptr;
        if (!pairs) pairs = list();
        pairs->append(elifCondition.release());
        pairs->append(elifBody.release());
    }
    NodePtr otherwise;
    if (accept(DirElse)) {
        if (!ctx.expect(TokDirectiveEnd)) return nullptr;
        otherwise = nestedPage();
        if (!otherwise) return nullptr;
    }
    if (!ctx.expect(DirEndIf) || !ctx.expect(TokDirectiveEnd)) return nullptr;
    return NodePtr(makeConditionalNode(condition.release(), body.release(), pairs.release(), otherwise.release()));
}

NodePtr PageParser::loop() {
    ctx.advance();
    NodePtr opening = name();
    if (!opening || !ctx.expect(KwIn)) return nullptr;
    NodePtr listValue = expression();
    if (!listValue || !ctx.expect(TokDirectiveEnd)) return nullptr;
    NodePtr body = nestedPage();
    if (!body) return nullptr;
    NodePtr emptyName;
    NodePtr emptyBody;
    if (accept(DirEmptyFor)) {
        emptyName = name();
        if (!emptyName || !ctx.expect(TokDirectiveEnd)) return nullptr;
        emptyBody = nestedPage();
        if (!emptyBody) return nullptr;
    }
    if (!ctx.expect(DirEndFor)) return nullptr;
    NodePtr closing = name();
    if (!closing || !ctx.expect(TokDirectiveEnd)) return nullptr;
    NodePtr node(makeLoopNode(opening.release(), listValue.release(), body.release(), emptyName.release(),
                              emptyBody.release(), closing.release()));
    if (!node) ctx.failSilently();
    return node;
}

NodePtr PageParser::menu() {
    int code = ctx.code();
    ctx.advance();
    NodePtr value = expression();
    if (!value) return nullptr;
    NodePtr choices;
    NodePtr fallback;
    NodePtr last;
    bool hasDefault = code != MenuCalendarTime && code != MenuLocalCalendarTime;
    if (hasDefault && accept(KwDefault)) {
        fallback = expression();
        if (!fallback) return nullptr;
    }
    switch (code) {
        case MenuNumeric:
        case MenuTime:
        case MenuSize:
            if (!ctx.expect(KwIn) || !ctx.expect(TokOpenParen)) return nullptr;
            choices = list();
            do {
                NodePtr literal = number();
                if (!literal) return nullptr;
                choices->append(literal.release());
            } while (accept(TokComma));
            if (!ctx.expect(TokCloseParen)) return nullptr;
            break;
        case MenuEnum:
        case MenuString:
        case MenuMailbox:
            if (!ctx.expect(KwIn)) return nullptr;
            choices = expression();
            if (!choices) return nullptr;
            break;
        case MenuCalendarTime:
        case MenuLocalCalendarTime:
            if (accept(KwPeriod)) {
                last = number();
                if (!last) return nullptr;
            }
            break;
        default:
            break;
    }
    bool hasDisplay = code == MenuNumeric || code == MenuTime || code == MenuSize || code == MenuEnum ||
                      code == MenuString || code == MenuBool;
    if (hasDisplay && accept(KwDisplay)) {
        last = expression();
        if (!last) return nullptr;
    }
    if (code == MenuMailbox && accept(KwNoInbox)) last.reset(makeTextNode("NOINBOX"));
    if (!ctx.expect(TokDirectiveEnd)) return nullptr;
    return NodePtr(makeMenuNode(code, value.release(), choices.release(), fallback.release(), last.release()));
}

NodePtr PageParser::include() {
    ctx.advance();
    if (!at(TokString)) return ctx.syntaxError(), nullptr;
    std::string included(ctx.token().text);
    ctx.advance();
    NodePtr arguments;
    if (accept(TokOpenParen)) {
        arguments = list();
        do {
            NodePtr argument = expression(kNestedExpression);
            if (!argument) return nullptr;
            arguments->append(argument.release());
        } while (accept(TokComma));
        if (!ctx.expect(TokCloseParen)) return nullptr;
    }
    if (!ctx.expect(TokDirectiveEnd)) return nullptr;
    return NodePtr(makeIncludeNode(included, arguments.release()));
}

}  // namespace

WSSPNode* parsePageLanguage(ParseContext& context) {
    PageParser parser(context);
    NodePtr root = parser.page();
    if (!root || !context.expect(TokEnd)) return nullptr;
    return root.release();
}

}  // namespace cgp
