#include "engine/nmdc/nmdc_text.h"

#include <cstdio>

std::string_view NextToken(std::string_view text, char separator, std::size_t& position) {
    if (position < kFirstTokenPosition) position = kFirstTokenPosition;
    while (position <= text.size() && text[IndexOfPosition(position)] == separator) ++position;
    if (position > text.size()) return {};
    const std::size_t start = IndexOfPosition(position);
    std::size_t end = text.find(separator, start);
    if (end == std::string_view::npos) end = text.size();
    // Just past the separator: the index after it, as a 1-based position.
    position = end + 2;
    return text.substr(start, end - start);
}

namespace {

bool NeedsEscape(unsigned char byte) {
    return byte == 0 || byte == 5 || byte == 36 || byte == 96 || byte == 124 || byte == 126;
}

}  // namespace

std::string LockToKey(std::string_view lock, unsigned char magic) {
    const std::size_t n = lock.size();
    std::string key;
    if (n < 2) return key;
    key.reserve(n + 16);
    auto at = [&lock](std::size_t i) { return static_cast<unsigned char>(lock[i]); };
    for (std::size_t i = 0; i < n; ++i) {
        unsigned char k = (i == 0) ? (at(0) ^ at(n - 1) ^ at(n - 2) ^ magic) : (at(i) ^ at(i - 1));
        k = static_cast<unsigned char>(((k << 4) & 0xF0) | ((k >> 4) & 0x0F));
        if (NeedsEscape(k)) {
            char escaped[12];
            std::snprintf(escaped, sizeof escaped, "/%%DCN%03u%%/", static_cast<unsigned>(k));
            key += escaped;
        } else {
            key += static_cast<char>(k);
        }
    }
    return key;
}
