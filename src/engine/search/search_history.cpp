#include "engine/search/search_history.h"

#include <algorithm>
#include <array>
#include <iterator>
#include <optional>
#include <utility>

#include "engine/text/number_format.h"

namespace {

constexpr std::string_view kFormatLine = "Hubsift search history 1";
// File type, size condition, first value and unit, second value and unit, phrase.
constexpr std::size_t kFieldCount = 7;
// The lengths of the search form's lists.
constexpr int kFileTypes = 9;
constexpr int kSizeConditions = 4;
constexpr int kSizeUnits = 4;

// Characters that would break a line or a field, and the escape character itself, with the letter that follows a
// backslash in their place.
constexpr std::pair<char, char> kEscapes[] = {{'\\', '\\'}, {'\t', 't'}, {'\n', 'n'}, {'\r', 'r'}};

void AppendEscaped(std::string& out, std::string_view text) {
    for (const char c : text) {
        const auto* escape =
            std::find_if(std::begin(kEscapes), std::end(kEscapes), [c](auto e) { return e.first == c; });
        if (escape == std::end(kEscapes)) {
            out += c;
        } else {
            out += '\\';
            out += escape->second;
        }
    }
}

std::optional<std::string> Unescaped(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            out += text[i];
            continue;
        }
        if (++i == text.size()) return std::nullopt;
        const char letter = text[i];
        const auto* escape =
            std::find_if(std::begin(kEscapes), std::end(kEscapes), [letter](auto e) { return e.second == letter; });
        if (escape == std::end(kEscapes)) return std::nullopt;
        out += escape->first;
    }
    return out;
}

// A list index read back: a number in [0, count).
std::optional<int> Index(std::string_view text, int count) {
    const auto value = ParseInt32(text);
    if (!value || *value < 0 || *value >= count) return std::nullopt;
    return *value;
}

std::optional<SearchHistoryEntry> ParseLine(std::string_view line) {
    std::array<std::string_view, kFieldCount> fields;
    for (std::size_t i = 0; i < kFieldCount; ++i) {
        const std::size_t tab = i + 1 < kFieldCount ? line.find('\t') : line.size();
        if (tab == std::string_view::npos) return std::nullopt;
        fields[i] = line.substr(0, tab);
        line.remove_prefix(std::min(tab + 1, line.size()));
    }
    const auto fileType = Index(fields[0], kFileTypes);
    const auto sizeCondition = Index(fields[1], kSizeConditions);
    const auto firstValue = Unescaped(fields[2]);
    const auto firstUnit = Index(fields[3], kSizeUnits);
    const auto secondValue = Unescaped(fields[4]);
    const auto secondUnit = Index(fields[5], kSizeUnits);
    const auto phrase = Unescaped(fields[6]);
    if (!fileType || !sizeCondition || !firstValue || !firstUnit || !secondValue || !secondUnit || !phrase ||
        phrase->empty())
        return std::nullopt;
    SearchHistoryEntry entry;
    entry.phrase = *phrase;
    entry.form.fileType = *fileType;
    entry.form.sizeCondition = *sizeCondition;
    entry.form.firstValue = *firstValue;
    entry.form.firstUnit = *firstUnit;
    entry.form.secondValue = *secondValue;
    entry.form.secondUnit = *secondUnit;
    return entry;
}

}  // namespace

void SearchHistory::Add(const SearchHistoryEntry& entry) {
    if (entry.phrase.find_first_not_of(' ') == std::string::npos) return;
    std::erase_if(m_entries, [&entry](const SearchHistoryEntry& old) { return old.phrase == entry.phrase; });
    m_entries.insert(m_entries.begin(), entry);
    if (m_entries.size() > kSearchHistoryLimit) m_entries.resize(kSearchHistoryLimit);
}

std::string SearchHistory::ToText() const {
    std::string text(kFormatLine);
    text += '\n';
    for (const SearchHistoryEntry& entry : m_entries) {
        const SearchForm& form = entry.form;
        for (const int index : {form.fileType, form.sizeCondition}) text += std::to_string(index) + '\t';
        AppendEscaped(text, form.firstValue);
        text += '\t' + std::to_string(form.firstUnit) + '\t';
        AppendEscaped(text, form.secondValue);
        text += '\t' + std::to_string(form.secondUnit) + '\t';
        AppendEscaped(text, entry.phrase);
        text += '\n';
    }
    return text;
}

SearchHistory SearchHistory::FromText(std::string_view text) {
    SearchHistory history;
    std::size_t end = text.find('\n');
    if (text.substr(0, end) != kFormatLine) return history;
    while (end != std::string_view::npos && history.m_entries.size() < kSearchHistoryLimit) {
        text.remove_prefix(end + 1);
        end = text.find('\n');
        const auto entry = ParseLine(text.substr(0, end));
        if (entry && std::none_of(history.m_entries.begin(), history.m_entries.end(),
                                  [&entry](const SearchHistoryEntry& e) { return e.phrase == entry->phrase; }))
            history.m_entries.push_back(*entry);
    }
    return history;
}
