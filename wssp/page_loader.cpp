#include <cstdio>

#include "formats/page_parse.h"
#include "foundation/fs_predicates.h"
#include "foundation/log_line.h"
#include "wssp/wssp_page.h"

namespace cgp {

std::atomic<bool> WSSPPage::loaderTrace{false};

WSSPNode* WSSPPage::load(const std::string& fileName) {
    if (loaderTrace.load(std::memory_order_relaxed)) tmg::logline() << "WSSPPage: Loading from file " << fileName;
    if (!tmg::fs::isFile(fileName)) return nullptr;
    if (tmg::fs::fileSize(fileName) == 0) return new WSSPNode(WSSPNodeKind::Sequence);
    WSSPNode* root = parsePageFile(fileName).release();
    // The parser's error line went to standard output.
    std::fflush(stdout);
    return root;
}

}  // namespace cgp
