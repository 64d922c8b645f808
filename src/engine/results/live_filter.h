#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class ResultStore;

// The result list's filter box: every word must appear in the row's full path (path then name, so "films\bunny"
// finds Films\Bunny.avi) and a word starting with "-" must not; case and accents are folded (FoldCodePoint). Query
// and rows are UTF-8; an ASCII text is searched as it is stored, folding byte by byte, and only a text with other
// characters is folded into a copy first. Words are separated by blanks; a lone "-" is ignored. A word "user:nick"
// looks in the user's nick instead, so one user's rows can be picked out ("-user:nick" leaves them out). Matches may be
// called from several threads at once.
class LiveFilter {
public:
    // utf8Query as typed.
    explicit LiveFilter(std::string_view utf8Query);

    // True when the query has no words: every row passes.
    bool IsEmpty() const { return m_words.empty(); }
    bool Matches(std::string_view fileName, std::string_view path, std::string_view user) const;

    // Appends to shown the index of every row in [begin, end) that matches, in order; lets a caller filter a large
    // store in slices.
    void AppendMatchingRows(const ResultStore& store, std::size_t begin, std::size_t end,
                            std::vector<uint32_t>& shown) const;

private:
    // A folded word with its Horspool shifts, indexed by the text's unfolded bytes, so an ASCII text is searched as
    // it is stored and most of its bytes are never read.
    struct Word {
        std::string folded;
        std::array<uint32_t, 256> shift{};
        bool spansJoint = false;  // holds a backslash, so it may run from the path into the name
        bool excluded = false;
        bool inUser = false;  // looked for in the nick, not the full path
    };

    static Word MakeWord(std::string folded, bool excluded, bool inUser);
    // Whether the text, folded, holds the word.
    static bool Contains(std::string_view text, const Word& word);
    // The same for a text that is folded already, or ASCII (folded byte by byte as it is read).
    static bool ContainsFolded(std::string_view text, const Word& word);
    static bool InFullPath(std::string_view fileName, std::string_view path, const Word& word);

    std::vector<Word> m_words;
};
