#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/text/text_fold.h"

class AnsiCodec;
class ResultStore;

// The result list's filter box: every word must appear in the row's full path (path then name, so "films\bunny"
// finds Films\Bunny.avi) and a word starting with "-" must not; case and accents are folded (FoldCodePoint). Rows
// hold text in the program's code page, so the query is converted into it once and both sides fold byte by byte
// through one table: a word with a character the code page cannot hold matches no row. Words are separated by
// blanks; a lone "-" is ignored. A word "user:nick" looks in the user's nick instead, so one user's rows can be picked
// out ("-user:nick" leaves them out). Matches may be called from several threads at once.
class LiveFilter {
public:
    // utf8Query as typed; codec is the code page of the rows.
    LiveFilter(std::string_view utf8Query, const AnsiCodec& codec);

    // True when the query has no words: every row passes.
    bool IsEmpty() const { return m_words.empty() && !m_unmatchable; }
    bool Matches(std::string_view fileName, std::string_view path, std::string_view user) const;

    // Appends to shown the index of every row in [begin, end) that matches, in order; lets a caller filter a large
    // store in slices.
    void AppendMatchingRows(const ResultStore& store, std::size_t begin, std::size_t end,
                            std::vector<uint32_t>& shown) const;

private:
    // A folded word with its Horspool shifts, indexed by the text's unfolded bytes, so the text is searched as it is
    // stored and most of its bytes are never read.
    struct Word {
        std::string folded;
        std::array<uint32_t, 256> shift{};
        bool spansJoint = false;  // holds a backslash, so it may run from the path into the name
        bool excluded = false;
        bool inUser = false;  // looked for in the nick, not the full path
    };

    Word MakeWord(std::string folded, bool excluded, bool inUser) const;
    bool Contains(std::string_view text, const Word& word) const;
    bool InFullPath(std::string_view fileName, std::string_view path, const Word& word) const;

    CodePageFold m_fold;
    std::vector<Word> m_words;
    bool m_unmatchable = false;  // an included word holds a character the code page cannot hold
};
