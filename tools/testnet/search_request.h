#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// One $Search as a hub passes it on: "$Search IP:port SIZE-PART TYPE?PATTERN", where the size part is F?F?0? (no
// size), T?F?n? (at least n bytes) or T?T?n? (at most n bytes). Passive searches name "Hub:nick" as the address.
struct SearchRequest {
    enum class SizeLimit { None, AtLeast, AtMost };

    std::string address;
    SizeLimit sizeLimit = SizeLimit::None;
    int64_t size = 0;
    int type = 1;
    std::string pattern;

    bool IsPassive() const { return address.starts_with("Hub:"); }

    // The whole message without its final "|"; nullopt when any field is malformed.
    static std::optional<SearchRequest> Parse(std::string_view message);
    // The message as a client would send it (without "|").
    std::string ToMessage() const;
};
