#include "search_matcher.h"

#include <array>
#include <utility>

#include "engine/text/ascii_case.h"

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

}  // namespace

SearchMatcher::SearchMatcher(const SearchRequest& request) : m_request(request) {
    if (request.type == TypeTth) {
        constexpr std::string_view prefix = "TTH:";
        if (request.pattern.starts_with(prefix)) m_tth = request.pattern.substr(prefix.size());
        return;
    }
    const std::string lowered = AsciiLower(request.pattern);
    std::size_t start = 0;
    while (start <= lowered.size()) {
        const auto end = std::min(lowered.find('$', start), lowered.size());
        if (end > start) m_words.push_back(lowered.substr(start, end - start));
        start = end + 1;
    }
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
