#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The tokenizer used on all NMDC text. From the 1-based position, skips a run of separators, returns the text up to
// the next separator (or the end) and leaves position just past that separator. Runs of separators never yield
// empty tokens; an empty result means the end of the text.
std::string_view NextToken(std::string_view text, char separator, std::size_t& position);

// The NMDC $Key answer to a $Lock. Needs at least two lock bytes; escapes 0, 5, 36, 96, 124 and 126 as /%DCNnnn%/.
std::string LockToKey(std::string_view lock, unsigned char magic);
