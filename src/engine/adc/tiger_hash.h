#pragma once

#include <array>
#include <cstdint>
#include <span>

using TigerDigest = std::array<uint8_t, 24>;

// The Tiger hash (Anderson and Biham, 1995; the original padding with 0x01, not Tiger2's 0x80), its three words as
// little-endian bytes, the order in which ADC encodes CIDs and TTHs. Any thread.
TigerDigest TigerHash(std::span<const uint8_t> data);
