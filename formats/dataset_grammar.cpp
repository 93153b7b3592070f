// The dataset grammar. Values are built in the value pool; one level of nesting is one
// call of value(), so the depth that the stack limit allows fits the machine stack.
#include <string>

#include "formats/internal/dataset_pool.h"
#include "formats/internal/parser_grammars.h"

namespace cgp {

namespace {

// Emulated stack entries charged per level of nesting (see the page grammar).
constexpr int kNestedValue = 5;

class DataSetParser {
public:
    explicit DataSetParser(ParseContext& context) : ctx(context) {}

    // value [";"], then, in a list, ["," item]...: the top-level list.
    bool list(std::size_t& out);

private:
    bool value(std::size_t& out);
    bool text(std::size_t& out);
    // A dictionary key: the same texts as a value, read into the key itself.
    bool key(std::string& out);
    bool optionalSemicolon() {
        if (ctx.code() == TokSemicolon) ctx.advance();
        return true;
    }

    ParseContext& ctx;
};

bool DataSetParser::list(std::size_t& out) {
    std::size_t item;
    if (!value(item)) return false;
    optionalSemicolon();
    out = newArray();
    moveArrayItem(out, item);
    while (ctx.code() == TokComma) {
        ctx.advance();
        if (!value(item)) return false;
        optionalSemicolon();
        moveArrayItem(out, item);
    }
    return true;
}

bool DataSetParser::text(std::size_t& out) {
    if (ctx.code() == TokWord) {
        out = newStringValue(ctx.token().text);
        ctx.advance();
        return true;
    }
    if (ctx.code() != TokString) return ctx.syntaxError();
    out = newStringValue(ctx.token().text);
    ctx.advance();
    while (ctx.code() == TokString) {
        appendQuotedText(out, ctx.token().text);
        ctx.advance();
    }
    return true;
}

bool DataSetParser::key(std::string& out) {
    out.clear();
    if (ctx.code() == TokWord) {
        appendKeyText(out, ctx.token().text);
        ctx.advance();
        return true;
    }
    if (ctx.code() != TokString) return ctx.syntaxError();
    do {
        appendKeyText(out, ctx.token().text);
        ctx.advance();
    } while (ctx.code() == TokString);
    return true;
}

bool DataSetParser::value(std::size_t& out) {
    switch (ctx.code()) {
        case TokWord:
        case TokString:
            return text(out);
        case TokDataBlock:
            out = decodeDataBlock(ctx.token().text);
            ctx.advance();
            return true;
        case TokOpenParen: {
            StackEntries entries(ctx, kNestedValue);
            if (!entries.held()) return false;
            ctx.advance();
            out = newArray();
            if (ctx.code() != TokCloseParen) {
                for (;;) {
                    std::size_t item;
                    if (!value(item)) return false;
                    optionalSemicolon();
                    moveArrayItem(out, item);
                    if (ctx.code() != TokComma) break;
                    ctx.advance();
                }
            }
            return ctx.expect(TokCloseParen);
        }
        case TokOpenBrace: {
            StackEntries entries(ctx, kNestedValue);
            if (!entries.held()) return false;
            ctx.advance();
            out = newDictionary();
            std::string name;
            while (ctx.code() != TokCloseBrace) {
                std::size_t item;
                if (!key(name) || !ctx.expect(TokEquals) || !value(item)) return false;
                optionalSemicolon();
                moveDictionaryItem(out, name, item);
            }
            ctx.advance();
            return true;
        }
        default:
            return ctx.syntaxError();
    }
}

}  // namespace

bool parseDataSetLanguage(ParseContext& ctx) {
    if (ctx.code() == TokEnd) return true;
    DataSetParser parser(ctx);
    std::size_t top;
    if (!parser.list(top) || !ctx.expect(TokEnd)) return false;
    setDataSetPoolResult(top);
    return true;
}

}  // namespace cgp
