#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "formats/parser.h"

namespace cgp {
namespace {

// "code:text" per token, blank-separated, for compact tables.
std::string tokens(const std::string& text, int mode) {
    std::string out;
    for (const ScannedToken& token : cgparserTokenize(text, mode)) {
        if (!out.empty()) out += ' ';
        out += std::to_string(token.code) + ":" + token.text;
    }
    return out;
}

struct Case {
    const char* input;
    const char* expected;
};

TEST(DataSetScannerTest, Tokens) {
    const Case cases[] = {
        {"", ""},
        {"abc", "258:abc"},
        {"a-b.c@d_e 12", "258:a-b.c@d_e 258:12"},
        {"( ) { } ; = ,", "260:( 261:) 262:{ 263:} 264:; 265:= 273:,"},
        {"\"a\\\"b\"", "288:a\\\"b"},
        {"\"x\" \"y\"", "288:x 288:y"},
        {"\"line\nfeed\"", "288:line\nfeed"},
        {"\"\\ddd\\DDD\\012\\E\\n\"", "288:\\ddd\\DDD\\012\\E\\n"},
        {"\"a\\xb\"", "375:\" 258:a 375:\\ 258:xb 375:\""},
        {"\"open", "375:\" 258:open"},
        {"[SGVs\nbG8=]", "259:SGVs\nbG8="},
        {"[]", "259:"},
        {"[SG Vs]", "375:[ 258:SG 258:Vs 375:]"},
        {"#NULL# #nUlL#", "258:#NULL# 258:#nUlL#"},
        {"#123 #-5", "258:123 258:-5"},
        {"#(abc) #()", "258:#(abc) 375:# 260:( 261:)"},
        {"#T01-01-2000_12:00:00", "258:#T01-01-2000_12:00:00"},
        // A date ends at the brackets, the comma and blanks, not only at ";" and quotes.
        {"(#T01-01-2000,#T02-02-2000)", "260:( 258:#T01-01-2000 273:, 258:#T02-02-2000 261:)"},
        {"{d=#T01-01-2000_00:00:00}", "262:{ 258:d 265:= 258:#T01-01-2000_00:00:00 263:}"},
        {"#T1 x", "258:#T1 258:x"},
        {"#T1\tx #T2\r\ny #T3;", "258:#T1 258:x 258:#T2 258:y 258:#T3 264:;"},
        // Address literals take digits, with or without a port.
        {"#I[10.0.0.1] #I[10.0.0.1]:25 #i[::1]", "258:#I[10.0.0.1] 258:#I[10.0.0.1]:25 258:#i[::1]"},
        {"#I[10.0.0.1]:", "258:#I[10.0.0.1] 375::"},
        {"#x", "375:# 258:x"},
        {"caf\xC3\xA9 \xE2\x82\xAC", "258:caf\xC3\xA9 258:\xE2\x82\xAC"},
        {"\xC3", "375:\xC3"},
        {"\xEF\xBB\xBF" "a", "258:a"},
        {"a\xEF\xBB\xBF", "258:a 375:\xEF\xBB\xBF"},
        {" \xEF\xBB\xBF", "375:\xEF\xBB\xBF"},
        {"a$b", "258:a 375:$ 258:b"},
    };
    for (const Case& c : cases) EXPECT_EQ(tokens(c.input, DataSetMode), c.expected) << c.input;
}

TEST(RouterScannerTest, Tokens) {
    const Case cases[] = {
        {"", "279:"},
        {"a = b", "278:a 265:= 278:b 279:"},
        {"<user@x.com> = y", "274:< 278:user@x.com 275:> 265:= 278:y 279:"},
        {"a=b ; remark\nc", "278:a 265:= 278:b 279:\n 278:c 279:"},
        {"a\r\nb", "278:a 279:\r 279:\n 278:b 279:"},
        {"Mail: a = b", "277:Mail: 278:a 265:= 278:b 279:"},
        {"A:b:c", "277:A:b: 278:c 279:"},
        {" Mail: a", "278:Mail 375:: 278:a 279:"},
        {"x = \"John Doe\"@pipe", "278:x 265:= 276:\"John Doe\"@pipe 279:"},
        {"x = \"a\" b\"c\"d", "278:x 265:= 276:\"a\" b\"c\"d 279:"},
        {"x = \"bare\"", "278:x 265:= 375:\" 278:bare 375:\" 279:"},
        {"a\\*b \\c", "278:a\\*b 375:\\ 278:c 279:"},
        {"*@{dom}#%", "278:*@{dom}#% 279:"},
        {"a!b", "278:a 375:! 278:b 279:"},
    };
    for (const Case& c : cases) EXPECT_EQ(tokens(c.input, RouterMode), c.expected) << c.input;
}

TEST(PageScannerTest, PageText) {
    const Case cases[] = {
        {"", ""},
        {"ab\r\ncd", "287:ab\r 287:\n 287:cd"},
        {"50% off<b>", "287:50 287:%\x20 287:off 287:<b 287:>"},
        {"100%", "287:100 287:%"},
        {"a<!-- c -->", "287:a 287:<!--\x20 287:c -->"},
        {"<!--%x", "287:<!--%x"},
        {"x<!--", "287:x 287:<!--"},
        {"<!--%%EN", "287:<!--%%EN"},
        {"<!--%%BOGUS x", "375:< 287:!-- 283:%% 285:BOGUS 285:x"},
        {"%%x%%", "283:%% 285:x 284:%%"},
        {"%%html:a%%", "332:%%html: 285:a 284:%%"},
        {"%%HtmlUtf8:a%%", "333:%%HtmlUtf8: 285:a 284:%%"},
        {"%%DATETIME(x):y%%", "345:%%DATETIME( 285:x 261:) 269:: 285:y 284:%%"},
        {"%%INDEX1:i%%", "356:%%INDEX1: 285:i 284:%%"},
        // Openers that begin with shorter ones: the longest wins.
        {"%%DateTimeShort:t%%%%LOCALDATETIME(p):t%%%%HTMLSUBSTMAILBOX(a):t%%",
         "343:%%DateTimeShort: 285:t 284:%% 348:%%LOCALDATETIME( 285:p 261:) 269:: 285:t 284:%% "
         "354:%%HTMLSUBSTMAILBOX( 285:a 261:) 269:: 285:t 284:%%"},
        {"%%HTMLX%%", "283:%% 285:HTMLX 284:%%"},
        {"<!--%%if x--><!--%%ForEach i in l-->", "358:<!--%%if 285:x 282:--> 362:<!--%%ForEach 285:i 326:in 285:l 282:-->"},
        {"<!--%%FORALL", "362:<!--%%FORALL"},
        {"<!--%%INCLUDE \"p.wssp\"-->", "289:<!--%%INCLUDE  288:p.wssp 282:-->"},
        {"<!--%%localcalendartimemenu", "373:<!--%%localcalendartimemenu"},
    };
    for (const Case& c : cases) EXPECT_EQ(tokens(c.input, PageMode), c.expected) << c.input;
}

TEST(PageScannerTest, DirectiveBodies) {
    const Case cases[] = {
        // Keywords against names, function words with their "(".
        {"<!--%%IF and AND ANDY in Index using default display period noinbox-->",
         "358:<!--%%IF 324:and 324:AND 285:ANDY 326:in 285:Index 327:using 328:default 329:display 330:period "
         "331:noinbox 282:-->"},
        {"<!--%%IF not(x) NOT (x) notx(x)-->",
         "358:<!--%%IF 296:not( 285:x 261:) 285:NOT 260:( 285:x 261:) 285:notx 260:( 285:x 261:) 282:-->"},
        {"<!--%%IF equals(a AND b) equalsnocase( isindex(-->",
         "358:<!--%%IF 297:equals( 285:a 324:AND 285:b 261:) 298:equalsnocase( 299:isindex( 282:-->"},
        {"<!--%%IF a.b&c|d[],\"q s\" 12 _x1:-->",
         "358:<!--%%IF 285:a 272:. 285:b 271:& 285:c 270:| 285:d 267:[ 268:] 273:, 288:q s 286:12 285:_x1 269:: "
         "282:-->"},
        {"<!--%%IF\r\n\tx\n-->", "358:<!--%%IF 285:x 282:-->"},
        {"<!--%%IF %% -->", "358:<!--%%IF 375:% 375:% 282:-->"},
        {"%%a-->%%", "283:%% 285:a 375:- 375:- 375:> 284:%%"},
        {"<!--%%IF \"open\n-->", "358:<!--%%IF 375:\" 285:open 282:-->"},
        {"%%knowntimezones(%%", "283:%% 322:knowntimezones( 284:%%"},
        {"<!--%%IF a\xEF\xBB\xBF-->", "358:<!--%%IF 285:a 375:\xEF\xBB\xBF 282:-->"},
    };
    for (const Case& c : cases) EXPECT_EQ(tokens(c.input, PageMode), c.expected) << c.input;
}

TEST(ScannerTest, ByteOrderMarkOnlyAtTheStart) {
    EXPECT_EQ(tokens("\xEF\xBB\xBFx", PageMode), "287:x");
    EXPECT_EQ(tokens("\xEF\xBB\xBF" "a=b", RouterMode), "278:a 265:= 278:b 279:");
    EXPECT_EQ(tokens("\xEF\xBB\xBF" "Mail: a=b", RouterMode), "277:Mail: 278:a 265:= 278:b 279:");
    EXPECT_EQ(tokens("a\n\xEF\xBB\xBF", RouterMode), "278:a 279:\n 375:\xEF\xBB\xBF 279:");
    EXPECT_EQ(tokens("\xEF\xBB\xBF\xEF\xBB\xBF" "a", DataSetMode), "375:\xEF\xBB\xBF 258:a");
}

TEST(ScannerTest, UnknownModeGivesNothing) {
    EXPECT_TRUE(cgparserTokenize("abc", 3).empty());
    EXPECT_TRUE(cgparserTokenize("abc", -1).empty());
    EXPECT_FALSE(cgparserParseString("abc", 3));
    EXPECT_FALSE(cgparserParseFile("/nonexistent/never/read", 7));
}

}  // namespace
}  // namespace cgp
