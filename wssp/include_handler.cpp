#include "wssp/wssp_page.h"

namespace cgp {

namespace {

// One word, so a render on another thread reads either the old or the new handler,
// never half of each.
std::atomic<WSSPIncludeHandler*> currentHandler{nullptr};

}  // namespace

void WSSPPage::setIncludeHandler(WSSPIncludeHandler* handler) {
    currentHandler.store(handler, std::memory_order_release);
}

WSSPIncludeHandler* WSSPPage::includeHandler() { return currentHandler.load(std::memory_order_acquire); }

}  // namespace cgp
