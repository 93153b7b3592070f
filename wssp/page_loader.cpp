#include <cstdio>

#include "formats/parser.h"
#include "foundation/fs_predicates.h"
#include "foundation/log_line.h"
#include "wssp/wssp_page.h"

namespace cgp {

std::atomic<bool> WSSPPage::loaderTrace{false};

WSSPNode* WSSPPage::load(const std::string& fileName) {
    if (loaderTrace.load(std::memory_order_relaxed)) tmg::logline() << "WSSPPage: Loading from file " << fileName;
    if (!tmg::fs::isFile(fileName)) return nullptr;
    if (tmg::fs::fileSize(fileName) == 0) return new WSSPNode(WSSPNodeKind::Sequence);
    WSSPNode* root = nullptr;
    {
        // TEMPORARY until the shared page parse lands in formats.
        tmg::MutexLock lock(&cgparserMutex());
        cgparserClearNotedNode();
        if (cgparserParseFile(fileName, PageMode)) root = wsspRootOf(cgparserNotedNode());
    }
    // The parser's error line went to standard output.
    std::fflush(stdout);
    return root;
}

}  // namespace cgp
