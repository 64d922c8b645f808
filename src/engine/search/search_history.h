#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "engine/search/search_criteria.h"

// One remembered search: the phrase (UTF-8, as typed) and the search form around it.
struct SearchHistoryEntry {
    std::string phrase;
    SearchForm form;
};

// The phrase box's memory: the last kSearchHistoryLimit searches, newest first, each phrase once (searching a phrase
// again moves it to the top with its new form). Kept across starts as a text file in the data folder: a first line
// naming the format, then one search per line, its fields separated by tabs, with "\\", "\t", "\n" and "\r" escaped.
// Not thread-safe: the GUI thread owns it.
inline constexpr std::size_t kSearchHistoryLimit = 50;
inline constexpr char kSearchHistoryFileName[] = "SearchHistory.txt";

class SearchHistory {
public:
    // A blank phrase is not remembered.
    void Add(const SearchHistoryEntry& entry);
    void Clear() { m_entries.clear(); }
    const std::vector<SearchHistoryEntry>& Entries() const { return m_entries; }

    std::string ToText() const;
    // The searches of a text ToText wrote; lines that do not hold a whole, valid search are skipped, and text of
    // another format gives none.
    static SearchHistory FromText(std::string_view text);

private:
    std::vector<SearchHistoryEntry> m_entries;
};
