#include "search_matcher.h"

#include <array>
#include <utility>

#include "engine/text/ascii_case.h"
#include "engine/text/utf8.h"

namespace {

// The extension lists that clients agree on for the search types 2 … 7.
const std::array<std::pair<int, std::vector<std::string_view>>, 6>& ExtensionsByType() {
    static const std::array<std::pair<int, std::vector<std::string_view>>, 6> table{{
        {2, {"mp3", "mp2", "wav", "au", "rm", "mid", "sm", "flac", "ogg", "m4a", "wma", "aac", "ape"}},
        {3, {"zip", "arj", "rar", "lzh", "gz", "z", "arc", "pak", "7z", "bz2", "tar"}},
        {4, {"doc", "docx", "txt", "wri", "pdf", "ps", "tex", "odt", "rtf", "xls", "epub"}},
        {5, {"pm", "exe", "bat", "com", "msi"}},
        {6, {"gif", "jpg", "jpeg", "bmp", "pcx", "png", "wmf", "psd", "tif", "tiff"}},
        {7, {"mpg", "mpeg", "avi", "asf", "mov", "mkv", "mp4", "wmv", "ogm", "divx", "webm"}},
    }};
    return table;
}

char32_t LowerCodePoint(char32_t c) {
    const bool latin1Capital = (c >= 0xC0 && c <= 0xDE && c != 0xD7);
    if ((c >= 'A' && c <= 'Z') || latin1Capital || (c >= 0x391 && c <= 0x3AB && c != 0x3A2) ||
        (c >= 0x410 && c <= 0x42F))
        return c + 0x20;
    if (c >= 0x400 && c <= 0x40F) return c + 0x50;
    if (c == 0x178) return 0xFF;
    // Latin Extended-A pairs capitals and small letters: even-odd, except the odd-even runs Ĺ … ň and Ź … ž.
    const bool oddCapitals = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
    if (c >= 0x100 && c <= 0x17E && c != 0x130 && c != 0x131 && c != 0x138 && c != 0x149)
        return (c % 2 == (oddCapitals ? 1u : 0u)) ? c + 1 : c;
    return c;
}

}  // namespace

SearchMatcher::SearchMatcher(const SearchRequest& request, Charset readAs) : m_request(request) {
    if (request.type == TypeTth) {
        constexpr std::string_view prefix = "TTH:";
        if (request.pattern.starts_with(prefix)) m_tth = request.pattern.substr(prefix.size());
        return;
    }
    const std::string lowered = Lowered(EncodingOf(readAs).ToUtf8(request.pattern));
    std::size_t start = 0;
    while (start <= lowered.size()) {
        const auto end = std::min(lowered.find('$', start), lowered.size());
        if (end > start) m_words.push_back(lowered.substr(start, end - start));
        start = end + 1;
    }
}

std::vector<SearchMatcher> SearchMatcher::ForEveryCharset(const SearchRequest& request) {
    std::vector<SearchMatcher> matchers;
    for (std::size_t i = 0; i < kCharsetCount; ++i) matchers.emplace_back(request, static_cast<Charset>(i));
    return matchers;
}

std::string SearchMatcher::Lowered(std::string_view utf8) {
    std::string lowered;
    lowered.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        const std::size_t start = i;
        char32_t c = 0;
        if (!DecodeUtf8(utf8, i, c)) {
            lowered += utf8[start];
            continue;
        }
        AppendUtf8(lowered, LowerCodePoint(c));
    }
    return lowered;
}

bool SearchMatcher::MatchesFile(std::string_view loweredPath, int fileType, int64_t size, std::string_view tth) const {
    if (m_request.type == TypeTth) return !m_tth.empty() && tth == m_tth;
    if (m_request.type == TypeFolder) return false;
    if (m_request.type != TypeAny && m_request.type != fileType) return false;
    if (m_request.sizeLimit == SearchRequest::SizeLimit::AtLeast && size < m_request.size) return false;
    if (m_request.sizeLimit == SearchRequest::SizeLimit::AtMost && size > m_request.size) return false;
    return HasEveryWord(loweredPath);
}

bool SearchMatcher::MatchesFolder(std::string_view loweredName) const {
    if (m_request.type != TypeAny && m_request.type != TypeFolder) return false;
    return HasEveryWord(loweredName);
}

int SearchMatcher::TypeOfName(std::string_view name) {
    const auto dot = name.rfind('.');
    if (dot == std::string_view::npos) return 0;
    const std::string extension = AsciiLower(name.substr(dot + 1));
    for (const auto& [type, extensions] : ExtensionsByType()) {
        for (const auto candidate : extensions) {
            if (candidate == extension) return type;
        }
    }
    return 0;
}

bool SearchMatcher::HasEveryWord(std::string_view lowered) const {
    // A pattern without words (only "$") matches nothing, as clients refuse empty searches.
    if (m_words.empty()) return false;
    for (const auto& word : m_words) {
        if (lowered.find(word) == std::string_view::npos) return false;
    }
    return true;
}
