#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "formats/dataset.h"
#include "foundation/mutex.h"

namespace cgp {

// The dataset value pool: the values that a dataset-mode parse builds, referred to by
// their position. Parser actions append to it and return positions. A value put into an
// array or a dictionary moves there and leaves its position empty; clearing the pool frees
// only what was never put anywhere, so a finished tree stays intact. Every value is built
// here before any handle outside the pool can see it. Everything here must be called with
// the pool mutex held (the dataset-mode parse takes it itself).

// The pool mutex: recursive, made on first use, never destroyed. Take it before the
// parser mutex, never after.
tmg::MutexInterface& dataSetPoolMutex();

// Frees every value still in the pool and forgets the result.
void clearDataSetPool();
// Takes the value at a position out of the pool; a null handle for a position past the
// end or one already emptied.
DataSet takeDataSetPoolValue(std::size_t index);
// The position of the parse's top-level list, set by the grammar; npos when none.
void setDataSetPoolResult(std::size_t index);
std::size_t dataSetPoolResult();

// Parser actions. Each returns the position of the value it made or changed.
// A String holding unescapeString of the text.
std::size_t newStringValue(std::string_view text);
// Appends the text, unescaped, to the String at index (a string of adjacent quoted pieces).
std::size_t appendQuotedText(std::size_t index, std::string_view text);
// Appends the text, unescaped, to a dictionary key being read.
void appendKeyText(std::string& key, std::string_view text);
std::size_t newArray();
std::size_t newArrayWithItem(std::size_t item);
// Moves the item to the end of the array.
std::size_t appendArrayItem(std::size_t array, std::size_t item);
std::size_t newDictionary();
// Moves the value under the key; an existing key gets the new value.
std::size_t insertDictionaryItem(std::size_t dictionary, const std::string& key, std::size_t value);
// A Data node holding the bytes of a data block's Base64 text: line feeds and bytes
// outside the alphabet and "=" are skipped, an incomplete last group of four is dropped.
std::size_t decodeDataBlock(std::string_view text);

}  // namespace cgp
