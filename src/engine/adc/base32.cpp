#include "engine/adc/base32.h"

namespace {

constexpr std::string_view kAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZ234567";

int DigitValue(char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= '2' && c <= '7') return c - '2' + 26;
    return -1;
}

}  // namespace

std::string Base32Encode(std::span<const uint8_t> bytes) {
    std::string text;
    text.reserve(Base32Length(bytes.size()));
    uint32_t buffer = 0;
    int bits = 0;
    for (const uint8_t byte : bytes) {
        buffer = (buffer << 8) | byte;
        bits += 8;
        while (bits >= 5) {
            bits -= 5;
            text += kAlphabet[(buffer >> bits) & 31];
        }
    }
    if (bits > 0) text += kAlphabet[(buffer << (5 - bits)) & 31];
    return text;
}

std::optional<std::vector<uint8_t>> Base32Decode(std::string_view text) {
    const std::size_t byteCount = text.size() * 5 / 8;
    if (Base32Length(byteCount) != text.size()) return std::nullopt;
    std::vector<uint8_t> bytes;
    bytes.reserve(byteCount);
    uint32_t buffer = 0;
    int bits = 0;
    for (const char c : text) {
        const int value = DigitValue(c);
        if (value < 0) return std::nullopt;
        buffer = (buffer << 5) | static_cast<uint32_t>(value);
        bits += 5;
        if (bits >= 8) {
            bits -= 8;
            bytes.push_back(static_cast<uint8_t>(buffer >> bits));
        }
    }
    if ((buffer & ((1u << bits) - 1)) != 0) return std::nullopt;
    return bytes;
}
