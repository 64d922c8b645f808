#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "charset.h"
#include "search_request.h"

// Decides, as a typical active client does, which shared files and folders answer a search: the client reads the
// pattern in its own character set, then every "$"-separated word must occur in the path, ignoring case (Unicode
// lower case, accents kept); the size limit and the type (by extension) apply to files; folders answer type 8, and
// type 1 when their own name holds every word; type 9 compares the TTH. A pattern written in another character set
// than the client's finds only through its ASCII words.
class SearchMatcher {
public:
    static constexpr int TypeAny = 1;
    static constexpr int TypeFolder = 8;
    static constexpr int TypeTth = 9;

    SearchMatcher(const SearchRequest& request, Charset readAs);
    // A matcher for each character set, indexed by Charset.
    static std::vector<SearchMatcher> ForEveryCharset(const SearchRequest& request);

    // loweredPath is the file's whole path (folders and name) after Lowered.
    bool MatchesFile(std::string_view loweredPath, int fileType, int64_t size, std::string_view tth) const;
    bool MatchesFolder(std::string_view loweredName) const;

    // The type code (2 audio … 7 video) of a file name by its extension; 0 when it belongs to none.
    static int TypeOfName(std::string_view name);
    // UTF-8 text in lower case as clients compare it: A-Z, Latin-1, Latin Extended-A, Greek and Cyrillic letters.
    static std::string Lowered(std::string_view utf8);

private:
    bool HasEveryWord(std::string_view lowered) const;

    SearchRequest m_request;
    std::vector<std::string> m_words;
    std::string m_tth;
};
