#pragma once

namespace cgp {

// Token codes of the shared scanner, numbered as the server's parser numbers them
// (gaps included). 0 is the end of input. Page-language codes 290-357 and 365-374 also
// travel in WSSPNode::number, where the page engine reads them.
enum TokenCode : int {
    TokEnd = 0,
    TokWord = 258,          // dataset word
    TokDataBlock = 259,     // dataset "[...]", text without the brackets
    TokOpenParen = 260,
    TokCloseParen = 261,
    TokOpenBrace = 262,
    TokCloseBrace = 263,
    TokSemicolon = 264,
    TokEquals = 265,
    TokOpenBracket = 267,
    TokCloseBracket = 268,
    TokColon = 269,
    TokOr = 270,            // "|"
    TokAnd = 271,           // "&"
    TokDot = 272,           // "."
    TokComma = 273,
    TokLess = 274,
    TokGreater = 275,
    TokQuotedAddress = 276, // Router: "..." followed by address bytes, whole text
    TokLabel = 277,         // Router: "Mail:" at the start of a line
    TokAddress = 278,       // Router address word
    TokLineEnd = 279,       // Router line end
    TokDirectiveEnd = 282,  // "-->"
    TokOutputOpen = 283,    // "%%" opening an output
    TokOutputClose = 284,   // "%%" closing an output
    TokName = 285,
    TokNumber = 286,
    TokPageText = 287,
    TokString = 288,        // quoted string, text without the quotes
    TokInclude = 289,       // "<!--%%INCLUDE "

    // Function words, each written with its "(".
    FnIncludeArg = 290,
    FnSession = 291,
    FnSettings = 292,
    FnAccountSettings = 293,
    FnExists = 294,
    FnDoesNotExist = 295,
    FnNot = 296,
    FnEquals = 297,
    FnEqualsNoCase = 298,
    FnIsIndex = 299,
    FnIsFirst = 300,
    FnIsEven = 301,
    FnChecked = 302,
    FnHasParentMailbox = 303,
    FnIsString = 304,
    FnIsArray = 305,
    FnIsDictionary = 306,
    FnIsDate = 307,
    FnIsData = 308,
    FnNull = 309,
    FnEmptyString = 310,
    FnEmptyArray = 311,
    FnEmptyDictionary = 312,
    FnString = 313,
    FnDictionary = 314,
    FnArray = 315,
    FnTranslate = 316,
    FnContains = 317,
    FnRandomElement = 318,
    FnMonthNames = 319,
    FnWeekdays = 320,
    FnKnownCharsets = 321,
    FnKnownTimeZones = 322,

    OpMember = 323,         // node code only: member access
    KwAnd = 324,            // "AND"; also the node code of "&"
    OpOr = 325,             // node code only: "|"
    KwIn = 326,
    KwUsing = 327,
    KwDefault = 328,
    KwDisplay = 329,
    KwPeriod = 330,
    KwNoInbox = 331,

    // Output openers with an encoding: "%%HTML:" 332 ... "%%INDEX:" 357.
    EncHtml = 332,
    EncHtmlUtf8 = 333,
    EncUrl = 334,
    EncMailboxRawName = 335,
    EncMailboxName = 336,
    EncMailboxLastName = 337,
    EncUrlMailboxParent = 338,
    EncJavaScript = 339,
    EncSize = 340,
    EncRoundSize = 341,
    EncTime = 342,
    EncDateTimeShort = 343,
    EncDateTime = 344,
    EncDateTimeArg = 345,   // "%%DATETIME(": builds a Call 344 with an argument
    EncLocalDateTimeShort = 346,
    EncLocalDateTime = 347,
    EncLocalDateTimeArg = 348, // "%%LOCALDATETIME(": builds a Call 347
    EncLocalDate = 349,
    EncDateWeek = 350,
    EncDate = 351,
    EncHtmlTruncated = 352,
    EncHtmlSubst = 353,
    EncHtmlSubstMailbox = 354,
    EncHtmlSubstRoundSize = 355,
    EncIndex1 = 356,
    EncIndex = 357,

    // Directive openers "<!--%%IF" ... ; FORALL and FOREACH share 362.
    DirIf = 358,
    DirElse = 359,
    DirElif = 360,
    DirEndIf = 361,
    DirForAll = 362,
    DirEmptyFor = 363,
    DirEndFor = 364,
    MenuNumeric = 365,
    MenuTime = 366,
    MenuSize = 367,
    MenuEnum = 368,
    MenuBool = 369,
    MenuMailbox = 370,
    MenuDayTime = 371,
    MenuCalendarTime = 372,
    MenuLocalCalendarTime = 373,
    MenuString = 374,

    TokError = 375,         // a byte (or a misplaced byte order mark) that begins no lexeme
};

// The three languages; the value selects the scanner's start state.
enum ParserMode : int { PageMode = 0, RouterMode = 1, DataSetMode = 2 };

}  // namespace cgp
