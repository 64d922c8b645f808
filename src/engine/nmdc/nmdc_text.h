#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The tokenizer used on all NMDC text. From the 1-based position, skips a run of separators, returns the text up to
// the next separator (or the end) and leaves position just past that separator. Runs of separators never yield
// empty tokens; an empty result means the end of the text.
std::string_view NextToken(std::string_view text, char separator, std::size_t& position);

// NextToken's position of a text's first byte.
inline constexpr std::size_t kFirstTokenPosition = 1;

// NextToken's position of the first byte after prefix, e.g. of the first token after a command name and its blank.
constexpr std::size_t PositionAfter(std::string_view prefix) {
    return prefix.size() + 1;
}

// The index into the text of NextToken's 1-based position.
constexpr std::size_t IndexOfPosition(std::size_t position) {
    return position - 1;
}

// The NMDC $Key answer to a $Lock. Needs at least two lock bytes; escapes 0, 5, 36, 96, 124 and 126 as /%DCNnnn%/.
std::string LockToKey(std::string_view lock, unsigned char magic);
