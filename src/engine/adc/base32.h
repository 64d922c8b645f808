#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// RFC 4648 base32 (A-Z, 2-7) without padding, as ADC writes CIDs, PIDs, TTHs and keyprints.

std::string Base32Encode(std::span<const uint8_t> bytes);
// Nothing for a character outside the alphabet (lower case included) or a length no byte count encodes to, and for
// trailing bits that are not zero: every byte string has exactly one accepted text.
std::optional<std::vector<uint8_t>> Base32Decode(std::string_view text);
// Characters Base32Encode gives for a byte count.
constexpr std::size_t Base32Length(std::size_t byteCount) {
    return (byteCount * 8 + 4) / 5;
}
