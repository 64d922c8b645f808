#include "engine/results/result_store.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "engine/results/dc_links.h"
#include "engine/results/result_column.h"
#include "engine/text/ascii_case.h"
#include "engine/text/text_fold.h"
#include "engine/text/utf8.h"

namespace {

constexpr std::size_t kBlockSize = std::size_t{1} << 20;
constexpr std::size_t kChunk = 8;

// Eight bytes of a text from offset on, as a big-endian number, zero-padded, optionally case-folded. Ordering by
// these chunks, and by length where every chunk ties, agrees with the list's text comparison: equal padded chunks
// mean that the shorter text is a prefix of the longer one.
uint64_t TextChunk(std::string_view text, std::size_t offset, bool foldCase) {
    uint64_t key = 0;
    for (std::size_t i = offset; i < offset + kChunk; ++i) {
        const char c = i < text.size() ? text[i] : '\0';
        key = (key << 8) | static_cast<unsigned char>(foldCase ? AsciiLower(c) : c);
    }
    return key;
}

uint64_t SignedKey(int64_t value) {
    return static_cast<uint64_t>(value) ^ (uint64_t{1} << 63);
}

uint64_t SlotsKey(int32_t freeSlots, int32_t totalSlots) {
    const auto half = [](int32_t value) { return static_cast<uint64_t>(static_cast<uint32_t>(value) ^ 0x80000000u); };
    return (half(freeSlots) << 32) | half(totalSlots);
}

std::string_view ColumnText(const ResultRow& row, int column) {
    switch (column) {
        case kFileNameColumn:
            return row.FileName;
        case kUserColumn:
            return row.User;
        case kHubAddressColumn:
            return row.HubAddress;
        case kTthColumn:
            return row.Tth;
        default:
            return row.Path;
    }
}

}  // namespace

std::vector<std::string_view> ResultStore::SortKeyTexts(int column, bool foldCase, std::string& folded) const {
    std::vector<std::string_view> texts(m_rows.size());
    std::vector<std::pair<uint32_t, std::size_t>> foldedEnds;  // row, end of its folded text
    for (std::size_t i = 0; i < m_rows.size(); ++i) {
        texts[i] = ColumnText(Row(i), column);
        if (!foldCase || IsAscii(texts[i])) continue;
        AppendFoldedUtf8(folded, texts[i]);
        foldedEnds.emplace_back(static_cast<uint32_t>(i), folded.size());
    }
    // Views into folded are taken only once it has stopped growing.
    std::size_t begin = 0;
    for (const auto& [row, end] : foldedEnds) {
        texts[row] = std::string_view(folded).substr(begin, end - begin);
        begin = end;
    }
    return texts;
}

char* ResultStore::Allocate(std::size_t bytes) {
    if (m_blocks.empty() || m_blockSize - m_blockUsed < bytes) {
        m_blockSize = std::max(kBlockSize, bytes);
        m_blocks.push_back(std::make_unique_for_overwrite<char[]>(m_blockSize));
        m_blockUsed = 0;
    }
    char* place = m_blocks.back().get() + m_blockUsed;
    m_blockUsed += bytes;
    return place;
}

void ResultStore::Append(const SearchResult& result) {
    const std::string* texts[] = {&result.FileName,   &result.SlotsText, &result.User,
                                  &result.HubAddress, &result.Path,      &result.Tth};
    // Anything but a whole hash is no hash.
    const bool hasTth = result.Tth.size() == kTthLength;
    const std::size_t textCount = hasTth ? std::size(texts) : std::size(texts) - 1;
    std::size_t total = 0;
    for (std::size_t i = 0; i < textCount; ++i) total += texts[i]->size();
    char* place = total == 0 ? nullptr : Allocate(total);

    Record record{place,
                  result.Size,
                  result.FreeSlots,
                  result.TotalSlots,
                  {},
                  static_cast<uint32_t>(result.Path.size()),
                  result.SizeText == kDirectorySizeText,
                  hasTth};
    std::size_t offset = 0;
    for (std::size_t i = 0; i < textCount; ++i) {
        // The texts lie back to back without terminators; the record keeps their ends.
        // NOLINTNEXTLINE(bugprone-not-null-terminated-result)
        if (!texts[i]->empty()) std::memcpy(place + offset, texts[i]->data(), texts[i]->size());
        offset += texts[i]->size();
        if (i < 4) record.ends[i] = static_cast<uint32_t>(offset);
    }
    m_rows.push_back(record);
}

void ResultStore::Clear() {
    m_rows = std::vector<Record>();
    m_blocks.clear();
    m_blockUsed = m_blockSize = 0;
}

ResultRow ResultStore::Row(std::size_t index) const {
    const Record& r = m_rows[index];
    const auto text = [&r](uint32_t begin, uint32_t end) { return std::string_view(r.text + begin, end - begin); };
    ResultRow row;
    if (r.text != nullptr) {
        row.FileName = text(0, r.ends[0]);
        row.SlotsText = text(r.ends[0], r.ends[1]);
        row.User = text(r.ends[1], r.ends[2]);
        row.HubAddress = text(r.ends[2], r.ends[3]);
        row.Path = text(r.ends[3], r.ends[3] + r.pathLength);
        if (r.hasTth) row.Tth = text(r.ends[3] + r.pathLength, r.ends[3] + r.pathLength + kTthLength);
    }
    row.Size = r.size;
    row.FreeSlots = r.freeSlots;
    row.TotalSlots = r.totalSlots;
    row.IsDirectory = r.isDirectory;
    return row;
}

// Items of one column ordered by (key, length), stably; the direction mirrors both.
void ResultStore::SortItems(std::span<SortItem> items, bool descending) {
    if (descending) {
        std::stable_sort(items.begin(), items.end(), [](const SortItem& a, const SortItem& b) {
            return a.key != b.key ? a.key > b.key : a.length > b.length;
        });
    } else {
        std::stable_sort(items.begin(), items.end(), [](const SortItem& a, const SortItem& b) {
            return a.key != b.key ? a.key < b.key : a.length < b.length;
        });
    }
}

// items agree on every chunk before offset: sorts them by the chunk at offset, then each run that ties on it by the
// next chunks. A text is read once per chunk rather than once per comparison.
void ResultStore::SortTexts(std::span<SortItem> items, std::span<const std::string_view> texts, bool foldCase,
                            bool descending, std::size_t offset) {
    std::size_t longest = 0;
    for (SortItem& item : items) {
        const std::string_view text = texts[item.index];
        item.key = TextChunk(text, offset, foldCase);
        item.length = static_cast<uint32_t>(text.size());
        longest = std::max(longest, text.size());
    }
    SortItems(items, descending);
    if (longest <= offset + kChunk) return;
    for (std::size_t begin = 0; begin < items.size();) {
        std::size_t end = begin + 1;
        while (end < items.size() && items[end].key == items[begin].key) ++end;
        if (end - begin > 1) SortTexts(items.subspan(begin, end - begin), texts, foldCase, descending, offset + kChunk);
        begin = end;
    }
}

std::vector<uint32_t> ResultStore::Sort(int column, bool descending) {
    std::vector<SortItem> items(m_rows.size());
    for (std::size_t i = 0; i < m_rows.size(); ++i) items[i].index = static_cast<uint32_t>(i);
    if (column == kSizeColumn || column == kSlotsColumn) {
        for (SortItem& item : items) {
            const Record& r = m_rows[item.index];
            item.key = column == kSizeColumn ? SignedKey(r.size) : SlotsKey(r.freeSlots, r.totalSlots);
        }
        SortItems(items, descending);
    } else if (column >= 0 && column < kResultColumnCount) {
        const bool foldCase = column != kHubAddressColumn && column != kTthColumn;
        std::string folded;
        SortTexts(items, SortKeyTexts(column, foldCase, folded), foldCase, descending, 0);
    }

    std::vector<uint32_t> order(items.size());
    std::vector<Record> sorted(items.size());
    for (std::size_t i = 0; i < items.size(); ++i) {
        order[i] = items[i].index;
        sorted[i] = m_rows[items[i].index];
    }
    m_rows = std::move(sorted);
    return order;
}
