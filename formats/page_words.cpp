#include "formats/internal/page_words.h"

#include "foundation/case_fold.h"
#include "formats/parser_tokens.h"

namespace cgp {

const PageWord kOutputOpeners[] = {
    {"%%HTML:", EncHtml},
    {"%%HTMLUTF8:", EncHtmlUtf8},
    {"%%URL:", EncUrl},
    {"%%MAILBOXRAWNAME:", EncMailboxRawName},
    {"%%MAILBOXNAME:", EncMailboxName},
    {"%%MAILBOXLASTNAME:", EncMailboxLastName},
    {"%%URLMAILBOXPARENT:", EncUrlMailboxParent},
    {"%%JAVASCRIPT:", EncJavaScript},
    {"%%SIZE:", EncSize},
    {"%%ROUNDSIZE:", EncRoundSize},
    {"%%TIME:", EncTime},
    {"%%DATETIMESHORT:", EncDateTimeShort},
    {"%%DATETIME:", EncDateTime},
    {"%%DATETIME(", EncDateTimeArg},
    {"%%LOCALDATETIMESHORT:", EncLocalDateTimeShort},
    {"%%LOCALDATETIME:", EncLocalDateTime},
    {"%%LOCALDATETIME(", EncLocalDateTimeArg},
    {"%%LOCALDATE:", EncLocalDate},
    {"%%DATEWEEK:", EncDateWeek},
    {"%%DATE:", EncDate},
    {"%%HTMLTRUNCATED(", EncHtmlTruncated},
    {"%%HTMLSUBST(", EncHtmlSubst},
    {"%%HTMLSUBSTMAILBOX(", EncHtmlSubstMailbox},
    {"%%HTMLSUBSTROUNDSIZE(", EncHtmlSubstRoundSize},
    {"%%INDEX1:", EncIndex1},
    {"%%INDEX:", EncIndex},
};
const std::size_t kOutputOpenerCount = sizeof kOutputOpeners / sizeof kOutputOpeners[0];

const PageWord kDirectiveOpeners[] = {
    {"<!--%%IF", DirIf},
    {"<!--%%ELSE", DirElse},
    {"<!--%%ELIF", DirElif},
    {"<!--%%ENDIF", DirEndIf},
    {"<!--%%FORALL", DirForAll},
    {"<!--%%FOREACH", DirForAll},
    {"<!--%%EMPTYFOR", DirEmptyFor},
    {"<!--%%ENDFOR", DirEndFor},
    {"<!--%%NUMERICMENU", MenuNumeric},
    {"<!--%%TIMEMENU", MenuTime},
    {"<!--%%SIZEMENU", MenuSize},
    {"<!--%%ENUMMENU", MenuEnum},
    {"<!--%%BOOLMENU", MenuBool},
    {"<!--%%MAILBOXMENU", MenuMailbox},
    {"<!--%%DAYTIMEMENU", MenuDayTime},
    {"<!--%%CALENDARTIMEMENU", MenuCalendarTime},
    {"<!--%%LOCALCALENDARTIMEMENU", MenuLocalCalendarTime},
    {"<!--%%STRINGMENU", MenuString},
    {"<!--%%INCLUDE ", TokInclude},
};
const std::size_t kDirectiveOpenerCount = sizeof kDirectiveOpeners / sizeof kDirectiveOpeners[0];

const PageWord kFunctionWords[] = {
    {"INCLUDEARG(", FnIncludeArg},
    {"SESSION(", FnSession},
    {"SETTINGS(", FnSettings},
    {"ACCOUNTSETTINGS(", FnAccountSettings},
    {"EXISTS(", FnExists},
    {"DOESNOTEXIST(", FnDoesNotExist},
    {"NOT(", FnNot},
    {"EQUALS(", FnEquals},
    {"EQUALSNOCASE(", FnEqualsNoCase},
    {"ISINDEX(", FnIsIndex},
    {"ISFIRST(", FnIsFirst},
    {"ISEVEN(", FnIsEven},
    {"CHECKED(", FnChecked},
    {"HASPARENTMAILBOX(", FnHasParentMailbox},
    {"ISSTRING(", FnIsString},
    {"ISARRAY(", FnIsArray},
    {"ISDICTIONARY(", FnIsDictionary},
    {"ISDATE(", FnIsDate},
    {"ISDATA(", FnIsData},
    {"NULL(", FnNull},
    {"EMPTYSTRING(", FnEmptyString},
    {"EMPTYARRAY(", FnEmptyArray},
    {"EMPTYDICTIONARY(", FnEmptyDictionary},
    {"STRING(", FnString},
    {"DICTIONARY(", FnDictionary},
    {"ARRAY(", FnArray},
    {"TRANSLATE(", FnTranslate},
    {"CONTAINS(", FnContains},
    {"RANDOMELEMENT(", FnRandomElement},
    {"MONTHNAMES(", FnMonthNames},
    {"WEEKDAYS(", FnWeekdays},
    {"KNOWNCHARSETS(", FnKnownCharsets},
    {"KNOWNTIMEZONES(", FnKnownTimeZones},
};
const std::size_t kFunctionWordCount = sizeof kFunctionWords / sizeof kFunctionWords[0];

const PageWord kKeywords[] = {
    {"AND", KwAnd},         {"IN", KwIn},           {"USING", KwUsing},
    {"DEFAULT", KwDefault}, {"DISPLAY", KwDisplay}, {"PERIOD", KwPeriod},
    {"NOINBOX", KwNoInbox},
};
const std::size_t kKeywordCount = sizeof kKeywords / sizeof kKeywords[0];

const PageWord* longestPageWord(std::string_view text, const PageWord* table, std::size_t count) {
    const PageWord* best = nullptr;
    for (std::size_t i = 0; i < count; ++i) {
        if ((!best || table[i].text.size() > best->text.size()) &&
            tmg::startsWithNoCase(text, table[i].text)) {
            best = &table[i];
        }
    }
    return best;
}

const PageWord* exactPageWord(std::string_view text, const PageWord* table, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        if (tmg::equalsNoCase(text, table[i].text)) return &table[i];
    }
    return nullptr;
}

bool isPageWordPrefix(std::string_view text, const PageWord* table, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        if (text.size() < table[i].text.size() && tmg::startsWithNoCase(table[i].text, text)) return true;
    }
    return false;
}

}  // namespace cgp
