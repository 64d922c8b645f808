#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "search_request.h"

// Decides, as a typical active client does, which shared files and folders answer a search: every "$"-separated
// word of the pattern must occur in the path, ignoring ASCII case; the size limit and the type (by extension) apply
// to files; folders answer type 8, and type 1 when their own name holds every word; type 9 compares the TTH.
class SearchMatcher {
public:
    static constexpr int TypeAny = 1;
    static constexpr int TypeFolder = 8;
    static constexpr int TypeTth = 9;

    explicit SearchMatcher(const SearchRequest& request);

    // loweredPath is the file's whole path (folders and name) after AsciiLower (engine/text/ascii_case.h).
    bool MatchesFile(std::string_view loweredPath, int fileType, int64_t size, std::string_view tth) const;
    bool MatchesFolder(std::string_view loweredName) const;

    // The type code (2 audio … 7 video) of a file name by its extension; 0 when it belongs to none.
    static int TypeOfName(std::string_view name);

private:
    bool HasEveryWord(std::string_view lowered) const;

    SearchRequest m_request;
    std::vector<std::string> m_words;
    std::string m_tth;
};
