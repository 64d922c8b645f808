#pragma once

#include "engine/results/search_result.h"

// The result list's row order, written the plain way as a reference for the store's chunked sort: negative when a
// sorts before b on column, ascending. Texts compare byte-wise as unsigned values with a prefix first, after
// AppendFoldedUtf8 except in the hub address and the TTH; Size compares signed; Slots compares free slots, then
// total slots.
int CompareResultRows(const ResultRow& a, const ResultRow& b, int column);
