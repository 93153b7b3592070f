#include "formats/page_parse.h"

#include "formats/parser.h"
#include "foundation/mutex.h"

namespace cgp {

namespace {

// Called with the parser mutex held, right after a page parse.
std::unique_ptr<WSSPNode> takeParsedPage(bool parsed) {
    if (!parsed) return nullptr;
    std::unique_ptr<WSSPNode> root(wsspRootOf(cgparserNotedNode()));
    // The tree is the caller's now: no later reader may find it through the noted node.
    cgparserClearNotedNode();
    return root;
}

}  // namespace

std::unique_ptr<WSSPNode> parsePageText(const std::string& text) {
    tmg::MutexLock lock(&cgparserMutex());
    return takeParsedPage(cgparserParseString(text, PageMode));
}

std::unique_ptr<WSSPNode> parsePageFile(const std::string& path) {
    tmg::MutexLock lock(&cgparserMutex());
    return takeParsedPage(cgparserParseFile(path, PageMode));
}

}  // namespace cgp
