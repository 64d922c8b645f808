#include "engine/results/live_filter.h"

#include "engine/nmdc/nmdc_text.h"
#include "engine/results/result_store.h"
#include "engine/text/ansi_codec.h"

LiveFilter::LiveFilter(std::string_view utf8Query, const AnsiCodec& codec) : m_fold(codec) {
    std::size_t position = 1;
    for (std::string_view word = NextToken(utf8Query, ' ', position); !word.empty();
         word = NextToken(utf8Query, ' ', position)) {
        const bool excluded = word.front() == '-';
        if (excluded) word.remove_prefix(1);
        if (word.empty()) continue;
        // Converting with two different replacement bytes gives two different texts exactly when a character has
        // no place in the code page.
        std::string text = codec.FromUtf8(word, '\x01');
        const bool representable = text == codec.FromUtf8(word, '\x02');
        if (!representable) {
            if (!excluded) m_unmatchable = true;
            continue;
        }
        for (char& c : text) c = static_cast<char>(m_fold[static_cast<unsigned char>(c)]);
        (excluded ? m_excluded : m_included).push_back(std::move(text));
    }
}

std::string_view LiveFilter::Folded(std::string_view fileName, std::string_view path) const {
    thread_local std::string buffer;
    // A directory's row holds its path as the name too.
    if (fileName == path) fileName = {};
    buffer.resize(path.size() + fileName.size());
    char* out = buffer.data();
    for (const char c : path) *out++ = static_cast<char>(m_fold[static_cast<unsigned char>(c)]);
    for (const char c : fileName) *out++ = static_cast<char>(m_fold[static_cast<unsigned char>(c)]);
    return buffer;
}

bool LiveFilter::Matches(std::string_view fileName, std::string_view path) const {
    if (m_unmatchable) return false;
    if (IsEmpty()) return true;
    const std::string_view text = Folded(fileName, path);
    for (const std::string& word : m_included) {
        if (text.find(word) == std::string_view::npos) return false;
    }
    for (const std::string& word : m_excluded) {
        if (text.find(word) != std::string_view::npos) return false;
    }
    return true;
}

void LiveFilter::AppendMatchingRows(const ResultStore& store, std::size_t begin, std::size_t end,
                                    std::vector<uint32_t>& shown) const {
    for (std::size_t index = begin; index < end; ++index) {
        const ResultRow row = store.Row(index);
        if (Matches(row.FileName, row.Path)) shown.push_back(static_cast<uint32_t>(index));
    }
}
