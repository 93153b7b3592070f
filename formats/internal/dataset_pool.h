#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "formats/dataset.h"
#include "foundation/mutex.h"

namespace cgp {

// The dataset value pool: the values that a dataset-mode parse builds, referred to by
// their position. Parser actions append to it and return positions; children are shared
// handles, so clearing the pool leaves a finished tree intact. The moving actions below
// put a value into its container instead and leave its position empty. Everything here
// must be called with the pool mutex held (the dataset-mode parse takes it itself).

// The pool mutex: recursive, made on first use, never destroyed; rank DataSetPool of
// foundation/lock_order.h, so taken before the parser mutex, never after.
tmg::MutexInterface& dataSetPoolMutex();

// Releases every value and forgets the result.
void clearDataSetPool();
// The value at a position; a null handle for a position past the end or emptied.
DataSet dataSetPoolValue(std::size_t index);
// Takes the value at a position out of the pool, leaving the position empty; a null handle
// for a position past the end or emptied.
DataSet takeDataSetPoolValue(std::size_t index);
// The position of the parse's top-level list, set by the grammar; npos when none.
void setDataSetPoolResult(std::size_t index);
std::size_t dataSetPoolResult();

// Parser actions. Each returns the position of the value it made or changed.
// A String holding unescapeString of the text.
std::size_t newStringValue(std::string_view text);
// Appends the text, unescaped, to the String at index (a string of adjacent quoted pieces).
std::size_t appendQuotedText(std::size_t index, std::string_view text);
std::size_t newArray();
std::size_t newArrayWithItem(std::size_t item);
std::size_t appendArrayItem(std::size_t array, std::size_t item);
std::size_t newDictionary();
std::size_t newDictionaryWithItem(std::size_t key, std::size_t value);
// Stores value under the text of key; an existing key gets the new value.
std::size_t insertDictionaryItem(std::size_t dictionary, std::size_t key, std::size_t value);
// A Data node holding the bytes of a data block's Base64 text: line feeds and bytes
// outside the alphabet and "=" are skipped, an incomplete last group of four is dropped.
std::size_t decodeDataBlock(std::string_view text);

// Moving actions, for a parse that uses each value once: the item goes into its container
// and its position is left empty.
// Appends the text, unescaped, to a dictionary key being read (the text of a key value).
void appendKeyText(std::string& key, std::string_view text);
std::size_t moveArrayItem(std::size_t array, std::size_t item);
// Moves value under the key; an existing key gets the new value.
std::size_t moveDictionaryItem(std::size_t dictionary, const std::string& key, std::size_t value);

}  // namespace cgp
