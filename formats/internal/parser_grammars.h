#pragma once

#include "formats/internal/parse_context.h"
#include "formats/wssp_node.h"

namespace cgp {

// The three grammars over a context whose first token has been read. Each returns false
// (or null) when the parse failed; the context has then reported why.

// The page language: the page's root Sequence, owned by the caller; null on failure, in
// which case every node built by the parse has been deleted again.
WSSPNode* parsePageLanguage(ParseContext& context);

// The Router language: hands each row to context.rows (when set) as soon as its line ends.
bool parseRouterLanguage(ParseContext& context);

// The dataset language: builds the value in the dataset value pool (dataset_pool.h),
// whose lock the caller holds.
bool parseDataSetLanguage(ParseContext& context);

}  // namespace cgp
