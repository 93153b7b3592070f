#include "formats/parser.h"

#include <cstdio>
#include <memory>
#include <new>

#include "formats/internal/dataset_pool.h"
#include "formats/internal/parser_fatal.h"
#include "formats/internal/parser_grammars.h"
#include "formats/internal/scanner.h"

namespace cgp {

namespace {

bool validMode(int mode) { return mode == PageMode || mode == RouterMode || mode == DataSetMode; }

// Reads the whole file; false when it cannot be opened or a read fails.
bool readWholeFile(const std::string& path, std::string& content) {
    std::FILE* file = std::fopen(path.c_str(), "r");
    if (!file) return false;
    char buffer[65536];
    std::size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) content.append(buffer, got);
    bool ok = !std::ferror(file);
    std::fclose(file);
    return ok;
}

bool runParse(std::string_view input, int mode, const std::string& fileName, bool quiet, RouterRowSink* rows) {
    // Lock order: the value pool, then the parser.
    tmg::MutexLock poolLock(&dataSetPoolMutex(), mode == DataSetMode);
    tmg::MutexLock lock(&cgparserMutex());
    ParseContext context(input, static_cast<ParserMode>(mode), fileName, quiet);
    context.rows = rows;
    switch (mode) {
        case PageMode: {
            cgparserClearNotedNode();
            WSSPNode* root = parsePageLanguage(context);
            if (!root) return false;
            // The first node built may have been merged away; the root always stands.
            cgparserNoteNode(root);
            return true;
        }
        case RouterMode:
            return parseRouterLanguage(context);
        default:
            clearDataSetPool();
            return parseDataSetLanguage(context);
    }
}

bool guardedParse(std::string_view input, int mode, const std::string& fileName, bool quiet, RouterRowSink* rows) {
    try {
        return runParse(input, mode, fileName, quiet, rows);
    } catch (const std::bad_alloc&) {
        cgparserFatal(quiet ? FatalScanBytes : FatalCreateBuffer);
    }
}

}  // namespace

tmg::MutexInterface& cgparserMutex() {
    static tmg::MutexInterface* mutex = new tmg::MutexInterface(tmg::LockRank::Parser);
    return *mutex;
}

bool cgparserParseFile(const std::string& path, int mode, RouterRowSink* rows) {
    if (!validMode(mode)) return false;
    std::string content;
    try {
        if (!readWholeFile(path, content)) return false;
    } catch (const std::bad_alloc&) {
        cgparserFatal(FatalGetNextBuffer);
    }
    return guardedParse(content, mode, path, false, rows);
}

bool cgparserParseString(const std::string& text, int mode, RouterRowSink* rows) {
    return cgparserParseBytes(text, mode, rows);
}

bool cgparserParseBytes(std::string_view text, int mode, RouterRowSink* rows) {
    if (!validMode(mode)) return false;
    return guardedParse(text, mode, "string", true, rows);
}

std::vector<ScannedToken> cgparserTokenize(std::string_view text, int mode) {
    std::vector<ScannedToken> tokens;
    if (!validMode(mode)) return tokens;
    Scanner scanner(text, static_cast<ParserMode>(mode));
    for (Token token = scanner.next(); token.code != TokEnd; token = scanner.next()) {
        tokens.push_back({token.code, std::string(token.text)});
    }
    return tokens;
}

}  // namespace cgp
