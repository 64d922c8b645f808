#include "engine/results/live_filter.h"

#include <algorithm>

#include "engine/nmdc/nmdc_text.h"
#include "engine/results/result_store.h"
#include "engine/text/ascii_case.h"
#include "engine/text/text_fold.h"
#include "engine/text/utf8.h"

namespace {

constexpr std::string_view kUserPrefix = "user:";

unsigned char FoldedByte(char c) {
    return static_cast<unsigned char>(AsciiLower(c));
}

}  // namespace

LiveFilter::LiveFilter(std::string_view utf8Query) {
    std::size_t position = 1;
    for (std::string_view word = NextToken(utf8Query, ' ', position); !word.empty();
         word = NextToken(utf8Query, ' ', position)) {
        const bool excluded = word.front() == '-';
        if (excluded) word.remove_prefix(1);
        const bool inUser = word.starts_with(kUserPrefix);
        if (inUser) word.remove_prefix(kUserPrefix.size());
        if (word.empty()) continue;
        std::string folded;
        AppendFoldedUtf8(folded, word);
        m_words.push_back(MakeWord(std::move(folded), excluded, inUser));
    }
}

LiveFilter::Word LiveFilter::MakeWord(std::string folded, bool excluded, bool inUser) {
    Word word;
    word.excluded = excluded;
    word.inUser = inUser;
    const std::size_t length = folded.size();
    std::array<uint32_t, 256> foldedShift;
    foldedShift.fill(static_cast<uint32_t>(length));
    for (std::size_t i = 0; i + 1 < length; ++i)
        foldedShift[static_cast<unsigned char>(folded[i])] = static_cast<uint32_t>(length - 1 - i);
    for (unsigned byte = 0; byte < 256; ++byte) word.shift[byte] = foldedShift[FoldedByte(static_cast<char>(byte))];
    word.spansJoint = folded.find('\\') != std::string::npos;
    word.folded = std::move(folded);
    return word;
}

bool LiveFilter::Contains(std::string_view text, const Word& word) {
    if (IsAscii(text)) return ContainsFolded(text, word);
    thread_local std::string folded;
    folded.clear();
    AppendFoldedUtf8(folded, text);
    return ContainsFolded(folded, word);
}

bool LiveFilter::ContainsFolded(std::string_view text, const Word& word) {
    const std::string_view pattern = word.folded;
    const std::size_t last = pattern.size() - 1;
    for (std::size_t start = 0; start + last < text.size();) {
        const char end = text[start + last];
        if (FoldedByte(end) == static_cast<unsigned char>(pattern[last])) {
            std::size_t i = last;
            while (i > 0 && FoldedByte(text[start + i - 1]) == static_cast<unsigned char>(pattern[i - 1])) --i;
            if (i == 0) return true;
        }
        start += word.shift[static_cast<unsigned char>(end)];
    }
    return false;
}

bool LiveFilter::InFullPath(std::string_view fileName, std::string_view path, const Word& word) {
    // A directory's row holds its path as the name too.
    if (fileName == path) return Contains(path, word);
    if (Contains(path, word) || Contains(fileName, word)) return true;
    if (!word.spansJoint || path.empty() || fileName.empty()) return false;
    // The path ends in a backslash; only a word holding one can run across into the name. Folding never lengthens a
    // character and at most halves one ("É" → "e"), so twice the word's bytes on each side hold any match.
    const std::size_t reach = 2 * (word.folded.size() - 1);
    thread_local std::string joint;
    joint.assign(path.substr(path.size() - std::min(reach, path.size())));
    joint.append(fileName.substr(0, reach));
    return Contains(joint, word);
}

bool LiveFilter::Matches(std::string_view fileName, std::string_view path, std::string_view user) const {
    return std::all_of(m_words.begin(), m_words.end(), [&](const Word& word) {
        return (word.inUser ? Contains(user, word) : InFullPath(fileName, path, word)) != word.excluded;
    });
}

void LiveFilter::AppendMatchingRows(const ResultStore& store, std::size_t begin, std::size_t end,
                                    std::vector<uint32_t>& shown) const {
    if (IsEmpty()) {
        for (std::size_t index = begin; index < end; ++index) shown.push_back(static_cast<uint32_t>(index));
        return;
    }
    for (std::size_t index = begin; index < end; ++index) {
        const ResultRow row = store.Row(index);
        if (Matches(row.FileName, row.Path, row.User)) shown.push_back(static_cast<uint32_t>(index));
    }
}
