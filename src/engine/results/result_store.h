#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/results/search_result.h"

// The rows of the result list, compact: each row's texts lie back to back in a shared arena of large blocks,
// the row record holds their offsets and the numbers; the size text is derived from Size when shown.
// Rows are only appended, sorted as a whole or cleared. Not thread-safe: the GUI thread owns it.
class ResultStore {
public:
    void Append(const SearchResult& result);
    // Frees every row and text.
    void Clear();
    std::size_t Count() const { return m_rows.size(); }
    // index < Count().
    ResultRow Row(std::size_t index) const;

    // Reorders all rows by column (a ResultColumn), stably in both directions (descending mirrors ascending). Texts
    // compare by code point (UTF-8 bytes as unsigned values) with a prefix first, folded by FoldCodePoint except in
    // the hub address and the TTH, so "Ё", "ё" and "е" tie and "É" sorts with "e"; Size compares signed (directories,
    // -1, first); Slots compares free slots, then total slots. Returns the old index of the row now at each position.
    std::vector<uint32_t> Sort(int column, bool descending);

private:
    struct Record {
        const char* text;  // FileName, SlotsText, User, HubAddress, Path and Tth back to back
        int64_t size;
        int32_t freeSlots;
        int32_t totalSlots;
        uint32_t ends[4];  // end offsets of the first four texts
        uint32_t pathLength;
        bool isDirectory;
        bool hasTth;  // a TTH is always kTthLength long
    };

    struct SortItem {
        uint64_t key = 0;
        uint32_t index = 0;
        uint32_t length = 0;
    };

    char* Allocate(std::size_t bytes);
    static void SortItems(std::span<SortItem> items, bool descending);
    static void SortTexts(std::span<SortItem> items, std::span<const std::string_view> texts, bool foldCase,
                          bool descending, std::size_t offset);
    // Each row's text of column as the sort compares it. Texts with non-ASCII bytes are folded whole into folded,
    // which the views then point into; ASCII ones stay in place and fold chunk by chunk, which keeps them as cheap as
    // unfolded ones.
    std::vector<std::string_view> SortKeyTexts(int column, bool foldCase, std::string& folded) const;

    std::vector<Record> m_rows;
    std::vector<std::unique_ptr<char[]>> m_blocks;
    std::size_t m_blockUsed = 0;
    std::size_t m_blockSize = 0;
};
