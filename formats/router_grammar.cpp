// The Router table grammar: one row per line, an optional label before it.
#include <string>

#include "formats/internal/parser_grammars.h"
#include "formats/router_row_sink.h"

namespace cgp {

RouterRowSink::~RouterRowSink() = default;

bool parseRouterLanguage(ParseContext& ctx) {
    for (;;) {
        while (ctx.code() == TokLineEnd) ctx.advance();
        if (ctx.code() == TokEnd) return true;
        if (ctx.code() == TokLabel) ctx.advance();
        bool addressForm = ctx.code() == TokLess;
        if (addressForm) ctx.advance();
        if (ctx.code() != TokAddress) return ctx.syntaxError();
        std::string left(ctx.token().text);
        ctx.advance();
        if (addressForm && !ctx.expect(TokGreater)) return false;
        if (!ctx.expect(TokEquals)) return false;
        bool hasRight = ctx.code() == TokAddress || ctx.code() == TokQuotedAddress;
        std::string right;
        if (hasRight) {
            right = std::string(ctx.token().text);
            ctx.advance();
        }
        if (!ctx.expect(TokLineEnd)) return false;
        if (ctx.rows) ctx.rows->addRouterRow(left, addressForm, hasRight ? &right : nullptr);
    }
}

}  // namespace cgp
