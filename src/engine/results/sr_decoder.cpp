#include "engine/results/sr_decoder.h"

#include "engine/nmdc/nmdc_text.h"
#include "engine/results/dc_links.h"
#include "engine/text/number_format.h"

namespace {

constexpr char kFieldSeparator = '\x05';
constexpr std::string_view kSrPrefix = "$SR ";

// The text after the separator that ended a token: position is NextToken's 1-based position after the call.
std::string_view RestAfter(std::string_view text, std::size_t position) {
    const std::size_t index = IndexOfPosition(position);
    return index < text.size() ? text.substr(index) : std::string_view();
}

// Free and total slots, "2/4"; a zero free count fails when only results with free slots are wanted.
bool DecodeSlots(std::string_view slotsText, const ResultFilter& filter, SearchResult& result) {
    std::size_t position = kFirstTokenPosition;
    const auto freeSlots = ParseInt32(NextToken(slotsText, '/', position));
    if (!freeSlots || (*freeSlots == 0 && filter.OnlyFreeSlots)) return false;
    const auto totalSlots = ParseInt32(NextToken(slotsText, '/', position));
    if (!totalSlots) return false;
    result.SlotsText.assign(slotsText);
    result.FreeSlots = *freeSlots;
    result.TotalSlots = *totalSlots;
    return true;
}

// "path\name" SOH "size free/total": the path may hold blanks, so it is cut at its last backslash only.
// fieldPosition: where the message's second field (size and slots) begins.
bool DecodeFile(std::string_view message, std::size_t fieldPosition, std::string_view rest, const ResultFilter& filter,
                SearchResult& result) {
    const std::string_view sizeAndSlots = NextToken(message, kFieldSeparator, fieldPosition);
    std::size_t position = kFirstTokenPosition;
    const auto size = ParseInt64(NextToken(sizeAndSlots, ' ', position));
    if (!size || !PassesSizeFilter(*size, filter)) return false;
    if (!DecodeSlots(RestAfter(sizeAndSlots, position), filter, result)) return false;
    const std::size_t cut = rest.rfind('\\') + 1;  // 0 without a backslash
    result.FileName.assign(rest.substr(cut));
    result.Path.assign(rest.substr(0, cut));
    result.Size = *size;
    // The shown text comes from Size when a cell is painted, in the user's locale: formatting it here for every
    // result would cost a tenth of the time a flood of results takes.
    result.SizeText.clear();
    return true;
}

// "dir path free/total": the directory path may hold blanks, so the slots are found from the right.
bool DecodeDirectory(std::string_view rest, const ResultFilter& filter, SearchResult& result) {
    const std::size_t blank = rest.rfind(' ');
    if (blank == std::string_view::npos) return false;
    if (!DecodeSlots(rest.substr(blank + 1), filter, result)) return false;
    result.FileName.assign(rest.substr(0, blank));
    result.FileName += '\\';
    result.Path = result.FileName;
    result.Size = -1;
    result.SizeText.assign(kDirectorySizeText);
    return true;
}

}  // namespace

bool PassesSizeFilter(int64_t size, const ResultFilter& filter) {
    // "At Most" keeps its one limit in the low value; the drop-down may have been switched since the run started.
    if (filter.AtMostShown && filter.SizeFilterLow != -1) return size <= filter.SizeFilterLow;
    if (size < filter.SizeFilterLow) return false;
    return filter.SizeFilterHigh == -1 || size <= filter.SizeFilterHigh;
}

bool DecodeSearchResult(std::string_view message, const ResultFilter& filter, SearchResult& result) {
    if (message.size() <= kSrPrefix.size() || !message.starts_with(kSrPrefix) || message.back() != ')') return false;
    std::size_t fieldPosition = PositionAfter(kSrPrefix);
    const std::string_view userAndPath = NextToken(message, kFieldSeparator, fieldPosition);
    std::size_t position = kFirstTokenPosition;
    const std::string_view user = NextToken(userAndPath, ' ', position);
    if (user.empty()) return false;
    const std::string_view rest = RestAfter(userAndPath, position);

    // A file result has a third field (after the size and slots); a directory's second field is the hub.
    const std::size_t next = IndexOfPosition(fieldPosition);
    const bool isFile = next < message.size() && message.find(kFieldSeparator, next) != message.npos;
    const bool decoded =
        isFile ? DecodeFile(message, fieldPosition, rest, filter, result) : DecodeDirectory(rest, filter, result);
    if (!decoded) return false;
    result.User.assign(user);
    const std::size_t open = message.rfind('(');
    result.HubAddress.assign(open == message.npos ? std::string_view()
                                                  : message.substr(open + 1, message.size() - open - 2));
    result.Tth.assign(TthOfSearchResult(message));
    return true;
}

namespace {

// Decodes each accepted result of datagram into *slot; next(slot) then gives where the following one goes, or null
// to end the datagram.
template <typename Next>
void DecodeMessages(std::string_view datagram, const ResultFilter& filter, const HubEncodingFinder& findHub,
                    SearchResult* slot, Next next) {
    std::size_t position = kFirstTokenPosition;
    for (std::string_view message = NextToken(datagram, '|', position); !message.empty();
         message = NextToken(datagram, '|', position)) {
        if (!DecodeSearchResult(message, filter, *slot)) continue;
        ReadResultText(*slot, findHub);
        slot = next(*slot);
        if (slot == nullptr) return;
    }
}

}  // namespace

void DecodeDatagram(std::string_view datagram, const ResultFilter& filter, const SearchResultSink& sink,
                    const HubEncodingFinder& findHub) {
    SearchResult result;
    DecodeMessages(datagram, filter, findHub, &result,
                   [&sink](SearchResult& decoded) { return sink(decoded) ? &decoded : nullptr; });
}

void DecodeDatagram(std::string_view datagram, const ResultFilter& filter, ResultBatch& batch,
                    const HubEncodingFinder& findHub) {
    DecodeMessages(datagram, filter, findHub, &batch.Slot(), [&batch](SearchResult&) {
        batch.Keep();
        return &batch.Slot();
    });
}
