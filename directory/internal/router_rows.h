#pragma once

// The Router's two row lists with their lookup index. Internal to directory/: reach the
// rows through directory/router.h. Guarded by the Router mutex.

#include <cstddef>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "directory/router.h"

namespace cgp::directory_internal {

// Rows in table order, with where to look first: the position of the first row whose
// exact left side is a given text, and the positions of the wildcard rows in order. The
// first row that matches a text is then the earliest matching wildcard row before that
// exact row, else the exact row, as walking the rows in order would find.
struct RouterRowList {
    RouterRows rows;
    std::unordered_map<std::string, std::size_t> firstExact;
    std::vector<std::size_t> wildcards;

    void append(std::unique_ptr<RouterEntry> row);
    void clear();
};

RouterRowList& addressRowList();
RouterRowList& domainRowList();

}  // namespace cgp::directory_internal
